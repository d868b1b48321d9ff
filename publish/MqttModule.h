// What tirevo-cli and its MQTT module share. The module holds the MQTT
// client library (and with it TLS), so that a run that never publishes
// neither loads nor maps any of it; tirevo-cli loads the module only for
// `publish` and `log --mqtt`, and reaches the client through these calls.
#pragma once

#include "MqttLink.h"

namespace tirevo {

// An MqttLink the program's own loop drives: it waits on the socket and
// then lets the link read, write and keep the connection alive.
class MqttSocketLink : public MqttLink {
public:
    // The socket to wait on (-1: none), and whether it waits to be written.
    virtual int Socket() const = 0;
    virtual bool WantsWrite() const = 0;
    // Reads, writes and keeps the connection alive as far as it can at once.
    virtual void Service() = 0;
};

// Bumped whenever the calls above or in MqttLink change, so that a stale
// module installed beside a newer program is refused instead of called wrongly.
inline constexpr int kMqttModuleVersion = 1;

}  // namespace tirevo

extern "C" {
// The module's exports: its interface version, and a new link, not yet
// connected (the caller owns it).
using TirevoMqttVersionFn = int (*)();
using TirevoMqttCreateLinkFn = tirevo::MqttSocketLink* (*)();
}
