// Where the meter session takes its time from, and how it pauses between the
// characters of a command. The program uses the system's monotonic clock;
// tests hand in a virtual one, so nothing of the link waits on a real clock.
#pragma once

#include <cstdint>

namespace tirevo {

class MeterClock {
public:
    virtual ~MeterClock() = default;
    // Monotonic milliseconds; only differences mean anything.
    virtual int64_t NowMs() const = 0;
    // The pause after each character of a command. Never waits for events, so
    // a command is on the line whole before anything else can run.
    virtual void SleepMs(int64_t ms) = 0;
};

class SystemMeterClock final : public MeterClock {
public:
    int64_t NowMs() const override;
    void SleepMs(int64_t ms) override;
};

}  // namespace tirevo
