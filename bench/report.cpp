// The pH report over a week at 1 Hz: 604,800 rows in 7 daily logs, 50
// samples and 10 calibrations with their trail, written through the report
// module. Prints "report-rows=N", "report-ms=MS" (the gathering and the PDF),
// "report-peak-mib=MIB" (the process's peak resident memory) and
// "report-pdf-kib=KIB" for bench/run.
#include "AuditEvent.h"
#include "AuditTrail.h"
#include "CalibrationRecord.h"
#include "LogText.h"
#include "Measure.h"
#include "ReportLoader.h"
#include "SampleRecord.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <fstream>

using namespace tirevo;

namespace {

constexpr int kDays = 7;
constexpr int kSecondsPerDay = 86400;
constexpr int kSamples = 50;
constexpr int kCalibrationPairs = 5;

bool WriteLogs(const QDir& folder)
{
    for (int day = 1; day <= kDays; ++day) {
        const std::string name = LogFileName({2026, 12, day, 0, 0, 0}, 1, "QP000001");
        std::ofstream out(folder.filePath(QString::fromStdString(name)).toStdString(), std::ios::binary);
        out << LogHeaderText("1.0", "QP000001", true, '\t');
        char reading[16];
        for (int s = 0; s < kSecondsPerDay; ++s) {
            const double ph = 7.2 + 0.9 * std::sin((day * kSecondsPerDay + s) / 9000.0) + (s % 7) * 0.01;
            std::snprintf(reading, sizeof reading, "%.2f", ph);
            out << LogRowText({2026, 12, day, s / 3600, s / 60 % 60, s % 60}, ':', true, '\t', reading);
        }
        if (!out.flush())
            return false;
    }
    return true;
}

std::string Time(int day, int hour, int minute)
{
    char text[64];
    std::snprintf(text, sizeof text, "2026-12-%02dT%02d:%02d:00.000+00:00", day, hour, minute);
    return text;
}

bool WriteRecords(const std::string& folder)
{
    const AuditTrail trail(folder, {"lab", "bench-3", "tirevo 1.0"}, false);
    auto record = [&](const RecordFile& file, const std::vector<std::string>& fields,
                      const AuditEvent& event) {
        AuditFile locked;
        return trail.Lock(locked) == 0 && file.Append(fields).Ok() && trail.Append(locked, event).written;
    };
    for (int i = 0; i < kSamples; ++i) {
        const SampleRow row{Time(1 + i % kDays, 8 + i / kDays, 15), "S-" + std::to_string(i), "7.20", true,
                            "QP000001"};
        if (!record(SamplesFile(folder, false), SampleFields(row), SampleEvent(row, kSamplesFileName)))
            return false;
    }
    for (int i = 0; i < kCalibrationPairs * 2; ++i) {
        CalibrationRow row;
        row.time = Time(1 + i / 2, 6, i % 2 * 20);
        row.serial = "QP000001";
        row.point = 1 + i % 2;
        row.buffer = i % 2 ? "7.00" : "4.01";
        row.command = i % 2 ? "P20700" : "P10401";
        row.asFound = i % 2 ? "7.03" : "4.06";
        row.asFoundStable = true;
        row.asLeft = row.buffer;
        row.error = "+0.00";
        row.result = CalibrationResult::Pass;
        if (!record(CalibrationsFile(folder, false), CalibrationFields(row),
                    CalibrationEvent(row, kCalibrationsFileName)))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !WriteLogs(QDir(folder.path())) || !WriteRecords(folder.path().toStdString())) {
        std::fprintf(stderr, "bench_report: the week could not be written\n");
        return 1;
    }
    SetReportModuleFile(QStringLiteral(TIREVO_REPORT_MODULE));
    ReportRequest request;
    request.outFile = folder.filePath(QStringLiteral("report.pdf")).toStdString();
    request.recordsFolder = folder.path().toStdString();
    request.logsFolder = request.recordsFolder;
    request.highLimit = 8.0;
    request.lowLimit = 6.5;
    request.madeBy = "lab@bench-3";
    request.madeAtUtcMs = QDateTime::currentMSecsSinceEpoch();
    request.version = "bench";
    const double start = bench::WallUs();
    const ReportOutcome outcome = WriteReport(request);
    const double ms = (bench::WallUs() - start) / 1000;
    if (!outcome.written) {
        std::fprintf(stderr, "bench_report: %s\n", outcome.error.c_str());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("report-rows=%d\n", kDays * kSecondsPerDay);
    std::printf("report-ms=%.0f\n", ms);
    std::printf("report-peak-mib=%.1f\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::printf("report-pdf-kib=%.0f\n",
                static_cast<double>(QFileInfo(QString::fromStdString(request.outFile)).size()) / 1024.0);
    std::printf("report-pages=%d\n", outcome.pages);
    if (argc > 1)  // a copy to look at
        QFile::copy(QString::fromStdString(request.outFile), QString::fromLocal8Bit(argv[1]));
    return 0;
}
