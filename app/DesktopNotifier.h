// Desktop notifications through the freedesktop Notifications service on the
// session bus. Sending never waits for the service: with no session bus, or
// no service on it, a notification is simply not shown and nothing else
// changes.
#pragma once

#include <QString>

namespace tirevo {

class DesktopNotifier {
public:
    enum class Urgency { Normal = 1, Critical = 2 };

    // summary is the notification's title, body the line under it.
    void Send(const QString& summary, const QString& body, Urgency urgency);

private:
    bool triedBus_ = false;
    bool haveBus_ = false;
};

}  // namespace tirevo
