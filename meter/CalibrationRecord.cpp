#include "CalibrationRecord.h"

#include "SampleRecord.h"
#include "WholeFile.h"

#include <QDateTime>
#include <QString>

#include <cerrno>
#include <cstdlib>

namespace tirevo {

namespace {

constexpr int64_t kMsPerHour = 3600LL * 1000;

const char* ResultText(CalibrationResult result)
{
    switch (result) {
    case CalibrationResult::Pass:
        return "pass";
    case CalibrationResult::Fail:
        return "fail";
    case CalibrationResult::Unknown:
        break;
    }
    return "unknown";
}

enum Column { kTime = 0, kSerial = 1, kResult = 10, kColumns = 11 };

}  // namespace

std::vector<std::string> CalibrationFields(const CalibrationRow& row)
{
    return {row.time,
            RecordFile::GuardedText(Latin1ToUtf8(row.serial)),
            std::to_string(row.point),
            row.buffer,
            row.command,
            row.asFound,
            row.asFoundStable && !row.asFound.empty() ? "yes" : "no",
            row.asLeft,
            row.asLeft.empty() ? "no" : "yes",
            row.error,
            ResultText(row.result)};
}

RecordFile CalibrationsFile(const std::string& folder, bool createFolder)
{
    return RecordFile(folder, kCalibrationsFileName, kCalibrationsHeader, createFolder);
}

std::string HundredthsText(int64_t hundredths)
{
    const int64_t magnitude = hundredths < 0 ? -hundredths : hundredths;
    std::string text = hundredths < 0 ? "-" : "";
    text.append(std::to_string(magnitude / 100));
    text.push_back('.');
    text.push_back(static_cast<char>('0' + magnitude % 100 / 10));
    text.push_back(static_cast<char>('0' + magnitude % 10));
    return text;
}

std::string SignedHundredthsText(int64_t hundredths)
{
    std::string text = hundredths < 0 ? "" : "+";
    text.append(HundredthsText(hundredths));
    return text;
}

std::string CalibrationWaitingText(int point)
{
    return "Point " + std::to_string(point) + ": waiting for a stable reading\u2026";
}

std::string CalibrationLineText(const CalibrationRow& row)
{
    std::string text = "Point " + std::to_string(row.point) + ": as found " +
        (row.asFound.empty() ? std::string("---") : row.asFound) + ", ";
    if (row.asLeft.empty())
        return text + "no stable reading";
    text += "as left " + row.asLeft + ", ";
    if (row.result == CalibrationResult::Pass)
        return text + "pass";
    return text + "fail (" + row.error + ")";
}

std::vector<CsvRecord> ParseCsv(std::string_view text)
{
    std::vector<CsvRecord> records;
    std::size_t i = 0;
    while (i < text.size()) {
        CsvRecord record;
        const std::size_t start = i;
        std::string field;
        bool quoted = false;
        bool ended = false;
        while (i < text.size() && !ended) {
            const char c = text[i];
            if (quoted) {
                if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                if (c == '"')
                    quoted = false;
                else
                    field += c;
                ++i;
                continue;
            }
            if (c == '"') {
                quoted = true;
            } else if (c == ',') {
                record.fields.push_back(std::move(field));
                field.clear();
            } else if (c == '\r' || c == '\n') {
                // CRLF, or a lone LF or CR of a file edited by hand.
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
                ended = true;
            } else {
                field += c;
            }
            ++i;
        }
        record.fields.push_back(std::move(field));
        record.text = std::string(text.substr(start, i - start));
        records.push_back(std::move(record));
    }
    return records;
}

CalibrationsRead ReadCalibrations(const std::string& path)
{
    CalibrationsRead result;
    std::string text;
    errno = 0;
    const WholeFileRead read = ReadWholeFile(path, text);
    if (read != WholeFileRead::Read) {
        const int error = errno;
        result.status =
            read == WholeFileRead::Missing ? CalibrationsReadStatus::Missing : CalibrationsReadStatus::Failed;
        result.systemError = read == WholeFileRead::Missing ? ENOENT : (error != 0 ? error : EIO);
        return result;
    }
    // A spreadsheet may have saved the file with a byte order mark.
    if (std::string_view(text).substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        text.erase(0, kUtf8ByteOrderMark.size());
    std::vector<CsvRecord> records = ParseCsv(text);
    if (records.empty()) {
        result.status = CalibrationsReadStatus::Missing;
        return result;
    }
    const std::string& first = records.front().text;
    if (first.substr(0, first.find_first_of("\r\n")) != kCalibrationsHeader) {
        result.status = CalibrationsReadStatus::ForeignHeader;
        return result;
    }
    result.headerText = first;
    result.rows.assign(std::make_move_iterator(records.begin() + 1), std::make_move_iterator(records.end()));
    // The fields as they were written; the text stays as the file has it.
    for (CsvRecord& row : result.rows)
        if (row.fields.size() > kSerial)
            row.fields[kSerial] = RecordFile::UnguardedText(row.fields[kSerial]);
    return result;
}

std::optional<int64_t> RecordTimeUtcMs(std::string_view text)
{
    const QDateTime time = QDateTime::fromString(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time.toMSecsSinceEpoch();
}

std::string LocalMinuteText(int64_t utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs).toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
}

CalibrationDue CalibrationDueState(const std::vector<CsvRecord>& rows, std::string_view serial,
                                   int32_t dueHours, int64_t nowUtcMs)
{
    CalibrationDue state;
    if (dueHours <= 0)
        return state;
    for (const CsvRecord& row : rows) {
        if (row.fields.size() != kColumns || row.fields[kSerial] != serial || row.fields[kResult] != "pass")
            continue;
        const std::optional<int64_t> at = RecordTimeUtcMs(row.fields[kTime]);
        if (at && (!state.lastPassUtcMs || *at > *state.lastPassUtcMs))
            state.lastPassUtcMs = at;
    }
    if (!state.lastPassUtcMs) {
        state.due = true;
        return state;
    }
    state.dueSinceUtcMs = *state.lastPassUtcMs + static_cast<int64_t>(dueHours) * kMsPerHour;
    state.due = nowUtcMs > *state.dueSinceUtcMs;
    return state;
}

}  // namespace tirevo
