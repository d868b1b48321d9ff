#include "ReadingOutput.h"

#include <ctime>

namespace tirevo {

namespace {

constexpr long kNanosecondsPerMillisecond = 1000000;
constexpr int kTmYearBase = 1900;

}  // namespace

WallTime LocalWallTime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    WallTime time;
    time.year = local.tm_year + kTmYearBase;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    time.second = local.tm_sec;
    time.millisecond = static_cast<int>(now.tv_nsec / kNanosecondsPerMillisecond);
    time.utcOffsetSeconds = static_cast<int>(local.tm_gmtoff);
    return time;
}

}  // namespace tirevo
