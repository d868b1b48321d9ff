// The alarms of a polling command: the alarm rule over the session's readings
// and link status, one line on stderr per event, and the --on-alarm command.
// Added to the session as a listener; the command's loop wakes for
// NextDueMs() and calls Tick().
#pragma once

#include "AlarmHook.h"
#include "AlarmRule.h"
#include "MeterClock.h"
#include "MeterSession.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tirevo {

class CliAlarm final : public MeterListener {
public:
    // The loop looks at the --on-alarm commands' output this often while
    // one runs: soon enough to be read, seldom enough to cost nothing.
    static constexpr int64_t kHookLookMs = 100;

    // say takes a line for stderr (without the program's name); pass takes
    // a line an --on-alarm command wrote.
    CliAlarm(const AlarmSettings& settings, const std::optional<std::string>& onAlarm, std::string serial,
             MeterClock& clock, std::function<void(const std::string&)> say,
             std::function<void(const std::string&)> pass);

    void ReadingReceived(const Reading& reading) override;
    void StatusChanged(LinkStatus status) override;

    // When Tick() is next due for the rule (a meter lost for the delay) or
    // for the --on-alarm commands running; they are reaped on every Tick().
    std::optional<int64_t> NextDueMs() const;
    void Tick(int64_t nowMs);

    // The --on-alarm commands of a run that has ended: ReapHooks() passes on
    // their output and collects them, HooksDueMs() says when next while one
    // runs, EndHooks() waits for them up to the deadline.
    bool HooksRunning() const { return hook_ && hook_->Running() > 0; }
    std::optional<int64_t> HooksDueMs() const;
    void ReapHooks();
    void EndHooks(AlarmHook::Deadline deadline);

    const AlarmRule& Rule() const { return rule_; }

    // With several meters in one run, the limit lines name the meter too,
    // as each meter may have limits of its own.
    void NameMeterInLines(bool name) { nameMeter_ = name; }

    // Told "none", "high", "low" or "lost" whenever the alarm shown changes,
    // and once now, while alarms are set (limits or a lost meter watched).
    void SetStateListener(std::function<void(const std::string&)> listener);
    // "none" or the alarm shown ("lost" before "high" and "low").
    std::string State() const;

    // Told every event the rule reports, in order, after its line: for the
    // audit trail.
    void SetEventsListener(std::function<void(const std::vector<AlarmEvent>&)> listener)
    {
        eventsListener_ = std::move(listener);
    }

private:
    void Report(const std::vector<AlarmEvent>& events);
    void TellState();

    AlarmRule rule_;
    std::string serial_;
    MeterClock& clock_;
    std::function<void(const std::string&)> say_;
    std::unique_ptr<AlarmHook> hook_;
    std::function<void(const std::string&)> stateListener_;
    std::function<void(const std::vector<AlarmEvent>&)> eventsListener_;
    std::string toldState_;
    bool nameMeter_ = false;
};

// "ALARM high: pH 7.80 above 7.50 since 10:02:45",
// "ALARM lost: A1B2C3 not responding since 10:02:45", "alarm cleared: pH 7.30";
// with nameMeter, "ALARM high: A1B2C3 pH 7.80 above 7.50 since 10:02:45" and
// "alarm cleared: A1B2C3 pH 7.30".
std::string AlarmEventLine(const AlarmEvent& event, std::string_view serial, bool nameMeter = false);

// TIREVO_ALARM, TIREVO_PH, TIREVO_LIMIT, TIREVO_SERIAL, TIREVO_TIME and
// TIREVO_CLEARED (which alarm a clear ends).
HookVariables AlarmHookVariables(const AlarmEvent& event, std::string_view serial);

// 2026-12-08T10:02:45.250+01:00
std::string AlarmIsoTime(const AlarmTime& time);

}  // namespace tirevo
