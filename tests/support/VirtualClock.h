// A clock for the meter session that moves only when the session sleeps or
// the test says so, and moves the simulated meter's clock along with it: the
// link runs on virtual time, however busy the machine is. Its wall clock
// (UTC) moves with it too; a test can set it to any moment, and can make it
// tick on every look, as a real clock may between two reads.
#pragma once

#include "MeterClock.h"
#include "SimControl.h"

#include <chrono>
#include <cstdint>

class VirtualClock final : public tirevo::MeterClock {
public:
    // The wall clock starts at the real time, so a test that never sets it
    // sees what the program would.
    VirtualClock()
        : utcMs_(std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count())
    {
        sim::SetManualClock(true);
    }
    ~VirtualClock() override { sim::SetManualClock(false); }

    int64_t NowMs() const override { return nowMs_; }
    int64_t UtcMs() const override
    {
        const int64_t now = utcMs_;
        utcMs_ += tickPerLookMs_;
        ++utcLooks_;
        return now;
    }
    void SleepMs(int64_t ms) override { Advance(ms); }

    void Advance(int64_t ms)
    {
        if (ms <= 0)
            return;
        nowMs_ += ms;
        utcMs_ += ms;
        sim::AdvanceClockMs(static_cast<double>(ms));
    }

    // Sets the wall clock (milliseconds since the epoch, UTC); the monotonic
    // clock does not move. A step back is a clock set back by hand.
    void SetUtcMs(int64_t utcMs) { utcMs_ = utcMs; }
    // Each look at the wall clock moves it on by ms afterwards.
    void TickOnEachLook(int64_t ms) { tickPerLookMs_ = ms; }
    // How often the wall clock was looked at.
    int UtcLooks() const { return utcLooks_; }

private:
    int64_t nowMs_ = 0;
    mutable int64_t utcMs_;
    int64_t tickPerLookMs_ = 0;
    mutable int utcLooks_ = 0;
};
