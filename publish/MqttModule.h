// What tirevo-cli and its MQTT module share. The module holds the MQTT
// client library (and with it TLS), so that a run that never publishes
// neither loads nor maps any of it; tirevo-cli loads the module only for
// `publish` and `log --mqtt`, and reaches the client through these calls.
#pragma once

#include "MqttLink.h"

namespace tirevo {

// An MqttLink the program's own loop waits on: when the descriptor is
// readable (or at least once a second) the loop calls Service(), which
// delivers what happened on the connection to MqttLinkEvents, on the loop.
// No call here waits on the network.
class MqttSocketLink : public MqttLink {
public:
    // The descriptor to wait on (-1: none), and whether to wait for it to be
    // writable rather than readable.
    virtual int Socket() const = 0;
    virtual bool WantsWrite() const = 0;
    // Does and delivers at once whatever is due.
    virtual void Service() = 0;
};

// Bumped whenever the calls above or in MqttLink change, or what they may
// block on, so that a stale module installed beside a newer program is
// refused instead of called wrongly.
inline constexpr int kMqttModuleVersion = 2;

}  // namespace tirevo

extern "C" {
// The module's exports: its interface version, and a new link, not yet
// connected (the caller owns it).
using TirevoMqttVersionFn = int (*)();
using TirevoMqttCreateLinkFn = tirevo::MqttSocketLink* (*)();
}
