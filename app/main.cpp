#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "EndingSignals.h"
#include "MainFormUnit.h"
#include "Messages.h"
#include "StandardDescriptors.h"
#include "TrendHost.h"

#include <QApplication>

namespace {

// The package (and any system-wide install) is built with TIREVO_INSTALLED
// on: its settings never live beside the program, whoever runs it.
constexpr tirevo::SettingsRule kSettingsRule =
    TIREVO_INSTALLED ? tirevo::SettingsRule::PerUser : tirevo::SettingsRule::BesideProgram;

}  // namespace

int main(int argc, char* argv[])
{
    // Before anything opens a file: a closed stderr must not become the log.
    tirevo::OpenClosedStandardDescriptors();

    // Qt's Wayland backend cannot place a window where the settings say;
    // XWayland can.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tirevo::kAppTitle));
    QApplication::setDesktopFileName(QStringLiteral("tirevo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tirevo.png")));

    // "tirevo --trend [FILE]": the trend window alone, on that log file; no
    // meter is looked for and no settings file is read or written.
    if (const std::optional<QString> logFile = tirevo::TrendFileArgument(QApplication::arguments())) {
        tirevo::OnEndingSignals(&app, [] { QApplication::quit(); });
        tirevo::TrendHost trend(nullptr);
        if (const std::optional<QString> error = trend.ShowLog(*logFile)) {
            tirevo::ShowMessage(*error);
            return 1;
        }
        return app.exec();
    }

    tirevo::BindFTDriver();

    tirevo::TMainForm MainForm(QApplication::applicationFilePath(), nullptr, nullptr, kSettingsRule);
    MainForm.SetConnectAfterFirstFrame(true);
    // Closed as by its close box; the program ends even when the trend
    // window is still open.
    tirevo::OnEndingSignals(&MainForm, [&MainForm] {
        MainForm.close();
        QApplication::quit();
    });
    MainForm.show();
    return app.exec();
}
