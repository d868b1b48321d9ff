#include "ReadingTime.h"

#include <cstdio>
#include <cstdlib>

namespace tirevo {

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

}  // namespace

QDateTime ReadingLocalTime(const Reading& /*reading*/)
{
    // A reading is handed on the moment its line is taken, so the clock now
    // is the reading's time.
    return QDateTime::currentDateTime();
}

std::string IsoLocalTimeText(const QDateTime& time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    const int offsetS = time.offsetFromUtc();
    const int offset = std::abs(offsetS);
    char text[128];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", date.year(),
                  date.month(), date.day(), clock.hour(), clock.minute(), clock.second(), clock.msec(),
                  offsetS < 0 ? '-' : '+', offset / kSecondsPerHour,
                  offset % kSecondsPerHour / kSecondsPerMinute);
    return text;
}

std::string ClockTimeText(const QDateTime& time)
{
    const QTime clock = time.time();
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", clock.hour(), clock.minute(), clock.second());
    return text;
}

}  // namespace tirevo
