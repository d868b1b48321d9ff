// Reading back the pH data log files the program writes, for the trend
// window: a plain function over the file's bytes, so that a file of any shape
// (cut off, still being written, not a log at all) is only ever data.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

struct LogSeries {
    // Rows carry a date and time: keys are UTC milliseconds since the epoch,
    // of the local time the row shows read by the time zone's rules. Without
    // time stamps keys are data row numbers, from 1. Keys need not rise: a
    // clock set back while logging gives earlier times later in the file.
    bool timeStamped = false;
    std::vector<double> keys;
    std::vector<double> values;
    // Data rows that could not be read, an unended last row included.
    std::size_t skipped = 0;
};

// Reads a log: the six header lines (when the file starts with the title),
// the column line "DATE", separator, "TIME", separator, "pH" that tells time
// stamps and their separator, then one row per line. Lines end in CRLF (a
// bare LF is taken too). Without a header or column line, the first data row
// decides whether rows are time-stamped. Readings are numbers of the form the
// meter sends (see ParseReadingField), with "." or the "," of a locale that
// writes one as the decimal separator. A time that the clocks show twice, in
// the hour repeated at the end of summer time, is taken in file order: the
// first instant unless that lies before the row above. Row numbers count every data row, skipped ones too, so
// a gap shows where rows were lost. The last row is not read unless it ends
// with a line end: it may be cut off (a reading "7.0" of "7.02").
LogSeries ReadLogSeries(std::string_view bytes);

// The meter's serial number in a log's header ("Meter Serial Number   :
// QP000001"), or empty when the header names none.
std::string LogHeaderSerial(std::string_view bytes);

// Days from 1970-01-01 to the given proleptic Gregorian date, and back.
long long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long long days, int& year, int& month, int& day);

// "yyyy-mm-ddThh:mm:ss" of local civil seconds, with ".zzz" when the key has
// a fraction of a second.
std::string CivilIsoText(double civilSeconds);

// The local time of UTC milliseconds since the epoch by the time zone's rules,
// as CivilIsoText with the UTC offset after it: "2026-10-25T02:30:00+01:00".
// The offset tells apart the two passes through an hour that repeats.
std::string LocalIsoText(double utcMillis);

}  // namespace tirevo
