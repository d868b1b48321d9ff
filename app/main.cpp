#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "MainFormUnit.h"
#include "Messages.h"
#include "TrendHost.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[])
{
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
        tirevo::TrendHost trend(nullptr);
        if (const std::optional<QString> error = trend.ShowLog(*logFile)) {
            tirevo::ShowMessage(*error);
            return 1;
        }
        return app.exec();
    }

    // A file size limit reached must fail the write with a message, not
    // kill the program with the readings and records of the session.
    std::signal(SIGXFSZ, SIG_IGN);
    tirevo::BindFTDriver();

    tirevo::TMainForm MainForm(QApplication::applicationFilePath());
    MainForm.SetConnectAfterFirstFrame(true);
    MainForm.show();
    return app.exec();
}
