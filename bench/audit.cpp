// The check of a records folder against its audit trail at the size a busy
// lab reaches: a trail of 100,000 sample events and their rows, checked
// whole. Prints "audit-events=N" and "audit-check-ms=MS" (the best of a few
// runs, so that the disk cache is warm) for bench/run.
#include "AuditCheck.h"
#include "AuditLine.h"
#include "Measure.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>

using namespace tirevo;

namespace {

constexpr int kEvents = 100000;
constexpr int kRuns = 3;

bool WriteBytes(const QString& path, const std::string& bytes)
{
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv)
{
    const int events = argc > 1 ? std::atoi(argv[1]) : kEvents;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    std::string trail;
    std::string samples = std::string(kSamplesHeader) + "\r\n";
    AuditLine line;
    line.origin = {"lab", "bench-3", "tirevo-cli 1.4.0"};
    line.time = "2026-12-08T10:02:45.125+01:00";
    for (int i = 1; i <= events; ++i) {
        const SampleRow row{line.time, "S-" + std::to_string(i), "7.00", true, "QP000001"};
        samples += RecordFile::RowText(SampleFields(row));
        line.seq = i;
        line.event = SampleEvent(row, kSamplesFileName);
        const AuditLineText text = WriteAuditLine(line);
        trail += text.text + "\n";
        line.prev = text.hash;
    }
    if (!WriteBytes(folder.filePath(kAuditFileName), trail) ||
        !WriteBytes(folder.filePath(kSamplesFileName), samples))
        return 1;
    double best = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double start = bench::WallUs();
        const AuditCheckResult result = CheckAuditFolder(folder.path().toStdString());
        const double ms = (bench::WallUs() - start) / 1000;
        if (!result.Intact() || result.events != events) {
            std::fprintf(stderr, "bench_audit: the check found the folder altered\n");
            return 1;
        }
        best = run == 0 || ms < best ? ms : best;
    }
    std::printf("audit-events=%d\naudit-check-ms=%.0f\n", events, best);
    return 0;
}
