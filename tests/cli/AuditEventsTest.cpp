// The events tirevo-cli leaves in the records folder's trail while it runs
// a meter: connected, lost, found and closed (around a calibration row too),
// its alarms, and the log file started and closed with its rows and hash,
// which verify then holds the file to. --no-record writes none, and a trail that cannot be written is
// said once while the readings and the log go on.
#include "AuditCheck.h"
#include "AuditEvent.h"
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <regex>

namespace {

using clitest::CliProcess;
using clitest::Finished;
using clitest::Lines;
using clitest::ReadFile;
using clitest::RunCli;
using clitest::TempDir;
using clitest::WriteFile;
namespace fs = std::filesystem;

QJsonObject Parsed(const std::string& line)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
}

std::string Text(const QJsonObject& object, const char* name)
{
    return object.value(QLatin1String(name)).toString().toStdString();
}

class AuditEvents : public testing::Test {
protected:
    CliProcess::Setup InFolder(std::vector<std::string> args, std::map<std::string, std::string> env = {})
    {
        CliProcess::Setup setup;
        setup.args = std::move(args);
        for (const char* option : {"--interval", "20", "--records"})
            setup.args.push_back(option);
        setup.args.push_back(dir_.Path().string());
        setup.cwd = dir_.Path();
        setup.env = {{"TIREVO_SIM_READING", "7.02"}};
        for (const auto& [name, value] : env)
            setup.env[name] = value;
        return setup;
    }
    std::vector<QJsonObject> Trail() const
    {
        std::vector<QJsonObject> events;
        for (const std::string& line : Lines(ReadFile(dir_ / "audit.jsonl")))
            events.push_back(Parsed(line));
        return events;
    }
    // "meter connected QP000001", "log started", "alarm high" ...: the
    // event, its `what` and its serial when it has one.
    std::vector<std::string> Summary() const
    {
        std::vector<std::string> out;
        for (const QJsonObject& event : Trail()) {
            std::string text = Text(event, "event") + " " + Text(event, "what");
            if (event.contains(QLatin1String("serial")))
                text += " " + Text(event, "serial");
            out.push_back(text);
        }
        return out;
    }
    std::vector<fs::path> LogFiles() const
    {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(dir_.Path()))
            if (entry.path().filename().string().rfind("USB_PH_", 0) == 0)
                out.push_back(entry.path());
        std::sort(out.begin(), out.end());
        return out;
    }
    Finished Verify() const { return clitest::RunVerify(dir_.Path()); }

    TempDir dir_;
};

TEST_F(AuditEvents, ALogRunLeavesItsEventsAndVerifyHoldsTheLogToItsHash)
{
    const Finished done = RunCli(InFolder({"log", "--count", "3", "--dir", "."}));
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const std::vector<fs::path> logs = LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"meter connected QP000001", "log started QP000001",
                                        "meter closed QP000001", "log closed"}));
    const std::vector<QJsonObject> trail = Trail();
    // Absolute, though the run was told "."; a check from any folder finds it.
    const std::string path = fs::absolute(logs[0]).lexically_normal().string();
    EXPECT_EQ(Text(trail[1], "path"), path);
    EXPECT_EQ(Text(trail[3], "path"), path);
    EXPECT_EQ(trail[3].value(QLatin1String("rows")).toInt(), 3);
    EXPECT_EQ(Text(trail[3], "sha256"), tirevo::Sha256Hex(ReadFile(logs[0])));
    EXPECT_NE(Text(trail[0], "program").rfind("tirevo-cli ", 0), std::string::npos);

    const Finished intact = Verify();
    EXPECT_EQ(intact.exitCode, 0) << intact.out << intact.err;
    EXPECT_NE(intact.out.find("intact: 4 events"), std::string::npos) << intact.out;
    EXPECT_NE(intact.out.find(", 1 logs checked, 0 not found\n"), std::string::npos) << intact.out;

    // One more row in the log, written behind the trail's back.
    WriteFile(logs[0], ReadFile(logs[0]) + "08.12.2026\t10:02:49\t7.02\r\n");
    const Finished altered = Verify();
    EXPECT_EQ(altered.exitCode, 7) << altered.out << altered.err;
    EXPECT_NE(altered.out.find(path + ": changed since audit.jsonl line 4"), std::string::npos)
        << altered.out;
}

TEST_F(AuditEvents, AMeterLostAndFoundAndItsAlarmAreInTheTrail)
{
    const Finished done =
        RunCli(InFolder({"read", "--count", "5", "--high", "7.00", "--alarm-delay", "0"},
                        {{"TIREVO_SIM_UNPLUG_AFTER_POLLS", "2"}, {"TIREVO_SIM_REPLUG_AFTER_MS", "200"}}));
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> summary = Summary();
    ASSERT_GE(summary.size(), 5u);
    EXPECT_EQ(summary.front(), "meter connected QP000001");
    EXPECT_EQ(summary.back(), "meter closed QP000001");
    const auto at = [&](const std::string& what) {
        return std::find(summary.begin(), summary.end(), what) - summary.begin();
    };
    EXPECT_LT(at("meter lost QP000001"), at("meter found QP000001"));
    EXPECT_LT(at("meter found QP000001"), static_cast<long>(summary.size()) - 1);
    ASSERT_LT(at("alarm high QP000001"), static_cast<long>(summary.size()));
    const QJsonObject alarm = Trail()[static_cast<std::size_t>(at("alarm high QP000001"))];
    EXPECT_EQ(alarm.value(QLatin1String("limit")).toDouble(), 7.0);
    EXPECT_EQ(alarm.value(QLatin1String("ph")).toDouble(), 7.02);
    const tirevo::AuditCheckResult check = tirevo::CheckAuditFolder(dir_.Path().string());
    EXPECT_TRUE(check.Intact());
}

TEST_F(AuditEvents, EveryMeterOfARunOverAllHasItsOwnEvents)
{
    const Finished done =
        RunCli(InFolder({"log", "--all", "--count", "2", "--dir", "."}, {{"TIREVO_SIM_METERS", "2"}}));
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> summary = Summary();
    for (const char* serial : {"QP000001", "QP000002"})
        for (const char* what : {"meter connected ", "log started ", "meter closed "})
            EXPECT_EQ(std::count(summary.begin(), summary.end(), what + std::string(serial)), 1)
                << what << serial;
    EXPECT_EQ(std::count(summary.begin(), summary.end(), "log closed"), 2);
    const tirevo::AuditCheckResult check = tirevo::CheckAuditFolder(dir_.Path().string());
    EXPECT_TRUE(check.Intact());
    EXPECT_EQ(check.logsChecked, 2);
}

TEST_F(AuditEvents, ACalibrationRowStandsBetweenItsMetersConnectedAndClosed)
{
    const Finished done = RunCli(InFolder({"calibrate", "--point", "1", "4.01", "--now"}));
    ASSERT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"meter connected QP000001", "calibration  QP000001",
                                        "meter closed QP000001"}));
    EXPECT_TRUE(tirevo::CheckAuditFolder(dir_.Path().string()).Intact());
}

TEST_F(AuditEvents, NoRecordWritesNoEvent)
{
    for (std::vector<std::string> args : {std::vector<std::string>{"read", "--count", "2"},
                                          {"log", "--count", "2", "--dir", "."},
                                          {"measure", "--now"},
                                          {"calibrate", "--point", "1", "4.01", "--now"}}) {
        args.push_back("--no-record");
        const Finished done = RunCli(InFolder(args));
        EXPECT_EQ(done.exitCode, 0) << args[0] << ": " << done.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "audit.jsonl"));
    EXPECT_EQ(LogFiles().size(), 1u) << "the log is written as ever";
}

TEST_F(AuditEvents, ATrailThatCannotBeWrittenIsSaidOnceAndTheLogGoesOn)
{
    // A folder in the trail's place: it cannot be opened for appending.
    fs::create_directory(dir_ / "audit.jsonl");
    const Finished done = RunCli(InFolder({"log", "--count", "3", "--dir", "."}));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::string trail = (dir_ / "audit.jsonl").string();
    EXPECT_EQ(CliProcess::Occurrences(done.err, "audit.jsonl"), 1) << done.err;
    EXPECT_NE(done.err.find("tirevo-cli: Cannot write to " + trail + ": "), std::string::npos) << done.err;
    const std::vector<fs::path> logs = LogFiles();
    ASSERT_EQ(logs.size(), 1u);
    const std::vector<std::string> lines = Lines(ReadFile(logs[0]));
    const std::regex row(R"(.*\t7[.,]02)");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& line) { return std::regex_match(line, row); }),
              3);
}

}  // namespace
