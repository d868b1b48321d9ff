// A reading's time stamp as local date and time, by the offset from UTC it
// was taken with: the row, the printed line, the records and the trend point
// of one reading show the same moment, whatever the clock or the zone does
// after.
#pragma once

#include "LogText.h"
#include "MeterSession.h"

#include <QDateTime>

#include <string>

namespace tirevo {

// The moment with its own offset, so date() and time() give the local time
// of the stamp.
QDateTime ReadingDateTime(const Reading& reading);

// The local date and time of the stamp, as log rows write them.
LogClockTime ReadingLogTime(const Reading& reading);

// 2026-12-08T14:03:01.250+01:00: ISO 8601 local time with milliseconds and
// the offset from UTC.
std::string IsoLocalTimeText(const QDateTime& time);

// 14:03:01
std::string ClockTimeText(const QDateTime& time);

}  // namespace tirevo
