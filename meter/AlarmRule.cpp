#include "AlarmRule.h"

#include "ReadingText.h"

#include <cmath>

namespace tirevo {

namespace {

constexpr int64_t kMsPerSecond = 1000;
// Past this the reading is shown in general notation; hundredths are then
// taken from the value itself.
constexpr double kFixedNotationLimit = 99999.5;

}  // namespace

AlarmTime ReadingAlarmTime(const Reading& reading)
{
    return {reading.atMs, reading.utcMs, reading.utcOffsetS};
}

AlarmTime AlarmTimeNow(const MeterClock& clock)
{
    const int64_t utcMs = clock.UtcMs();
    return {clock.NowMs(), utcMs, LocalUtcOffsetS(utcMs)};
}

int64_t Hundredths(double value)
{
    if (std::isnan(value))
        return 0;
    if (std::fabs(value) >= kFixedNotationLimit) {
        const double scaled = std::round(value * 100);
        constexpr double kMax = 9.0e18;
        return static_cast<int64_t>(std::fmax(-kMax, std::fmin(kMax, scaled)));
    }
    // The digits shown: "-7.13" is -713.
    const std::string text = FormatReading(value, '.');
    int64_t hundredths = 0;
    bool negative = false;
    for (const char c : text) {
        if (c == '-')
            negative = true;
        else if (c >= '0' && c <= '9')
            hundredths = hundredths * 10 + (c - '0');
    }
    return negative ? -hundredths : hundredths;
}

AlarmRule::AlarmRule(AlarmSettings settings) : settings_(settings) {}

void AlarmRule::SetSettings(const AlarmSettings& settings)
{
    settings_ = settings;
    high_.runStart.reset();
    low_.runStart.reset();
}

int64_t AlarmRule::DelayMs() const { return static_cast<int64_t>(settings_.delayS) * kMsPerSecond; }

void AlarmRule::Judge(Side& side, AlarmKind kind, const std::optional<double>& limit, int64_t valueH,
                      double value, const AlarmTime& at, std::vector<AlarmEvent>& events)
{
    const bool high = kind == AlarmKind::High;
    if (side.raised) {
        bool cleared = !limit;
        if (limit) {
            const int64_t limitH = Hundredths(*limit);
            const int64_t hysteresisH = Hundredths(settings_.hysteresis);
            cleared = high ? valueH <= limitH - hysteresisH : valueH >= limitH + hysteresisH;
        }
        if (!cleared)
            return;
        side.raised = false;
        side.runStart.reset();
        events.push_back({kind, false, true, value, side.raisedLimit, at, side.since});
        return;
    }
    if (!limit) {
        side.runStart.reset();
        return;
    }
    const int64_t limitH = Hundredths(*limit);
    const bool past = high ? valueH > limitH : valueH < limitH;
    if (!past) {
        side.runStart.reset();
        return;
    }
    if (!side.runStart)
        side.runStart = at;
    if (at.atMs - side.runStart->atMs < DelayMs())
        return;
    side.raised = true;
    side.raisedLimit = *limit;
    side.since = *side.runStart;
    side.runStart.reset();
    events.push_back({kind, true, true, value, *limit, at, side.since});
}

std::vector<AlarmEvent> AlarmRule::OnReading(double value, const AlarmTime& at)
{
    std::vector<AlarmEvent> events;
    const int64_t valueH = Hundredths(value);
    Judge(high_, AlarmKind::High, settings_.high, valueH, value, at, events);
    Judge(low_, AlarmKind::Low, settings_.low, valueH, value, at, events);
    return events;
}

std::vector<AlarmEvent> AlarmRule::OnStatus(LinkStatus status, const MeterClock& clock)
{
    const bool lost = status == LinkStatus::Lost || status == LinkStatus::Reopening;
    const bool needsTime = lost ? Active() && !lostSince_ : status == LinkStatus::Connected && lostRaised_;
    return OnStatus(status, needsTime ? AlarmTimeNow(clock) : AlarmTime{clock.NowMs(), 0, 0});
}

std::vector<AlarmEvent> AlarmRule::OnStatus(LinkStatus status, const AlarmTime& at)
{
    std::vector<AlarmEvent> events;
    switch (status) {
    case LinkStatus::Lost:
    case LinkStatus::Reopening:
        // Without limits nobody asked for alarms; the link's own status
        // already says it is not responding.
        if (!Active())
            return events;
        if (!lostSince_)
            lostSince_ = at;
        return Advance(at.atMs);
    case LinkStatus::Connected:
        if (lostRaised_)
            events.push_back({AlarmKind::Lost, false, false, 0, 0, at, *lostSince_});
        lostSince_.reset();
        lostRaised_ = false;
        return events;
    case LinkStatus::Closed:
        // The end of the link: whatever was raised is no longer watched.
        high_ = {};
        low_ = {};
        lostSince_.reset();
        lostRaised_ = false;
        return events;
    }
    return events;
}

std::vector<AlarmEvent> AlarmRule::Advance(int64_t nowMs)
{
    std::vector<AlarmEvent> events;
    if (!Active() || !lostSince_ || lostRaised_ || nowMs - lostSince_->atMs < DelayMs())
        return events;
    lostRaised_ = true;
    AlarmTime at = *lostSince_;
    at.utcMs += nowMs - at.atMs;
    at.atMs = nowMs;
    events.push_back({AlarmKind::Lost, true, false, 0, 0, at, *lostSince_});
    return events;
}

std::optional<int64_t> AlarmRule::NextDueMs() const
{
    if (!Active() || !lostSince_ || lostRaised_)
        return std::nullopt;
    return lostSince_->atMs + DelayMs();
}

bool AlarmRule::Raised(AlarmKind kind) const
{
    switch (kind) {
    case AlarmKind::High:
        return high_.raised;
    case AlarmKind::Low:
        return low_.raised;
    case AlarmKind::Lost:
        return lostRaised_;
    }
    return false;
}

std::optional<RaisedAlarm> AlarmRule::Shown() const
{
    if (lostRaised_)
        return RaisedAlarm{AlarmKind::Lost, 0, *lostSince_};
    if (high_.raised)
        return RaisedAlarm{AlarmKind::High, high_.raisedLimit, high_.since};
    if (low_.raised)
        return RaisedAlarm{AlarmKind::Low, low_.raisedLimit, low_.since};
    return std::nullopt;
}

}  // namespace tirevo
