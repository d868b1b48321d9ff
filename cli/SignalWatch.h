// SIGINT, SIGTERM and SIGHUP as events of the main loop instead of
// asynchronous handlers: the loop sees them between two ticks, so a run ends
// with its last row complete and the device closed. SIGWINCH, a terminal
// resized, comes the same way.
#pragma once

#include "EndingWatch.h"

#include <cstdint>

namespace tirevo {

class SignalWatch final : public EndingWatch {
public:
    // Blocks the four signals for the whole process from here on; create it
    // before the meter is opened, so none of them can cut an open short.
    SignalWatch();
    ~SignalWatch() override;
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // Waits up to timeoutMs (0: only looks) for one of the signals. Returns
    // true once one has arrived, and from then on at once.
    bool Wait(int64_t timeoutMs) override;
    bool TakeResized() override;
    // The signal that arrived, or 0.
    int Received() const { return received_; }
    // Readable once a signal is waiting, for a loop that waits on more (on
    // Windows the number of an event's handle, set once one has arrived).
    int Fd() const override { return fd_; }

private:
    int fd_ = -1;
    int received_ = 0;
    bool resized_ = false;
};

}  // namespace tirevo
