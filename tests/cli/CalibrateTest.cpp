// tirevo-cli calibrate and calibrations as child processes on the simulated
// meter, whose reading moves to the buffer once it has taken the point: the
// row in calibrations.csv, exit 0, 2, 3, 5 and 6, real signals during both
// waits, a converter lost during the command, runs writing at once, the
// three formats, and the due warning of the runs that poll.
#include "CliProcess.h"
#include "FileFaults.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
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

const std::string kHeader =
    "time,serial,point,buffer,command,as_found,as_found_stable,as_left,as_left_stable,error,result\r\n";
const std::string kIsoTime = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";
// Settles to 7.00 within about two seconds.
const char* const kSettlesAt7 = "6.50,7.00,300";
// Moves about 0.1 pH a second for the first minute: never within the band.
const char* const kNeverSettles = "1.00,7.00,60000";

class Calibrate : public testing::Test {
protected:
    CliProcess::Setup CalibrateSetup(std::vector<std::string> args,
                                     std::map<std::string, std::string> env = {
                                         {"TIREVO_SIM_SETTLE", kSettlesAt7}})
    {
        CliProcess::Setup setup;
        setup.args = {"calibrate", "--interval",        "100", "--stable-window", "1",
                      "--records", dir_.Path().string()};
        setup.args.insert(setup.args.end(), args.begin(), args.end());
        setup.cwd = dir_.Path();
        setup.env = {{"TIREVO_SIM_READING", ""}, {"TIREVO_SIM_WIRE_LOG", (dir_ / "wire").string()}};
        for (const auto& [name, value] : env)
            setup.env[name] = value;
        return setup;
    }
    // The rows after the header, which must be there.
    std::vector<std::string> Rows() const
    {
        const std::string file = ReadFile(dir_ / "calibrations.csv");
        EXPECT_EQ(file.rfind(kHeader, 0), 0u) << file;
        return Lines(file.size() >= kHeader.size() ? file.substr(kHeader.size()) : std::string());
    }
    static bool Matches(const std::string& row, const std::string& rest)
    {
        return std::regex_match(row, std::regex(kIsoTime + rest));
    }

    TempDir dir_;
};

TEST_F(Calibrate, StableBeforeAndAfterPasses)
{
    const Finished done = RunCli(CalibrateSetup({"--point", "2", "7.00"}));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.out, "Point 2: as found 7.00, as left 7.00, pass\n");
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(Matches(rows[0], R"(,QP000001,2,7\.00,P20700,7\.00,yes,7\.00,yes,\+0\.00,pass)")) << rows[0];
    EXPECT_NE(ReadFile(dir_ / "wire").find("P20700\r"), std::string::npos);
}

// The simulated meter moves to the buffer it was given: the as-left is
// found after the command, not the 7.00 that was stable before it.
TEST_F(Calibrate, AsLeftIsTakenAfterTheCommand)
{
    const Finished done = RunCli(CalibrateSetup(
        {"--point", "1", "4.01"}, {{"TIREVO_SIM_SETTLE", kSettlesAt7}, {"TIREVO_SIM_CAL_TAU_MS", "300"}}));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    // Stable within the band while it still comes down: a little above.
    EXPECT_TRUE(Matches(rows[0], R"(,QP000001,1,4\.01,P10401,7\.00,yes,4\.0[1-5],yes,\+0\.0[0-4],pass)"))
        << rows[0];
}

TEST_F(Calibrate, OutsideTheToleranceFailsWithExit6)
{
    // A meter that reads 4.30 whatever it was told.
    const Finished done = RunCli(
        CalibrateSetup({"--point", "1", "4.01", "--tolerance", "0.28"}, {{"TIREVO_SIM_READING", "4.30"}}));
    EXPECT_EQ(done.exitCode, 6) << done.err;
    EXPECT_EQ(done.out, "Point 1: as found 4.30, as left 4.30, fail (+0.29)\n");
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(Matches(rows[0], R"(,QP000001,1,4\.01,P10401,4\.30,yes,4\.30,yes,\+0\.29,fail)")) << rows[0];
    // The edge: an error of exactly the tolerance passes.
    const Finished edge = RunCli(
        CalibrateSetup({"--point", "1", "4.01", "--tolerance", "0.29"}, {{"TIREVO_SIM_READING", "4.30"}}));
    EXPECT_EQ(edge.exitCode, 0) << edge.err;
}

TEST_F(Calibrate, NoStableAsFoundSendsNothingExit5)
{
    const Finished done = RunCli(CalibrateSetup({"--point", "1", "4.01", "--timeout", "1.5"},
                                                {{"TIREVO_SIM_SETTLE", "1.00,7.00,60000"}}));
    EXPECT_EQ(done.exitCode, 5) << done.err;
    EXPECT_NE(done.err.find("no stable reading within 1.5 s; P10401 was not sent"), std::string::npos)
        << done.err;
    EXPECT_EQ(ReadFile(dir_ / "wire").find("P1"), std::string::npos) << "nothing sent";
    EXPECT_FALSE(fs::exists(dir_ / "calibrations.csv"));
}

TEST_F(Calibrate, NoStableAsLeftIsRecordedUnknownExit5)
{
    const Finished done =
        RunCli(CalibrateSetup({"--point", "1", "4.01", "--timeout", "3"},
                              {{"TIREVO_SIM_SETTLE", kSettlesAt7}, {"TIREVO_SIM_CAL_TAU_MS", "60000"}}));
    EXPECT_EQ(done.exitCode, 5) << done.err;
    EXPECT_EQ(done.out, "Point 1: as found 7.00, no stable reading\n");
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(Matches(rows[0], R"(,QP000001,1,4\.01,P10401,7\.00,yes,,no,,unknown)")) << rows[0];
}

TEST_F(Calibrate, SigtermDuringTheAsLeftWaitStillWritesTheRow)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        fs::remove(dir_ / "calibrations.csv");
        CliProcess child(
            CalibrateSetup({"--point", "1", "4.01"},
                           {{"TIREVO_SIM_SETTLE", kSettlesAt7}, {"TIREVO_SIM_CAL_TAU_MS", "600000"}}));
        ASSERT_TRUE(child.WaitForError("sent P10401")) << child.Err();
        child.Signal(signal);
        const Finished done = child.Wait();
        EXPECT_EQ(done.exitCode, 5) << done.err;
        EXPECT_NE(done.err.find("ended during the wait after P10401; recorded as unknown"), std::string::npos)
            << done.err;
        const std::vector<std::string> rows = Rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_TRUE(Matches(rows[0], R"(,QP000001,1,4\.01,P10401,7\.00,yes,,no,,unknown)")) << rows[0];
    }
}

TEST_F(Calibrate, NowSendsAtOnceAndRecordsThePoint)
{
    const Finished done = RunCli(CalibrateSetup({"--point", "1", "4.01", "--now"}));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.err.find("sent P10401 to USB pH meter S/N QP000001"), std::string::npos) << done.err;
    EXPECT_EQ(done.out, "Point 1: P10401 sent without a check\n");
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(Matches(rows[0], R"(,QP000001,1,4\.01,P10401,,no,,no,,unknown)")) << rows[0];
    // --no-record: sent, nothing written.
    fs::remove(dir_ / "calibrations.csv");
    EXPECT_EQ(RunCli(CalibrateSetup({"--point", "1", "4.01", "--now", "--no-record"})).exitCode, 0);
    EXPECT_FALSE(fs::exists(dir_ / "calibrations.csv"));
}

struct BufferCase {
    const char* what;
    const char* value;
};

class CalibrateBuffer : public Calibrate, public testing::WithParamInterface<BufferCase> {};

// Only buffers of the pH scale reach the meter; anything else is a typo the
// meter would take as a calibration point.
TEST_P(CalibrateBuffer, OutsideThePhScaleIsRefusedAndNothingIsSent)
{
    CliProcess::Setup setup = CalibrateSetup({"--point", "1", GetParam().value, "--now"});
    setup.env["TIREVO_SIM_EVENTS"] = (dir_ / "events").string();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 2) << done.err;
    EXPECT_TRUE(
        std::regex_search(done.err, std::regex(R"(Calibration value must be from 0[.,]01 to 14[.,]00 pH)")))
        << done.err;
    EXPECT_FALSE(fs::exists(dir_ / "events")) << "the meter was opened";
    EXPECT_FALSE(fs::exists(dir_ / "wire")) << ReadFile(dir_ / "wire");
    EXPECT_FALSE(fs::exists(dir_ / "calibrations.csv"));
}

INSTANTIATE_TEST_SUITE_P(Values, CalibrateBuffer,
                         testing::Values(BufferCase{"Thousandth", "0.001"}, BufferCase{"Hundred", "100"},
                                         BufferCase{"Large", "99999"}, BufferCase{"JustAbove", "14.01"}),
                         [](const testing::TestParamInfo<BufferCase>& info) { return info.param.what; });

TEST_F(Calibrate, TheEndsOfThePhScaleAreSent)
{
    for (const auto& [value, command] : {std::pair{"0.01", "P10001"}, std::pair{"14", "P11400"}}) {
        const Finished done = RunCli(CalibrateSetup({"--point", "1", value, "--now", "--no-record"}));
        EXPECT_EQ(done.exitCode, 0) << done.err;
        EXPECT_NE(ReadFile(dir_ / "wire").find(std::string(command) + "\r"), std::string::npos) << value;
    }
}

TEST_F(Calibrate, NowWhoseRowCannotBeWrittenExitsThree)
{
    WriteFile(dir_ / "file", "");
    CliProcess::Setup setup = CalibrateSetup({"--point", "1", "4.01", "--now"});
    // A folder that cannot be: its parent is a file.
    setup.args[6] = (dir_ / "file" / "records").string();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    // The trail, audit.jsonl, is the first file of the folder written.
    EXPECT_NE(done.err.find("Cannot write to " + (dir_ / "file" / "records" / "audit.jsonl").string()),
              std::string::npos)
        << done.err;
    EXPECT_NE(ReadFile(dir_ / "wire").find("P10401\r"), std::string::npos) << "sent all the same";
}

// The row is kept, but the line a script reads is lost: no success.
TEST_F(Calibrate, AFullDiskUnderStdoutExitsThree)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--point", "1", "4.01", "--now"},
                                                 std::vector<std::string>{"--point", "2", "7.00"}}) {
        fs::remove(dir_ / "calibrations.csv");
        CliProcess::Setup setup = CalibrateSetup(args);
        setup.stdoutFile = "/dev/full";
        const Finished done = RunCli(setup);
        EXPECT_EQ(done.exitCode, 3) << done.err;
        EXPECT_NE(done.err.find("cannot write to standard output: No space left on device"),
                  std::string::npos)
            << done.err;
        EXPECT_EQ(Rows().size(), 1u);
    }
}

class CalibrateEnded : public Calibrate, public testing::WithParamInterface<int> {};

// Ended while it waits for the as-found: the meter was only polled.
TEST_P(CalibrateEnded, DuringTheAsFoundWaitSendsNothing)
{
    CliProcess child(CalibrateSetup({"--point", "1", "4.01"}, {{"TIREVO_SIM_SETTLE", kNeverSettles}}));
    ASSERT_TRUE(
        filefaults::Eventually([&] { return ReadFile(dir_ / "wire").find("PH\r") != std::string::npos; }));
    child.Signal(GetParam());
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 5) << done.err;
    EXPECT_NE(done.err.find("tirevo-cli: ended before a stable reading; P10401 was not sent\n"),
              std::string::npos)
        << done.err;
    EXPECT_EQ(done.out, "");
    EXPECT_EQ(ReadFile(dir_ / "wire").find("P1"), std::string::npos) << "nothing sent";
    EXPECT_FALSE(fs::exists(dir_ / "calibrations.csv"));
}

INSTANTIATE_TEST_SUITE_P(Signals, CalibrateEnded, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGINT        ? "Sigint"
                                                    : info.param == SIGTERM ? "Sigterm"
                                                                            : "Sighup");
                         });

// The converter goes while the command is on its way: what reached the
// line is not claimed as a calibration.
TEST_F(Calibrate, TheConverterLostDuringTheCommand)
{
    const Finished checked =
        RunCli(CalibrateSetup({"--point", "1", "4.01"},
                              {{"TIREVO_SIM_SETTLE", kSettlesAt7}, {"TIREVO_SIM_UNPLUG_ON_WRITE", "P1"}}));
    EXPECT_EQ(checked.exitCode, 5) << checked.err;
    EXPECT_NE(checked.err.find("USB pH meter S/N QP000001 not responding; P10401 not sent"),
              std::string::npos)
        << checked.err;
    EXPECT_EQ(ReadFile(dir_ / "wire").find("P10401\r"), std::string::npos);
    EXPECT_EQ(checked.out, "Point 1: as found 7.00, no stable reading\n");
    std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(Matches(rows[0], R"(,QP000001,1,4\.01,P10401,7\.00,yes,,no,,unknown)")) << rows[0];

    fs::remove(dir_ / "calibrations.csv");
    fs::remove(dir_ / "wire");
    const Finished now =
        RunCli(CalibrateSetup({"--point", "1", "4.01", "--now"}, {{"TIREVO_SIM_UNPLUG_ON_WRITE", "P1"}}));
    EXPECT_EQ(now.exitCode, 1) << now.err;
    EXPECT_NE(now.err.find("not responding; P10401 not sent"), std::string::npos) << now.err;
    EXPECT_EQ(now.out, "");
}

// Two runs that both find no calibrations.csv: one header, both rows.
TEST_F(Calibrate, TwoRunsThatFindNoFileWriteOneHeader)
{
    filefaults::WriterGate gate(dir_ / "gate");
    std::vector<std::unique_ptr<CliProcess>> runs;
    for (const char* point : {"1", "2"}) {
        CliProcess::Setup setup = CalibrateSetup({"--point", point, "7.00", "--now"});
        for (const auto& [key, value] : gate.Env("/calibrations.csv"))
            setup.env[key] = value;
        runs.push_back(std::make_unique<CliProcess>(setup));
    }
    ASSERT_TRUE(gate.LetThrough(runs[0]->Pid(), runs[1]->Pid()));
    for (auto& run : runs)
        EXPECT_EQ(run->Wait().exitCode, 0) << run->Err();
    const std::string file = ReadFile(dir_ / "calibrations.csv");
    EXPECT_EQ(CliProcess::Occurrences(file, kHeader), 1) << file;
    EXPECT_EQ(Rows().size(), 2u) << file;
}

class Calibrations : public Calibrate {
protected:
    void SetUp() override
    {
        WriteFile(dir_ / "calibrations.csv",
                  kHeader +
                      "2026-01-05T09:00:00.000+01:00,QP000001,1,4.01,P10401,4.08,yes,4.01,yes,+0.00,pass\r\n"
                      "2026-01-05T09:05:00.000+01:00,\"Q,2\",2,7.00,P20700,,no,,no,,unknown\r\n"
                      "2026-01-06T09:00:00.000+01:00,QP000001,2,7.00,P20700,7.30,no,7.20,yes,+0.20,fail\r\n");
    }
    Finished List(std::vector<std::string> args)
    {
        CliProcess::Setup setup;
        setup.args = {"calibrations", "--records", dir_.Path().string()};
        setup.args.insert(setup.args.end(), args.begin(), args.end());
        setup.cwd = dir_.Path();
        return RunCli(setup);
    }
};

TEST_F(Calibrations, CsvIsTheFileAsItIsFilteredBySerial)
{
    const Finished all = List({"--format", "csv"});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out, ReadFile(dir_ / "calibrations.csv"));
    const Finished one = List({"--format", "csv", "--serial", "Q,2"});
    EXPECT_EQ(one.out, kHeader + "2026-01-05T09:05:00.000+01:00,\"Q,2\",2,7.00,P20700,,no,,no,,unknown\r\n");
}

TEST_F(Calibrations, JsonAnObjectPerRow)
{
    const Finished done = List({"--format", "json", "--serial", "QP000001"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> lines = Lines(done.out);
    ASSERT_EQ(lines.size(), 2u) << done.out;
    EXPECT_EQ(lines[1],
              R"({"time":"2026-01-06T09:00:00.000+01:00","serial":"QP000001","point":"2","buffer":"7.00",)"
              R"("command":"P20700","as_found":"7.30","as_found_stable":"no","as_left":"7.20",)"
              R"("as_left_stable":"yes","error":"+0.20","result":"fail"})");
}

TEST_F(Calibrations, TextIsAnAlignedTable)
{
    const Finished done = List({});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> lines = Lines(done.out);
    ASSERT_EQ(lines.size(), 4u) << done.out;
    EXPECT_EQ(lines[0].rfind("time                           serial    point  buffer  command  as_found", 0),
              0u)
        << lines[0];
    // Each column starts where its title does.
    const std::size_t result = lines[0].find("result");
    EXPECT_EQ(lines[1].substr(result), "pass");
    EXPECT_EQ(lines[2].substr(result), "unknown");
    EXPECT_EQ(lines[3].substr(result), "fail");
    // No file yet: the title line only.
    fs::remove(dir_ / "calibrations.csv");
    EXPECT_EQ(Lines(List({}).out).size(), 1u);
}

// A field edited by hand to hold a line break stays on its row.
TEST_F(Calibrations, TextShowsALineBreakInAFieldAsBackslashN)
{
    WriteFile(dir_ / "calibrations.csv",
              kHeader +
                  "2026-01-05T09:00:00.000+01:00,\"QP\r\n1\",1,4.01,P10401,4.08,yes,4.01,yes,+0.00,pass\r\n"
                  "2026-01-05T09:05:00.000+01:00,\"Q\nP\r2\",2,7.00,P20700,,no,,no,,unknown\r\n");
    const Finished done = List({});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> lines = Lines(done.out);
    ASSERT_EQ(lines.size(), 3u) << done.out;
    EXPECT_EQ(lines[1].substr(31, 6), "QP\\n1 ") << lines[1];
    EXPECT_EQ(lines[2].substr(31, 9), "Q\\nP\\n2  ") << lines[2];
    const std::size_t result = lines[0].find("result");
    EXPECT_EQ(lines[1].substr(result), "pass");
    EXPECT_EQ(lines[2].substr(result), "unknown");
}

TEST_F(Calibrations, AFileSavedWithAByteOrderMarkIsRead)
{
    WriteFile(dir_ / "calibrations.csv", "\xEF\xBB\xBF" + ReadFile(dir_ / "calibrations.csv"));
    const Finished done = List({"--format", "json", "--serial", "QP000001"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 2u) << done.out;
    const Finished csv = List({"--format", "csv", "--serial", "QP000001"});
    EXPECT_EQ(csv.out.rfind(kHeader, 0), 0u) << csv.out;
}

// The serial number as the meter reported it, though the file guards it.
TEST_F(Calibrations, AGuardedSerialIsShownAsReported)
{
    const std::string row = "2026-01-07T09:00:00.000+01:00,'=QP1,1,4.01,P10401,,no,,no,,unknown\r\n";
    WriteFile(dir_ / "calibrations.csv", kHeader + row);
    const Finished json = List({"--format", "json", "--serial", "=QP1"});
    EXPECT_NE(json.out.find("\"serial\":\"=QP1\""), std::string::npos) << json.out;
    EXPECT_EQ(List({"--format", "csv", "--serial", "=QP1"}).out, kHeader + row);
    EXPECT_NE(List({}).out.find("  =QP1  "), std::string::npos);
}

TEST_F(Calibrate, DueWarningAtTheStartOfARunThatPolls)
{
    if (TIREVO_INSTALLED)
        GTEST_SKIP() << "an installed copy reads the user's own settings file";
    // A copy of the program with its own settings file and records beside it.
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    WriteFile(copy.parent_path() / "tirevo.INI", "[Calibration]\nDueHours=1\n");
    CliProcess::Setup read;
    read.program = copy.string();
    read.args = {"read", "--count", "1", "--interval", "20"};
    read.cwd = dir_.Path();
    const std::string warning = "tirevo-cli: calibration of QP000001 due (no passed calibration recorded)\n";
    const Finished due = RunCli(read);
    EXPECT_EQ(due.exitCode, 0) << due.err;
    EXPECT_EQ(CliProcess::Occurrences(due.err, warning), 1) << due.err;

    // An old pass: due since long ago, and said when it passed.
    WriteFile(copy.parent_path() / "calibrations.csv",
              kHeader + "2026-01-05T09:00:00.000+01:00,QP000001,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n");
    const Finished old = RunCli(read);
    EXPECT_TRUE(std::regex_search(
        old.err,
        std::regex(R"(tirevo-cli: calibration of QP000001 due \(last passed \d{4}-\d\d-\d\d \d\d:\d\d\)\n)")))
        << old.err;

    // A pass through calibrate clears it.
    CliProcess::Setup calibrate = CalibrateSetup({"--point", "2", "7.00"});
    calibrate.program = copy.string();
    calibrate.args = {"calibrate", "--interval", "100", "--stable-window", "1", "--point", "2", "7.00"};
    ASSERT_EQ(RunCli(calibrate).exitCode, 0);
    EXPECT_EQ(RunCli(read).err.find("calibration of"), std::string::npos);

    // Off without the key.
    fs::remove(copy.parent_path() / "calibrations.csv");
    WriteFile(copy.parent_path() / "tirevo.INI", "[Calibration]\nDueHours=0\n");
    EXPECT_EQ(RunCli(read).err.find("calibration of"), std::string::npos);
}

}  // namespace
