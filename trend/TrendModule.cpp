// The trend module's two exports, looked up by name when it is loaded.
#include "TrendWindow.h"

extern "C" Q_DECL_EXPORT int TirevoTrendVersion() { return tirevo::kTrendViewVersion; }

extern "C" Q_DECL_EXPORT tirevo::TrendView* TirevoTrendCreate(QWidget* parent)
{
    return new tirevo::TrendWindow(parent);
}
