// Windows: no session bus; the notification is a balloon (a toast on
// Windows 10 and later) from an icon in the task bar's notification area.
// The icon is there only while a notification may be up, then goes again.
#include "DesktopNotifier.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>

namespace tirevo {

namespace {

constexpr int kShownMs = 10000;

}  // namespace

void DesktopNotifier::Send(const QString& summary, const QString& body, Urgency urgency)
{
    if (!triedBus_) {
        triedBus_ = true;
        haveBus_ = QSystemTrayIcon::isSystemTrayAvailable();
    }
    if (!haveBus_)
        return;
    // One icon for the program, owned by the application: the window's own
    // life does not end a notification half way.
    static QSystemTrayIcon* tray = nullptr;
    static QTimer* hide = nullptr;
    if (!tray) {
        tray = new QSystemTrayIcon(QApplication::windowIcon(), qApp);
        tray->setToolTip(QApplication::applicationName());
        hide = new QTimer(qApp);
        hide->setSingleShot(true);
        QObject::connect(hide, &QTimer::timeout, tray, &QSystemTrayIcon::hide);
    }
    tray->show();
    tray->showMessage(summary, body,
                      urgency == Urgency::Critical ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                      kShownMs);
    hide->start(kShownMs);
}

}  // namespace tirevo
