// What the user is told of alarms, in the window and on the command line.
#pragma once

#include "AlarmRule.h"

#include <string>
#include <string_view>

namespace tirevo {

// The local time of day, "10:02:45".
std::string AlarmClockText(const AlarmTime& time);

// The limit or reading as shown: two decimals with the given separator.
std::string AlarmNumberText(double value, char decimalSeparator);

// "Above 7.50 since 10:02:45", "Below 6.00 since ...", "Not responding since ..."
std::string AlarmStateText(const RaisedAlarm& alarm, char decimalSeparator);

// The one-line summary of an event: "pH 7.80 above 7.50", "pH 5.90 below
// 6.00", "pH meter A1B2C3 not responding", "pH back in range: 7.30", and for a
// meter that answers again "pH meter A1B2C3 responding again".
std::string AlarmEventText(const AlarmEvent& event, std::string_view serial, char decimalSeparator);

// The name of the alarm for scripts: "high", "low", "lost".
const char* AlarmKindName(AlarmKind kind);

}  // namespace tirevo
