// The alarm rule: a reading above the high limit or below the low one for at
// least the delay, or a meter that has not been responding for that long,
// raises an alarm; a reading back past the limit by the hysteresis, or the
// meter answering again, clears it. Each raise and each clear is one event;
// nothing repeats while an alarm stays raised. Readings and limits are
// compared in hundredths, as they are shown.
//
// The rule runs on the times it is given, so it is the same on the session's
// clock and on a test's virtual one. A lost meter is raised by time alone:
// its user calls Advance() when NextDueMs() comes.
#pragma once

#include "AlarmSettings.h"
#include "MeterSession.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tirevo {

// One moment on the session's clock and on the wall clock together.
struct AlarmTime {
    int64_t atMs = 0;        // the session's monotonic clock
    int64_t utcMs = 0;       // milliseconds since the Unix epoch, UTC
    int32_t utcOffsetS = 0;  // local offset from UTC, seconds east
};

// The time stamp of a reading, for its alarm events.
AlarmTime ReadingAlarmTime(const Reading& reading);
// Now, on both of the clock's clocks: for changes of the link, which carry no
// reading.
AlarmTime AlarmTimeNow(const MeterClock& clock);

enum class AlarmKind { High, Low, Lost };

struct AlarmEvent {
    AlarmKind kind = AlarmKind::High;
    bool raised = true;     // false: cleared
    bool hasValue = false;  // a reading goes with it (not for lost)
    double value = 0;       // the reading at which it was raised or cleared
    double limit = 0;       // the limit crossed (high and low)
    AlarmTime at;           // when it was raised or cleared
    AlarmTime since;        // when the condition began (the first reading past the limit, or
                            // the moment the meter stopped responding)
};

// An alarm that is raised now.
struct RaisedAlarm {
    AlarmKind kind = AlarmKind::High;
    double limit = 0;
    AlarmTime since;
};

class AlarmRule {
public:
    explicit AlarmRule(AlarmSettings settings = {});

    // New limits take effect from the next reading: runs towards a raise
    // start again, and an alarm whose limit is gone is cleared by the next
    // reading.
    void SetSettings(const AlarmSettings& settings);
    const AlarmSettings& Settings() const { return settings_; }
    // Whether a meter that stops responding raises the lost alarm when no
    // limit is set (with a limit set it always does).
    void SetWatchLostAlways(bool on) { watchLostAlways_ = on; }
    bool Active() const { return watchLostAlways_ || settings_.high || settings_.low; }

    std::vector<AlarmEvent> OnReading(double value, const AlarmTime& at);
    std::vector<AlarmEvent> OnReading(const Reading& reading)
    {
        return OnReading(reading.value, ReadingAlarmTime(reading));
    }
    // Lost and Reopening are "not responding"; Connected clears a lost alarm;
    // Closed ends the rule's watch without events.
    std::vector<AlarmEvent> OnStatus(LinkStatus status, const AlarmTime& at);
    // The same, looking at the wall clock only when an event needs its time:
    // a reading's stamp is the one look at the clock that its tick makes.
    std::vector<AlarmEvent> OnStatus(LinkStatus status, const MeterClock& clock);
    // Raises the lost alarm once the meter has not been responding for the
    // delay.
    std::vector<AlarmEvent> Advance(int64_t nowMs);
    // When Advance() has something to do, if ever.
    std::optional<int64_t> NextDueMs() const;

    bool Raised(AlarmKind kind) const;
    // The alarm to show: lost before high and low.
    std::optional<RaisedAlarm> Shown() const;

private:
    struct Side {
        std::optional<AlarmTime> runStart;  // first reading of the current run past the limit
        bool raised = false;
        double raisedLimit = 0;
        AlarmTime since;
    };
    void Judge(Side& side, AlarmKind kind, const std::optional<double>& limit, int64_t valueH, double value,
               const AlarmTime& at, std::vector<AlarmEvent>& events);
    int64_t DelayMs() const;

    AlarmSettings settings_;
    Side high_;
    Side low_;
    std::optional<AlarmTime> lostSince_;
    bool lostRaised_ = false;
    bool watchLostAlways_ = false;
};

// A value in hundredths, rounded as the reading is shown (halves away from
// zero on its decimal form).
int64_t Hundredths(double value);

}  // namespace tirevo
