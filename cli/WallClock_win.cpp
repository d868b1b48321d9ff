// Windows: the local time by the system's own time zone rules.
#include "ReadingOutput.h"

#include <windows.h>

namespace tirevo {

namespace {

constexpr LONGLONG kTicksPerSecond = 10000000;  // FILETIME counts 100 ns

LONGLONG Ticks(const SYSTEMTIME& time)
{
    FILETIME file{};
    SystemTimeToFileTime(&time, &file);
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime);
}

}  // namespace

WallTime LocalWallTime()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    SYSTEMTIME utc{};
    FileTimeToSystemTime(&now, &utc);
    SYSTEMTIME local = utc;
    // The current zone with its rules in force now, which is what "now"
    // needs (the Ex variant, for other years' rules, is missing in Wine).
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        local = utc;
    WallTime time;
    time.year = local.wYear;
    time.month = local.wMonth;
    time.day = local.wDay;
    time.hour = local.wHour;
    time.minute = local.wMinute;
    time.second = local.wSecond;
    time.millisecond = local.wMilliseconds;
    // Both to the millisecond, so the difference is whole seconds.
    time.utcOffsetSeconds = static_cast<int>((Ticks(local) - Ticks(utc)) / kTicksPerSecond);
    return time;
}

}  // namespace tirevo
