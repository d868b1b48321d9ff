// A clock for the meter session that moves only when the session sleeps or
// the test says so, and moves the simulated meter's clock along with it: the
// link runs on virtual time, however busy the machine is.
#pragma once

#include "MeterClock.h"
#include "SimControl.h"

#include <cstdint>

class VirtualClock final : public tirevo::MeterClock {
public:
    VirtualClock() { sim::SetManualClock(true); }
    ~VirtualClock() override { sim::SetManualClock(false); }

    int64_t NowMs() const override { return nowMs_; }
    void SleepMs(int64_t ms) override { Advance(ms); }

    void Advance(int64_t ms)
    {
        if (ms <= 0)
            return;
        nowMs_ += ms;
        sim::AdvanceClockMs(static_cast<double>(ms));
    }

private:
    int64_t nowMs_ = 0;
};
