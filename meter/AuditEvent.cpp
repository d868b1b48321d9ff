#include "AuditEvent.h"

#include "AuditJson.h"

#include <QCryptographicHash>
#include <QFile>

namespace tirevo {

namespace {

AuditMember Text(const char* name, std::string_view text)
{
    return {name, AuditValue::Text(std::string(text))};
}

}  // namespace

AuditValue AuditValue::Decimal(std::string text)
{
    if (text.empty())
        return Null();
    if (!IsJsonNumber(text))
        return Text(std::move(text));
    return {Kind::Number, std::move(text), false};
}

std::string Sha256Hex(std::string_view bytes)
{
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

std::optional<std::string> FileSha256Hex(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return std::nullopt;
    return hash.result().toHex().toStdString();
}

AuditEvent SampleEvent(const SampleRow& row, std::string_view fileName)
{
    return {kAuditSample,
            {Text("name", row.name),
             {"ph", AuditValue::Decimal(row.readingText)},
             {"stable", AuditValue::Bool(row.stable)},
             Text("serial", Latin1ToUtf8(row.serial)),
             Text(kAuditFile, fileName),
             Text(kAuditRow, Sha256Hex(RecordFile::RowText(SampleFields(row))))}};
}

AuditEvent CalibrationEvent(const CalibrationRow& row, std::string_view fileName)
{
    const std::vector<std::string> fields = CalibrationFields(row);
    constexpr std::size_t kResultColumn = 10;
    return {kAuditCalibration,
            {{"point", AuditValue::Integer(row.point)},
             {"buffer", AuditValue::Decimal(row.buffer)},
             Text("command", row.command),
             Text("result", fields[kResultColumn]),
             Text("serial", Latin1ToUtf8(row.serial)),
             Text(kAuditFile, fileName),
             Text(kAuditRow, Sha256Hex(RecordFile::RowText(fields)))}};
}

AuditEvent AdoptEvent(std::string_view fileName, int64_t rows, std::string_view fileSha256)
{
    return {kAuditAdopt,
            {Text(kAuditFile, fileName),
             {kAuditRows, AuditValue::Integer(rows)},
             Text(kAuditSha256, fileSha256)}};
}

AuditEvent SettingsEvent(std::string_view section, std::string_view key, std::string_view oldValue,
                         std::string_view newValue)
{
    return {kAuditSettings,
            {Text("section", section), Text("key", key), Text("old", oldValue), Text("new", newValue)}};
}

AuditEvent AlarmAuditEvent(std::string_view what, std::string limit, std::string ph, std::string_view serial)
{
    return {kAuditAlarm,
            {Text(kAuditWhat, what),
             {"limit", AuditValue::Decimal(std::move(limit))},
             {"ph", AuditValue::Decimal(std::move(ph))},
             Text("serial", serial)}};
}

AuditEvent MeterEvent(std::string_view what, std::string_view serial)
{
    return {kAuditMeter, {Text(kAuditWhat, what), Text("serial", serial)}};
}

AuditEvent LogStartedEvent(std::string_view path, std::string_view serial)
{
    return {kAuditLog, {Text(kAuditWhat, kLogStarted), Text(kAuditPath, path), Text("serial", serial)}};
}

AuditEvent LogClosedEvent(std::string_view path, std::optional<int64_t> rows, std::string_view fileSha256)
{
    return {kAuditLog,
            {Text(kAuditWhat, kLogClosed),
             Text(kAuditPath, path),
             {kAuditRows, rows ? AuditValue::Integer(*rows) : AuditValue::Null()},
             Text(kAuditSha256, fileSha256)}};
}

}  // namespace tirevo
