// tirevo-cli's run (the MeterRun the program runs) on the simulated meter,
// with the session, the simulator and the waits on one virtual clock: fast
// polling on a busy machine, and the one time stamp of each reading in the
// line printed and the row logged.
#include "MeterRun.h"
#include "FileBytes.h"
#include "SimFixture.h"
#include "VirtualClock.h"
#include "VirtualWait.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pty.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Split(const std::string& text, const std::string& end)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at = text.find(end); at != std::string::npos; at = text.find(end, from)) {
        out.push_back(text.substr(from, at - from));
        from = at + end.size();
    }
    return out;
}

// 2026-12-08T06:40:00.000Z; printed in UTC below.
constexpr int64_t kWallStart = 1796712000000;

class MeterRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        setenv("TZ", "UTC", 1);
        BindSimulatedMeter();
        sim::SetReadingText("7.02");
        folder_ = fs::temp_directory_path() / ("tirevo-meterrun-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        clock_ = std::make_unique<VirtualClock>();
        clock_->SetUtcMs(kWallStart);
    }
    void TearDown() override
    {
        clock_.reset();
        fs::remove_all(folder_);
        if (savedTz_)
            setenv("TZ", savedTz_->c_str(), 1);
        else
            unsetenv("TZ");
    }

    MeterRunSetup RunSetup(CliCommand command, uint32_t intervalMs, int64_t durationMs, int outFd)
    {
        MeterRunSetup setup;
        setup.options.command = command;
        setup.options.format = OutputFormat::Csv;
        setup.options.durationMs = durationMs;
        setup.options.dir = folder_.string();
        setup.settings.intervalMs = intervalMs;
        setup.serial = "QP000001";
        setup.appVersion = "test";
        setup.outFd = outFd;
        setup.errFd = errFd_;
        return setup;
    }

    // The wall time of a moment of the simulator's clock.
    int64_t WallAtSim(double simMs) const { return kWallStart + std::llround(simMs - simAnchor_); }

    fs::path folder_;
    std::unique_ptr<VirtualClock> clock_;
    double simAnchor_ = 0;
    int errFd_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::optional<std::string> savedTz_;

public:
    ~MeterRunTest() override { ::close(errFd_); }
};

// "read --interval 20 --duration 5": the meter answers 50 times a second, and
// every answer is printed, each with the time of the tick that took it, the
// first tick after it came.
TEST_F(MeterRunTest, FastPollingPrintsEveryAnswerOnTime)
{
    const fs::path outPath = folder_ / "stdout";
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(out, 0);
    simAnchor_ = sim::NowMs();
    VirtualWait wait(*clock_);
    {
        MeterRun run(RunSetup(CliCommand::Read, 20, 5000, out), *clock_, wait);
        EXPECT_EQ(run.Run(), kExitDone);
    }
    ::close(out);

    // Each poll's answer comes 20 ms after its carriage return; the first
    // six writes are the greeting "S20" and "V". The last reception tick
    // looked at the queue last.
    constexpr double kReplyDelayMs = 20;
    const double lastTick = sim::CallsNamed("FT_GetStatus").back().tMs;
    std::vector<double> answers;
    const auto writes = sim::CallsNamed("FT_Write");
    for (std::size_t i = 6; i < writes.size(); ++i)
        if (writes[i].data == "\r" && writes[i].tMs + kReplyDelayMs <= lastTick)
            answers.push_back(writes[i].tMs + kReplyDelayMs);
    const std::vector<std::string> lines = Split(ReadFile(outPath), "\n");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "time,ph");
    const std::vector<std::string> readings(lines.begin() + 1, lines.end());
    // Every answer that came by the last tick of the five seconds.
    EXPECT_EQ(readings.size(), answers.size());
    EXPECT_GE(readings.size(), 245u);
    for (std::size_t i = 0; i < readings.size() && i < answers.size(); ++i) {
        const std::string& line = readings[i];
        ASSERT_EQ(line.substr(line.size() - 5), ",7.02") << line;
        const QDateTime printed =
            QDateTime::fromString(QString::fromStdString(line.substr(0, line.size() - 5)), Qt::ISODateWithMs);
        ASSERT_TRUE(printed.isValid()) << line;
        const int64_t late = printed.toMSecsSinceEpoch() - WallAtSim(answers[i]);
        EXPECT_GE(late, 0) << "reading " << i << ": " << line;
        EXPECT_LT(late, kReceiveTickMs) << "reading " << i << ": " << line;
    }
}

// A log run on a terminal prints each reading and writes its row; both carry
// the reading's one stamp, also when the wall clock moves on a whole second at
// every look (a second look at it would show).
TEST_F(MeterRunTest, TheRowAndThePrintedLineShareTheReadingsStamp)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    clock_->TickOnEachLook(1000);
    VirtualWait wait(*clock_);
    {
        MeterRun run(RunSetup(CliCommand::Log, 200, 1000, slave), *clock_, wait);
        EXPECT_EQ(run.Run(), kExitDone);
    }
    ::close(slave);
    std::string printed;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;)
        printed.append(buffer, static_cast<std::size_t>(n));
    ::close(master);

    std::vector<std::string> printedTimes;
    for (const std::string& line : Split(printed, "\r\n"))
        printedTimes.push_back(line.substr(0, 8));
    fs::path logFile;
    for (const auto& entry : fs::directory_iterator(folder_))
        if (entry.path().filename().string().rfind("USB_PH_", 0) == 0)
            logFile = entry.path();
    ASSERT_FALSE(logFile.empty());
    const std::vector<std::string> rows = Split(ReadFile(logFile), "\r\n");
    ASSERT_GE(rows.size(), 7u);
    std::vector<std::string> rowTimes;
    for (std::size_t i = 7; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].substr(0, 11), "08.12.2026\t") << rows[i];
        rowTimes.push_back(rows[i].substr(11, 8));
    }
    // Polls at 200, 400, 600 and 800 ms are answered and taken by the end;
    // each tick that took a line (the reply to "V" first) looked at the wall
    // clock once, and moved it on by a second.
    EXPECT_EQ(rowTimes, (std::vector<std::string>{"06:40:01", "06:40:02", "06:40:03", "06:40:04"}));
    EXPECT_EQ(printedTimes, rowTimes);
}

}  // namespace
