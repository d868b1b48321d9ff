#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "MainFormUnit.h"
#include "Messages.h"

#include <QApplication>

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

    tirevo::BindFTDriver();

    tirevo::TMainForm MainForm(QApplication::applicationFilePath());
    MainForm.SetConnectAfterFirstFrame(true);
    MainForm.show();
    return app.exec();
}
