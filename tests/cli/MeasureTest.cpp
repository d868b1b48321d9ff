// tirevo-cli measure as a child process on the simulated meter, whose
// readings settle as an electrode's do: the stable reading, the time-out,
// the three formats, samples.csv, and several runs writing it at once.
#include "AuditCheck.h"
#include "CliProcess.h"
#include "FileFaults.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <regex>

namespace {

using clitest::CliProcess;
using clitest::Console;
using clitest::Finished;
using clitest::Lines;
using clitest::ReadFile;
using clitest::RunCli;
using clitest::TempDir;
namespace fs = std::filesystem;

const std::string kHeader = "time,sample,ph,stable,serial\r\n";
const std::string kIsoTime = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";
// Settles from 6.50 to 7.00 within about two seconds.
const char* const kSettlesFast = "6.50,7.00,300";
// Moves about 0.1 pH a second for the first minute: never within the band.
const char* const kNeverSettles = "1.00,7.00,60000";

class Measure : public testing::Test {
protected:
    CliProcess::Setup MeasureSetup(std::vector<std::string> args, const char* settle = kSettlesFast)
    {
        CliProcess::Setup setup;
        setup.args = {"measure", "--interval", "100", "--stable-window", "1"};
        setup.args.insert(setup.args.end(), args.begin(), args.end());
        setup.cwd = dir_.Path();
        setup.env = {{"TIREVO_SIM_READING", ""},
                     {"TIREVO_SIM_SETTLE", settle},
                     {"TIREVO_SIM_EVENTS", (dir_ / "events").string()}};
        return setup;
    }
    Finished Run(std::vector<std::string> args, const char* settle = kSettlesFast)
    {
        std::vector<std::string> all = {"--records", dir_.Path().string()};
        all.insert(all.end(), args.begin(), args.end());
        return RunCli(MeasureSetup(all, settle));
    }
    fs::path Samples() const { return dir_ / "samples.csv"; }
    // The rows after the header, which must be there once.
    std::vector<std::string> Rows() const
    {
        const std::string file = ReadFile(Samples());
        EXPECT_EQ(file.rfind(kHeader, 0), 0u) << file;
        EXPECT_EQ(CliProcess::Occurrences(file, kHeader), 1) << file;
        return Lines(file.size() >= kHeader.size() ? file.substr(kHeader.size()) : std::string());
    }

    TempDir dir_;
};

TEST_F(Measure, WaitsForTheStableReadingPrintsAndRecordsIt)
{
    const Finished done = Run({"--sample", "S-7"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_TRUE(std::regex_match(done.out, std::regex(R"(S-7  \d\d:\d\d:\d\d  7\.00  stable\n)")))
        << done.out;
    const std::string file = ReadFile(Samples());
    ASSERT_EQ(file.rfind(kHeader, 0), 0u) << file;
    EXPECT_TRUE(
        std::regex_match(file.substr(kHeader.size()), std::regex(kIsoTime + ",S-7,7\\.00,yes,QP000001\r\n")))
        << file;
    EXPECT_EQ(ReadFile(dir_ / "events"), "open QP000001\nclose\n") << "the meter is released";
}

TEST_F(Measure, CsvIsTheFilesHeaderAndRowByteForByte)
{
    const Finished done = Run({"--sample", "tap, \"blue\"", "--format", "csv"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.out, ReadFile(Samples()));
    EXPECT_NE(done.out.find(",\"tap, \"\"blue\"\"\",7.00,yes,QP000001\r\n"), std::string::npos) << done.out;
}

// A name a spreadsheet would run is text in the file, and as typed wherever
// a person or a program reads it.
TEST_F(Measure, AFormulaLikeNameIsTextInTheFileAndAsTypedElsewhere)
{
    const std::string name = "=HYPERLINK(\"http://x\",\"y\")";
    const std::string field = "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"";
    const Finished text = Run({"--sample", name});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out.rfind(name + "  ", 0), 0u) << text.out;
    EXPECT_NE(ReadFile(Samples()).find("," + field + ",7.00,yes,QP000001\r\n"), std::string::npos)
        << ReadFile(Samples());
    const Finished json = Run({"--sample", "-5", "--format", "json"});
    EXPECT_NE(json.out.find("\"sample\":\"-5\""), std::string::npos) << json.out;
    EXPECT_NE(ReadFile(Samples()).find(",'-5,7.00,"), std::string::npos);
    // csv is the file's row, byte for byte.
    fs::remove(Samples());
    const Finished csv = Run({"--sample", "@SUM(A1)", "--format", "csv"});
    EXPECT_EQ(csv.out, ReadFile(Samples()));
    EXPECT_NE(csv.out.find(",'@SUM(A1),7.00,"), std::string::npos) << csv.out;
}

TEST_F(Measure, ANameThatIsNotUtf8IsRefusedBeforeTheMeterIsOpened)
{
    for (const char* format : {"text", "json"}) {
        const Finished done = Run({"--sample", "bad\xFF", "--format", format});
        EXPECT_EQ(done.exitCode, 2) << done.err;
        EXPECT_NE(done.err.find("invalid --sample: a sample name must be UTF-8 text"), std::string::npos)
            << done.err;
        EXPECT_EQ(done.out, "");
        EXPECT_FALSE(fs::exists(Samples()));
        EXPECT_FALSE(fs::exists(dir_ / "events")) << "the meter was opened";
    }
}

TEST_F(Measure, JsonCarriesTheSameFields)
{
    const Finished done = Run({"--sample", "Brühe", "--format", "json"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_TRUE(std::regex_match(
        done.out,
        std::regex("\\{\"time\":\"" + kIsoTime +
                   "\",\"sample\":\"Brühe\",\"ph\":7\\.00,\"stable\":true,\"serial\":\"QP000001\"\\}\n")))
        << done.out;
}

TEST_F(Measure, NowTakesTheFirstReadingAsItIs)
{
    const Finished done = Run({"--now"}, kNeverSettles);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_TRUE(std::regex_match(done.out, std::regex(R"(\d\d:\d\d:\d\d  1\.\d\d  unstable\n)"))) << done.out;
    EXPECT_TRUE(std::regex_search(ReadFile(Samples()), std::regex(",,1\\.\\d\\d,no,QP000001\r\n$")));
}

TEST_F(Measure, NoStableReadingInTimeRecordsTheLastAsUnstableAndExitsFive)
{
    const Finished done = Run({"--sample", "S-1", "--timeout", "1.5"}, kNeverSettles);
    EXPECT_EQ(done.exitCode, 5) << done.err;
    EXPECT_NE(done.err.find("no stable reading within 1.5 s"), std::string::npos) << done.err;
    EXPECT_TRUE(std::regex_match(done.out, std::regex(R"(S-1  \d\d:\d\d:\d\d  1\.\d\d  unstable\n)")))
        << done.out;
    EXPECT_TRUE(std::regex_search(ReadFile(Samples()), std::regex(",S-1,1\\.\\d\\d,no,QP000001\r\n$")));
}

TEST_F(Measure, NoReadingAtAllRecordsNothingAndExitsFive)
{
    CliProcess::Setup setup = MeasureSetup({"--records", dir_.Path().string(), "--timeout", "1"});
    setup.env["TIREVO_SIM_UNPLUG_AFTER_POLLS"] = "0";
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 5) << done.err;
    EXPECT_NE(done.err.find("no reading came within 1 s"), std::string::npos) << done.err;
    EXPECT_EQ(done.out, "");
    EXPECT_FALSE(fs::exists(Samples()));
}

TEST_F(Measure, NoRecordWritesNothing)
{
    const Finished done = RunCli(MeasureSetup({"--no-record", "--sample", "S-2"}));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.out.find("S-2  "), std::string::npos);
    EXPECT_TRUE(fs::is_empty(dir_.Path()) || !fs::exists(Samples()));
}

TEST_F(Measure, AForeignFileIsLeftAloneAndExitsThree)
{
    const std::string foreign = "Sample;pH\r\nA;7.00\r\n";
    clitest::WriteFile(Samples(), foreign);
    const Finished done = Run({"--sample", "S-3"});
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find("is not \"time,sample,ph,stable,serial\""), std::string::npos) << done.err;
    EXPECT_EQ(ReadFile(Samples()), foreign);
}

TEST_F(Measure, AFullDiskLeavesNoHalfRowAndExitsThree)
{
    clitest::WriteFile(Samples(), kHeader);
    CliProcess::Setup setup = MeasureSetup({"--records", dir_.Path().string(), "--sample", "S-4"});
    setup.fileSizeLimit = static_cast<long>(kHeader.size()) + 20;
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find("File too large"), std::string::npos) << done.err;
    EXPECT_EQ(ReadFile(Samples()), kHeader);
}

// The sample is kept, but the line a script reads is lost: no success.
TEST_F(Measure, AFullDiskUnderStdoutExitsThree)
{
    for (const char* format : {"text", "csv", "json"}) {
        fs::remove(Samples());
        CliProcess::Setup setup =
            MeasureSetup({"--records", dir_.Path().string(), "--sample", "S-6", "--format", format});
        setup.stdoutFile = "/dev/full";
        const Finished done = RunCli(setup);
        EXPECT_EQ(done.exitCode, 3) << format << ": " << done.err;
        EXPECT_NE(done.err.find("cannot write to standard output: No space left on device"),
                  std::string::npos)
            << done.err;
        EXPECT_NE(ReadFile(Samples()).find(",S-6,7.00,yes,QP000001\r\n"), std::string::npos);
    }
    // Not stable in time as well: the output's failure is what the status says.
    CliProcess::Setup late =
        MeasureSetup({"--records", dir_.Path().string(), "--timeout", "1"}, kNeverSettles);
    late.stdoutFile = "/dev/full";
    EXPECT_EQ(RunCli(late).exitCode, 3);
}

class MeasureEnded : public Measure, public testing::WithParamInterface<int> {};

// Ended while it waits for a stable reading: nothing was measured, and
// `measure && ...` must not go on as if it had been.
TEST_P(MeasureEnded, BeforeTheSampleExitsFiveAndRecordsNothing)
{
    CliProcess child(MeasureSetup({"--records", dir_.Path().string(), "--sample", "S-8"}, kNeverSettles));
    ASSERT_TRUE(child.WaitForError("USB pH meter S/N QP000001 connected")) << child.Err();
    child.Signal(GetParam());
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 5) << done.err;
    EXPECT_NE(done.err.find("tirevo-cli: ended before the sample was taken; no sample was recorded\n"),
              std::string::npos)
        << done.err;
    EXPECT_EQ(done.out, "");
    EXPECT_FALSE(fs::exists(Samples()));
    EXPECT_EQ(ReadFile(dir_ / "events"), "open QP000001\nclose\n") << "the meter is released";
}

INSTANTIATE_TEST_SUITE_P(Signals, MeasureEnded, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGINT        ? "Sigint"
                                                    : info.param == SIGTERM ? "Sigterm"
                                                                            : "Sighup");
                         });

// A spreadsheet saved the file with a byte order mark: still the program's.
TEST_F(Measure, AFileSavedWithAByteOrderMarkTakesTheRow)
{
    clitest::WriteFile(Samples(), "\xEF\xBB\xBF" + kHeader);
    const Finished done = Run({"--sample", "S-9"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_TRUE(
        std::regex_match(ReadFile(Samples()),
                         std::regex("\xEF\xBB\xBF" + kHeader + kIsoTime + ",S-9,7\\.00,yes,QP000001\r\n")))
        << ReadFile(Samples());
}

// Several runs in one records folder at once: one header, every row whole.
TEST_F(Measure, SeveralRunsAtOnceWriteOneHeaderAndEveryRow)
{
    constexpr int kRuns = 4;
    std::vector<std::unique_ptr<CliProcess>> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(std::make_unique<CliProcess>(MeasureSetup(
            {"--records", dir_.Path().string(), "--now", "--sample", "R-" + std::to_string(i)})));
    for (auto& run : runs)
        EXPECT_EQ(run->Wait().exitCode, 0) << run->Err();
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRuns));
    for (int i = 0; i < kRuns; ++i)
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                                [&](const std::string& row) {
                                    return std::regex_match(row,
                                                            std::regex(kIsoTime + ",R-" + std::to_string(i) +
                                                                       ",\\d\\.\\d\\d,no,QP000001"));
                                }),
                  1);
}

// Two runs that both find the file missing: the second waits until the
// first has written the header and its row.
TEST_F(Measure, TwoRunsThatFindNoFileWriteOneHeader)
{
    filefaults::WriterGate gate(dir_ / "gate");
    std::vector<std::unique_ptr<CliProcess>> runs;
    for (const char* name : {"A", "B"}) {
        CliProcess::Setup setup =
            MeasureSetup({"--records", dir_.Path().string(), "--now", "--sample", name});
        for (const auto& [key, value] : gate.Env("/samples.csv"))
            setup.env[key] = value;
        runs.push_back(std::make_unique<CliProcess>(setup));
    }
    // Whoever is held is let go once nothing else can move: both held, or
    // one held and the other waiting for it.
    ASSERT_TRUE(gate.LetThrough(runs[0]->Pid(), runs[1]->Pid()));
    for (auto& run : runs)
        EXPECT_EQ(run->Wait().exitCode, 0) << run->Err();
    EXPECT_EQ(Rows().size(), 2u);
}

// A row that cannot be written is cut back to where the file ended when it
// was looked at; a row another run wrote meanwhile must not go with it.
TEST_F(Measure, ARowCutBackLeavesAnotherRunsRow)
{
    clitest::WriteFile(Samples(), kHeader);
    const std::string row = "2026-12-08T10:02:45.125+01:00,A,6.50,no,QP000001\r\n";
    filefaults::WriterGate gate(dir_ / "gate");
    std::map<std::string, std::unique_ptr<CliProcess>> runs;
    for (const char* name : {"A", "B"}) {
        CliProcess::Setup setup =
            MeasureSetup({"--records", dir_.Path().string(), "--now", "--sample", name});
        for (const auto& [key, value] : gate.Env("/samples.csv"))
            setup.env[key] = value;
        // A's own row fits, but not behind B's.
        if (std::string(name) == "A")
            setup.fileSizeLimit = static_cast<long>(kHeader.size() + row.size() + 10);
        runs[name] = std::make_unique<CliProcess>(setup);
    }
    const pid_t a = runs["A"]->Pid();
    const pid_t b = runs["B"]->Pid();
    // B first whenever it is held.
    while (!filefaults::HasEnded(a) || !filefaults::HasEnded(b)) {
        ASSERT_TRUE(filefaults::Eventually([&] { return gate.Settled(a) && gate.Settled(b); }));
        if (gate.Held(b))
            gate.Release(b);
        else if (gate.Held(a))
            gate.Release(a);
    }
    const Finished doneB = runs["B"]->Wait();
    EXPECT_EQ(doneB.exitCode, 0) << doneB.err;
    const Finished doneA = runs["A"]->Wait();
    const std::vector<std::string> rows = Rows();
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const std::string& line) { return line.find(",B,") != std::string::npos; }),
              1)
        << ReadFile(Samples());
    // A kept its row, or said why not; never half of it. Its audit line,
    // longer than the room the limit leaves, fails after its row: the row
    // is taken back, and the folder still checks.
    const bool aKept = std::any_of(rows.begin(), rows.end(), [](const std::string& line) {
        return line.find(",A,") != std::string::npos;
    });
    EXPECT_EQ(doneA.exitCode, aKept ? 0 : 3) << doneA.err;
    const tirevo::AuditCheckResult check = tirevo::CheckAuditFolder(dir_.Path().string());
    EXPECT_TRUE(check.Intact()) << (check.Intact() ? "" : tirevo::AuditProblemText(check.problems.front()));
    EXPECT_EQ(check.samples, static_cast<int64_t>(rows.size()));
    for (const std::string& line : rows)
        EXPECT_TRUE(std::regex_match(line, std::regex(kIsoTime + ",[AB],\\d\\.\\d\\d,no,QP000001"))) << line;
}

TEST_F(Measure, RecordsBesideACopyOfTheProgramByDefault)
{
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", "[Stability]\r\nWindow=1\r\nBand=1\r\n");
    CliProcess::Setup setup = MeasureSetup({"--sample", "S-5"});
    // The window and band come from the file this time.
    setup.args = {"measure", "--interval", "100", "--sample", "S-5"};
    setup.program = copy.string();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.err.find("settings file"), std::string::npos) << done.err;
    EXPECT_NE(ReadFile(copy.parent_path() / "samples.csv").find(",S-5,"), std::string::npos);
}

TEST_F(Measure, AStabilitySettingThatCannotBeUsedIsAWarning)
{
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", "[Stability]\r\nWindow=abc\r\nBand=5\r\n");
    CliProcess::Setup setup = MeasureSetup({"--records", dir_.Path().string(), "--now"});
    setup.program = copy.string();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.err.find("tirevo.INI: [Stability] Window: 'abc' is not a valid integer value\n"),
              std::string::npos)
        << done.err;
    EXPECT_NE(done.err.find("tirevo.INI: [Stability] Band=5 is out of range (0.01 to 1 pH)\n"),
              std::string::npos)
        << done.err;
}

TEST_F(Measure, OnATerminalTheStatusLineSaysSettling)
{
    CliProcess::Setup setup =
        MeasureSetup({"--records", dir_.Path().string(), "--timeout", "1"}, kNeverSettles);
    setup.console = Console::Terminal;
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 5) << done.out;
    EXPECT_NE(done.out.find("settling"), std::string::npos) << done.out;
}

TEST_F(Measure, ReadJsonSaysWhetherEachReadingIsStable)
{
    CliProcess::Setup setup = MeasureSetup({});
    setup.args = {"read", "--interval", "100", "--stable-window", "1", "--count", "30", "--format", "json"};
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> lines = Lines(done.out);
    ASSERT_EQ(lines.size(), 30u);
    EXPECT_NE(lines.front().find("\"stable\":false,"), std::string::npos) << lines.front();
    EXPECT_NE(lines.back().find("\"ph\":7.00,\"stable\":true,\"serial\":\"QP000001\"}"), std::string::npos)
        << lines.back();
}

// A window no longer than two polls holds a single reading at times, and a
// single reading spans nothing: the runs that wait for a stable reading are
// refused before the meter is opened, whether the values are options or the
// settings file's.
struct ShortWindowCase {
    const char* name;
    std::vector<std::string> args;
    const char* ini;  // beside a copy of the program; nullptr for none
};

class ShortWindow : public testing::TestWithParam<ShortWindowCase> {
protected:
    TempDir dir_;
};

TEST_P(ShortWindow, IsRefusedBeforeTheMeterIsOpened)
{
    const ShortWindowCase& c = GetParam();
    CliProcess::Setup setup;
    setup.args = c.args;
    setup.args.insert(setup.args.end(), {"--records", dir_.Path().string()});
    setup.cwd = dir_.Path();
    setup.env = {{"TIREVO_SIM_READING", "7.00"}, {"TIREVO_SIM_EVENTS", (dir_ / "events").string()}};
    if (c.ini) {
        const fs::path copy = dir_ / "bin" / "tirevo-cli";
        fs::create_directories(copy.parent_path());
        fs::copy_file(TIREVO_CLI_PROGRAM, copy);
        clitest::WriteFile(copy.parent_path() / "tirevo.INI", c.ini);
        setup.program = copy.string();
    }
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 2) << done.err;
    EXPECT_NE(done.err.find("tirevo-cli: the stability window (2 s) must be at least twice the poll interval "
                            "(3 s)\n"),
              std::string::npos)
        << done.err;
    EXPECT_EQ(done.out, "");
    EXPECT_EQ(ReadFile(dir_ / "events").find("open"), std::string::npos) << "the meter is left alone";
    EXPECT_FALSE(fs::exists(dir_ / "samples.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "calibrations.csv"));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ShortWindow,
    testing::Values(
        ShortWindowCase{"MeasureOptions", {"measure", "--interval", "3000", "--stable-window", "2"}, nullptr},
        ShortWindowCase{
            "MeasureFile", {"measure"}, "[System]\r\nInterval=3000\r\n[Stability]\r\nWindow=2\r\n"},
        ShortWindowCase{"CalibrateOptions",
                        {"calibrate", "--interval", "3000", "--stable-window", "2", "--point", "1", "7.00"},
                        nullptr},
        ShortWindowCase{"CalibrateFile",
                        {"calibrate", "--point", "1", "7.00"},
                        "[System]\r\nInterval=3000\r\n[Stability]\r\nWindow=2\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// read keeps any interval; at one the window is too short for, no reading
// is stable, and that is said once.
TEST_F(Measure, ReadAtAnIntervalTooLongForTheWindowJudgesNothing)
{
    CliProcess::Setup setup = MeasureSetup({});
    setup.args = {"read", "--interval", "600", "--stable-window", "1", "--count", "8", "--format", "json"};
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> lines = Lines(done.out);
    ASSERT_EQ(lines.size(), 8u) << done.out;
    for (const std::string& line : lines)
        EXPECT_NE(line.find("\"stable\":false,"), std::string::npos) << line;
    EXPECT_NE(lines.back().find("\"ph\":7.00,"), std::string::npos) << "settled, and still not stable";
    const std::string note = "tirevo-cli: stability is not judged: the 1 s window is shorter than twice the "
                             "0.6 s poll interval\n";
    const std::size_t at = done.err.find(note);
    EXPECT_NE(at, std::string::npos) << done.err;
    EXPECT_EQ(done.err.find(note, at + 1), std::string::npos) << "said once\n" << done.err;
}

}  // namespace
