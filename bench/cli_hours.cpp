// bench_cli_hours WORKDIR HOURS read|log
//
// tirevo-cli's run (the same MeterRun the program runs) on the simulated
// meter, with the session, the simulator and the waits on one virtual clock:
// HOURS of polling at 1 Hz in a few seconds of real time. Memory is taken
// after ten settling minutes and after each quarter. Results are key=value
// lines; a failed set-up or check exits non-zero.
#include "DriverBinding.h"
#include "MeterRun.h"
#include "SimControl.h"

#include <malloc.h>

#include "Measure.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace tirevo::bench;

namespace {

constexpr int64_t kSettleMs = 10 * 60 * 1000;
constexpr int64_t kHourMs = 3600 * 1000;
// The simulator keeps a record of calls for tests; emptied now and then so
// its growth is not taken for the program's.
constexpr int64_t kClearCallsMs = 100 * 1000;
constexpr int64_t kPastLastMarkMs = 1000;
// Header lines of a log with time stamps, the column line included.
constexpr long kHeaderLines = 7;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_cli_hours: %s\n", what.c_str());
    std::exit(1);
}

class VirtualClock final : public tirevo::MeterClock {
public:
    int64_t NowMs() const override { return nowMs_; }
    void SleepMs(int64_t ms) override { Advance(ms); }
    void Advance(int64_t ms)
    {
        nowMs_ += ms;
        sim::AdvanceClockMs(static_cast<double>(ms));
    }

private:
    int64_t nowMs_ = 0;
};

// Waiting moves the clock; memory is sampled at the marks it passes.
class VirtualWait final : public tirevo::RunWait {
public:
    VirtualWait(VirtualClock& clock, int64_t runMs) : clock_(clock), runMs_(runMs) {}

    bool Wait(int64_t timeoutMs) override
    {
        const int64_t now = clock_.NowMs();
        if (now >= nextClearMs_) {
            sim::ClearCalls();
            nextClearMs_ += kClearCallsMs;
        }
        if (!settled_ && now >= kSettleMs) {
            settled_ = true;
            rss0 = StatusKb("VmRSS");
            hwm0 = StatusKb("VmHWM");
            heap0 = HeapInUse();
            wall0 = std::chrono::steady_clock::now();
        }
        if (settled_ && quartersTaken_ < 4 && now >= kSettleMs + runMs_ * (quartersTaken_ + 1) / 4) {
            if (quartersTaken_ > 0)
                quarters += ',';
            quarters += std::to_string(StatusKb("VmRSS"));
            ++quartersTaken_;
            if (quartersTaken_ == 4) {
                heap1 = HeapInUse();
                elapsedS = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            }
        }
        clock_.Advance(timeoutMs);
        return false;
    }

    long rss0 = 0, hwm0 = 0, heap0 = 0, heap1 = 0;
    double elapsedS = 0;
    std::string quarters;

private:
    VirtualClock& clock_;
    int64_t runMs_;
    int64_t nextClearMs_ = 0;
    bool settled_ = false;
    int quartersTaken_ = 0;
    std::chrono::steady_clock::time_point wall0;
};

long CountLines(const std::string& path, const std::string& end)
{
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    long n = 0;
    for (std::size_t at = text.find(end); at != std::string::npos; at = text.find(end, at + end.size()))
        ++n;
    return n;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 4)
        Fail("usage: bench_cli_hours WORKDIR HOURS read|log");
    const std::string work = argv[1];
    const double hours = std::atof(argv[2]);
    const bool log = std::string(argv[3]) == "log";
    if (!tirevo::BindFTDriverLibrary(TIREVO_SIM_LIBRARY))
        Fail("cannot bind the simulated meter");
    sim::Reset();
    sim::SetManualClock(true);

    const auto runMs = static_cast<int64_t>(hours * kHourMs);
    const std::string outPath = work + "/stdout";
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open("/dev/null", O_WRONLY);
    if (out < 0 || err < 0)
        Fail("cannot open the output files");

    tirevo::MeterRunSetup setup;
    setup.options.command = log ? tirevo::CliCommand::Log : tirevo::CliCommand::Read;
    setup.options.format = tirevo::OutputFormat::Csv;
    // A second past the last mark, so the wait that passes it samples it.
    setup.options.durationMs = kSettleMs + runMs + kPastLastMarkMs;
    setup.options.dir = work;
    setup.settings.intervalMs = 1000;
    setup.serial = "QP000001";
    setup.appVersion = "bench";
    setup.outFd = out;
    setup.errFd = err;

    VirtualClock clock;
    VirtualWait wait(clock, runMs);
    {
        tirevo::MeterRun run(setup, clock, wait);
        if (run.Run() != tirevo::kExitDone)
            Fail("the run did not end as done");
    }
    const long rss1 = StatusKb("VmRSS"), hwm1 = StatusKb("VmHWM");
    ::close(out);
    // The csv header is the one line that is not a reading.
    long readings = CountLines(outPath, "\n") - 1;
    if (log) {
        std::string logFile;
        for (const auto& entry : std::filesystem::directory_iterator(work))
            if (entry.path().filename().string().rfind("USB_PH_", 0) == 0)
                logFile = entry.path().string();
        if (logFile.empty())
            Fail("no log file");
        readings = CountLines(logFile, "\r\n") - kHeaderLines;
    }
    const long expected = (kSettleMs + runMs) / 1000;
    if (readings < expected * 99 / 100)
        Fail("only " + std::to_string(readings) + " readings of " + std::to_string(expected));
    std::printf("mode=%s\n", log ? "log" : "read");
    std::printf("readings=%ld\n", readings);
    std::printf("elapsed-s=%.1f\n", wait.elapsedS);
    std::printf("rss-before-kb=%ld\nrss-after-kb=%ld\n", wait.rss0, rss1);
    std::printf("hwm-before-kb=%ld\nhwm-after-kb=%ld\n", wait.hwm0, hwm1);
    std::printf("heap-before-b=%ld\nheap-after-b=%ld\n", wait.heap0, wait.heap1);
    std::printf("rss-quarters-kb=%s\n", wait.quarters.c_str());
    return 0;
}
