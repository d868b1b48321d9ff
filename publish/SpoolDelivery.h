// Delivers one meter's readings through its spool: every reading is written
// to the spool first and sent from there, so the backlog left by an outage
// or an earlier run goes out before the live readings, oldest first, and a
// reading leaves the spool only when the broker has acknowledged it. The
// caller's clock drives it (virtual time in the tests).
#pragma once

#include "ReadingSender.h"
#include "ReadingSpool.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tirevo {

class SpoolDelivery {
public:
    // Readings in flight at once: enough to keep a link busy over a slow
    // round trip, few enough that an outage repeats little.
    static constexpr std::size_t kWindow = 20;
    // How long a clean end waits for the broker to take what is left.
    static constexpr int64_t kDrainMs = 10000;

    SpoolDelivery(ReadingSpool& spool, ReadingSender& sender, std::string topic,
                  std::size_t window = kWindow);

    // A new reading: spooled, then sent when its turn comes. False when the
    // spool refused it (the spool's Message() says why).
    bool Reading(std::string_view payload, int64_t nowMs);
    // The connection is up: the backlog goes first.
    void Connected(int64_t nowMs);
    // The connection is gone: what was in flight goes again when it is back.
    void Lost();
    // A PUBACK. False when the id is not one of this meter's (the gateway
    // asks each meter's delivery in turn).
    bool Acknowledged(int messageId, int64_t nowMs);
    // Lets the spool reach the disk at most a second after a reading.
    void Tick(int64_t nowMs);

    // A clean end begins: the broker has kDrainMs to take what is left.
    void BeginDrain(int64_t nowMs);
    // Nothing is owed, or the time to drain is up (what is left stays in
    // the spool for the next run; Pending() says how much).
    bool Drained(int64_t nowMs) const;
    uint64_t Pending() const { return spool_.Pending(); }

private:
    void Pump(int64_t nowMs);

    ReadingSpool& spool_;
    ReadingSender& sender_;
    std::string topic_;
    std::size_t window_;
    bool connected_ = false;
    int64_t drainEndMs_ = -1;
    std::vector<std::pair<int, uint64_t>> inFlight_;  // message id, spool id; at most window_
};

}  // namespace tirevo
