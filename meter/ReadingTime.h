// The wall-clock time of a reading, as records and printed lines show it.
// Kept in one place so that every user of a reading's time agrees on it.
#pragma once

#include "MeterSession.h"

#include <QDateTime>

#include <string>

namespace tirevo {

// The local time at which the reading was taken.
QDateTime ReadingLocalTime(const Reading& reading);

// 2026-12-08T14:03:01.250+01:00: ISO 8601 local time with milliseconds and
// the offset from UTC.
std::string IsoLocalTimeText(const QDateTime& time);

// 14:03:01
std::string ClockTimeText(const QDateTime& time);

}  // namespace tirevo
