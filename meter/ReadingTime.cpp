#include "ReadingTime.h"

#include <QTimeZone>

#include <cstdio>
#include <cstdlib>

namespace tirevo {

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

}  // namespace

QDateTime ReadingDateTime(const Reading& reading)
{
    return QDateTime::fromMSecsSinceEpoch(reading.utcMs, QTimeZone(reading.utcOffsetS));
}

LogClockTime ReadingLogTime(const Reading& reading)
{
    const QDateTime at = ReadingDateTime(reading);
    const QDate date = at.date();
    const QTime time = at.time();
    return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
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
