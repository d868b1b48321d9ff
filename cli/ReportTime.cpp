#include "ReportTime.h"

#include "ZoneRules.h"

#include <chrono>
#include <regex>

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

}  // namespace

std::optional<int64_t> ReportTimeUtcMs(const std::string& text, PeriodEnd end)
{
    static const std::regex pattern(R"((\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2}))?)?)");
    std::smatch match;
    if (!std::regex_match(text, match, pattern))
        return std::nullopt;
    const std::chrono::year_month_day date{
        std::chrono::year(std::stoi(match[1].str())),
        std::chrono::month(static_cast<unsigned>(std::stoi(match[2].str()))),
        std::chrono::day(static_cast<unsigned>(std::stoi(match[3].str())))};
    if (!date.ok())
        return std::nullopt;
    const bool to = end == PeriodEnd::To;
    if (!match[4].matched) {
        if (!to)
            return InstantOf(CivilSeconds(date, 0, 0, 0), false);
        // The last millisecond before the next day begins.
        const auto next = std::chrono::year_month_day(std::chrono::sys_days(date) + std::chrono::days(1));
        return InstantOf(CivilSeconds(next, 0, 0, 0), false) - 1;
    }
    const int hour = std::stoi(match[4].str());
    const int minute = std::stoi(match[5].str());
    const int second = match[6].matched ? std::stoi(match[6].str()) : 0;
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    int64_t at = InstantOf(CivilSeconds(date, hour, minute, second), to);
    // A --to of minutes or seconds covers the whole minute or second typed.
    if (to)
        at += (match[6].matched ? kMsPerSecond : 60 * kMsPerSecond) - 1;
    return at;
}

}  // namespace tirevo
