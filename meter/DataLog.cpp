#include "DataLog.h"

#include <QDateTime>

#include <cerrno>
#include <unistd.h>

namespace tirevo {

namespace {

// Suffixes tried when the file name of a start is taken; more would only
// mean something keeps creating these names.
constexpr int kLogFileAttempts = 9999;

}  // namespace

LogClockTime SystemLogClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return {date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()};
}

DataLog::DataLog(std::function<LogClockTime()> clock) : clock_(clock ? std::move(clock) : SystemLogClock) {}

int DataLog::Start(const DataLogOptions& options, std::string_view appVersion, std::string_view meterSerial)
{
    if (file_.IsOpen())
        return EBUSY;
    options_ = options;
    rows_ = 0;
    // Two starts within one second, or a clock set back, give the same name;
    // an existing file is never replaced, the new one is numbered.
    const LogClockTime start = clock_();
    std::string folder = options.folder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    int error = EEXIST;
    for (int attempt = 1; attempt <= kLogFileAttempts && error == EEXIST; ++attempt) {
        fileName_ = folder +
            (options.serialInName ? LogFileName(start, attempt, meterSerial) : LogFileName(start, attempt));
        error = file_.CreateNew(fileName_);
    }
    if (error != 0)
        return error;
    error = file_.Write(LogHeaderText(appVersion, meterSerial, options.useTimeStamp, options.separator));
    if (error != 0) {
        // A file without its header is no log; the name this start created
        // is not left behind.
        file_.Close();
        ::unlink(fileName_.c_str());
    }
    return error;
}

int DataLog::WriteRow(std::string_view readingText, char timeSeparator, const LogClockTime& at)
{
    if (!file_.IsOpen())
        return EBADF;
    // Date and time come from the one stamp of the reading, so a row written
    // at midnight cannot pair one day's date with the next day's time.
    const std::string row =
        LogRowText(at, timeSeparator, options_.useTimeStamp, options_.separator, readingText);
    const int error = file_.Write(row);
    if (error != 0)
        file_.Close();
    else
        ++rows_;
    return error;
}

int DataLog::Stop() { return file_.Close(); }

}  // namespace tirevo
