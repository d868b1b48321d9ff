#include "ReadingTime.h"

#include <QTimeZone>

namespace tirevo {

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

}  // namespace tirevo
