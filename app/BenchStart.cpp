#include "BenchStart.h"

#include "BenchHost.h"
#include "DriverBinding.h"
#include "EndingSignals.h"
#include "Messages.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace tirevo {

int RunBenchView(const QString& programPath, SettingsRule rule, bool noDriver)
{
    BenchViewSetup setup;
    setup.iniPath = ChooseSettingsFile(ToLocal(programPath), true, rule).path;
    const RecordsLocation records = ChooseRecordsFolder(ToLocal(programPath), rule);
    setup.recordsFolder = records.folder;
    setup.createRecordsFolder = records.perUser;
    setup.driver = &FTDriver();
    BenchHost bench(nullptr);
    if (const std::optional<QString> error = bench.Show(setup)) {
        ShowMessage(*error);
        return 1;
    }
    QWidget* window = bench.Window();
    // Closed as by its close box, so its place is kept and its logs end.
    OnEndingSignals(window, [window] {
        window->close();
        QApplication::quit();
    });
    if (noDriver) {
        QTimer::singleShot(0, window, [] {
            QString text = QString::fromStdString(WithFullStop(NoDriverText()));
            text[0] = text[0].toUpper();
            ShowMessage(text);
        });
    }
    return QApplication::exec();
}

}  // namespace tirevo
