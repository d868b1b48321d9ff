// The bench view on eight simulated meters at 1 Hz, its window on the screen:
// the time from a reading's arrival at its converter to its tile's reading
// painted. The meters alternate between two readings, so that every reading
// repaints its tile. Prints KEY=VALUE lines for bench/run.
//   bench_benchview SECONDS
// BENCH_BENCHVIEW_DUMP=1 also prints each arrival and its time to paint on stderr.
#include "BenchTile.h"
#include "BenchWindow.h"
#include "DriverBinding.h"
#include "Measure.h"
#include "SimControl.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace tirevo;

namespace {

constexpr int kMeters = 8;
constexpr double kReplyDelayMs = 20;

// When each "PH" of a converter was on the line whole, and so when its reply
// arrived: the carriage return's write plus the meter's reply delay.
std::map<int, std::vector<double>> Arrivals()
{
    std::map<int, std::vector<double>> out;
    // What each converter was last written, as far back as "PH".
    std::map<int, std::string> written;
    for (const sim::Call& call : sim::CallsNamed("FT_Write")) {
        std::string& last = written[call.device];
        if (call.data == "\r" && last == "PH")
            out[call.device].push_back(call.tMs + kReplyDelayMs);
        last += call.data;
        if (last.size() > 2)
            last.erase(0, last.size() - 2);
    }
    return out;
}

}  // namespace

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    qputenv("TIREVO_SIM_METERS", QByteArray::number(kMeters));
    QApplication app(argc, argv);
    if (!BindFTDriverLibrary(TIREVO_SIM_LIBRARY)) {
        std::fprintf(stderr, "bench_benchview: cannot bind the simulated meter\n");
        return 1;
    }
    sim::Reset();
    sim::SetReplyDelayMs(kReplyDelayMs);
    QTemporaryDir dir;
    const std::string ini = QDir(dir.path()).filePath(QStringLiteral("tirevo.INI")).toStdString();
    QFile file(QString::fromStdString(ini));
    if (!file.open(QIODevice::WriteOnly) || file.write("[System]\nInterval=1000\n") < 0)
        return 1;
    file.close();
    BenchViewSetup setup;
    setup.iniPath = ini;
    setup.recordsFolder = dir.path().toStdString();
    setup.logFolder = dir.path().toStdString();
    BenchWindow window(setup);
    // Each meter's serial number and converter: QP000001 is the first.
    std::map<std::string, int> device;
    std::map<std::string, std::vector<double>> painted;
    std::map<std::string, bool> high;
    for (int i = 0; i < kMeters; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "QP%06d", i + 1);
        device[serial] = i;
        sim::SetDeviceReadingText(i, "7.01");
    }
    window.ReadingPainted = [&](const std::string& serial) {
        painted[serial].push_back(sim::NowMs());
        // The next reading differs, so that it is painted too.
        high[serial] = !high[serial];
        sim::SetDeviceReadingText(device[serial], high[serial] ? "7.02" : "7.01");
    };
    window.resize(1000, 700);
    window.show();
    const double cpu0 = bench::ProcessCpuS();
    const double wall0 = bench::WallUs();
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    app.exec();
    const double cpu = bench::ProcessCpuS() - cpu0;
    const double wall = (bench::WallUs() - wall0) / 1e6;

    std::vector<double> latencies;
    int readings = 0;
    const std::map<int, std::vector<double>> arrivals = Arrivals();
    for (const auto& [serial, number] : device) {
        const auto found = arrivals.find(number);
        if (found == arrivals.end())
            continue;
        const std::vector<double>& paints = painted[serial];
        // Each arrival with the first paint of its tile after it; the last
        // arrival of the run may have no paint yet.
        std::size_t p = 0;
        for (double arrival : found->second) {
            if (std::getenv("BENCH_BENCHVIEW_DUMP"))
                std::fprintf(stderr, "%s %.1f\n", serial.c_str(), arrival);
            while (p < paints.size() && paints[p] < arrival)
                ++p;
            if (p == paints.size())
                break;
            latencies.push_back(paints[p] - arrival);
            if (std::getenv("BENCH_BENCHVIEW_DUMP"))
                std::fprintf(stderr, "  -> %.1f\n", paints[p] - arrival);
            ++readings;
        }
    }
    std::printf("meters=%d\nseconds=%.1f\nreadings=%d\n", kMeters, wall, readings);
    std::printf("paint-median-ms=%.1f\npaint-p99-ms=%.1f\npaint-max-ms=%.1f\n", bench::Median(latencies),
                bench::Percentile(latencies, 99), bench::Maximum(latencies));
    std::printf("harness-cpu-pct=%.3f\n", 100 * cpu / wall);
    std::printf("hwm-kb=%ld\n", bench::StatusKb("VmHWM"));
    return latencies.empty() ? 1 : 0;
}
