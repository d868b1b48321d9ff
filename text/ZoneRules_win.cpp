// Windows: the zone set in the system, through its own conversion of UTC to
// local time; the C library's localtime would read TZ in a form of its own
// and take any other form for UTC.
#include "ZoneRules.h"

#include <algorithm>
#include <windows.h>

namespace tirevo {

namespace {

constexpr long long kTicksPerSecond = 10000000;  // FILETIME counts 100 ns
constexpr long long kEpochFrom1601 = 11644473600;
constexpr long long kSecondsPerDay = 86400;

long long Ticks(const SYSTEMTIME& time)
{
    FILETIME file{};
    if (!SystemTimeToFileTime(&time, &file))
        return 0;
    return static_cast<long long>((static_cast<unsigned long long>(file.dwHighDateTime) << 32) |
                                  file.dwLowDateTime);
}

}  // namespace

long long LocalOffsetAt(long long utcSeconds)
{
    if (utcSeconds < -kEpochFrom1601)
        return 0;
    const auto ticks = static_cast<unsigned long long>((utcSeconds + kEpochFrom1601) * kTicksPerSecond);
    FILETIME file{};
    file.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    // The zone in force now, with its rules for the date given.
    if (!FileTimeToSystemTime(&file, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        return 0;
    return (Ticks(local) - Ticks(utc)) / kTicksPerSecond;
}

std::vector<long long> LocalOffsetsOf(long long civil)
{
    // Every offset that can be in force within a day of that wall clock
    // time: the one before a change of the clocks and the one after it.
    std::vector<long long> candidates{LocalOffsetAt(civil - kSecondsPerDay), LocalOffsetAt(civil),
                                      LocalOffsetAt(civil + kSecondsPerDay)};
    std::vector<long long> out;
    for (const long long offset : candidates) {
        if (LocalOffsetAt(civil - offset) == offset && std::find(out.begin(), out.end(), offset) == out.end())
            out.push_back(offset);
    }
    // A time the clocks skipped: read with the offset before the change,
    // as the C library of a POSIX system does.
    if (out.empty())
        out.push_back(candidates.front());
    std::sort(out.begin(), out.end(), [](long long a, long long b) { return a > b; });
    return out;
}

}  // namespace tirevo
