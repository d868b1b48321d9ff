#include "ReportData.h"

#include "AuditEvent.h"
#include "CalibrationRecord.h"
#include "LogReader.h"
#include "ReadingText.h"
#include "SampleRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>

namespace tirevo {

namespace {

constexpr const char* kLogNamePattern = "USB_PH_*.txt";
constexpr std::string_view kSerialHeader = "Meter Serial Number   : ";
constexpr std::size_t kLogHeaderScan = 1024;  // the header's lines lie well within this

QString Path(const std::string& text) { return QString::fromStdString(text); }

std::optional<std::string> ReadWhole(const std::string& path, std::string& why)
{
    QFile file(Path(path));
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString().toStdString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError) {
        why = file.errorString().toStdString();
        return std::nullopt;
    }
    return bytes.toStdString();
}

std::string SerialFromHeader(std::string_view bytes)
{
    const std::string_view head = bytes.substr(0, kLogHeaderScan);
    const std::size_t at = head.find(kSerialHeader);
    if (at == std::string_view::npos)
        return {};
    const std::size_t start = at + kSerialHeader.size();
    const std::size_t end = head.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
        return {};
    return Latin1ToUtf8(head.substr(start, end - start));
}

bool InPeriod(double utcMs, const ReportRequest& request)
{
    return (!request.fromUtcMs || utcMs >= static_cast<double>(*request.fromUtcMs)) &&
        (!request.toUtcMs || utcMs <= static_cast<double>(*request.toUtcMs));
}

bool OfMeter(const std::string& serial, const ReportRequest& request)
{
    return request.serial.empty() || serial == request.serial;
}

// What the trail says for the report: which meter each log was of (by file
// name, as the folder may have moved since) and the alarms.
struct TrailFacts {
    std::map<std::string, std::string> logSerials;
    std::vector<ReportAlarm> alarms;
};

std::string Member(const QJsonObject& object, const char* name)
{
    const QJsonValue value = object.value(QLatin1String(name));
    if (value.isString())
        return value.toString().toStdString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'f', 2).toStdString();
    return {};
}

TrailFacts ReadTrail(const ReportRequest& request, ReportData& data)
{
    TrailFacts facts;
    const std::string path =
        QDir(Path(request.recordsFolder)).filePath(QString::fromLatin1(kAuditFileName)).toStdString();
    if (!QFileInfo::exists(Path(path)))
        return facts;
    std::string why;
    const std::optional<std::string> bytes = ReadWhole(path, why);
    if (!bytes) {
        data.notes.push_back(path + ": " + why);
        return facts;
    }
    std::size_t start = 0;
    while (start < bytes->size()) {
        std::size_t end = bytes->find('\n', start);
        if (end == std::string::npos)
            end = bytes->size();
        const QJsonObject line =
            QJsonDocument::fromJson(QByteArray(bytes->data() + start, static_cast<qsizetype>(end - start)))
                .object();
        start = end + 1;
        const std::string event = Member(line, "event");
        const std::string what = Member(line, kAuditWhat);
        if (event == kAuditLog && what == kLogStarted) {
            const std::string logPath = Member(line, kAuditPath);
            facts.logSerials[QFileInfo(Path(logPath)).fileName().toStdString()] = Member(line, "serial");
        } else if (event == kAuditAlarm) {
            const std::optional<int64_t> at = RecordTimeUtcMs(Member(line, "time"));
            const std::string serial = Member(line, "serial");
            if (!at || !OfMeter(serial, request))
                continue;
            facts.alarms.push_back({*at, ReportTimeText(static_cast<double>(*at)), what,
                                    Member(line, "limit"), Member(line, "ph"), serial});
        }
    }
    return facts;
}

struct LogRows {
    std::vector<double> keys;
    std::vector<double> values;
};

std::vector<LogRows> ReadLogs(const ReportRequest& request, const TrailFacts& trail, ReportData& data)
{
    std::vector<LogRows> out;
    const QDir folder(Path(request.logsFolder.empty() ? std::string(".") : request.logsFolder));
    const QStringList names =
        folder.entryList({QString::fromLatin1(kLogNamePattern)}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& name : names) {
        const std::string path = folder.filePath(name).toStdString();
        std::string serial = SerialFromLogName(name.toStdString());
        if (serial.empty()) {
            const auto known = trail.logSerials.find(name.toStdString());
            if (known != trail.logSerials.end())
                serial = known->second;
        }
        std::string why;
        const std::optional<std::string> bytes = ReadWhole(path, why);
        if (!bytes) {
            data.notes.push_back(path + ": " + why);
            continue;
        }
        if (serial.empty())
            serial = SerialFromHeader(*bytes);
        // A log whose meter nothing tells is kept: it may well be the one asked for.
        if (!serial.empty() && !OfMeter(serial, request))
            continue;
        LogSeries series = ReadLogSeries(*bytes);
        if (!series.timeStamped) {
            if (!series.keys.empty())
                data.notes.push_back(path + ": rows without time stamps, left out");
            continue;
        }
        LogRows rows;
        for (std::size_t i = 0; i < series.keys.size(); ++i) {
            if (!InPeriod(series.keys[i], request))
                continue;
            rows.keys.push_back(series.keys[i]);
            rows.values.push_back(series.values[i]);
        }
        if (rows.keys.empty())
            continue;
        data.logs.push_back({path, serial, static_cast<int64_t>(rows.keys.size())});
        out.push_back(std::move(rows));
    }
    return out;
}

std::vector<CsvRecord> ReadRecords(const std::string& folder, const char* fileName, ReportData& data)
{
    const std::string path = QDir(Path(folder)).filePath(QString::fromLatin1(fileName)).toStdString();
    if (!QFileInfo::exists(Path(path)))
        return {};
    std::string why;
    const std::optional<std::string> bytes = ReadWhole(path, why);
    if (!bytes) {
        data.notes.push_back(path + ": " + why);
        return {};
    }
    std::vector<CsvRecord> records = ParseCsv(*bytes);
    if (!records.empty())
        records.erase(records.begin());  // the header
    return records;
}

void GatherSamples(const ReportRequest& request, ReportData& data)
{
    for (const CsvRecord& record : ReadRecords(request.recordsFolder, kSamplesFileName, data)) {
        const std::vector<std::string>& f = record.fields;
        if (f.size() < 5)
            continue;
        const std::optional<int64_t> at = RecordTimeUtcMs(f[0]);
        if (!at || !InPeriod(static_cast<double>(*at), request) || !OfMeter(f[4], request))
            continue;
        data.samples.push_back(
            {*at, ReportTimeText(static_cast<double>(*at)), f[1], f[2], f[3] == "yes", f[4]});
    }
    std::stable_sort(data.samples.begin(), data.samples.end(),
                     [](const ReportSample& a, const ReportSample& b) { return a.utcMs < b.utcMs; });
}

std::optional<ReportCalibration> CalibrationOf(const CsvRecord& record)
{
    enum Column {
        Time,
        Serial,
        Point,
        Buffer,
        Command,
        AsFound,
        AsFoundStable,
        AsLeft,
        AsLeftStable,
        Error,
        Result,
        Count
    };
    const std::vector<std::string>& f = record.fields;
    if (f.size() < Count)
        return std::nullopt;
    const std::optional<int64_t> at = RecordTimeUtcMs(f[Time]);
    if (!at || (f[Point] != "1" && f[Point] != "2"))
        return std::nullopt;
    ReportCalibration row;
    row.utcMs = *at;
    row.time = ReportTimeText(static_cast<double>(*at));
    row.serial = f[Serial];
    row.point = f[Point] == "1" ? 1 : 2;
    row.buffer = f[Buffer];
    row.asFound = f[AsFound];
    row.asLeft = f[AsLeft];
    row.error = f[Error];
    row.result = f[Result];
    return row;
}

void GatherCalibrations(const ReportRequest& request, ReportData& data)
{
    std::map<std::string, ReportCalibration> inForce;  // per meter
    std::vector<ReportCalibration> inPeriod;
    for (const CsvRecord& record : ReadRecords(request.recordsFolder, kCalibrationsFileName, data)) {
        std::optional<ReportCalibration> row = CalibrationOf(record);
        if (!row || !OfMeter(row->serial, request))
            continue;
        if (request.fromUtcMs && row->utcMs < *request.fromUtcMs) {
            auto& last = inForce[row->serial];
            if (row->result == "pass" && row->utcMs >= last.utcMs) {
                last = *row;
                last.inForce = true;
            }
        } else if (InPeriod(static_cast<double>(row->utcMs), request)) {
            inPeriod.push_back(*row);
        }
    }
    for (auto& [serial, row] : inForce)
        if (row.inForce)
            data.calibrations.push_back(row);
    std::stable_sort(
        inPeriod.begin(), inPeriod.end(),
        [](const ReportCalibration& a, const ReportCalibration& b) { return a.utcMs < b.utcMs; });
    data.calibrations.insert(data.calibrations.end(), inPeriod.begin(), inPeriod.end());

    std::vector<PairCandidate> candidates;
    for (const ReportCalibration& row : data.calibrations)
        candidates.push_back({row.utcMs, row.serial, row.point});
    for (const auto& [one, two] : PairCalibrationPoints(candidates)) {
        const ReportCalibration& a = data.calibrations[one];
        const ReportCalibration& b = data.calibrations[two];
        const auto b1 = ParseReadingField(a.buffer);
        const auto f1 = ParseReadingField(a.asFound);
        const auto b2 = ParseReadingField(b.buffer);
        const auto f2 = ParseReadingField(b.asFound);
        if (!b1 || !f1 || !b2 || !f2)
            continue;
        if (const auto figures = ElectrodeFromPoints(*b1, *f1, *b2, *f2))
            data.electrodes.push_back({one, two, *figures});
    }
}

// Without both ends asked for, the period is that of the measurements found:
// the readings and the samples. The calibrations and alarms of a records
// folder kept for years then fall in it or before it, and the one in force
// at its start is found. Only a folder without measurements takes its
// period from them.
struct Span {
    std::optional<double> first;
    std::optional<double> last;
    void Take(double t)
    {
        first = first ? std::min(*first, t) : t;
        last = last ? std::max(*last, t) : t;
    }
};

Span MeasurementSpan(const ReportData& data)
{
    Span span;
    if (data.figures.count > 0) {
        span.Take(data.figures.firstUtcMs);
        span.Take(data.figures.lastUtcMs);
    }
    for (const auto& s : data.samples)
        span.Take(static_cast<double>(s.utcMs));
    return span;
}

ReportRequest EffectivePeriod(const ReportRequest& request, const Span& span)
{
    ReportRequest out = request;
    if (!out.fromUtcMs && span.first)
        out.fromUtcMs = static_cast<int64_t>(std::floor(*span.first));
    if (!out.toUtcMs && span.last)
        out.toUtcMs = static_cast<int64_t>(std::ceil(*span.last));
    return out;
}

void SetPeriod(const ReportRequest& effective, ReportData& data)
{
    Span span;
    for (const auto& c : data.calibrations)
        if (!c.inForce)
            span.Take(static_cast<double>(c.utcMs));
    for (const auto& a : data.alarms)
        span.Take(static_cast<double>(a.utcMs));
    if (effective.fromUtcMs)
        span.first = static_cast<double>(*effective.fromUtcMs);
    if (effective.toUtcMs)
        span.last = static_cast<double>(*effective.toUtcMs);
    data.hasPeriod = span.first && span.last;
    if (data.hasPeriod) {
        data.fromUtcMs = *span.first;
        data.toUtcMs = std::max(*span.first, *span.last);
    }
}

void SetSerials(ReportData& data)
{
    if (!data.request.serial.empty()) {
        data.serials = {data.request.serial};
        return;
    }
    std::set<std::string> found;
    for (const auto& l : data.logs)
        if (!l.serial.empty())
            found.insert(l.serial);
    for (const auto& s : data.samples)
        found.insert(s.serial);
    for (const auto& c : data.calibrations)
        found.insert(c.serial);
    for (const auto& a : data.alarms)
        found.insert(a.serial);
    found.erase(std::string());
    data.serials.assign(found.begin(), found.end());
}

}  // namespace

std::string SerialFromLogName(const std::string& fileName)
{
    // USB_PH_yymmdd_hhmmss[_SERIAL][_attempt].txt
    constexpr std::size_t kStampLength = 7 + 6 + 1 + 6;
    if (fileName.size() <= kStampLength + 4 || fileName.compare(0, 7, "USB_PH_") != 0 ||
        fileName.compare(fileName.size() - 4, 4, ".txt") != 0)
        return {};
    std::string rest = fileName.substr(kStampLength, fileName.size() - 4 - kStampLength);
    if (rest.empty() || rest[0] != '_')
        return {};
    rest.erase(0, 1);
    // A trailing "_N" is the attempt, and a name of digits alone is one too.
    const std::size_t cut = rest.rfind('_');
    auto digits = [](const std::string& s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (cut != std::string::npos && digits(rest.substr(cut + 1)))
        rest.erase(cut);
    return digits(rest) ? std::string() : rest;
}

std::string ReportTimeText(double utcMs)
{
    std::string text = LocalIsoText(utcMs).substr(0, 19);
    if (text.size() > 10 && text[10] == 'T')
        text[10] = ' ';
    return text;
}

ReportData GatherReport(const ReportRequest& request, int chartColumns)
{
    ReportData data;
    data.request = request;
    data.chartColumns = chartColumns;
    TrailFacts trail = ReadTrail(request, data);
    std::vector<LogRows> logs = ReadLogs(request, trail, data);
    FiguresAccumulator figures(request.highLimit, request.lowLimit);
    for (const LogRows& log : logs) {
        for (std::size_t i = 0; i < log.keys.size(); ++i)
            figures.Add(log.keys[i], log.values[i]);
        figures.EndRun();
    }
    data.figures = figures.Figures();
    GatherSamples(request, data);

    const ReportRequest effective = EffectivePeriod(request, MeasurementSpan(data));
    for (ReportAlarm& alarm : trail.alarms)
        if (InPeriod(static_cast<double>(alarm.utcMs), effective))
            data.alarms.push_back(std::move(alarm));
    GatherCalibrations(effective, data);
    SetPeriod(effective, data);
    SetSerials(data);
    if (data.hasPeriod)
        for (const LogRows& log : logs)
            data.chart = MergeColumns(
                data.chart,
                ReduceToColumns(log.keys, log.values, data.fromUtcMs, data.toUtcMs, chartColumns));
    data.verify = CheckAuditFolder(request.recordsFolder);
    return data;
}

}  // namespace tirevo
