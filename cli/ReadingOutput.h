// The readings on stdout: "text" for people, "csv" and "json" for programs.
// Numbers always carry "." whatever the locale, so scripts can read them.
#pragma once

#include "CliOptions.h"
#include "MeterSession.h"
#include "ReadingJson.h"
#include "SampleRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tirevo {

// A local wall-clock time with its offset from UTC, as one sample.
struct WallTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int utcOffsetSeconds = 0;  // east of UTC positive
};

// The local time of a reading's stamp, with the offset it was taken with.
WallTime ReadingWallTime(const Reading& reading);
// The wall clock now, in local time, by the Windows time zone rules; only the
// Windows build has it.
WallTime LocalWallTime();

// 2026-12-08T14:03:01.250+01:00
std::string IsoLocalTime(const WallTime& time);

// The line before the first reading; empty when the format has none.
// withSerial: the lines of a run over several meters ("time,serial,ph").
std::string OutputHeader(OutputFormat format, bool withSerial = false);

// One reading as a line with its line end. readingText is the reading as the
// window shows it, with "." as its decimal separator. stable goes into json.
// withSerial: text and csv name the meter ("10:02:45  QP000001  7.02"), as
// json always does.
std::string OutputLine(OutputFormat format, const WallTime& time, std::string_view readingText,
                       std::string_view serial, bool stable = false, bool withSerial = false);

// The result of measure: "S-7  10:02:45  7.00  stable" (the name left out
// when empty); csv: the samples file's header and row, byte for byte as in
// the file; json: one object with the same fields.
std::string MeasureOutput(OutputFormat format, const SampleRow& row, std::string_view clockText);

}  // namespace tirevo
