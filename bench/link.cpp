// bench_link WORKDIR MODE [ARGS...]
//
// The program's window on the simulated meter, set up as at start-up (shown,
// meter listed, opened and connected), then measured through its own
// handlers. Results are printed as key=value lines; a failed set-up or check
// exits non-zero.
//
//   ticks N          CPU per reception tick: with a reading line pending
//                    (one line injected before each tick), with none pending
//   logrows N        CPU and wall time per log row, data collection on
//   hours H on|off   H hours of one reading a second (one line and ten
//                    reception ticks per simulated second, no waiting), with
//                    data collection on or off; memory before and after
//   send N           wall time of SendCommand("PH"), and of the bare floor:
//                    three one-byte writes with 2 ms sleeps between them
//   poll S           the event loop for S seconds with the timers running as
//                    in the program: commands sent, readings read, CPU used
#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "MainFormUnit.h"
#include "Messages.h"
#include "SimControl.h"
#include "TrendHost.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Measure.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace tirevo;
using namespace tirevo::bench;

namespace {

[[noreturn]] void Fail(const std::string& why)
{
    std::fprintf(stderr, "bench_link: %s\n", why.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

long FileSize(const std::string& name)
{
    struct stat st {};
    return stat(name.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

// A reading line as the meter sends it, drifting a little around 7.00.
std::string ReadingLine(long second)
{
    const double value = 7.0 + 0.15 * std::sin(static_cast<double>(second) / 97.0) +
        0.01 * static_cast<double>(second % 7 - 3);
    char text[32];
    std::snprintf(text, sizeof text, "pH: %.2f\r", value);
    return text;
}

std::string LocalDecimal(std::string text, char decimal)
{
    std::replace(text.begin(), text.end(), '.', decimal);
    return text;
}

// A message box would wait for a user who is not there: any that opens ends
// the benchmark as failed, with its text.
class ModalGuard {
public:
    ModalGuard()
    {
        timer_.setInterval(250);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                Fail("unexpected message box: " + (box ? box->text() : modal->windowTitle()).toStdString());
            }
        });
        timer_.start();
    }

private:
    QTimer timer_;
};

void RunEventLoopMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class Bench {
public:
    Bench(const std::string& workdir) : form_(QString::fromStdString(workdir + "/tirevo"))
    {
        form_.show();
        const double until = WallUs() + 10e6;
        while (!(form_.windowHandle() && form_.windowHandle()->isExposed()) && WallUs() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!form_.Meter().Connected() || !form_.Meter().DeviceOpen())
            Fail("the window did not connect to the simulated meter");
    }

    TMainForm& Form() { return form_; }

    // The timers are left to the benchmark; what the meter sent at
    // connection is taken in first.
    void Quiet()
    {
        form_.Timer1->stop();
        form_.Timer2->stop();
        sim::SetAutoReply(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (int i = 0; i < 10; ++i)
            form_.Timer2Timer();
        if (!form_.Meter().ReceiveText().empty() || sim::QueuedRx() != 0)
            Fail("the connection replies were not taken in");
        sim::ClearCalls();
    }

    void ExpectShown(const std::string& line)
    {
        const std::string expected = LocalDecimal(line.substr(4, line.size() - 5), form_.Separators.decimal);
        if (form_.lbpHValue->text().toStdString() != expected)
            Fail("reading shown is \"" + form_.lbpHValue->text().toStdString() + "\", expected \"" +
                 expected + "\"");
        if (!form_.Meter().ReceiveText().empty())
            Fail("received text left over");
    }

private:
    TMainForm form_;
};

// CPU of one Timer2Timer call, averaged; each tick preceded by `before`.
template <typename Before>
double TickCpuUs(TMainForm& form, long n, Before before, std::vector<double>* wall = nullptr)
{
    double cpu = 0;
    for (long i = 0; i < n; ++i) {
        before(i);
        const double c0 = ThreadCpuUs();
        const double w0 = WallUs();
        form.Timer2Timer();
        const double w1 = WallUs();
        cpu += ThreadCpuUs() - c0;
        if (wall)
            wall->push_back(w1 - w0);
        // What the event loop does between Ticks (the label's repaint) is
        // not part of the tick.
        QCoreApplication::processEvents();
        if (i % 1000 == 999)
            sim::ClearCalls();
    }
    return cpu / static_cast<double>(n);
}

int Ticks(Bench& bench, long n)
{
    TMainForm& form = bench.Form();
    bench.Quiet();
    const std::string lines[2] = {"pH: 7.02\r", "pH: 7.03\r"};
    auto changing = [&](long i) { sim::InjectRx(lines[i % 2]); };
    auto same = [&](long) { sim::InjectRx(lines[0]); };
    auto nothing = [](long) {};

    TickCpuUs(form, 2000, changing);
    std::vector<double> wall;
    const double changingUs = TickCpuUs(form, n, changing, &wall);
    bench.ExpectShown(lines[(n - 1) % 2]);
    const double sameUs = TickCpuUs(form, n, same);
    bench.ExpectShown(lines[0]);
    const double emptyUs = TickCpuUs(form, n, nothing);
    if (form.Log().Logging())
        Fail("data collection is on");

    double overhead = 0;
    for (long i = 0; i < n; ++i) {
        const double c0 = ThreadCpuUs();
        overhead += ThreadCpuUs() - c0;
    }
    std::printf("ticks=%ld\n", n);
    std::printf("tick-line-cpu-us=%.2f\n", changingUs);
    std::printf("tick-line-wall-median-us=%.2f\n", Median(wall));
    std::printf("tick-line-wall-p99-us=%.2f\n", Percentile(wall, 0.99));
    std::printf("tick-same-line-cpu-us=%.2f\n", sameUs);
    std::printf("tick-empty-cpu-us=%.2f\n", emptyUs);
    std::printf("clock-read-us=%.3f\n", overhead / static_cast<double>(n));
    return 0;
}

int LogRows(Bench& bench, long n)
{
    TMainForm& form = bench.Form();
    bench.Quiet();
    form.sb5Click();
    if (!form.Log().Logging()) {
        std::printf("log=unavailable\n");
        return 0;
    }
    const std::string name = form.Log().FileName();
    const long size0 = FileSize(name);
    const std::string reading = LocalDecimal("7.02", form.Separators.decimal);
    tirevo::Reading stamp;
    stamp.value = 7.02;
    stamp.utcMs = SystemMeterClock().UtcMs();
    stamp.utcOffsetS = LocalUtcOffsetS(stamp.utcMs);
    for (int i = 0; i < 200; ++i)
        form.WriteLogRow(reading, stamp);
    const long size1 = FileSize(name);
    std::vector<double> wall;
    double cpu = 0;
    for (long i = 0; i < n; ++i) {
        const double c0 = ThreadCpuUs();
        const double w0 = WallUs();
        form.WriteLogRow(reading, stamp);
        const double w1 = WallUs();
        cpu += ThreadCpuUs() - c0;
        wall.push_back(w1 - w0);
    }
    const long size2 = FileSize(name);
    if (!form.Log().Logging())
        Fail("data collection stopped while writing rows");
    const long rowBytes = (size1 - size0) / 200;
    if (rowBytes <= 0 || size2 - size1 != rowBytes * n)
        Fail("the log file did not grow by one row per call");

    // The whole reading path with collection on: tick, label, row.
    const std::string lines[2] = {"pH: 7.02\r", "pH: 7.03\r"};
    const double tickUs = TickCpuUs(form, n, [&](long i) { sim::InjectRx(lines[i % 2]); });
    if (FileSize(name) != size2 + rowBytes * n)
        Fail("a reading tick with collection on did not write one row");
    form.sb6Click();
    if (form.Log().Logging())
        Fail("data collection did not stop");

    std::printf("log=%s\n", name.c_str());
    std::printf("log-rows=%ld\n", n);
    std::printf("log-row-bytes=%ld\n", rowBytes);
    std::printf("log-row-cpu-us=%.2f\n", cpu / static_cast<double>(n));
    std::printf("log-row-wall-median-us=%.2f\n", Median(wall));
    std::printf("log-row-wall-max-us=%.2f\n", Maximum(wall));
    std::printf("tick-line-logging-cpu-us=%.2f\n", tickUs);
    return 0;
}

int Hours(Bench& bench, double h, bool collect)
{
    TMainForm& form = bench.Form();
    bench.Quiet();
    std::string collection = "off";
    if (collect) {
        form.sb5Click();
        collection = form.Log().Logging() ? "on" : "unavailable";
    }
    // Whole hundreds, so every measurement falls at the same point of the
    // simulator's cycle.
    const long seconds = std::max(100L, std::lround(h * 36) * 100);
    auto simulate = [&](long from, long to) {
        for (long s = from; s < to; ++s) {
            // The simulator's call record is the test double's memory, not
            // the program's: kept short, and emptied at the same point of
            // the cycle before each measurement.
            if (s % 100 == 0)
                sim::ClearCalls();
            sim::InjectRx(ReadingLine(s));
            for (int t = 0; t < 10; ++t)
                form.Timer2Timer();
            QCoreApplication::processEvents();
        }
    };
    // Settle first: every digit drawn once, the log file's first pages.
    simulate(-600, 0);
    const long logBefore = form.Log().Logging() ? FileSize(form.Log().FileName()) : 0;
    const long rss0 = StatusKb("VmRSS"), hwm0 = StatusKb("VmHWM"), heap0 = HeapInUse();
    const std::size_t trendPoints0 = form.Trend->Series().Size();
    std::string trend;
    const double w0 = WallUs();
    for (int quarter = 0; quarter < 4; ++quarter) {
        simulate(seconds * quarter / 4, seconds * (quarter + 1) / 4);
        if (quarter)
            trend += ',';
        trend += std::to_string(StatusKb("VmRSS"));
    }
    const double elapsed = (WallUs() - w0) / 1e6;
    const long rss1 = StatusKb("VmRSS"), hwm1 = StatusKb("VmHWM"), heap1 = HeapInUse();
    bench.ExpectShown(ReadingLine(seconds - 1));
    if (form.Log().Logging()) {
        const long grown = FileSize(form.Log().FileName()) - logBefore;
        if (grown <= 0 || grown % seconds != 0)
            Fail("the log did not get one row per reading");
        std::printf("log-bytes=%ld\n", grown);
        form.sb6Click();
    }
    std::printf("readings=%ld\n", seconds);
    std::printf("collection=%s\n", collection.c_str());
    std::printf("elapsed-s=%.1f\n", elapsed);
    std::printf("rss-before-kb=%ld\nrss-after-kb=%ld\n", rss0, rss1);
    std::printf("hwm-before-kb=%ld\nhwm-after-kb=%ld\n", hwm0, hwm1);
    std::printf("heap-before-b=%ld\nheap-after-b=%ld\n", heap0, heap1);
    std::printf("rss-quarters-kb=%s\n", trend.c_str());
    // The pH trend keeps every reading (up to its 7-day bound): memory that is
    // meant to grow, taken out of the leak check. What that many points cost
    // the allocator is measured on a series of their own.
    const std::size_t trendAdded = form.Trend->Series().Size() - trendPoints0;
    long trendHeap = HeapInUse();
    {
        tirevo::TrendSeries probe;
        for (std::size_t i = 0; i < trendAdded; ++i)
            probe.Add(double(i), 7.0);
        trendHeap = HeapInUse() - trendHeap;
    }
    std::printf("trend-points=%zu\ntrend-series-b=%ld\n", trendAdded, trendHeap);
    return 0;
}

int Sends(Bench& bench, long n)
{
    TMainForm& form = bench.Form();
    bench.Quiet();
    for (int i = 0; i < 10; ++i)
        form.SendCommand("PH");
    sim::ClearCalls();
    std::vector<double> program, floor;
    for (long i = 0; i < n; ++i) {
        const double w0 = WallUs();
        form.SendCommand("PH");
        program.push_back((WallUs() - w0) / 1e3);
    }
    std::string expected;
    for (long i = 0; i < n; ++i)
        expected += "PH\r";
    if (sim::WrittenBytes() != expected || sim::CallsNamed("FT_Write").size() != static_cast<size_t>(3 * n))
        Fail("\"PH\" did not go out as three one-byte writes each time");

    // The floor: the same three writes through the device layer and the
    // two pauses, nothing else.
    for (long i = 0; i < n; ++i) {
        const double w0 = WallUs();
        TFTDeviceState& device = form.Meter().DeviceState();
        for (char c : {'P', 'H'}) {
            device.outputBuffer[0] = static_cast<unsigned char>(c);
            WriteFTBuffer(device, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        device.outputBuffer[0] = '\r';
        WriteFTBuffer(device, 1);
        floor.push_back((WallUs() - w0) / 1e3);
    }
    std::printf("sends=%ld\n", n);
    std::printf("send-median-ms=%.3f\nsend-p95-ms=%.3f\nsend-max-ms=%.3f\n", Median(program),
                Percentile(program, 0.95), Maximum(program));
    std::printf("floor-median-ms=%.3f\nfloor-max-ms=%.3f\n", Median(floor), Maximum(floor));
    return 0;
}

int Poll(Bench& bench, double seconds)
{
    TMainForm& form = bench.Form();
    // Past the connection: the first poll comes one interval later.
    RunEventLoopMs(2000);
    sim::ClearCalls();
    const double cpu0 = ProcessCpuS(), w0 = WallUs();
    RunEventLoopMs(static_cast<int>(seconds * 1000));
    const double cpu = ProcessCpuS() - cpu0, elapsed = (WallUs() - w0) / 1e6;
    long commands = 0, readings = 0;
    const std::string written = sim::WrittenBytes();
    for (size_t at = written.find("PH\r"); at != std::string::npos; at = written.find("PH\r", at + 1))
        ++commands;
    for (const auto& call : sim::CallsNamed("FT_Read"))
        for (size_t at = call.data.find("pH:"); at != std::string::npos; at = call.data.find("pH:", at + 1))
            ++readings;
    if (form.lbpHValue->text() == QStringLiteral("---"))
        Fail("no reading shown while polling");
    std::printf("poll-seconds=%.1f\npoll-commands=%ld\npoll-readings=%ld\n", elapsed, commands, readings);
    std::printf("poll-cpu-s=%.3f\n", cpu);
    std::printf("poll-rss-kb=%ld\n", StatusKb("VmRSS"));
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    if (argc < 3)
        Fail("usage: bench_link WORKDIR ticks N | logrows N | hours H on|off | send N | poll S");
    const std::string workdir = argv[1];
    const std::string mode = argv[2];
    auto number = [&](int index, double fallback) {
        return argc > index ? std::atof(argv[index]) : fallback;
    };
    // Log files go to the current folder, as in the program.
    if (chdir(workdir.c_str()) != 0)
        Fail("cannot enter " + workdir);
    if (!BindFTDriverLibrary(TIREVO_SIM_LIBRARY))
        Fail("cannot bind the simulated meter " TIREVO_SIM_LIBRARY);
    sim::Reset();
    ModalGuard guard;
    Bench bench(workdir);
    if (mode == "ticks")
        return Ticks(bench, std::lround(number(3, 20000)));
    if (mode == "logrows")
        return LogRows(bench, std::lround(number(3, 20000)));
    if (mode == "hours")
        return Hours(bench, number(3, 10), argc > 4 && std::string(argv[4]) == "on");
    if (mode == "send")
        return Sends(bench, std::lround(number(3, 200)));
    if (mode == "poll")
        return Poll(bench, number(3, 60));
    Fail("unknown mode " + mode);
}
