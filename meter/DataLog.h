// Data collection to disk: every start makes a new file that never replaces
// another, and every row is handed to the operating system before the next
// reading arrives. Used by the window and the command line alike, so both
// write the same files byte for byte.
#pragma once

#include "LogFile.h"
#include "LogText.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tirevo {

struct DataLogOptions {
    std::string folder;  // where files are made; empty: the current folder
    bool useTimeStamp = true;
    char separator = '\t';
    // The meter's serial number in the file name too, when several meters
    // log into one folder at once.
    bool serialInName = false;
};

class DataLog {
public:
    // clock gives the local date and time of file names; unset means the
    // system clock. Rows carry the time stamps of their readings.
    explicit DataLog(std::function<LogClockTime()> clock = {});

    // Creates the file and writes the header. Returns 0, or the system error
    // number; on failure nothing stays open.
    int Start(const DataLogOptions& options, std::string_view appVersion, std::string_view meterSerial);
    // One row for a reading as shown, with the local date and time of the
    // reading's stamp. Returns 0 or the system error number; on failure the
    // file is closed and collection is off.
    int WriteRow(std::string_view readingText, char timeSeparator, const LogClockTime& at);
    // Returns 0 or the system error number; the file is released either way.
    int Stop();

    bool Logging() const { return file_.IsOpen(); }
    // Name of the file being written (or last written), folder included.
    const std::string& FileName() const { return fileName_; }
    // Rows written to that file, its header not counted.
    int64_t Rows() const { return rows_; }

private:
    std::function<LogClockTime()> clock_;
    DataLogOptions options_;
    std::string fileName_;
    int64_t rows_ = 0;
    LogFile file_;
};

// The local date and time now, as rows and names use them.
LogClockTime SystemLogClock();

}  // namespace tirevo
