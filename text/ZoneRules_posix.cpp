#include "ZoneRules.h"

#include <algorithm>
#include <ctime>
#include <optional>

namespace tirevo {

long long LocalOffsetAt(long long utcSeconds)
{
    const auto when = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
    if (!localtime_r(&when, &local))
        return 0;
    return local.tm_gmtoff;
}

std::vector<long long> LocalOffsetsOf(long long civil)
{
    // The wall clock's fields: civil read as if it were UTC.
    const auto asUtc = static_cast<std::time_t>(civil);
    std::tm wanted{};
    if (!gmtime_r(&asUtc, &wanted))
        return {0};
    wanted.tm_wday = 0;
    wanted.tm_yday = 0;
    std::vector<long long> out;
    std::optional<long long> fallback;
    // Asked once as standard and once as summer time: each answer that
    // shows the same wall clock time again is an instant it stood for.
    for (const int dst : {0, 1, -1}) {
        std::tm fields = wanted;
        fields.tm_isdst = dst;
        const std::time_t when = std::mktime(&fields);
        std::tm back{};
        if (!localtime_r(&when, &back))
            continue;
        if (back.tm_year == wanted.tm_year && back.tm_mon == wanted.tm_mon &&
            back.tm_mday == wanted.tm_mday && back.tm_hour == wanted.tm_hour &&
            back.tm_min == wanted.tm_min && back.tm_sec == wanted.tm_sec) {
            const long long offset = civil - static_cast<long long>(when);
            if (std::find(out.begin(), out.end(), offset) == out.end())
                out.push_back(offset);
        } else if (dst < 0) {
            fallback = civil - static_cast<long long>(when);
        }
    }
    if (out.empty())
        out.push_back(fallback.value_or(0));
    std::sort(out.begin(), out.end(), [](long long a, long long b) { return a > b; });
    return out;
}

}  // namespace tirevo
