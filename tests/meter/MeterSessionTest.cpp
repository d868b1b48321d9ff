// The meter session on virtual time through the simulated meter: what goes on
// the line and when, what comes back, and a meter that goes away.
#include "MeterSession.h"
#include "MeterList.h"
#include "SimFixture.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

using namespace tirevo;
using namespace std::string_literals;

namespace {

struct Heard : MeterListener {
    std::vector<double> readings;
    std::vector<int64_t> readingTimes;
    std::vector<Reading> stamped;
    std::vector<std::string> lines;
    std::vector<LinkStatus> statuses;
    void ReadingReceived(const Reading& r) override
    {
        readings.push_back(r.value);
        readingTimes.push_back(r.atMs);
        stamped.push_back(r);
    }
    void LineReceived(std::string_view line) override { lines.emplace_back(line); }
    void StatusChanged(LinkStatus s) override { statuses.push_back(s); }
};

class MeterSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindSimulatedMeter();
        clock = std::make_unique<VirtualClock>();
        session = std::make_unique<MeterSession>(*clock);
        scheduler = std::make_unique<MeterScheduler>(*session, *clock);
        session->AddListener(&heard);
    }
    void TearDown() override
    {
        session.reset();
        clock.reset();
    }

    void Connect(uint32_t intervalMs = 1000)
    {
        session->SetPollInterval(intervalMs);
        ASSERT_EQ(session->Connect("QP000001"), ConnectResult::Connected);
        scheduler->Start();
    }
    void RunFor(int64_t ms) { scheduler->RunUntil(clock->NowMs() + ms); }

    static int OpensOf(const std::string& serial, bool succeeded)
    {
        int n = 0;
        for (const auto& c : sim::CallsNamed("FT_OpenEx"))
            n += c.data == serial && (c.status == FT_OK) == succeeded;
        return n;
    }
    // Times of the "P" of each poll, relative to t0.
    static std::vector<long> PollTimes(double t0)
    {
        std::vector<long> out;
        const auto writes = sim::CallsNamed("FT_Write");
        for (size_t i = 0; i + 1 < writes.size(); ++i)
            if (writes[i].data == "P" && writes[i + 1].data == "H")
                out.push_back(std::lround(writes[i].tMs - t0));
        return out;
    }

    Heard heard;
    std::unique_ptr<VirtualClock> clock;
    std::unique_ptr<MeterSession> session;
    std::unique_ptr<MeterScheduler> scheduler;
};

TEST_F(MeterSessionTest, ListsMetersOnlyUnlessAskedForAll)
{
    sim::ClearDevices();
    sim::AddDevice("Other serial converter", "FT1");
    sim::AddDevice("QUVA USB pH Meter rev B", "QP000007");
    const auto meters = ListDevices();
    ASSERT_EQ(meters.size(), 1u);
    EXPECT_EQ(meters[0].description, "QUVA USB pH Meter rev B");
    EXPECT_EQ(meters[0].serial, "QP000007");
    const auto all = ListDevices(true);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_FALSE(all[0].meter);
    EXPECT_TRUE(all[1].meter);
}

// The line setup in order, then "S20" and "V", each character in its own
// write with 2 ms after it and nothing after the carriage return.
TEST_F(MeterSessionTest, ConnectingSetsUpTheLineAndGreetsPaced)
{
    const double t0 = sim::NowMs();
    Connect();
    std::vector<std::string> names;
    for (const auto& c : sim::Calls())
        names.push_back(c.fn);
    const std::vector<std::string> expected = {
        "FT_OpenEx",         "FT_SetBaudRate", "FT_SetDataCharacteristics",
        "FT_SetFlowControl", "FT_SetDtr",      "FT_SetRts",
        "FT_SetTimeouts",    "FT_Write",       "FT_Write",
        "FT_Write",          "FT_Write",       "FT_Write",
        "FT_Write"};
    EXPECT_EQ(names, expected);
    const auto calls = sim::Calls();
    EXPECT_EQ(calls[0].data, "QP000001");
    EXPECT_EQ(calls[1].args, (std::vector<uint64_t>{9600}));
    EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{8, 1, 0}));
    EXPECT_EQ(calls[3].args, (std::vector<uint64_t>{0, 0x11, 0x13}));
    EXPECT_EQ(calls[6].args, (std::vector<uint64_t>{1, 100}));
    EXPECT_EQ(WriteCalls(), (std::vector<std::string>{"S", "2", "0", "\r", "V", "\r"}));
    std::vector<long> at;
    for (const auto& w : sim::CallsNamed("FT_Write"))
        at.push_back(std::lround(w.tMs - t0));
    EXPECT_EQ(at, (std::vector<long>{0, 2, 4, 6, 6, 8}));
    EXPECT_EQ(session->Status(), LinkStatus::Connected);
    EXPECT_EQ(heard.statuses, std::vector<LinkStatus>{LinkStatus::Connected});

    sim::ClearCalls();
    const double t1 = sim::NowMs();
    ASSERT_TRUE(session->SendCommand(""));
    EXPECT_EQ(WriteCalls(), std::vector<std::string>{"\r"});
    EXPECT_EQ(sim::NowMs(), t1);
}

TEST_F(MeterSessionTest, NothingIsWrittenBeforeAConnection)
{
    EXPECT_FALSE(session->SendCommand("PH"));
    session->PollTick();
    session->ReceiveTick();
    EXPECT_TRUE(sim::CallsNamed("FT_Write").empty());
    EXPECT_EQ(session->Status(), LinkStatus::Closed);
}

// A write refused does not stop the rest of the command.
TEST_F(MeterSessionTest, AWriteFailureDoesNotStopTheCommand)
{
    Connect();
    sim::ClearCalls();
    sim::FailCalls("FT_Write", FT_FAILED_TO_WRITE_DEVICE);
    EXPECT_FALSE(session->WriteUSB("PH"));
    session->SendCommand("PH");
    EXPECT_EQ(WriteCalls().size(), 5u);
    EXPECT_EQ(session->Status(), LinkStatus::Connected);
}

class PollScheduleTest : public MeterSessionTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(PollScheduleTest, FirstPollOneIntervalAfterConnectingThenOncePerInterval)
{
    const uint32_t interval = GetParam();
    Connect(interval);
    const double t0 = sim::NowMs();
    RunFor(10000);
    std::vector<long> expected;
    if (interval > 0)
        for (long t = interval; t <= 10000; t += interval)
            expected.push_back(t);
    EXPECT_EQ(PollTimes(t0), expected);
}

INSTANTIATE_TEST_SUITE_P(Intervals, PollScheduleTest, ::testing::Values(1000u, 250u, 3000u, 0u));

TEST_F(MeterSessionTest, ReadingsArriveAsTheMeterAnswers)
{
    sim::SetReadingText("7.02");
    Connect(500);
    const int64_t t0 = clock->NowMs();
    RunFor(2040);
    // Polls at 500, 1000, 1500, 2000; each answer 20 ms later, taken at the
    // next reception tick.
    EXPECT_EQ(heard.readings, (std::vector<double>{7.02, 7.02, 7.02}));
    EXPECT_EQ(heard.readingTimes, (std::vector<int64_t>{t0 + 600, t0 + 1100, t0 + 1600}));
    EXPECT_EQ(heard.lines.front(), "QUVA pH meter firmware 2.10");
}

// Every complete line per tick, in order; a line split over reads; only
// "pH:" lines are readings.
TEST_F(MeterSessionTest, ReceptionTakesEveryCompleteLinePerTick)
{
    sim::SetAutoReply(false);
    Connect(0);
    sim::InjectRx("pH: 7.0");
    sim::InjectRx("2\rpH: 6.5\r\nPH: 1\rpH: 6.", 150);
    session->ReceiveTick();
    EXPECT_TRUE(heard.lines.empty());
    EXPECT_EQ(session->ReceiveText(), "pH: 7.0");
    clock->Advance(200);
    session->ReceiveTick();
    EXPECT_EQ(heard.lines, (std::vector<std::string>{"pH: 7.02", "pH: 6.5", "\nPH: 1"}));
    EXPECT_EQ(heard.readings, (std::vector<double>{7.02, 6.5}));
    EXPECT_EQ(session->ReceiveText(), "pH: 6.");
}

// Polling every 20 ms answers 50 readings a second; each is taken at the
// first reception tick after its reply came, so none waits behind another
// and the count is what the meter answered.
TEST_F(MeterSessionTest, FastPollingBuildsNoBacklog)
{
    Connect(20);
    const int64_t t0 = clock->NowMs();
    RunFor(5000);
    // Poll k goes out at 20k ms; "P", 2 ms, "H", 2 ms, CR; the answer comes
    // 20 ms after the CR. Those that came by the last tick at 5000 ms:
    constexpr int64_t kAnswerAfterPollMs = 24;
    const auto answered = static_cast<std::size_t>((5000 - kAnswerAfterPollMs) / 20);
    ASSERT_EQ(heard.stamped.size(), answered);
    for (std::size_t i = 0; i < heard.stamped.size(); ++i) {
        const int64_t cameMs = t0 + 20 * static_cast<int64_t>(i + 1) + kAnswerAfterPollMs;
        const int64_t late = heard.stamped[i].atMs - cameMs;
        EXPECT_GE(late, 0) << "reading " << i;
        EXPECT_LT(late, kReceiveTickMs) << "reading " << i;
    }
    EXPECT_TRUE(session->ReceiveText().empty());
}

// One look at the clocks per tick stamps every reading of that tick, with
// the wall clock, its offset and the monotonic time of one moment, however
// the wall clock ticks meanwhile.
TEST_F(MeterSessionTest, EachReadingCarriesTheStampOfItsTick)
{
    sim::SetAutoReply(false);
    Connect(0);
    constexpr int64_t kJustBeforeASecond = 1796711999999;  // 2026-12-08T06:39:59.999Z
    clock->SetUtcMs(kJustBeforeASecond);
    clock->TickOnEachLook(1);
    const int looksBefore = clock->UtcLooks();
    const int64_t monotonic = clock->NowMs();
    sim::InjectRx("pH: 7.01\rV2.10\rpH: 7.02\rpH: 7.03\r");
    session->ReceiveTick();
    ASSERT_EQ(heard.stamped.size(), 3u);
    for (const Reading& r : heard.stamped) {
        EXPECT_EQ(r.atMs, monotonic);
        EXPECT_EQ(r.utcMs, kJustBeforeASecond);
        EXPECT_EQ(r.utcOffsetS, LocalUtcOffsetS(kJustBeforeASecond));
    }
    EXPECT_EQ(clock->UtcLooks() - looksBefore, 1);

    // A tick without a line does not look at the wall clock.
    session->ReceiveTick();
    EXPECT_EQ(clock->UtcLooks() - looksBefore, 1);

    // The next tick has its own stamp, also when the clock was set back.
    clock->Advance(100);
    clock->SetUtcMs(kJustBeforeASecond - 600000);
    sim::InjectRx("pH: 7.04\r");
    session->ReceiveTick();
    ASSERT_EQ(heard.stamped.size(), 4u);
    EXPECT_EQ(heard.stamped[3].atMs, monotonic + 100);
    EXPECT_EQ(heard.stamped[3].utcMs, kJustBeforeASecond - 600000);
}

// A listener that throws (the window reporting a failed log row) loses no
// line: the rest of its tick comes at the next tick, in order, with the
// stamp of the tick it was taken in.
TEST_F(MeterSessionTest, LinesAfterAThrowingListenerComeNextTick)
{
    struct Thrower : MeterListener {
        void ReadingReceived(const Reading& r) override
        {
            if (r.value == 7.02)
                throw std::runtime_error("row failed");
        }
    } thrower;
    sim::SetAutoReply(false);
    Connect(0);
    session->AddListener(&thrower);
    sim::InjectRx("pH: 7.01\rpH: 7.02\rpH: 7.03\rpH: 7.04\r");
    const int64_t takenAt = clock->NowMs();
    EXPECT_THROW(session->ReceiveTick(), std::runtime_error);
    EXPECT_EQ(heard.readings, (std::vector<double>{7.01, 7.02}));
    clock->Advance(100);
    sim::InjectRx("pH: 7.05\r");
    session->ReceiveTick();
    EXPECT_EQ(heard.readings, (std::vector<double>{7.01, 7.02, 7.03, 7.04, 7.05}));
    EXPECT_EQ(heard.readingTimes, (std::vector<int64_t>{takenAt, takenAt, takenAt, takenAt, takenAt + 100}));
    session->RemoveListener(&thrower);
}

#ifndef _WIN32
// The offset of a moment by the zone's rules, across the end of summer time.
// (Windows takes the zone from the system, not from a variable set here:
// ZoneRulesTest runs there in a zone given from outside.)
TEST(LocalUtcOffset, FollowsTheZonesRules)
{
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    ASSERT_EQ(setenv("TZ", "Europe/Berlin", 1), 0);
    const int64_t change = 1792890000000;  // 2026-10-25T01:00:00Z, 03:00 summer time
    EXPECT_EQ(LocalUtcOffsetS(change - 1), 7200);
    EXPECT_EQ(LocalUtcOffsetS(change), 3600);
    EXPECT_EQ(LocalUtcOffsetS(-1), 3600);  // 1970-01-01T00:59:59.999 local
    ASSERT_EQ(setenv("TZ", "America/St_Johns", 1), 0);
    EXPECT_EQ(LocalUtcOffsetS(1796711999999), -12600);
    if (previous)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
}
#endif

TEST_F(MeterSessionTest, UnpluggedMeterIsLookedForAndFoundAgain)
{
    sim::SetReadingText("7.02");
    Connect(200);
    RunFor(1000);
    ASSERT_FALSE(heard.readings.empty());
    sim::Unplug(0);
    RunFor(100);
    EXPECT_EQ(session->Status(), LinkStatus::Reopening);
    sim::ClearCalls();
    RunFor(1000);
    // Once per poll interval, and nothing written to the dead handle.
    EXPECT_EQ(OpensOf("QP000001", false), 5);
    EXPECT_TRUE(sim::CallsNamed("FT_Write").empty());
    EXPECT_TRUE(session->Connected());

    sim::ClearCalls();
    sim::SetReadingText("7.05");
    heard.readings.clear();
    sim::Plug(0);
    RunFor(200);
    EXPECT_EQ(OpensOf("QP000001", true), 1);
    EXPECT_EQ(session->Status(), LinkStatus::Lost);
    EXPECT_EQ(sim::WrittenBytes().rfind("S20\rV\r", 0), 0u);
    EXPECT_EQ(sim::CallsNamed("FT_SetDataCharacteristics").at(0).args, (std::vector<uint64_t>{8, 1, 0}));
    RunFor(400);
    EXPECT_EQ(session->Status(), LinkStatus::Connected);
    EXPECT_EQ(heard.readings.at(0), 7.05);
    EXPECT_EQ(heard.statuses.back(), LinkStatus::Connected);
}

TEST_F(MeterSessionTest, ASilentMeterIsReopenedWithoutBusyLooping)
{
    sim::SetSilent(0, true);
    Connect(200);
    RunFor(2900);
    EXPECT_EQ(session->Status(), LinkStatus::Connected);
    RunFor(200);
    EXPECT_EQ(session->Status(), LinkStatus::Reopening);
    sim::ClearCalls();
    RunFor(1000);
    // Reopened once, greeted again, then given time to answer.
    EXPECT_EQ(sim::CallsNamed("FT_Close").size(), 1u);
    EXPECT_EQ(OpensOf("QP000001", true), 1);
    EXPECT_EQ(sim::WrittenBytes().rfind("S20\rV\r", 0), 0u);
    EXPECT_LT(sim::Calls().size(), 60u);
    EXPECT_EQ(session->Status(), LinkStatus::Lost);

    sim::SetSilent(0, false);
    RunFor(500);
    EXPECT_EQ(session->Status(), LinkStatus::Connected);
}

TEST_F(MeterSessionTest, AnotherMeterIsNeverTaken)
{
    Connect(200);
    sim::Unplug(0);
    sim::AddDevice("QUVA USB pH Meter", "QP000009");
    RunFor(2000);
    EXPECT_EQ(OpensOf("QP000009", true) + OpensOf("QP000009", false), 0);
    EXPECT_FALSE(sim::IsOpen());
    EXPECT_EQ(session->Serial(), "QP000001");
}

// Without polling a failing call still counts, and the meter is looked for
// once a second.
TEST_F(MeterSessionTest, WithoutPollingAFailingCallStillCounts)
{
    Connect(0);
    sim::Unplug(0);
    RunFor(100);
    EXPECT_EQ(session->Status(), LinkStatus::Reopening);
    sim::ClearCalls();
    RunFor(2000);
    EXPECT_EQ(OpensOf("QP000001", false), 2);
    sim::Plug(0);
    RunFor(1000);
    EXPECT_EQ(OpensOf("QP000001", true), 1);
}

struct SetupFailure {
    const char* call;
    FT_STATUS status;
    bool connected;  // counts as a connected meter (then lost) or as a failed open
};

class SetupFailureTest : public MeterSessionTest, public ::testing::WithParamInterface<SetupFailure> {};

// A converter pulled during the setup is a lost meter; one that refuses a
// setting is closed again, as if it could not be opened.
TEST_P(SetupFailureTest, TheSetupIsChecked)
{
    const SetupFailure f = GetParam();
    sim::FailCalls(f.call, f.status);
    session->SetPollInterval(1000);
    const ConnectResult result = session->Connect("QP000001");
    if (f.connected) {
        EXPECT_EQ(result, ConnectResult::Connected);
        EXPECT_EQ(session->Status(), LinkStatus::Reopening);
        EXPECT_TRUE(session->Connected());
        EXPECT_TRUE(sim::CallsNamed("FT_Write").empty());
        scheduler->Start();
        sim::ClearFailures();
        RunFor(1000);
        EXPECT_EQ(session->Status(), LinkStatus::Lost);
        EXPECT_EQ(sim::WrittenBytes().rfind("S20\rV\r", 0), 0u);
    } else {
        EXPECT_EQ(result, ConnectResult::SetupFailed);
        EXPECT_FALSE(session->Connected());
        EXPECT_FALSE(session->DeviceOpen());
        EXPECT_FALSE(sim::IsOpen());
        EXPECT_TRUE(sim::CallsNamed("FT_Write").empty());
        EXPECT_EQ(session->Status(), LinkStatus::Closed);
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, SetupFailureTest,
                         ::testing::Values(SetupFailure{"FT_SetBaudRate", FT_IO_ERROR, true},
                                           SetupFailure{"FT_SetDtr", FT_DEVICE_NOT_FOUND, true},
                                           SetupFailure{"FT_SetTimeouts", FT_INVALID_HANDLE, true},
                                           SetupFailure{"FT_SetBaudRate", FT_INVALID_BAUD_RATE, false},
                                           SetupFailure{"FT_SetFlowControl", FT_INVALID_PARAMETER, false},
                                           SetupFailure{"FT_SetRts", FT_NOT_SUPPORTED, false}));

TEST_F(MeterSessionTest, ClosingWhileLostStopsLookingAndClosesOnce)
{
    Connect(200);
    sim::Unplug(0);
    RunFor(300);
    session->Close();
    EXPECT_EQ(session->Status(), LinkStatus::Closed);
    sim::ClearCalls();
    RunFor(2000);
    EXPECT_TRUE(sim::CallsNamed("FT_OpenEx").empty());
    EXPECT_TRUE(sim::CallsNamed("FT_Close").empty());
}

}  // namespace
