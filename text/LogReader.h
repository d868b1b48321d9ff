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
    // Rows carry a date and time: keys are local civil seconds (the wall
    // clock time the row shows, counted from 1970-01-01 00:00 as if it were
    // UTC). Without time stamps keys are data row numbers, from 1.
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
// decides whether rows are time-stamped. Readings may use "." or "," as the
// decimal separator. Row numbers count every data row, skipped ones too, so
// a gap shows where rows were lost. The last row is not read unless it ends
// with a line end: it may be cut off (a reading "7.0" of "7.02").
LogSeries ReadLogSeries(std::string_view bytes);

// A reading as the log writes it: "-"? digits, "." or "," and digits,
// optionally "E", "-"? and digits. Nothing may come before or after.
bool ParseLogReading(std::string_view text, double& value);

// Days from 1970-01-01 to the given proleptic Gregorian date, and back.
long long DaysFromCivil(int year, int month, int day);
void CivilFromDays(long long days, int& year, int& month, int& day);

// "yyyy-mm-ddThh:mm:ss" of local civil seconds, with ".zzz" when the key has
// a fraction of a second.
std::string CivilIsoText(double civilSeconds);

}  // namespace tirevo
