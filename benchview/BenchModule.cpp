// The bench view module's two exports, looked up by name when it is loaded.
#include "BenchWindow.h"
#include "DriverBinding.h"

extern "C" Q_DECL_EXPORT int TirevoBenchVersion() { return tirevo::kBenchViewVersion; }

extern "C" Q_DECL_EXPORT tirevo::BenchView* TirevoBenchCreate(const tirevo::BenchViewSetup& setup,
                                                              QWidget* parent)
{
    // The module has a device layer of its own; bound to the program's
    // driver, its calls reach the same converters and handles.
    if (setup.driver)
        tirevo::BindFTDriverTable(*setup.driver);
    return new tirevo::BenchWindow(setup, parent);
}
