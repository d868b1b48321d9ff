// Where the meter session takes its time from, and how it pauses between the
// characters of a command. The program uses the system's monotonic clock for
// the link's timing and the system's wall clock for the time stamps of
// readings; tests hand in a virtual one, so nothing of the link waits on a
// real clock and every stamp is known.
#pragma once

#include <cstdint>

namespace tirevo {

class MeterClock {
public:
    virtual ~MeterClock() = default;
    // Monotonic milliseconds; only differences mean anything.
    virtual int64_t NowMs() const = 0;
    // Wall-clock milliseconds since the Unix epoch, UTC. May jump (the clock
    // set by hand or by time synchronisation); never used for timing.
    virtual int64_t UtcMs() const;
    // The pause after each character of a command. Never waits for events, so
    // a command is on the line whole before anything else can run.
    virtual void SleepMs(int64_t ms) = 0;
};

class SystemMeterClock final : public MeterClock {
public:
    int64_t NowMs() const override;
    void SleepMs(int64_t ms) override;
};

// Runs work's due steps (work.NextDueMs(), work.RunDue()) up to untilMs,
// sleeping on clock between them: how a scheduler is run on a virtual clock
// by tests and benchmarks.
template <typename Work> void RunDueUntil(MeterClock& clock, Work& work, int64_t untilMs)
{
    for (;;) {
        const int64_t now = clock.NowMs();
        const int64_t next = work.NextDueMs();
        if (next > untilMs) {
            clock.SleepMs(untilMs - now);
            return;
        }
        clock.SleepMs(next - now);
        work.RunDue();
    }
}

// The local offset from UTC in seconds (east positive) at that moment, by the
// rules of the process's time zone.
int32_t LocalUtcOffsetS(int64_t utcMs);

}  // namespace tirevo
