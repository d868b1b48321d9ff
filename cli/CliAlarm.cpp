#include "CliAlarm.h"

#include "AlarmText.h"
#include "ReadingOutput.h"

#include <algorithm>
#include <ctime>

namespace tirevo {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int kTmYearBase = 1900;

}  // namespace

CliAlarm::CliAlarm(const AlarmSettings& settings, const std::optional<std::string>& onAlarm,
                   std::string serial, MeterClock& clock, std::function<void(const std::string&)> say,
                   std::function<void(const std::string&)> pass)
    : rule_(settings), serial_(std::move(serial)), clock_(clock), say_(std::move(say))
{
    // A command given is a wish to hear of a lost meter, limits or not.
    rule_.SetWatchLostAlways(onAlarm.has_value());
    if (onAlarm)
        hook_ = std::make_unique<AlarmHook>(*onAlarm, say_, std::move(pass));
}

void CliAlarm::ReadingReceived(const Reading& reading) { Report(rule_.OnReading(reading)); }

void CliAlarm::StatusChanged(LinkStatus status) { Report(rule_.OnStatus(status, clock_)); }

std::optional<int64_t> CliAlarm::NextDueMs() const
{
    const std::optional<int64_t> rule = rule_.NextDueMs();
    const std::optional<int64_t> hooks = HooksDueMs();
    if (rule && hooks)
        return std::min(*rule, *hooks);
    return rule ? rule : hooks;
}

void CliAlarm::Tick(int64_t nowMs)
{
    Report(rule_.Advance(nowMs));
    ReapHooks();
}

std::optional<int64_t> CliAlarm::HooksDueMs() const
{
    if (!HooksRunning())
        return std::nullopt;
    return clock_.NowMs() + kHookLookMs;
}

void CliAlarm::ReapHooks()
{
    if (hook_)
        hook_->Reap();
}

void CliAlarm::EndHooks(AlarmHook::Deadline deadline)
{
    if (hook_)
        hook_->Finish(deadline);
}

void CliAlarm::Report(const std::vector<AlarmEvent>& events)
{
    for (const AlarmEvent& event : events) {
        say_(AlarmEventLine(event, serial_, nameMeter_));
        if (hook_)
            hook_->Run(AlarmHookVariables(event, serial_));
    }
    if (events.empty())
        return;
    if (eventsListener_)
        eventsListener_(events);
    TellState();
}

void CliAlarm::SetStateListener(std::function<void(const std::string&)> listener)
{
    stateListener_ = std::move(listener);
    toldState_.clear();
    TellState();
}

std::string CliAlarm::State() const
{
    const std::optional<RaisedAlarm> shown = rule_.Shown();
    return shown ? AlarmKindName(shown->kind) : "none";
}

void CliAlarm::TellState()
{
    if (!stateListener_ || !rule_.Active())
        return;
    const std::string state = State();
    if (state == toldState_)
        return;
    toldState_ = state;
    stateListener_(state);
}

std::string AlarmEventLine(const AlarmEvent& event, std::string_view serial, bool nameMeter)
{
    const std::string meter = nameMeter ? std::string(serial) + " " : std::string();
    if (!event.raised) {
        if (event.kind == AlarmKind::Lost)
            return "alarm cleared: " + std::string(serial) + " responding again";
        return "alarm cleared: " + meter + "pH " + AlarmNumberText(event.value, '.');
    }
    const std::string since = " since " + AlarmClockText(event.since);
    const std::string head = std::string("ALARM ") + AlarmKindName(event.kind) + ": ";
    if (event.kind == AlarmKind::Lost)
        return head + std::string(serial) + " not responding" + since;
    return head + meter + AlarmEventText(event, serial, '.') + since;
}

HookVariables AlarmHookVariables(const AlarmEvent& event, std::string_view serial)
{
    const bool reading = event.hasValue;
    return {
        {"TIREVO_ALARM", event.raised ? AlarmKindName(event.kind) : "clear"},
        {"TIREVO_PH", reading ? AlarmNumberText(event.value, '.') : std::string()},
        {"TIREVO_LIMIT", event.raised && reading ? AlarmNumberText(event.limit, '.') : std::string()},
        {"TIREVO_SERIAL", std::string(serial)},
        {"TIREVO_TIME", AlarmIsoTime(event.at)},
        {"TIREVO_CLEARED", event.raised ? std::string() : AlarmKindName(event.kind)},
    };
}

std::string AlarmIsoTime(const AlarmTime& time)
{
    const int64_t ms = (time.utcMs % kMsPerSecond + kMsPerSecond) % kMsPerSecond;
    const time_t local = static_cast<time_t>((time.utcMs - ms) / kMsPerSecond) + time.utcOffsetS;
    tm fields{};
    gmtime_r(&local, &fields);
    WallTime wall;
    wall.year = fields.tm_year + kTmYearBase;
    wall.month = fields.tm_mon + 1;
    wall.day = fields.tm_mday;
    wall.hour = fields.tm_hour;
    wall.minute = fields.tm_min;
    wall.second = fields.tm_sec;
    wall.millisecond = static_cast<int>(ms);
    wall.utcOffsetSeconds = time.utcOffsetS;
    return IsoLocalTime(wall);
}

}  // namespace tirevo
