// calibrations.csv: one row per calibration point sent to a meter, with the
// reading before it (as found), the first stable reading after it (as left)
// and whether that lies within the tolerance of the buffer. The window and
// tirevo-cli write it alike; both also read it to tell when a meter is due.
#pragma once

#include "RecordFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

inline constexpr const char* kCalibrationsFileName = "calibrations.csv";
inline constexpr const char* kCalibrationsHeader =
    "time,serial,point,buffer,command,as_found,as_found_stable,as_left,as_left_stable,error,result";

enum class CalibrationResult { Pass, Fail, Unknown };

struct CalibrationRow {
    std::string time;     // when the command went on the line, ISO 8601 local time
    std::string serial;   // the driver's bytes, taken as Latin-1
    int point = 1;        // 1 or 2
    std::string buffer;   // the value entered, "." and two decimals
    std::string command;  // the bytes sent, without the carriage return
    std::string asFound;  // the last reading before the command, or empty
    bool asFoundStable = false;
    std::string asLeft;  // the first stable reading after it, or empty
    std::string error;   // as left - buffer, "+0.00"; empty without as left
    CalibrationResult result = CalibrationResult::Unknown;
};

// The fields of the row in the file's column order, all UTF-8; the serial
// number, the one field of free text, guarded against spreadsheets
// (RecordFile::GuardedText).
std::vector<std::string> CalibrationFields(const CalibrationRow& row);

// The calibrations file in folder.
RecordFile CalibrationsFile(const std::string& folder, bool createFolder);

// "4.01", "-0.05"
std::string HundredthsText(int64_t hundredths);
// "+0.19", "-0.03", "+0.00"
std::string SignedHundredthsText(int64_t hundredths);

// What the user is told of a point: "Point 1: waiting for a stable
// reading…", then "Point 1: as found 4.08, as left 4.01, pass", "... fail
// (+0.19)" or "... no stable reading". UTF-8.
std::string CalibrationWaitingText(int point);
std::string CalibrationLineText(const CalibrationRow& row);

// One record of a CSV file: its fields, and its text as the file holds it
// (line end included).
struct CsvRecord {
    std::vector<std::string> fields;
    std::string text;
};

// The records of RFC 4180 text in order, the header first. A last line
// without a line end is a record too; an unclosed quote runs to the end.
std::vector<CsvRecord> ParseCsv(std::string_view text);

enum class CalibrationsReadStatus { Read, Missing, ForeignHeader, Failed };

struct CalibrationsRead {
    CalibrationsReadStatus status = CalibrationsReadStatus::Read;
    std::string headerText;       // the header record as the file holds it
    std::vector<CsvRecord> rows;  // the rows after the header, fields unguarded
    int systemError = 0;          // for Failed
};

// The rows of the calibrations file at path.
CalibrationsRead ReadCalibrations(const std::string& path);

// Whether the meter with serial (UTF-8) is due: DueHours set, and its newest
// row with result pass is older than dueHours at nowUtcMs, or there is none.
// At exactly dueHours it is not yet due.
struct CalibrationDue {
    bool due = false;
    std::optional<int64_t> lastPassUtcMs;  // the newest pass, if any
    std::optional<int64_t> dueSinceUtcMs;  // lastPass + dueHours
};
CalibrationDue CalibrationDueState(const std::vector<CsvRecord>& rows, std::string_view serial,
                                   int32_t dueHours, int64_t nowUtcMs);

// The moment of a time field ("2026-12-08T14:03:01.250+01:00"), UTC ms.
std::optional<int64_t> RecordTimeUtcMs(std::string_view text);

// "2026-01-05 09:00", local time of the process's zone.
std::string LocalMinuteText(int64_t utcMs);

}  // namespace tirevo
