#include "ReportTime.h"

#include "ZoneRules.h"

#include <chrono>
#include <cstddef>

namespace tirevo {

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kSecondsPerDay = 24 * 3600;

// The seconds since 1970-01-01 00:00 of a wall-clock time, as if it were UTC.
long long CivilSeconds(const std::chrono::year_month_day& date, int hour, int minute, int second)
{
    const auto days = std::chrono::sys_days(date).time_since_epoch().count();
    return static_cast<long long>(days) * kSecondsPerDay + hour * 3600LL + minute * 60LL + second;
}

// The instant the wall clock showed civil: the earliest or the latest one.
int64_t InstantOf(long long civil, bool latest)
{
    const std::vector<long long> offsets = LocalOffsetsOf(civil);
    const long long offset = offsets.empty() ? 0 : (latest ? offsets.back() : offsets.front());
    return static_cast<int64_t>(civil - offset) * kMsPerSecond;
}

// The lengths of the three forms: date, date and minute, date and second.
constexpr std::size_t kDateLength = 10;    // 2026-12-08
constexpr std::size_t kMinuteLength = 16;  // 2026-12-08T14:30
constexpr std::size_t kSecondLength = 19;  // 2026-12-08T14:30:15

// The number in text[at, at + digits), all ASCII digits, or -1.
int Digits(const std::string& text, std::size_t at, std::size_t digits)
{
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

struct TypedTime {
    int year = -1, month = -1, day = -1;
    int hour = -1, minute = -1, second = -1;  // -1: not typed
};

// The form is fixed, so it is read by position: no pattern matcher (whose
// code alone was a twentieth of tirevo-cli) for three shapes of digits.
std::optional<TypedTime> ReadTyped(const std::string& text)
{
    const std::size_t length = text.size();
    if (length != kDateLength && length != kMinuteLength && length != kSecondLength)
        return std::nullopt;
    TypedTime typed;
    typed.year = Digits(text, 0, 4);
    typed.month = Digits(text, 5, 2);
    typed.day = Digits(text, 8, 2);
    if (text[4] != '-' || text[7] != '-' || typed.year < 0 || typed.month < 0 || typed.day < 0)
        return std::nullopt;
    if (length == kDateLength)
        return typed;
    typed.hour = Digits(text, 11, 2);
    typed.minute = Digits(text, 14, 2);
    if ((text[10] != 'T' && text[10] != ' ') || text[13] != ':' || typed.hour < 0 || typed.minute < 0)
        return std::nullopt;
    if (length == kMinuteLength)
        return typed;
    typed.second = Digits(text, 17, 2);
    if (text[16] != ':' || typed.second < 0)
        return std::nullopt;
    return typed;
}

}  // namespace

std::optional<int64_t> ReportTimeUtcMs(const std::string& text, PeriodEnd end)
{
    const std::optional<TypedTime> typed = ReadTyped(text);
    if (!typed)
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(typed->year),
                                           std::chrono::month(static_cast<unsigned>(typed->month)),
                                           std::chrono::day(static_cast<unsigned>(typed->day))};
    if (!date.ok())
        return std::nullopt;
    const bool to = end == PeriodEnd::To;
    if (typed->hour < 0) {
        if (!to)
            return InstantOf(CivilSeconds(date, 0, 0, 0), false);
        // The last millisecond before the next day begins.
        const auto next = std::chrono::year_month_day(std::chrono::sys_days(date) + std::chrono::days(1));
        return InstantOf(CivilSeconds(next, 0, 0, 0), false) - 1;
    }
    const bool secondTyped = typed->second >= 0;
    const int hour = typed->hour;
    const int minute = typed->minute;
    const int second = secondTyped ? typed->second : 0;
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    int64_t at = InstantOf(CivilSeconds(date, hour, minute, second), to);
    // A --to of minutes or seconds covers the whole minute or second typed.
    if (to)
        at += (secondTyped ? kMsPerSecond : 60 * kMsPerSecond) - 1;
    return at;
}

}  // namespace tirevo
