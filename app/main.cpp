#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "MainFormUnit.h"
#include "Messages.h"
#include "TrendHost.h"

#include <QApplication>
#include <QTimer>

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

    const bool noDriver = tirevo::BindFTDriver() == tirevo::FTDriverKind::None;

    tirevo::TMainForm MainForm(QApplication::applicationFilePath());
    MainForm.SetConnectAfterFirstFrame(true);
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
