// The check of a records folder against its audit trail at the size a busy
// lab reaches: a trail of 100,000 sample events and their rows, checked
// whole. Prints "audit-events=N" and "audit-check-ms=MS" (the best of a few
// runs, so that the disk cache is warm) for bench/run.
#include "AuditCheck.h"
#include "AuditSampleTrail.h"
#include "Measure.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace tirevo;

namespace {

constexpr int kEvents = 100000;
constexpr int kRuns = 3;

}  // namespace

int main(int argc, char** argv)
{
    const int events = argc > 1 ? std::atoi(argv[1]) : kEvents;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    if (!WriteAuditSampleTrail(folder.path().toStdString(), events))
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
