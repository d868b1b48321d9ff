// The system's monotonic clock for a window whose own timers drive the link,
// with a wall clock the test sets: every reading is stamped with the moment
// the test chose, however long the run takes. It can tick on every look, as a
// real clock may between two reads.
#pragma once

#include "MeterClock.h"

#include <cstdint>

class FixedWallClock final : public tirevo::MeterClock {
public:
    int64_t NowMs() const override { return system_.NowMs(); }
    int64_t UtcMs() const override
    {
        const int64_t now = utcMs_;
        utcMs_ += tickPerLookMs_;
        return now;
    }
    void SleepMs(int64_t ms) override { system_.SleepMs(ms); }

    // Milliseconds since the epoch, UTC.
    void SetUtcMs(int64_t utcMs) { utcMs_ = utcMs; }
    // Each look at the wall clock moves it on by ms afterwards.
    void TickOnEachLook(int64_t ms) { tickPerLookMs_ = ms; }

private:
    tirevo::SystemMeterClock system_;
    mutable int64_t utcMs_ = 0;
    int64_t tickPerLookMs_ = 0;
};
