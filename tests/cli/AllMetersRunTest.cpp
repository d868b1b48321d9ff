// tirevo-cli's run over every attached meter, in-process on the simulated
// driver, with the sessions, the simulator and the waits on one virtual
// clock: a silent meter beside an answering one, a meter plugged in later,
// and a log file per meter.
#include "AllMetersRun.h"
#include "FileBytes.h"
#include "SimFixture.h"
#include "VirtualClock.h"
#include "VirtualWait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

class AllMetersRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        BindSimulatedMeter();
        sim::ClearDevices();
        first_ = sim::AddDevice("QUVA USB pH Meter", "QP000001");
        second_ = sim::AddDevice("QUVA USB pH Meter", "QP000002");
        sim::SetDeviceReadingText(first_, "7.01");
        sim::SetDeviceReadingText(second_, "8.02");
        folder_ = fs::temp_directory_path() / ("tirevo-allmeters-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        clock_ = std::make_unique<VirtualClock>();
    }
    void TearDown() override
    {
        clock_.reset();
        fs::remove_all(folder_);
        ::close(errFd_);
    }

    MeterRunSetup RunSetup(CliCommand command, int outFd)
    {
        MeterRunSetup setup;
        setup.options.command = command;
        setup.options.all = true;
        setup.options.dir = folder_.string();
        setup.settings.intervalMs = 1000;
        setup.appVersion = "test";
        setup.outFd = outFd;
        setup.errFd = errFd_;
        return setup;
    }

    // The times of the polls ("P" written) of one converter.
    static std::vector<double> PollTimes(int device)
    {
        std::vector<double> times;
        for (const sim::Call& call : sim::CallsNamed("FT_Write"))
            if (call.device == device && call.data == "P")
                times.push_back(call.tMs);
        return times;
    }

    int first_ = -1;
    int second_ = -1;
    fs::path folder_;
    std::unique_ptr<VirtualClock> clock_;
    int errFd_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
};

// The second meter takes every command and never answers: it is lost,
// reopened and greeted again and again, while the first one's polls keep
// their interval and each of its readings is printed.
TEST_F(AllMetersRunTest, ASilentMeterDoesNotHoldUpTheOther)
{
    sim::SetSilent(second_, true);
    const fs::path outPath = folder_ / "stdout";
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(out, 0);
    VirtualWait wait(*clock_);
    MeterRunSetup setup = RunSetup(CliCommand::Read, out);
    setup.options.durationMs = 30000;
    {
        AllMetersRun run(std::move(setup), *clock_, wait, [] { return ListDevices(false); });
        EXPECT_EQ(run.Run(), kExitDone);
    }
    ::close(out);

    const std::vector<double> polls = PollTimes(first_);
    ASSERT_GE(polls.size(), 28u);
    for (std::size_t i = 1; i < polls.size(); ++i) {
        // Another meter's commands may hold a poll up by their pauses of a
        // few milliseconds, never by a reception tick or more.
        EXPECT_GE(polls[i] - polls[i - 1], 1000 - kReceiveTickMs) << "poll " << i;
        EXPECT_LE(polls[i] - polls[i - 1], 1000 + kReceiveTickMs) << "poll " << i;
    }
    // The silent one was worked on all along: opened again after each loss.
    EXPECT_GE(PollTimes(second_).size(), 2u);
    std::size_t reopened = 0;
    for (const sim::Call& call : sim::CallsNamed("FT_OpenEx"))
        reopened += call.device == second_ && call.status == FT_OK;
    EXPECT_GE(reopened, 3u);

    const std::string printed = ReadFile(outPath);
    std::size_t lines = 0;
    for (std::size_t at = printed.find('\n'); at != std::string::npos; at = printed.find('\n', at + 1))
        ++lines;
    // Every poll answered before the end, the last one perhaps not.
    EXPECT_GE(lines + 1, polls.size());
    EXPECT_LE(lines, polls.size());
    EXPECT_NE(printed.find("  QP000001  7.01\n"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("QP000002"), std::string::npos) << printed;
}

// A converter plugged in while the run goes on is opened within 5 s, and the
// meters are listed no more often than every 2 s.
TEST_F(AllMetersRunTest, AMeterPluggedInLaterIsTakenUp)
{
    sim::Unplug(second_);
    VirtualWait wait(*clock_);
    const int64_t plugAt = 7300;
    double pluggedSimMs = 0;
    wait.At(plugAt, [&] {
        sim::Plug(second_);
        pluggedSimMs = sim::NowMs();
    });
    MeterRunSetup setup = RunSetup(CliCommand::Read, errFd_);
    setup.options.durationMs = 15000;
    std::vector<int64_t> listings;
    {
        AllMetersRun run(std::move(setup), *clock_, wait, [&] {
            listings.push_back(clock_->NowMs());
            return ListDevices(false);
        });
        EXPECT_EQ(run.Run(), kExitDone);
    }
    double openedSimMs = -1;
    for (const sim::Call& call : sim::CallsNamed("FT_OpenEx"))
        if (call.device == second_ && call.status == FT_OK && openedSimMs < 0)
            openedSimMs = call.tMs;
    ASSERT_GE(openedSimMs, pluggedSimMs);
    EXPECT_LE(openedSimMs - pluggedSimMs, 5000);
    EXPECT_GE(PollTimes(second_).size(), 3u);
    for (std::size_t i = 1; i < listings.size(); ++i)
        EXPECT_GE(listings[i] - listings[i - 1], AllMetersRun::kListPeriodMs) << "listing " << i;
}

// Each meter its own alarm limits, asked for as it is taken up; a meter
// whose limits cannot be used is left out, asked for once only, and the
// other goes on.
TEST_F(AllMetersRunTest, EachMeterItsOwnAlarmLimitsAndOneThatCannotBeUsedLeftOut)
{
    const fs::path errPath = folder_ / "stderr";
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(err, 0);
    VirtualWait wait(*clock_);
    MeterRunSetup setup = RunSetup(CliCommand::Read, errFd_);
    setup.errFd = err;
    setup.options.durationMs = 7000;
    std::vector<std::pair<std::string, bool>> asked;
    {
        AllMetersRun run(std::move(setup), *clock_, wait, [] { return ListDevices(false); });
        run.SetAlarmFor([&asked](const std::string& serial, bool say) -> std::optional<AlarmSettings> {
            asked.emplace_back(serial, say);
            if (serial != "QP000001")
                return std::nullopt;
            AlarmSettings own;
            own.high = 7.0;
            own.delayS = 0;
            return own;
        });
        EXPECT_EQ(run.Run(), kExitDone);
    }
    ::close(err);
    const std::vector<std::pair<std::string, bool>> once = {{"QP000001", true}, {"QP000002", true}};
    EXPECT_EQ(asked, once);
    EXPECT_TRUE(PollTimes(second_).empty());
    EXPECT_GE(PollTimes(first_).size(), 5u);
    const std::string said = ReadFile(errPath);
    EXPECT_NE(said.find("tirevo-cli: ALARM high: QP000001 pH 7.01 above 7.00 since "), std::string::npos)
        << said;
}

// log --all --count 3: a file per meter, named with its serial number, each
// with its own meter's readings.
TEST_F(AllMetersRunTest, EachMeterLogsToAFileOfItsOwn)
{
    VirtualWait wait(*clock_);
    MeterRunSetup setup = RunSetup(CliCommand::Log, errFd_);
    setup.options.count = 3;
    setup.settings.separator = ';';
    {
        AllMetersRun run(std::move(setup), *clock_, wait, [] { return ListDevices(false); });
        EXPECT_EQ(run.Run(), kExitDone);
    }
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder_))
        files[entry.path().filename().string()] = ReadFile(entry.path());
    ASSERT_EQ(files.size(), 2u);
    const std::map<std::string, std::string> readingOf = {{"QP000001", "7.01"}, {"QP000002", "8.02"}};
    for (const auto& [name, text] : files) {
        // USB_PH_yymmdd_hhmmss_SERIAL.txt
        ASSERT_EQ(name.size(), std::string("USB_PH_261208_090000_QP000001.txt").size()) << name;
        const std::string serial = name.substr(21, 8);
        ASSERT_TRUE(readingOf.count(serial)) << name;
        EXPECT_EQ(name.substr(0, 7), "USB_PH_");
        EXPECT_NE(text.find("Meter Serial Number   : " + serial + "\r\n"), std::string::npos) << name;
        const std::string row = ";" + readingOf.at(serial) + "\r\n";
        std::size_t rows = 0;
        for (std::size_t at = text.find(row); at != std::string::npos; at = text.find(row, at + 1))
            ++rows;
        EXPECT_EQ(rows, 3u) << name << "\n" << text;
    }
}

// A broker that refuses the login ends the run while no meter could be
// opened to tell of it.
TEST_F(AllMetersRunTest, ABrokerFailureEndsARunWithoutMeters)
{
    sim::SetOpenFails(first_, true);
    sim::SetOpenFails(second_, true);
    VirtualWait wait(*clock_);
    MeterRunSetup setup = RunSetup(CliCommand::Publish, errFd_);
    AllMetersRun run(std::move(setup), *clock_, wait, [] { return ListDevices(false); });
    int checks = 0;
    run.SetFailureCheck([&]() -> std::optional<std::string> {
        return ++checks < 3 ? std::nullopt : std::optional<std::string>("refused the login");
    });
    EXPECT_EQ(run.Run(), kExitBroker);
    EXPECT_EQ(checks, 3);
}

}  // namespace
