// The text of the pH data log: its file name, header, rows, and the texts of
// the input/output errors the user sees when the file fails.
#pragma once

#include <string>
#include <string_view>

namespace tirevo {

// A local date and time as the clock gave it, one sample.
struct LogClockTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
};

inline constexpr std::string_view kLogLineEnd = "\r\n";

// "USB_PH_yymmdd_hhmmss.txt" for attempt 1; later attempts, made when that
// name is already taken, put "_<attempt>" before ".txt".
std::string LogFileName(const LogClockTime& start, int attempt = 1);
// The same with the meter's serial number before ".txt", for a run that logs
// several meters at once: "USB_PH_yymmdd_hhmmss_SERIAL.txt". Bytes of the
// serial number that do not belong in a file name (anything but letters,
// digits, "-" and ".") are written as "_".
std::string LogFileName(const LogClockTime& start, int attempt, std::string_view serial);

// Header lines with their line ends: title, rule, version, serial number,
// rule, an empty line, and the column names only when rows carry a time
// stamp. The serial number and the separator are written as the bytes they
// are, a NUL included.
std::string LogHeaderText(std::string_view appVersion, std::string_view meterSerial, bool useTimeStamp,
                          char separator);

// One row with its line end: "dd.mm.yyyy" separator "hh" T "nn" T "ss"
// separator reading, or the reading alone without time stamps.
std::string LogRowText(const LogClockTime& now, char timeSeparator, bool useTimeStamp, char separator,
                       std::string_view readingText);

// The input/output error code the user is shown for a system error number:
// 2 file not found, 3 invalid filename, 4 too many open files, 5 access
// denied, 101 disk full, 103 file not open, and a few others by their usual
// numbers; anything unknown keeps its own number unless that would read as
// one of the named codes.
int IoErrorCode(int systemError);

// "File not found", "Disk full", ..., or "I/O error <code>".
std::string IoErrorText(int code);

}  // namespace tirevo
