// The events a run with a meter leaves in the audit trail, from the changes
// its user tells: the link's statuses as a table, a real session on virtual
// time through the simulated meter that is unplugged and plugged in again,
// the alarm rule's raises and clears, a data log started and closed, and the
// writer that opens the trail at the first event and says a failure once.
#include "SessionAudit.h"
#include "AuditCheck.h"
#include "AuditWriter.h"
#include "CaseName.h"
#include "FileBytes.h"
#include "SimFixture.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <unistd.h>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

// An event as one line of text: its name and members, for comparisons.
std::string Described(const AuditEvent& event)
{
    std::string text = event.name;
    for (const AuditMember& member : event.members) {
        text += " " + member.name + "=";
        switch (member.value.kind) {
        case AuditValue::Kind::Text:
        case AuditValue::Kind::Number:
            text += member.value.text;
            break;
        case AuditValue::Kind::Bool:
            text += member.value.flag ? "true" : "false";
            break;
        case AuditValue::Kind::Null:
            text += "null";
            break;
        }
    }
    return text;
}

struct Kept {
    std::vector<std::string> events;
    SessionAudit::Sink Sink()
    {
        return [this](const AuditEvent& event) { events.push_back(Described(event)); };
    }
};

// ---------------------------------------------------------------- the link

struct LinkCase {
    const char* what;
    std::vector<LinkStatus> statuses;
    std::vector<std::string> events;  // the `what` of each meter event
};

class SessionAuditLink : public testing::TestWithParam<LinkCase> {};

TEST_P(SessionAuditLink, GivesOneEventPerChange)
{
    Kept kept;
    SessionAudit audit(kept.Sink());
    for (const LinkStatus status : GetParam().statuses)
        audit.LinkChanged(status, "QP000001");
    std::vector<std::string> expected;
    for (const std::string& what : GetParam().events)
        expected.push_back("meter what=" + what + " serial=QP000001");
    EXPECT_EQ(kept.events, expected);
}

using LS = LinkStatus;
INSTANTIATE_TEST_SUITE_P(
    Meter, SessionAuditLink,
    testing::Values(
        LinkCase{"NeverOpened", {LS::Closed}, {}},
        LinkCase{"OpenedAndClosed", {LS::Connected, LS::Closed}, {"connected", "closed"}},
        LinkCase{"UnpluggedAndFound",
                 {LS::Connected, LS::Reopening, LS::Lost, LS::Connected, LS::Closed},
                 {"connected", "lost", "found", "closed"}},
        LinkCase{
            "SilentThenGivenUp", {LS::Connected, LS::Lost, LS::Reopening, LS::Lost}, {"connected", "lost"}},
        LinkCase{
            "ClosedWhileLost", {LS::Connected, LS::Reopening, LS::Closed}, {"connected", "lost", "closed"}},
        LinkCase{"GoneDuringTheSetup", {LS::Reopening, LS::Connected}, {"connected", "lost", "found"}},
        LinkCase{
            "OpenedAgain", {LS::Connected, LS::Closed, LS::Connected}, {"connected", "closed", "connected"}}),
    CaseName());

// The statuses a real session goes through, on virtual time.
TEST(SessionAudit, AMeterUnpluggedAndPluggedInAgainIsLostAndFound)
{
    BindSimulatedMeter();
    sim::SetReadingText("7.02");
    VirtualClock clock;
    Kept kept;
    {
        MeterSession session(clock);
        MeterScheduler scheduler(session, clock);
        SessionAudit audit(kept.Sink());
        struct Forward : MeterListener {
            SessionAudit& audit;
            MeterSession& session;
            Forward(SessionAudit& a, MeterSession& s) : audit(a), session(s) {}
            void StatusChanged(LinkStatus status) override { audit.LinkChanged(status, session.Serial()); }
        } forward(audit, session);
        session.AddListener(&forward);
        session.SetPollInterval(200);
        ASSERT_EQ(session.Connect("QP000001"), ConnectResult::Connected);
        scheduler.Start();
        scheduler.RunUntil(clock.NowMs() + 1000);
        sim::Unplug(0);
        scheduler.RunUntil(clock.NowMs() + 1000);
        sim::Plug(0);
        scheduler.RunUntil(clock.NowMs() + 1000);
        ASSERT_EQ(session.Status(), LinkStatus::Connected);
        session.Close();
        session.RemoveListener(&forward);
    }
    EXPECT_EQ(
        kept.events,
        (std::vector<std::string>{"meter what=connected serial=QP000001", "meter what=lost serial=QP000001",
                                  "meter what=found serial=QP000001", "meter what=closed serial=QP000001"}));
}

// ---------------------------------------------------------------- alarms

TEST(SessionAudit, AlarmsCarryTheirLimitReadingAndSerial)
{
    AlarmSettings settings;
    settings.high = 8.5;
    settings.delayS = 0;
    AlarmRule rule(settings);
    Kept kept;
    SessionAudit audit(kept.Sink());
    int64_t at = 0;
    const auto reading = [&](double value) {
        at += 1000;
        audit.AlarmsChanged(rule.OnReading(value, AlarmTime{at, 1796720565125 + at, 3600}), "QP000001");
    };
    reading(8.2);
    reading(8.61);
    reading(8.7);  // still raised: nothing new
    reading(8.4);
    audit.AlarmsChanged(rule.OnStatus(LinkStatus::Reopening, AlarmTime{at + 1, 0, 0}), "QP000001");
    audit.AlarmsChanged(rule.OnStatus(LinkStatus::Connected, AlarmTime{at + 2, 0, 0}), "QP000001");
    EXPECT_EQ(kept.events,
              (std::vector<std::string>{
                  "alarm what=high limit=8.50 ph=8.61 serial=QP000001",
                  "alarm what=clear limit=8.50 ph=8.40 serial=QP000001",
                  "alarm what=lost limit=null ph=null serial=QP000001",
                  "alarm what=clear limit=null ph=null serial=QP000001",
              }));
}

// ---------------------------------------------------------------- the log, and the trail itself

class SessionAuditFolder : public testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-session-audit-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    static LogClockTime Start() { return {2026, 12, 8, 10, 2, 45}; }

    fs::path folder;
};

TEST_F(SessionAuditFolder, ALogIsStartedAndClosedWithItsRowsAndHash)
{
    Kept kept;
    SessionAudit audit(kept.Sink());
    DataLog log(&SessionAuditFolder::Start);
    DataLogOptions options;
    options.folder = folder.string() + "/./";
    ASSERT_EQ(log.Start(options, "1.4.0", "QP000001"), 0);
    audit.LogChanged(log, "QP000001");
    const std::string path = (folder / "USB_PH_261208_100245.txt").string();
    ASSERT_TRUE(audit.OpenLog());
    EXPECT_EQ(*audit.OpenLog(), path) << "absolute and clean";
    for (const char* text : {"7.01", "7.02", "7.03"}) {
        ASSERT_EQ(log.WriteRow(text, ':', Start()), 0);
        audit.LogChanged(log, "QP000001");  // written, not changed: nothing
    }
    ASSERT_EQ(log.Stop(), 0);
    audit.LogChanged(log, "QP000001");
    audit.LogChanged(log, "QP000001");  // closed once
    EXPECT_FALSE(audit.OpenLog());
    EXPECT_EQ(kept.events,
              (std::vector<std::string>{
                  "log what=started path=" + path + " serial=QP000001",
                  "log what=closed path=" + path + " rows=3 sha256=" + Sha256Hex(ReadFile(path)),
              }));
}

TEST_F(SessionAuditFolder, TheWriterKeepsOneChainThatTheCheckFindsIntact)
{
    std::vector<std::string> said;
    AuditWriter writer(folder.string(), false, "tirevo-cli 1.4.0",
                       [&](const std::string& line) { said.push_back(line); });
    SessionAudit audit([&](const AuditEvent& event) { writer.Append(event); });
    EXPECT_FALSE(fs::exists(folder / kAuditFileName)) << "nothing before the first event";
    DataLog log(&SessionAuditFolder::Start);
    audit.LinkChanged(LinkStatus::Connected, "QP000001");
    DataLogOptions options;
    options.folder = folder.string();
    ASSERT_EQ(log.Start(options, "1.4.0", "QP000001"), 0);
    audit.LogChanged(log, "QP000001");
    ASSERT_EQ(log.WriteRow("7.01", ':', Start()), 0);
    ASSERT_EQ(log.Stop(), 0);
    audit.LogChanged(log, "QP000001");
    audit.LinkChanged(LinkStatus::Closed, "QP000001");
    EXPECT_TRUE(said.empty());
    EXPECT_FALSE(writer.Failed());

    const AuditCheckResult check = CheckAuditFolder(folder.string());
    for (const AuditProblem& problem : check.problems)
        ADD_FAILURE() << AuditProblemText(problem);
    EXPECT_EQ(check.events, 4);
    EXPECT_EQ(check.logsChecked, 1);

    // The log changed afterwards is found.
    WriteFile(folder / "USB_PH_261208_100245.txt", ReadFile(folder / "USB_PH_261208_100245.txt") + "x");
    EXPECT_FALSE(CheckAuditFolder(folder.string()).Intact());
}

TEST_F(SessionAuditFolder, AFailedWriteIsSaidOnceAndLaterEventsAreStillTried)
{
    // A folder in the trail's place: nothing can be appended to it.
    fs::create_directory(folder / kAuditFileName);
    std::vector<std::string> said;
    AuditWriter writer(folder.string(), false, "tirevo-cli 1.4.0",
                       [&](const std::string& line) { said.push_back(line); });
    EXPECT_FALSE(writer.Append(MeterEvent(kMeterConnected, "QP000001")));
    EXPECT_FALSE(writer.Append(MeterEvent(kMeterLost, "QP000001")));
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find((folder / kAuditFileName).string()), std::string::npos) << said[0];
    EXPECT_EQ(said[0].find('\n'), std::string::npos) << "one line";
    EXPECT_TRUE(writer.Failed());

    // The folder is mended: the next event is written.
    fs::remove(folder / kAuditFileName);
    EXPECT_TRUE(writer.Append(MeterEvent(kMeterFound, "QP000001")));
    EXPECT_EQ(said.size(), 1u);
}

}  // namespace
