// The bench view's meters on virtual time, through the simulated meters:
// meters added, lost, found and removed, their order, a silent meter beside
// working ones, each meter's own rules, and the events they leave in the
// audit trail.
#include "BenchModel.h"
#include "AuditCheck.h"
#include "AuditWriter.h"
#include "CalibrationRecord.h"
#include "FileBytes.h"
#include "ReadingTime.h"
#include "SimFixture.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <map>
#include <string>
#include <vector>

using namespace tirevo;

namespace {

struct Heard : BenchMeterListener {
    std::map<std::string, std::vector<double>> readings;
    std::vector<CalibrationRow> rows;
    void BenchReading(BenchMeter& meter, const Reading& reading) override
    {
        readings[meter.Serial()].push_back(reading.value);
        // As the view writes "Log all".
        if (meter.Log().Logging()) {
            EXPECT_EQ(meter.WriteLogRow("7.00", ':', ReadingLogTime(reading)), 0);
        }
    }
    void BenchCalibrationRow(BenchMeter&, const CalibrationRow& row) override { rows.push_back(row); }
};

class BenchModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindSimulatedMeter();
        sim::ClearDevices();
        clock = std::make_unique<VirtualClock>();
    }
    void TearDown() override
    {
        model.reset();
        clock.reset();
    }

    // Meters with these serial numbers, each answering its own reading.
    std::vector<int> Attach(const std::vector<std::pair<std::string, std::string>>& meters)
    {
        std::vector<int> devices;
        for (const auto& [serial, reading] : meters) {
            const int device = sim::AddDevice("QUVA USB pH Meter", serial);
            sim::SetDeviceReadingText(device, reading);
            devices.push_back(device);
        }
        return devices;
    }

    void Start(BenchModel::AlarmSettingsFor alarmFor = {})
    {
        model = std::make_unique<BenchModel>(
            *clock, rules, [] { return ListDevices(); }, std::move(alarmFor));
        model->Audit = audit;
        model->MeterAdded = [this](BenchMeter& meter) { meter.SetListener(&heard); };
        model->MetersChanged = [this] { ++changes; };
        model->Start();
    }
    void RunFor(int64_t ms) { model->RunUntil(clock->NowMs() + ms); }

    // "meter connected QP000001", "alarm high QP000002", "log started ..."
    // for each line of the folder's trail.
    static std::vector<std::string> TrailSummary(const QString& folder)
    {
        QFile file(QDir(folder).filePath(QString::fromLatin1(kAuditFileName)));
        std::vector<std::string> out;
        if (!file.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject event = QJsonDocument::fromJson(line).object();
            out.push_back((event.value(QStringLiteral("event")).toString() + QLatin1Char(' ') +
                           event.value(QStringLiteral("what")).toString() + QLatin1Char(' ') +
                           event.value(QStringLiteral("serial")).toString())
                              .toStdString());
        }
        return out;
    }

    std::vector<std::string> Serials() const
    {
        std::vector<std::string> out;
        for (const auto& meter : model->Meters())
            out.push_back(meter->Serial());
        return out;
    }
    // Times of the polls ("P" then "H") on one converter.
    static std::vector<long> PollTimes(int device)
    {
        std::vector<long> out;
        std::vector<sim::Call> writes;
        for (const auto& call : sim::CallsNamed("FT_Write"))
            if (call.device == device)
                writes.push_back(call);
        for (size_t i = 0; i + 1 < writes.size(); ++i)
            if (writes[i].data == "P" && writes[i + 1].data == "H")
                out.push_back(std::lround(writes[i].tMs));
        return out;
    }

    BenchRules rules;
    Heard heard;
    SessionAudit::Sink audit;
    int changes = 0;
    std::unique_ptr<VirtualClock> clock;
    std::unique_ptr<BenchModel> model;
};

TEST_F(BenchModelTest, EveryMeterInTheOrderOfItsSerialWithItsOwnReadings)
{
    Attach({{"QP000003", "9.03"}, {"QP000001", "7.01"}, {"QP000002", "8.02"}});
    Start();
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001", "QP000002", "QP000003"}));
    RunFor(3500);
    EXPECT_EQ(heard.readings["QP000001"], (std::vector<double>{7.01, 7.01, 7.01}));
    EXPECT_EQ(heard.readings["QP000002"], (std::vector<double>{8.02, 8.02, 8.02}));
    EXPECT_EQ(heard.readings["QP000003"], (std::vector<double>{9.03, 9.03, 9.03}));
    for (const auto& meter : model->Meters()) {
        EXPECT_EQ(meter->Status(), LinkStatus::Connected) << meter->Serial();
        ASSERT_TRUE(meter->LastReading());
    }
}

TEST_F(BenchModelTest, AMeterPluggedInLaterGetsItsPlaceWithinTheListingPeriod)
{
    const std::vector<int> devices =
        Attach({{"QP000001", "7.01"}, {"QP000003", "9.03"}, {"QP000002", "8.02"}});
    sim::Unplug(devices[2]);
    Start();
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001", "QP000003"}));
    changes = 0;
    RunFor(500);
    sim::Plug(devices[2]);
    RunFor(BenchModel::kListPeriodMs);
    // Between the two it stands, not at the end.
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001", "QP000002", "QP000003"}));
    EXPECT_EQ(changes, 1);
    RunFor(1500);
    EXPECT_FALSE(heard.readings["QP000002"].empty());
}

TEST_F(BenchModelTest, AnUnpluggedMeterKeepsItsPlaceMarkedLostUntilItIsBack)
{
    const std::vector<int> devices =
        Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}, {"QP000003", "9.03"}});
    Start();
    RunFor(2500);
    sim::Unplug(devices[1]);
    RunFor(5000);
    BenchMeter* lost = model->Find("QP000002");
    ASSERT_TRUE(lost);
    EXPECT_TRUE(lost->Lost());
    EXPECT_FALSE(lost->LastReading());
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001", "QP000002", "QP000003"}));
    // The others went on reading all the while.
    EXPECT_EQ(heard.readings["QP000001"].size(), 7u);
    EXPECT_EQ(heard.readings["QP000003"].size(), 7u);

    sim::Plug(devices[1]);
    const size_t before = heard.readings["QP000002"].size();
    RunFor(3000);
    EXPECT_FALSE(lost->Lost());
    EXPECT_EQ(lost->Status(), LinkStatus::Connected);
    EXPECT_GT(heard.readings["QP000002"].size(), before);
    EXPECT_EQ(model->Find("QP000002"), lost) << "found again in its own place, not added anew";
}

TEST_F(BenchModelTest, OnlyALostMeterCanBeRemovedAndItComesBackWhenPluggedIn)
{
    const std::vector<int> devices = Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}});
    Start();
    RunFor(1500);
    EXPECT_FALSE(model->Remove("QP000002")) << "an answering meter would only come back";
    EXPECT_FALSE(model->Remove("QP000009"));
    sim::Unplug(devices[1]);
    RunFor(5000);
    ASSERT_TRUE(model->Find("QP000002")->Lost());
    EXPECT_TRUE(model->Remove("QP000002"));
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001"}));
    RunFor(5000);
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001"})) << "gone until plugged in again";
    sim::Plug(devices[1]);
    RunFor(BenchModel::kListPeriodMs);
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001", "QP000002"}));
}

TEST_F(BenchModelTest, ASilentMeterDelaysNoOtherMetersPolls)
{
    const std::vector<int> devices =
        Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}, {"QP000003", "9.03"}});
    sim::SetSilent(devices[1], true);
    const double t0 = sim::NowMs();
    Start();
    RunFor(10500);
    for (const int device : {devices[0], devices[2]}) {
        const std::vector<long> polls = PollTimes(device);
        ASSERT_EQ(polls.size(), 10u) << device;
        // Meters polled in one wake-up take turns: a meter before it in the
        // turn costs at most the pacing of a command or two, never a wait.
        for (size_t i = 1; i < polls.size(); ++i)
            EXPECT_NEAR(polls[i] - polls[i - 1], 1000, 10) << "device " << device << " poll " << i;
        // About an interval after the start, on the reception grid: just
        // after a reception tick, so the reply is taken at the next one.
        EXPECT_LE(polls.front() - std::lround(t0), 1100);
        for (const long poll : polls)
            EXPECT_LT((poll - std::lround(t0)) % 100, 20) << "device " << device << " at " << poll;
    }
    EXPECT_EQ(heard.readings["QP000001"].size(), 10u);
    EXPECT_EQ(heard.readings["QP000003"].size(), 10u);
    EXPECT_TRUE(heard.readings["QP000002"].empty());
    EXPECT_TRUE(model->Find("QP000002")->Lost()) << "not responding";
}

TEST_F(BenchModelTest, AMeterHeldByAnotherProgramIsTakenUpOnceItIsFree)
{
    const std::vector<int> devices = Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}});
    sim::SetOpenFails(devices[0], true);
    Start();
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000002"}));
    sim::SetOpenFails(devices[0], false);
    RunFor(BenchModel::kListPeriodMs);
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001", "QP000002"}));
}

TEST_F(BenchModelTest, EachMeterIsJudgedByItsOwnRules)
{
    rules.stability.windowS = 3;
    rules.stability.pollIntervalMs = 1000;
    const std::vector<int> devices = Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}});
    AlarmSettings high;
    high.high = 8.0;
    high.delayS = 2;
    Start([high](const std::string& serial) { return serial == "QP000002" ? high : AlarmSettings(); });
    RunFor(5500);
    BenchMeter& first = *model->Find("QP000001");
    BenchMeter& second = *model->Find("QP000002");
    EXPECT_TRUE(first.Stable());
    EXPECT_TRUE(second.Stable());
    EXPECT_FALSE(first.Alarm().Shown());
    ASSERT_TRUE(second.Alarm().Shown());
    EXPECT_EQ(second.Alarm().Shown()->kind, AlarmKind::High);
    // A reading that swings unsettles its own meter only.
    sim::SetDeviceReadingText(devices[0], "6.50");
    RunFor(1000);
    EXPECT_FALSE(first.Stable());
    EXPECT_TRUE(second.Stable());
}

TEST_F(BenchModelTest, CalibrationDueIsEachMetersOwn)
{
    QTemporaryDir records;
    rules.recordsFolder = records.path().toStdString();
    rules.calibration.dueHours = 24;
    const std::string now = IsoLocalTimeText(QDateTime::currentDateTime());
    ASSERT_TRUE(WriteFile(QDir(records.path()).filePath(QStringLiteral("calibrations.csv")).toStdString(),
                          std::string(kCalibrationsHeader) + "\r\n" + now +
                              ",QP000001,1,4.01,P10401,4.02,yes,4.01,yes,+0.00,pass\r\n"));
    Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}});
    Start();
    EXPECT_FALSE(model->Find("QP000001")->CalibrationDue());
    EXPECT_TRUE(model->Find("QP000002")->CalibrationDue());
}

TEST_F(BenchModelTest, ACalibrationPointIsCheckedOnItsOwnMeter)
{
    rules.stability.windowS = 2;
    rules.stability.pollIntervalMs = 1000;
    rules.calibration.asLeftWaitS = 30;
    const std::vector<int> devices = Attach({{"QP000001", "7.01"}, {"QP000002", "4.05"}});
    Start();
    RunFor(4500);
    sim::ClearCalls();
    model->Find("QP000002")->StartCalibration(1, 401, "P10401", "2026-12-08T10:00:00.000+00:00");
    RunFor(4000);
    ASSERT_EQ(heard.rows.size(), 1u);
    EXPECT_EQ(heard.rows[0].serial, "QP000002");
    EXPECT_EQ(heard.rows[0].asFound, "4.05");
    std::string written;
    for (const auto& call : sim::CallsNamed("FT_Write"))
        if (call.device == devices[1])
            written += call.data;
    EXPECT_NE(written.find("P10401\r"), std::string::npos);
}

TEST_F(BenchModelTest, TheMainWindowsSessionIsSharedNotOpenedTwice)
{
    Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}});
    MeterSession shared(*clock);
    ASSERT_EQ(shared.Connect("QP000001"), ConnectResult::Connected);
    MeterScheduler mainTimers(shared, *clock);
    mainTimers.Start(true);
    model = std::make_unique<BenchModel>(*clock, rules, [] { return ListDevices(); });
    model->MeterAdded = [this](BenchMeter& meter) { meter.SetListener(&heard); };
    model->AddShared(shared, "QUVA USB pH Meter");
    model->Start();
    sim::ClearCalls();
    for (int i = 0; i < 25; ++i) {
        clock->Advance(100);
        mainTimers.RunDue();
        model->RunDue();
    }
    EXPECT_EQ(Serials(), (std::vector<std::string>{"QP000001", "QP000002"}));
    EXPECT_TRUE(model->Find("QP000001")->Shared());
    EXPECT_TRUE(sim::CallsNamed("FT_OpenEx").empty());
    EXPECT_EQ(heard.readings["QP000001"].size(), 2u);
    EXPECT_EQ(heard.readings["QP000002"].size(), 2u);
    model.reset();
    EXPECT_EQ(shared.Status(), LinkStatus::Connected) << "the main window's meter stays open";
}

}  // namespace

TEST_F(BenchModelTest, EachMetersLinkAlarmsAndLogsStandInOneIntactTrail)
{
    QTemporaryDir records;
    QTemporaryDir logs;
    AuditWriter writer(records.path().toStdString(), false, "tirevo test");
    audit = [&writer](const AuditEvent& event) { EXPECT_TRUE(writer.Append(event)); };
    const std::vector<int> devices = Attach({{"QP000001", "7.01"}, {"QP000002", "8.02"}});
    AlarmSettings high;
    high.high = 8.0;
    high.delayS = 0;
    Start([high](const std::string& serial) { return serial == "QP000002" ? high : AlarmSettings(); });
    RunFor(1500);
    const DataLogOptions options{logs.path().toStdString(), true, '\t', true};
    for (const auto& meter : model->Meters())
        ASSERT_EQ(meter->StartLog(options, "1.0"), 0);
    RunFor(2000);
    sim::Unplug(devices[0]);
    RunFor(5000);
    ASSERT_TRUE(model->Find("QP000001")->Lost());
    sim::Plug(devices[0]);
    RunFor(3000);
    ASSERT_FALSE(model->Find("QP000001")->Lost());
    sim::SetDeviceReadingText(devices[1], "7.02");
    RunFor(2000);
    // As the view closes: the logs first, then the meters.
    model->EndAll();
    model.reset();

    const std::vector<std::string> events = TrailSummary(records.path());
    const auto count = [&events](const std::string& what) {
        return std::count(events.begin(), events.end(), what);
    };
    EXPECT_EQ(count("meter connected QP000001"), 1);
    EXPECT_EQ(count("meter connected QP000002"), 1);
    EXPECT_EQ(count("meter lost QP000001"), 1);
    EXPECT_EQ(count("meter found QP000001"), 1);
    EXPECT_EQ(count("meter lost QP000002"), 0);
    EXPECT_EQ(count("meter closed QP000001"), 1);
    EXPECT_EQ(count("meter closed QP000002"), 1);
    EXPECT_EQ(count("alarm high QP000002"), 1);
    EXPECT_EQ(count("alarm clear QP000002"), 1);
    EXPECT_EQ(count("log started QP000001"), 1);
    EXPECT_EQ(count("log started QP000002"), 1);
    EXPECT_EQ(count("log closed "), 2);
    EXPECT_EQ(events.front(), "meter connected QP000001");
    EXPECT_EQ(events.back(), "meter closed QP000002");

    const AuditCheckResult check = CheckAuditFolder(records.path().toStdString());
    for (const AuditProblem& problem : check.problems)
        ADD_FAILURE() << AuditProblemText(problem);
    EXPECT_TRUE(check.Intact());
    EXPECT_EQ(check.events, static_cast<int64_t>(events.size()));
    EXPECT_EQ(check.logsChecked, 2);
    EXPECT_TRUE(check.logsNotFound.empty());
}

TEST_F(BenchModelTest, TheLinkOfASharedSessionIsLeftToTheMainWindow)
{
    Attach({{"QP000001", "7.01"}});
    MeterSession shared(*clock);
    ASSERT_EQ(shared.Connect("QP000001"), ConnectResult::Connected);
    std::vector<AuditEvent> events;
    model = std::make_unique<BenchModel>(*clock, rules, [] { return ListDevices(); });
    model->Audit = [&events](const AuditEvent& event) { events.push_back(event); };
    model->AddShared(shared, "QUVA USB pH Meter");
    model->Start();
    RunFor(3000);
    model->EndAll();
    model.reset();
    EXPECT_TRUE(events.empty());
}
