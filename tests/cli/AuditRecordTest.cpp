// The audit trail as tirevo-cli writes it: each recorded row gets its event
// in audit.jsonl beside it, several runs at once keep one chain, rows written
// before the trail are adopted once, and --no-record writes nothing.
#include "AuditCheck.h"
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using clitest::CliProcess;
using clitest::Finished;
using clitest::Lines;
using clitest::ReadFile;
using clitest::RunCli;
using clitest::TempDir;
using clitest::WriteFile;
namespace fs = std::filesystem;

// Settles from 6.50 to 7.00 within about two seconds.
const char* const kSettlesFast = "6.50,7.00,300";

class AuditRecord : public testing::Test {
protected:
    CliProcess::Setup InFolder(std::vector<std::string> args)
    {
        CliProcess::Setup setup;
        setup.args = std::move(args);
        for (const char* option : {"--interval", "100", "--stable-window", "1", "--records"})
            setup.args.push_back(option);
        setup.args.push_back(dir_.Path().string());
        setup.cwd = dir_.Path();
        setup.env = {{"TIREVO_SIM_READING", ""}, {"TIREVO_SIM_SETTLE", kSettlesFast}};
        return setup;
    }
    std::vector<std::string> Trail() const { return Lines(ReadFile(dir_ / "audit.jsonl")); }
    // The lines of rows: a measure run's meter events stand around its
    // sample.
    std::vector<std::string> RowEvents() const
    {
        std::vector<std::string> rows;
        for (const std::string& line : Trail())
            if (line.find(R"("event":"meter")") == std::string::npos)
                rows.push_back(line);
        return rows;
    }
    static int Count(const std::vector<std::string>& lines, const std::string& part)
    {
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(part) != std::string::npos;
        }));
    }
    void ExpectIntact(int64_t events, int64_t samples, int64_t calibrations) const
    {
        const tirevo::AuditCheckResult check = tirevo::CheckAuditFolder(dir_.Path().string());
        for (const tirevo::AuditProblem& problem : check.problems)
            ADD_FAILURE() << tirevo::AuditProblemText(problem);
        EXPECT_EQ(check.events, events);
        EXPECT_EQ(check.headSeq, events);
        EXPECT_EQ(check.samples, samples);
        EXPECT_EQ(check.calibrations, calibrations);
    }

    TempDir dir_;
};

TEST_F(AuditRecord, ASampleAndACalibrationLandInBothFiles)
{
    const Finished measured = RunCli(InFolder({"measure", "--sample", "S-1"}));
    EXPECT_EQ(measured.exitCode, 0) << measured.err;
    const Finished calibrated = RunCli(InFolder({"calibrate", "--point", "1", "4.01", "--now"}));
    EXPECT_EQ(calibrated.exitCode, 0) << calibrated.err;
    const std::vector<std::string> trail = RowEvents();
    ASSERT_EQ(trail.size(), 2u);
    EXPECT_NE(trail[0].find(R"("event":"sample","name":"S-1","ph":7.00,"stable":true,"serial":"QP000001")"),
              std::string::npos)
        << trail[0];
    EXPECT_NE(trail[0].find(R"("program":"tirevo-cli )"), std::string::npos) << trail[0];
    EXPECT_NE(trail[1].find(R"("event":"calibration","point":1,)"), std::string::npos) << trail[1];
    // Each run's meter connected and closed around its row.
    ExpectIntact(6, 1, 1);
}

TEST_F(AuditRecord, SeveralRunsAtOnceKeepOneChainAndEveryRow)
{
    constexpr int kRuns = 4;
    std::vector<std::unique_ptr<CliProcess>> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(std::make_unique<CliProcess>(
            InFolder({"measure", "--now", "--sample", "R-" + std::to_string(i)})));
    for (auto& run : runs)
        EXPECT_EQ(run->Wait().exitCode, 0) << run->Err();
    // Each run: its meter connected, its sample, its meter closed.
    const std::vector<std::string> trail = Trail();
    ASSERT_EQ(trail.size(), static_cast<std::size_t>(3 * kRuns));
    for (int i = 0; i < 3 * kRuns; ++i)
        EXPECT_EQ(Count(trail, "\"seq\":" + std::to_string(i + 1) + ","), 1);
    const std::vector<std::string> rows = RowEvents();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRuns));
    for (int i = 0; i < kRuns; ++i)
        EXPECT_EQ(Count(rows, "\"name\":\"R-" + std::to_string(i) + "\""), 1);
    ExpectIntact(3 * kRuns, kRuns, 0);
}

TEST_F(AuditRecord, RowsWrittenBeforeTheTrailAreAdoptedOnce)
{
    WriteFile(dir_ / "samples.csv",
              "time,sample,ph,stable,serial\r\n"
              "2026-01-05T09:00:00.000+01:00,old,7.01,yes,QP000001\r\n");
    for (const char* name : {"A", "B"}) {
        const Finished done = RunCli(InFolder({"measure", "--now", "--sample", name}));
        EXPECT_EQ(done.exitCode, 0) << done.err;
    }
    const std::vector<std::string> trail = RowEvents();
    ASSERT_EQ(trail.size(), 3u);
    EXPECT_NE(trail[0].find(R"("event":"adopt","file":"samples.csv","rows":1,)"), std::string::npos)
        << trail[0];
    EXPECT_EQ(Count(trail, R"("event":"adopt")"), 1);
    ExpectIntact(7, 3, 0);
}

TEST_F(AuditRecord, NoRecordWritesNoEvent)
{
    EXPECT_EQ(RunCli(InFolder({"measure", "--now", "--no-record"})).exitCode, 0);
    EXPECT_EQ(RunCli(InFolder({"calibrate", "--point", "1", "4.01", "--now", "--no-record"})).exitCode, 0);
    EXPECT_FALSE(fs::exists(dir_ / "audit.jsonl"));
    EXPECT_FALSE(fs::exists(dir_ / "samples.csv"));
}

TEST_F(AuditRecord, ATrailThatCannotBeWrittenIsAFailedRecord)
{
    // A folder in the trail's place: it cannot be opened for appending.
    fs::create_directory(dir_ / "audit.jsonl");
    const Finished done = RunCli(InFolder({"measure", "--now"}));
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find("audit.jsonl"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("Nothing was recorded"), std::string::npos) << done.err;
    EXPECT_FALSE(fs::exists(dir_ / "samples.csv"));
}

TEST_F(AuditRecord, ARowWhoseEventCannotBeWrittenIsTakenBack)
{
    ASSERT_EQ(RunCli(InFolder({"measure", "--now", "--sample", "kept"})).exitCode, 0);
    const std::string samples = ReadFile(dir_ / "samples.csv");
    // Room for a second row in samples.csv, none for a line in the trail,
    // which is longer already.
    CliProcess::Setup setup = InFolder({"measure", "--now", "--sample", "lost"});
    setup.fileSizeLimit = static_cast<long>(samples.size() * 3);
    ASSERT_GT(ReadFile(dir_ / "audit.jsonl").size(), samples.size() * 3);
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find("audit.jsonl"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("Nothing was recorded"), std::string::npos) << done.err;
    EXPECT_EQ(ReadFile(dir_ / "samples.csv"), samples);
    // The first run's three; none of the second's fitted.
    ExpectIntact(3, 1, 0);
}

}  // namespace
