#include "BenchStart.h"
#include "CommandLine.h"
#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "EndingSignals.h"
#include "MainFormUnit.h"
#include "Messages.h"
#include "StandardDescriptors.h"
#include "TrendHost.h"

#include <QApplication>
#include <QTimer>

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
    if (const std::optional<int> answered = tirevo::AnswerCommandLine(argc, argv))
        return *answered;

    // Qt's Wayland backend cannot place a window where the settings say;
    // XWayland can.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    tirevo::WatchDisplayOpening();
    QApplication app(argc, argv);
    tirevo::EndDisplayWatch();
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

    // A file size limit reached must fail the write with a message, not
    // kill the program with the readings and records of the session.
    tirevo::IgnoreFileSizeSignal();
    const bool noDriver = tirevo::BindFTDriver() == tirevo::FTDriverKind::None;

    // "tirevo --all": the bench view alone, a tile per attached meter.
    if (tirevo::ParseStartMode(tirevo::ArgumentsAfterProgram(argc, argv)) == tirevo::StartMode::All)
        return tirevo::RunBenchView(QApplication::applicationFilePath(), kSettingsRule, noDriver);

    tirevo::TMainForm MainForm(QApplication::applicationFilePath(), nullptr, nullptr, kSettingsRule);
    MainForm.SetConnectAfterFirstFrame(true);
    // Closed as by its close box; the program ends even when the trend
    // window is still open.
    tirevo::OnEndingSignals(&MainForm, [&MainForm] {
        MainForm.close();
        QApplication::quit();
    });
    MainForm.show();
    // Said once the window is up: without a driver its meter list stays empty,
    // and the user should know why.
    if (noDriver) {
        QTimer::singleShot(0, &MainForm, [] {
            QString text = QString::fromStdString(tirevo::WithFullStop(tirevo::NoDriverText()));
            text[0] = text[0].toUpper();
            tirevo::ShowMessage(text);
        });
    }
    return app.exec();
}
