// build/tirevo-cli run as it runs for a user: a child process on the
// simulated meter, real files in a temporary folder, real signals. The
// simulator's environment knobs stand in for the attached meters.
#include "CliProcess.h"
#include "FileFaults.h"

#include <gtest/gtest.h>

#include <QLocale>

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

const std::string kRule(31, '-');

// The locale the test runs in, as the program sees it.
char LocaleDecimal() { return QLocale::system().decimalPoint().at(0).toLatin1(); }

std::string LocalReading(const std::string& dotted)
{
    std::string text = dotted;
    for (char& c : text)
        if (c == '.')
            c = LocaleDecimal();
    return text;
}

class CliProgram : public testing::Test {
protected:
    CliProcess::Setup ChildSetup(std::vector<std::string> args, Console console = Console::Pipes)
    {
        CliProcess::Setup setup;
        setup.args = std::move(args);
        setup.cwd = dir_.Path();
        setup.console = console;
        setup.env = {{"TIREVO_SIM_READING", "7.02"},
                     {"TIREVO_SIM_WIRE_LOG", (dir_ / "wire").string()},
                     {"TIREVO_SIM_EVENTS", (dir_ / "events").string()}};
        return setup;
    }
    Finished Run(std::vector<std::string> args, std::map<std::string, std::string> env = {})
    {
        CliProcess::Setup setup = ChildSetup(std::move(args));
        for (const auto& [name, value] : env)
            setup.env[name] = value;
        return RunCli(setup);
    }
    std::string Wire() const { return ReadFile(dir_ / "wire"); }
    std::string Events() const { return ReadFile(dir_ / "events"); }
    std::vector<fs::path> LogFiles(const fs::path& folder) const
    {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().rfind("USB_PH_", 0) == 0)
                out.push_back(entry.path());
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<fs::path> LogFiles() const { return LogFiles(dir_.Path()); }

    TempDir dir_;
};

// ---------------------------------------------------------------- list

struct ListCase {
    const char* name;
    const char* meters;
    const char* others;
    bool all;
    std::vector<std::string> lines;
};

class ListCommand : public CliProgram, public testing::WithParamInterface<ListCase> {};

TEST_P(ListCommand, OneConverterALineInTheDriversOrder)
{
    const ListCase& c = GetParam();
    std::vector<std::string> args{"list"};
    if (c.all)
        args.push_back("--all");
    const Finished done = Run(args, {{"TIREVO_SIM_METERS", c.meters}, {"TIREVO_SIM_OTHERS", c.others}});
    EXPECT_EQ(done.exitCode, 0);
    EXPECT_EQ(Lines(done.out), c.lines);
    EXPECT_EQ(done.err, "");
    EXPECT_EQ(Events(), "") << "listing opens nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ListCommand,
    testing::Values(
        ListCase{"None", "0", "0", false, {}}, ListCase{"OnlyOtherConverters", "0", "1", false, {}},
        ListCase{"Two", "2", "0", false, {"QP000001\tQUVA USB pH Meter", "QP000002\tQUVA USB pH Meter"}},
        ListCase{"OthersLeftOut", "1", "2", false, {"QP000001\tQUVA USB pH Meter"}},
        ListCase{"AllMarksOthers",
                 "1",
                 "1",
                 true,
                 {"FTOTHER1\tFT232R USB UART\t(not a meter)", "QP000001\tQUVA USB pH Meter"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- choosing the meter

TEST_F(CliProgram, NoMeterIsExitOneWithAMessage)
{
    const Finished done = Run({"read", "--count", "1"}, {{"TIREVO_SIM_METERS", "0"}});
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_EQ(done.out, "");
    EXPECT_EQ(done.err, "tirevo-cli: no pH meter attached\n");
}

TEST_F(CliProgram, SeveralMetersNameThemAndOpenNothing)
{
    const Finished done = Run({"log", "--count", "1"}, {{"TIREVO_SIM_METERS", "2"}});
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_EQ(done.out, "");
    EXPECT_NE(done.err.find("--serial"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("\n  QP000001\n  QP000002\n"), std::string::npos) << done.err;
    EXPECT_EQ(Events(), "");
    EXPECT_EQ(Wire(), "");
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(CliProgram, SerialOpensExactlyThatMeter)
{
    const Finished done =
        Run({"read", "--serial", "QP000002", "--count", "1", "--interval", "20", "--format", "json"},
            {{"TIREVO_SIM_METERS", "3"}});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.out.find("\"serial\":\"QP000002\"}"), std::string::npos) << done.out;
    EXPECT_EQ(Events(), "open QP000002\nclose\n");
}

TEST_F(CliProgram, ASerialNotAttachedIsExitOne)
{
    const Finished done = Run({"read", "--serial", "QP000009", "--count", "1"}, {{"TIREVO_SIM_METERS", "2"}});
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_NE(done.err.find("no meter with serial number QP000009"), std::string::npos) << done.err;
    EXPECT_EQ(Events(), "");
}

// A converter present but refused to this user (no udev rule): named on
// stderr, by list and by the commands that choose a meter.
struct RefusedCase {
    const char* name;
    std::vector<std::string> args;
    const char* meters;
    int exitCode;
    const char* out;
    const char* err;
};

class RefusedConverter : public CliProgram, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedConverter, IsNamedOnStderr)
{
    const RefusedCase& c = GetParam();
    const Finished done = Run(c.args, {{"TIREVO_SIM_METERS", c.meters}, {"TIREVO_SIM_NO_PERMISSION", "1"}});
    EXPECT_EQ(done.exitCode, c.exitCode);
    EXPECT_EQ(done.out, c.out);
    EXPECT_EQ(done.err, c.err);
    EXPECT_EQ(Events(), "") << "nothing is opened";
}

#define TIREVO_REFUSED_LINE                                                                                  \
    "tirevo-cli: USB converter 0403:6001 at bus 1 device 2: no permission (install the package, or see "     \
    "README: "                                                                                               \
    "USB permissions)\n"

INSTANTIATE_TEST_SUITE_P(
    Cli, RefusedConverter,
    testing::Values(
        RefusedCase{"List", {"list"}, "1", 0, "", TIREVO_REFUSED_LINE},
        RefusedCase{
            "ListShowsTheOthers", {"list"}, "2", 0, "QP000002\tQUVA USB pH Meter\n", TIREVO_REFUSED_LINE},
        RefusedCase{"Read",
                    {"read", "--count", "1"},
                    "1",
                    1,
                    "",
                    "tirevo-cli: no pH meter attached\n" TIREVO_REFUSED_LINE},
        RefusedCase{"LogBySerial",
                    {"log", "--count", "1", "--serial", "QP000001"},
                    "1",
                    1,
                    "",
                    "tirevo-cli: no meter with serial number QP000001 is attached\n" TIREVO_REFUSED_LINE},
        RefusedCase{"Calibrate",
                    {"calibrate", "--point", "1", "4.01"},
                    "1",
                    1,
                    "",
                    "tirevo-cli: no pH meter attached\n" TIREVO_REFUSED_LINE}),
    [](const auto& info) { return std::string(info.param.name); });

#undef TIREVO_REFUSED_LINE

// ---------------------------------------------------------------- read: formats, count, duration

struct FormatCase {
    const char* format;
    const char* header;  // regex of the first line, or "" for none
    const char* line;    // regex of every reading line
};

class ReadFormats : public CliProgram, public testing::WithParamInterface<FormatCase> {};

TEST_P(ReadFormats, EachReadingALineWithAPoint)
{
    const FormatCase& c = GetParam();
    const Finished done = Run({"read", "--count", "3", "--interval", "20", "--format", c.format});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    std::vector<std::string> lines = Lines(done.out);
    if (*c.header) {
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(std::regex_match(lines.front(), std::regex(c.header))) << lines.front();
        lines.erase(lines.begin());
    }
    ASSERT_EQ(lines.size(), 3u) << done.out;
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, std::regex(c.line))) << line;
    EXPECT_EQ(done.out.back(), '\n');
    EXPECT_EQ(done.out.find('\r'), std::string::npos) << "no status line when stderr is not a terminal";
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ReadFormats,
    testing::Values(
        FormatCase{"text", "", R"(\d\d:\d\d:\d\d  7\.02)"},
        FormatCase{"csv", "time,ph", R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,7\.02)"},
        FormatCase{
            "json", "",
            R"(\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d","ph":7\.02,"stable":false,"serial":"QP000001"\})"}),
    [](const auto& info) { return std::string(info.param.format); });

TEST_F(CliProgram, ReadingsAreShownAsTheWindowShowsThem)
{
    // The reading field is characters five to ten: "6.9876" of this line.
    const Finished done = Run({"read", "--count", "1", "--interval", "20", "--format", "csv"},
                              {{"TIREVO_SIM_READING", "6.9876543"}});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.out.find(",6.99\n"), std::string::npos) << done.out;
}

TEST_F(CliProgram, ConnectsAsTheWindowDoesBeforeTheFirstPoll)
{
    const Finished done = Run({"read", "--count", "2", "--interval", "20"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Wire().rfind("S20\rV\rPH\rPH\r", 0), 0u) << Wire();
    EXPECT_EQ(Events(), "open QP000001\nclose\n");
    EXPECT_NE(done.err.find("USB pH meter S/N QP000001 connected"), std::string::npos) << done.err;
}

TEST_F(CliProgram, DurationEndsARunWithoutACount)
{
    const Finished done = Run({"read", "--duration", "0.3", "--interval", "20", "--format", "csv"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    for (const std::string& line : Lines(done.out))
        EXPECT_TRUE(line == "time,ph" || line.ends_with(",7.02")) << line;
    EXPECT_EQ(Events(), "open QP000001\nclose\n");
}

TEST_F(CliProgram, CountEndsARunBeforeALongDuration)
{
    const Finished done = Run({"read", "--count", "2", "--duration", "3600", "--interval", "20"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 2u) << done.out;
}

// ---------------------------------------------------------------- log

std::string Header(const std::string& serial, bool timeStamp, char separator)
{
    std::string text = "QUVA USB pH METER LOG FILE\r\n" + kRule + "\r\nApplication Version   : 1.0.2.7\r\n" +
        "Meter Serial Number   : " + serial + "\r\n" + kRule + "\r\n\r\n";
    if (timeStamp)
        text += std::string("DATE") + separator + "TIME" + separator + "pH\r\n";
    return text;
}

// The rows of a log file after its header, each checked against the row the
// window writes: date, separator, time, separator, reading, CR LF.
void ExpectRows(const std::string& body, std::size_t count, bool timeStamp, char separator,
                const std::string& reading)
{
    const std::string sep = separator == '\t' ? "\\t" : std::string("\\") + separator;
    const std::regex row(timeStamp
                             ? R"(\d\d\.\d\d\.\d{4})" + sep + R"(\d\d:\d\d:\d\d)" + sep + reading + "\r\n"
                             : reading + "\r\n");
    std::size_t rows = 0;
    for (std::size_t at = 0; at < body.size(); ++rows) {
        const std::size_t end = body.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "an unfinished row: " << body.substr(at);
        const std::string line = body.substr(at, end + 2 - at);
        EXPECT_TRUE(std::regex_match(line, row)) << line;
        at = end + 2;
    }
    EXPECT_EQ(rows, count);
}

struct LogCase {
    const char* name;
    std::vector<std::string> options;
    bool timeStamp;
    char separator;
};

class LogFormat : public CliProgram, public testing::WithParamInterface<LogCase> {};

TEST_P(LogFormat, TheWindowsFileByteForByte)
{
    const LogCase& c = GetParam();
    std::vector<std::string> args{"log", "--count", "3", "--interval", "20", "--dir", "logs"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    fs::create_directory(dir_ / "logs");
    const Finished done = Run(args);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.out, "") << "readings go to stdout only when it is a terminal";
    const std::vector<fs::path> files = LogFiles(dir_ / "logs");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0].filename().string(), std::regex(R"(USB_PH_\d{6}_\d{6}\.txt)")));
    EXPECT_NE(done.err.find("logging to logs/" + files[0].filename().string()), std::string::npos)
        << done.err;
    const std::string text = ReadFile(files[0]);
    const std::string header = Header("QP000001", c.timeStamp, c.separator);
    ASSERT_EQ(text.substr(0, header.size()), header);
    ExpectRows(text.substr(header.size()), 3, c.timeStamp, c.separator, LocalReading("7.02"));
}

INSTANTIATE_TEST_SUITE_P(Cli, LogFormat,
                         testing::Values(LogCase{"Defaults", {}, true, '\t'},
                                         LogCase{"Semicolon", {"--separator", ";"}, true, ';'},
                                         LogCase{"CodeOfAComma", {"--separator", "#44"}, true, ','},
                                         LogCase{"NoTimeStamp", {"--no-timestamp"}, false, '\t'}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliProgram, LogNeverReplacesAFile)
{
    // Every name the next few seconds could give is taken already.
    const auto now = std::chrono::system_clock::now();
    std::vector<fs::path> taken;
    for (int s = 0; s < 5; ++s) {
        const std::time_t t = std::chrono::system_clock::to_time_t(now + std::chrono::seconds(s));
        std::tm local{};
        localtime_r(&t, &local);
        char name[64];
        std::strftime(name, sizeof name, "USB_PH_%y%m%d_%H%M%S.txt", &local);
        taken.push_back(dir_ / name);
        clitest::WriteFile(taken.back(), "earlier run\r\n");
    }
    const Finished done = Run({"log", "--count", "1", "--interval", "20"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    for (const fs::path& file : taken)
        EXPECT_EQ(ReadFile(file), "earlier run\r\n") << file;
    EXPECT_EQ(LogFiles().size(), taken.size() + 1);
}

struct LogFolderCase {
    const char* name;
    const char* dir;
    const char* reason;
};

class LogFolderFails : public CliProgram, public testing::WithParamInterface<LogFolderCase> {};

TEST_P(LogFolderFails, ExitThreeWithTheSystemsText)
{
    clitest::WriteFile(dir_ / "plain-file", "");
    const Finished done = Run({"log", "--count", "1", "--dir", GetParam().dir});
    EXPECT_EQ(done.exitCode, 3);
    EXPECT_NE(done.err.find(GetParam().reason), std::string::npos) << done.err;
    EXPECT_EQ(Events(), "") << "the folder is looked at before the meter is opened";
    EXPECT_EQ(Wire(), "");
}

INSTANTIATE_TEST_SUITE_P(Cli, LogFolderFails,
                         testing::Values(LogFolderCase{"Missing", "no/such/folder",
                                                       "No such file or directory"},
                                         LogFolderCase{"NotAFolder", "plain-file", "Not a directory"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliProgram, ARowThatCannotBeWrittenIsExitThree)
{
    CliProcess::Setup setup = ChildSetup({"log", "--interval", "20"});
    // Room for the header and two rows of 26 bytes, not for a third.
    setup.fileSizeLimit = static_cast<long>(Header("QP000001", true, '\t').size()) + 2 * 26 + 10;
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find(": File too large\n"), std::string::npos) << done.err;
    EXPECT_EQ(Events(), "open QP000001\nclose\n") << "the meter is released";
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFile(files[0]);
    const std::string header = Header("QP000001", true, '\t');
    ASSERT_EQ(text.substr(0, header.size()), header);
    // The rows written are whole; the one that did not fit is not there.
    ExpectRows(text.substr(header.size()), 2, true, '\t', LocalReading("7.02"));
}

// The close of a log reports a write-back that failed (as a network file
// system does): the log may lack rows, and the run is no success, for one
// meter or for each of every meter.
TEST_F(CliProgram, ALogThatCannotBeFinishedIsExitThree)
{
    const fs::path logs = dir_ / "logs";
    fs::create_directories(logs);
    const std::string part = fs::canonical(logs).string() + "/";
    for (const bool all : {false, true}) {
        std::vector<std::string> args{"log", "--count", "2", "--interval", "20", "--dir", logs.string()};
        if (all)
            args.push_back("--all");
        CliProcess::Setup setup = ChildSetup(args);
        for (const auto& [name, value] : filefaults::CloseFailsEnv(part))
            setup.env[name] = value;
        setup.env["TIREVO_SIM_METERS"] = all ? "2" : "1";
        const Finished done = RunCli(setup);
        EXPECT_EQ(done.exitCode, 3) << done.err;
        EXPECT_TRUE(
            std::regex_search(done.err,
                              std::regex("tirevo-cli: cannot finish " + logs.string() + "/" +
                                         R"(USB_PH_\d{6}_\d{6}(_QP00000\d)?\.txt: Input/output error\n)")))
            << done.err;
    }
}

TEST_F(CliProgram, AHeaderThatCannotBeWrittenLeavesNoFile)
{
    CliProcess::Setup setup = ChildSetup({"log", "--count", "1", "--interval", "20"});
    // Less than the header, more than the simulator's own records.
    setup.fileSizeLimit = static_cast<long>(Header("QP000001", true, '\t').size()) - 20;
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find(": File too large\n"), std::string::npos) << done.err;
    EXPECT_TRUE(LogFiles().empty()) << "no empty file is left behind";
    EXPECT_EQ(Events(), "open QP000001\nclose\n") << "the meter is released";
}

// ---------------------------------------------------------------- stdout that cannot be written

struct FullOutputCase {
    const char* name;
    std::vector<std::string> args;
    bool opensMeter;
};

class FullOutput : public CliProgram, public testing::WithParamInterface<FullOutputCase> {};

TEST_P(FullOutput, IsExitThreeWithTheSystemsReason)
{
    CliProcess::Setup setup = ChildSetup(GetParam().args);
    setup.stdoutFile = "/dev/full";
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find("tirevo-cli: cannot write to standard output: No space left on device\n"),
              std::string::npos)
        << done.err;
    EXPECT_EQ(Events(), GetParam().opensMeter ? "open QP000001\nclose\n" : "") << "the meter is released";
}

INSTANTIATE_TEST_SUITE_P(
    Cli, FullOutput,
    testing::Values(
        FullOutputCase{"List", {"list"}, false}, FullOutputCase{"Help", {"--help"}, false},
        FullOutputCase{"Version", {"--version"}, false},
        FullOutputCase{"ReadText", {"read", "--count", "3", "--interval", "20"}, true},
        FullOutputCase{"ReadCsv", {"read", "--count", "3", "--interval", "20", "--format", "csv"}, true},
        FullOutputCase{"ReadJson", {"read", "--count", "3", "--interval", "20", "--format", "json"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliProgram, AFileOfOutputThatReachesItsLimitIsExitThree)
{
    // As `read --format csv --duration 3600 > hour.csv` on a disk that
    // fills up: SIGXFSZ at its default must not kill the program.
    CliProcess::Setup setup =
        ChildSetup({"read", "--duration", "3600", "--interval", "20", "--format", "csv"});
    setup.stdoutFile = dir_ / "hour.csv";
    setup.fileSizeLimit = 200;
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.signal, 0);
    EXPECT_EQ(done.exitCode, 3) << done.err;
    EXPECT_NE(done.err.find("cannot write to standard output: File too large\n"), std::string::npos)
        << done.err;
    EXPECT_EQ(Events(), "open QP000001\nclose\n") << "the meter is released";
}

TEST_F(CliProgram, AReaderThatGoesAwayIsAQuietEnd)
{
    CliProcess child(ChildSetup({"read", "--interval", "20", "--format", "csv"}));
    ASSERT_TRUE(child.WaitForOutput(",7.02\n")) << child.Err();
    child.CloseStdout();
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.err.find("standard output"), std::string::npos) << done.err;
    EXPECT_EQ(Events(), "open QP000001\nclose\n");
}

// ---------------------------------------------------------------- started with descriptors closed

class ClosedDescriptors : public CliProgram, public testing::WithParamInterface<bool> {};

TEST_P(ClosedDescriptors, KeepMessagesOutOfTheLog)
{
    CliProcess::Setup setup = ChildSetup({"log", "--count", "2", "--interval", "20"}, Console::Closed);
    setup.closeStdin = GetParam();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0);
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFile(files[0]);
    EXPECT_EQ(text.find("tirevo-cli"), std::string::npos) << text;
    const std::string header = Header("QP000001", true, '\t');
    ASSERT_EQ(text.substr(0, header.size()), header);
    ExpectRows(text.substr(header.size()), 2, true, '\t', LocalReading("7.02"));
}

INSTANTIATE_TEST_SUITE_P(Cli, ClosedDescriptors, testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "AllThree" : "OutAndErr"); });

TEST_F(CliProgram, TheWindowStartedWithDescriptorsClosedGivesThemToDevNull)
{
    // A copy, so that its settings file is this test's.
    const fs::path copy = dir_ / "bin" / "tirevo";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_WINDOW_PROGRAM, copy);
    CliProcess::Setup setup = ChildSetup({}, Console::Closed);
    setup.closeStdin = true;
    setup.program = copy.string();
    setup.env["QT_QPA_PLATFORM"] = "offscreen";
    CliProcess window(setup);
    // Once the program runs (not the test's fork before it) and all three
    // numbers are taken, each must be /dev/null, not some file the program
    // opened.
    const fs::path proc = fs::path("/proc") / std::to_string(window.Pid());
    const fs::path fds = proc / "fd";
    const fs::path program = fs::canonical(copy);
    const auto deadline = std::chrono::steady_clock::now() + clitest::kSafetyNet;
    std::vector<std::string> targets;
    while (std::chrono::steady_clock::now() < deadline) {
        targets.clear();
        std::error_code error;
        if (fs::read_symlink(proc / "exe", error) != program || error) {
            ::usleep(10000);
            continue;
        }
        for (const char* fd : {"0", "1", "2"}) {
            const fs::path target = fs::read_symlink(fds / fd, error);
            if (!error)
                targets.push_back(target.string());
        }
        if (targets.size() == 3)
            break;
        ::usleep(10000);
    }
    EXPECT_EQ(targets, (std::vector<std::string>{"/dev/null", "/dev/null", "/dev/null"}));
    window.Signal(SIGKILL);
    window.Wait();
}

TEST_F(CliProgram, LogOnATerminalShowsReadingsAndAStatusLine)
{
    CliProcess child(ChildSetup({"log", "--count", "2", "--interval", "20"}, Console::Terminal));
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.out;
    EXPECT_EQ(CliProcess::Occurrences(done.out, "  7.02\n"), 2) << done.out;
    EXPECT_NE(done.out.find("\r\x1b[KQP000001  pH 7.02  2 readings  "), std::string::npos) << done.out;
    EXPECT_NE(done.out.find("USB_PH_"), std::string::npos);
}

// The status lines in a terminal's output: what follows each rewind up to
// the next carriage return or line end.
std::vector<std::string> StatusLines(const std::string& shown)
{
    std::vector<std::string> out;
    const std::string rewind = "\r\x1b[K";
    for (std::size_t at = shown.find(rewind); at != std::string::npos; at = shown.find(rewind, at + 1)) {
        const std::size_t start = at + rewind.size();
        const std::size_t end = shown.find_first_of("\r\n", start);
        out.push_back(shown.substr(start, end == std::string::npos ? std::string::npos : end - start));
    }
    return out;
}

TEST_F(CliProgram, TheStatusLineFitsTheTerminalAndFollowsItsWidth)
{
    const std::string folder = "a-folder-with-a-name-long-enough-to-need-more-than-one-narrow-terminal-line";
    fs::create_directory(dir_ / folder);
    CliProcess::Setup setup = ChildSetup({"log", "--interval", "20", "--dir", folder}, Console::Terminal);
    setup.columns = 200;
    CliProcess child(setup);
    const auto lastStatus = [&] {
        const std::vector<std::string> lines = StatusLines(child.Out());
        return lines.empty() ? std::string() : lines.back();
    };
    ASSERT_TRUE(child.WaitFor([&] { return lastStatus().find(folder + "/USB_PH_") != std::string::npos; }))
        << child.Out();
    child.Resize(70);
    ASSERT_TRUE(child.WaitFor([&] { return lastStatus().find("...") != std::string::npos; })) << child.Out();
    const std::size_t narrowFrom = StatusLines(child.Out()).size() - 1;
    child.Signal(SIGINT);
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.out;
    const std::vector<std::string> lines = StatusLines(done.out);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LT(lines[i].size(), i < narrowFrom ? 200u : 70u) << lines[i];
        EXPECT_EQ(lines[i].find('\n'), std::string::npos);
    }
    // Shortened in the middle: the start of the folder and the file's own
    // name are still there.
    EXPECT_EQ(lines.back().rfind("QP000001  pH ", 0), 0u) << lines.back();
    EXPECT_NE(lines.back().find("  a-folder-"), std::string::npos) << lines.back();
    EXPECT_TRUE(std::regex_search(lines.back(), std::regex(R"(\.\.\..*_\d{6}\.txt$)"))) << lines.back();
}

TEST_F(CliProgram, AShortReadOnATerminalHasNoStatusLine)
{
    CliProcess child(ChildSetup({"read", "--count", "2", "--interval", "20"}, Console::Terminal));
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.out;
    EXPECT_EQ(done.out.find("\x1b[K"), std::string::npos) << done.out;
}

// ---------------------------------------------------------------- signals

class EndingSignal : public CliProgram, public testing::WithParamInterface<int> {};

TEST_P(EndingSignal, LogEndsCleanly)
{
    CliProcess child(ChildSetup({"log", "--interval", "20"}, Console::TerminalOut));
    ASSERT_TRUE(child.WaitForOutput("  7.02\n", 3)) << child.Out() << child.Err();
    child.Signal(GetParam());
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Events(), "open QP000001\nclose\n") << "the device is closed";
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFile(files[0]);
    const std::string header = Header("QP000001", true, '\t');
    ASSERT_EQ(text.substr(0, header.size()), header);
    // Every reading printed is a complete row, and nothing comes after the
    // last row's line end.
    ExpectRows(text.substr(header.size()),
               static_cast<std::size_t>(CliProcess::Occurrences(done.out, "  7.02\n")), true, '\t',
               LocalReading("7.02"));
}

TEST_P(EndingSignal, ReadEndsCleanly)
{
    CliProcess child(ChildSetup({"read", "--interval", "20", "--format", "csv"}));
    ASSERT_TRUE(child.WaitForOutput(",7.02\n", 2)) << child.Out() << child.Err();
    child.Signal(GetParam());
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.out.back(), '\n') << "the last line is complete";
    EXPECT_EQ(Events(), "open QP000001\nclose\n");
}

INSTANTIATE_TEST_SUITE_P(Cli, EndingSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST_F(CliProgram, SigkillLosesNoRowThatWasPrinted)
{
    CliProcess child(ChildSetup({"log", "--interval", "20"}, Console::TerminalOut));
    ASSERT_TRUE(child.WaitForOutput("  7.02\n", 4)) << child.Out() << child.Err();
    child.Signal(SIGKILL);
    const Finished done = child.Wait();
    EXPECT_EQ(done.signal, SIGKILL);
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFile(files[0]);
    const std::size_t printed = static_cast<std::size_t>(CliProcess::Occurrences(done.out, "  7.02\n"));
    EXPECT_GE(printed, 4u);
    // Rows go to disk before they are printed: the file may hold one more.
    const std::size_t rows =
        static_cast<std::size_t>(CliProcess::Occurrences(text, LocalReading("7.02") + "\r\n"));
    EXPECT_GE(rows, printed);
    EXPECT_LE(rows, printed + 1);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

// ---------------------------------------------------------------- the lost meter

TEST_F(CliProgram, ALostMeterComesBackIntoTheSameLog)
{
    const Finished done =
        Run({"log", "--count", "5", "--interval", "20"},
            {{"TIREVO_SIM_UNPLUG_AFTER_POLLS", "2"}, {"TIREVO_SIM_REPLUG_AFTER_MS", "200"}});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::size_t lost = done.err.find("USB pH meter S/N QP000001 not responding\n");
    ASSERT_NE(lost, std::string::npos) << done.err;
    EXPECT_EQ(CliProcess::Occurrences(done.err, "not responding"), 1) << "said once: " << done.err;
    EXPECT_NE(done.err.find("USB pH meter S/N QP000001 connected\n", lost), std::string::npos) << done.err;
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 1u) << "one file holds the rows from before and after";
    const std::string text = ReadFile(files[0]);
    const std::string header = Header("QP000001", true, '\t');
    ASSERT_EQ(text.substr(0, header.size()), header);
    ExpectRows(text.substr(header.size()), 5, true, '\t', LocalReading("7.02"));
    // Reopened by serial number and greeted again.
    EXPECT_EQ(Events().rfind("open QP000001\nclose\nopen QP000001\n", 0), 0u) << Events();
    EXPECT_EQ(CliProcess::Occurrences(Wire(), "S20\rV\r"), 2) << Wire();
}

TEST_F(CliProgram, GiveUpEndsWithExitFour)
{
    const Finished done = Run({"read", "--interval", "20", "--give-up", "0.2", "--format", "csv"},
                              {{"TIREVO_SIM_UNPLUG_AFTER_POLLS", "1"}});
    EXPECT_EQ(done.exitCode, 4) << done.err;
    EXPECT_NE(done.err.find("not responding"), std::string::npos) << done.err;
    EXPECT_NE(done.err.find("gave up"), std::string::npos) << done.err;
    // The reply to the one poll answered may or may not be read before the
    // converter goes; whatever was printed is complete.
    const std::vector<std::string> lines = Lines(done.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "time,ph");
    EXPECT_LE(lines.size(), 2u) << done.out;
    EXPECT_EQ(done.out.back(), '\n');
    EXPECT_EQ(Events().rfind("open QP000001\nclose\n", 0), 0u) << Events();
}

// ---------------------------------------------------------------- bad options, help, version

struct BadCase {
    const char* name;
    std::vector<std::string> args;
    const char* reason;
};

class BadCommandLine : public CliProgram, public testing::WithParamInterface<BadCase> {};

TEST_P(BadCommandLine, ExitTwoWithReasonAndUsageAndNothingOpened)
{
    const Finished done = Run(GetParam().args);
    EXPECT_EQ(done.exitCode, 2);
    EXPECT_EQ(done.out, "");
    const std::vector<std::string> lines = Lines(done.err);
    ASSERT_GE(lines.size(), 2u) << done.err;
    EXPECT_EQ(lines[0], std::string("tirevo-cli: ") + GetParam().reason);
    EXPECT_EQ(lines[1], "Usage:");
    EXPECT_EQ(Events(), "");
    EXPECT_EQ(Wire(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cli, BadCommandLine,
    testing::Values(
        BadCase{"NoCommand", {}, "no command given"},
        BadCase{"UnknownOption", {"read", "--colour"}, "unknown option '--colour' for read"},
        BadCase{"ZeroCount", {"read", "--count", "0"}, "invalid --count '0': a whole number from 1 up"},
        BadCase{"BadFormat", {"read", "--format", "xml"}, "invalid --format 'xml': text, csv or json"},
        BadCase{"BadSeparator",
                {"log", "--separator", "#x"},
                "invalid --separator '#x': one character, or # and its code (#9 is TAB)"},
        BadCase{"LineFeedSeparator",
                {"log", "--separator", "#10"},
                "invalid --separator '#10': a line end cannot separate the columns of a row"},
        BadCase{"CarriageReturnSeparator",
                {"log", "--separator", "#13"},
                "invalid --separator '#13': a line end cannot separate the columns of a row"},
        BadCase{"SerialMissingBeforeHelp", {"read", "--serial", "--help"}, "--serial needs a value"},
        BadCase{"DirMissingBeforeAnOption", {"log", "--dir", "--count", "1"}, "--dir needs a value"},
        BadCase{"NegativeCalibration",
                {"calibrate", "--point", "1", "-0.05"},
                "Calibration value must not be negative"},
        BadCase{"HugeCalibration", {"calibrate", "--point", "1", "1E400"}, "Floating point overflow"},
        BadCase{
            "TooLargeCalibration", {"calibrate", "--point", "2", "30000000"}, "Calibration value too large"},
        BadCase{"NotANumber",
                {"calibrate", "--point", "2", "seven"},
                "'seven' is not a valid floating point value"}),
    [](const auto& info) { return std::string(info.param.name); });

// The fractions as a person types them in the test's locale (a comma under
// de_DE.UTF-8): every option takes them, and the run goes ahead.
TEST_F(CliProgram, FractionsInTheLocalesForm)
{
    const Finished done =
        Run({"read", "--count", "2", "--interval", "20", "--duration", LocalReading("30.5"), "--give-up",
             LocalReading("9.5"), "--stable-band", LocalReading("0.05"), "--high", LocalReading("8.5"),
             "--low", LocalReading("5.5"), "--hysteresis", LocalReading("0.1")});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 2u) << done.out;
}

// Help for every command, on stdout with exit 0, and nothing opened.
TEST_F(CliProgram, EachCommandsHelp)
{
    for (const char* command : {"list", "read", "log", "publish", "calibrate", "calibrations", "measure"}) {
        const Finished help = Run({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_EQ(help.err, "") << command;
        EXPECT_EQ(help.out.rfind(std::string("Usage:\n  tirevo-cli ").append(command), 0), 0u) << help.out;
        EXPECT_NE(help.out.find("\n  -h, --help "), std::string::npos) << help.out;
    }
    EXPECT_EQ(Events(), "");
}

TEST_F(CliProgram, HelpAndVersion)
{
    const Finished help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage:\n", 0), 0u) << help.out;
    const Finished version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tirevo-cli 1.0.2.7\n");
}

// ---------------------------------------------------------------- calibration on the line

struct CalibrateCase {
    const char* name;
    const char* point;
    const char* value;  // '.' stands for the locale's decimal separator
    const char* command;
};

class CalibrateCommand : public CliProgram, public testing::WithParamInterface<CalibrateCase> {};

TEST_P(CalibrateCommand, BytesOnTheLineAfterTheGreeting)
{
    const CalibrateCase& c = GetParam();
    // --now: sent at once, as before there was a check; the encoding is the
    // same either way.
    const Finished done =
        Run({"calibrate", "--now", "--no-record", "--point", c.point, LocalReading(c.value)});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Wire(), std::string("S20\rV\r") + c.command + "\r");
    EXPECT_EQ(Events(), "open QP000001\nclose\n");
}

INSTANTIATE_TEST_SUITE_P(Cli, CalibrateCommand,
                         testing::Values(CalibrateCase{"SevenForPointTwo", "2", "7.00", "P20700"},
                                         CalibrateCase{"FourOhOne", "1", "4.01", "P10401"},
                                         CalibrateCase{"Hundredths", "1", "0.03", "P10003"},
                                         CalibrateCase{"TopOfTheScale", "1", "14", "P11400"},
                                         CalibrateCase{"TwelveAndAHalf", "2", "12.5", "P21250"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliProgram, CalibrateAcceptsAPointInEveryLocale)
{
    const Finished done = Run({"calibrate", "--now", "--no-record", "--point", "1", "6.86"});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Wire(), "S20\rV\rP10686\r");
}

TEST_F(CliProgram, CalibrateWithSeveralMetersNeedsSerial)
{
    const Finished several =
        Run({"calibrate", "--now", "--no-record", "--point", "1", "7"}, {{"TIREVO_SIM_METERS", "2"}});
    EXPECT_EQ(several.exitCode, 1);
    EXPECT_EQ(Wire(), "");
    const Finished chosen =
        Run({"calibrate", "--now", "--no-record", "--serial", "QP000002", "--point", "1", "7"},
            {{"TIREVO_SIM_METERS", "2"}});
    EXPECT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_EQ(Events(), "open QP000002\nclose\n");
}

// ---------------------------------------------------------------- settings, and a copy elsewhere

TEST_F(CliProgram, ACopyReadsTheSettingsBesideItAndNeverWritesThem)
{
    if (TIREVO_INSTALLED)
        GTEST_SKIP() << "an installed copy never reads a file beside itself";
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    const std::string ini = "[System]\r\nInterval=20\r\nUseTimeStamp=1\r\nSeparator=#59\r\n";
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", ini);
    CliProcess::Setup setup = ChildSetup({"log", "--count", "2"});
    setup.program = copy.string();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFile(files[0]);
    const std::string header = Header("QP000001", true, ';');
    ASSERT_EQ(text.substr(0, header.size()), header);
    ExpectRows(text.substr(header.size()), 2, true, ';', LocalReading("7.02"));
    EXPECT_EQ(ReadFile(copy.parent_path() / "tirevo.INI"), ini);
}

TEST_F(CliProgram, ASettingsErrorIsAWarningAndTheRunGoesOn)
{
    if (TIREVO_INSTALLED)
        GTEST_SKIP() << "an installed copy never reads a file beside itself";
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", "[System]\r\nInterval=20\r\nSeparator=#x\r\n");
    CliProcess::Setup setup = ChildSetup({"log", "--count", "1", "--separator", ","});
    setup.program = copy.string();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.err.find("tirevo.INI: 'x' is not a valid integer value"), std::string::npos) << done.err;
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string text = ReadFile(files[0]);
    const std::string header = Header("QP000001", true, ',');
    ASSERT_EQ(text.substr(0, header.size()), header);
    ExpectRows(text.substr(header.size()), 1, true, ',', LocalReading("7.02"));
}

struct ZeroIntervalCase {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
};

class ZeroIntervalInTheFile : public CliProgram, public testing::WithParamInterface<ZeroIntervalCase> {};

TEST_P(ZeroIntervalInTheFile, IsRefusedUnlessAnIntervalIsGiven)
{
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", "[System]\r\nInterval=0\r\n");
    CliProcess::Setup setup = ChildSetup(GetParam().args);
    setup.program = copy.string();
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, GetParam().exitCode) << done.err;
    if (GetParam().exitCode == 2) {
        EXPECT_NE(done.err.find("tirevo.INI: Interval=0"), std::string::npos) << done.err;
        EXPECT_NE(done.err.find("--interval"), std::string::npos) << done.err;
        EXPECT_EQ(Events(), "") << "nothing is opened";
        EXPECT_TRUE(LogFiles().empty());
    } else {
        EXPECT_EQ(Events(), "open QP000001\nclose\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, ZeroIntervalInTheFile,
    testing::Values(ZeroIntervalCase{"Read", {"read", "--count", "1"}, 2},
                    ZeroIntervalCase{"Log", {"log", "--count", "1"}, 2},
                    ZeroIntervalCase{"OptionWinsForRead", {"read", "--count", "1", "--interval", "20"}, 0},
                    ZeroIntervalCase{"OptionWinsForLog", {"log", "--count", "1", "--interval", "20"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// ---------------------------------------------------------------- every meter

namespace {

// "HH:MM:SS  SERIAL  READING" lines, as serial -> readings in order.
std::map<std::string, std::vector<std::string>> ReadingsBySerial(const std::string& out,
                                                                 const std::regex& line, bool readingFirst)
{
    std::map<std::string, std::vector<std::string>> bySerial;
    for (const std::string& text : Lines(out)) {
        std::smatch m;
        EXPECT_TRUE(std::regex_match(text, m, line)) << text;
        if (m.size() == 3)
            bySerial[m[readingFirst ? 2 : 1]].push_back(m[readingFirst ? 1 : 2]);
    }
    return bySerial;
}

}  // namespace

struct AllFormatCase {
    const char* name;
    const char* format;
    const char* header;         // the first line, if any
    const char* line;           // the pattern of a reading's line: (serial) and (reading)
    bool readingFirst = false;  // the reading's group comes before the serial's
};

class CliAllMeters : public CliProgram, public testing::WithParamInterface<AllFormatCase> {};

// Two meters, one plugged in half a second after the start (taken up at the
// next listing, 2 s on): each line is named by its meter's serial number and
// carries that meter's reading.
TEST_P(CliAllMeters, ReadAllNamesEachMeter)
{
    const AllFormatCase& c = GetParam();
    const Finished done =
        Run({"read", "--all", "--duration", "3.5", "--interval", "200", "--format", c.format},
            {{"TIREVO_SIM_METERS", "2"},
             {"TIREVO_SIM_METER_READINGS", "7.01,8.02"},
             {"TIREVO_SIM_LATE_MS", "500"}});
    ASSERT_EQ(done.exitCode, 0) << done.err;
    std::string out = done.out;
    if (*c.header) {
        ASSERT_EQ(out.substr(0, out.find('\n')), c.header);
        out.erase(0, out.find('\n') + 1);
    }
    const auto bySerial = ReadingsBySerial(out, std::regex(c.line), c.readingFirst);
    const std::map<std::string, std::string> readingOf = {{"QP000001", "7.01"}, {"QP000002", "8.02"}};
    ASSERT_EQ(bySerial.size(), 2u) << done.out;
    for (const auto& [serial, readings] : bySerial) {
        ASSERT_TRUE(readingOf.count(serial)) << serial;
        EXPECT_GE(readings.size(), 3u) << serial;
        EXPECT_EQ(readings, std::vector<std::string>(readings.size(), readingOf.at(serial))) << serial;
    }
    EXPECT_NE(done.err.find("QP000002 connected"), std::string::npos) << done.err;
}

// --count is per meter: each of the meters there gives its count, and the
// run ends.
TEST_F(CliProgram, ReadAllCountsPerMeter)
{
    const Finished done = Run({"read", "--all", "--count", "2", "--interval", "100"},
                              {{"TIREVO_SIM_METERS", "3"}, {"TIREVO_SIM_METER_READINGS", "7.01,8.02,9.03"}});
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const auto bySerial =
        ReadingsBySerial(done.out, std::regex(R"re(\d\d:\d\d:\d\d  (QP00000\d)  (\d\.\d\d))re"), false);
    EXPECT_EQ(bySerial,
              (std::map<std::string, std::vector<std::string>>{{"QP000001", {"7.01", "7.01"}},
                                                               {"QP000002", {"8.02", "8.02"}},
                                                               {"QP000003", {"9.03", "9.03"}}}))
        << done.out;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CliAllMeters,
    testing::Values(
        AllFormatCase{"text", "text", "", R"re(\d\d:\d\d:\d\d  (QP00000\d)  (\d\.\d\d))re"},
        AllFormatCase{"csv", "csv", "time,serial,ph",
                      R"re(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,(QP00000\d),(\d\.\d\d))re"},
        AllFormatCase{
            "json", "json", "",
            R"re(\{"time":"[^"]+","ph":(\d\.\d\d),"stable":(?:true|false),"serial":"(QP00000\d)"\})re",
            true}),
    [](const testing::TestParamInfo<AllFormatCase>& info) { return std::string(info.param.name); });

TEST_F(CliProgram, AllWithSerialIsAUsageError)
{
    for (const char* command : {"read", "log"}) {
        const Finished done = Run({command, "--all", "--serial", "QP000001"});
        EXPECT_EQ(done.exitCode, 2) << command;
        EXPECT_NE(done.err.find("--all and --serial cannot go together"), std::string::npos) << done.err;
        EXPECT_EQ(Events(), "");
    }
}

// log --all: a file per meter with its serial number in the name; a silent
// meter gets its file and no rows, and holds up nobody.
TEST_F(CliProgram, LogAllWritesAFilePerMeter)
{
    const Finished done = Run({"log", "--all", "--count", "3", "--interval", "100", "--duration", "3"},
                              {{"TIREVO_SIM_METERS", "3"},
                               {"TIREVO_SIM_METER_READINGS", "7.01,8.02,9.03"},
                               {"TIREVO_SIM_SILENT", "QP000002"}});
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const std::vector<fs::path> files = LogFiles();
    ASSERT_EQ(files.size(), 3u) << done.err;
    const std::regex name(R"(USB_PH_\d{6}_\d{6}_(QP00000\d)\.txt)");
    const std::map<std::string, std::string> readingOf = {{"QP000001", "7.01"}, {"QP000003", "9.03"}};
    for (const fs::path& file : files) {
        std::smatch m;
        const std::string fileName = file.filename().string();
        ASSERT_TRUE(std::regex_match(fileName, m, name)) << fileName;
        const std::vector<std::string> lines = Lines(ReadFile(file));
        ASSERT_GE(lines.size(), 7u) << fileName;
        EXPECT_EQ(lines[3], "Meter Serial Number   : " + m[1].str());
        const std::vector<std::string> rows(lines.begin() + 7, lines.end());
        if (m[1] == "QP000002") {
            EXPECT_TRUE(rows.empty()) << fileName;
            continue;
        }
        ASSERT_EQ(rows.size(), 3u) << fileName;
        for (const std::string& row : rows)
            EXPECT_EQ(row.substr(row.rfind('\t') + 1), LocalReading(readingOf.at(m[1]))) << row;
    }
}

// ---------------------------------------------------------------- a meter held elsewhere

namespace {

// A listed meter another program holds: each command that needs it says so
// and ends with exit 1, and leaves nothing behind (no log file, no record).
struct HeldCase {
    const char* name;
    std::vector<std::string> args;
};

class HeldMeter : public CliProgram, public testing::WithParamInterface<HeldCase> {};

}  // namespace

TEST_P(HeldMeter, IsNamedAndLeftAlone)
{
    std::vector<std::string> args = GetParam().args;
    args.insert(args.end(), {"--interval", "20"});
    const Finished done = Run(args, {{"TIREVO_SIM_HELD", "QP000001"}});
    EXPECT_EQ(done.exitCode, 1) << done.err;
    EXPECT_NE(
        done.err.find("tirevo-cli: the meter QP000001 cannot be opened (is another program using it?)\n"),
        std::string::npos)
        << done.err;
    EXPECT_EQ(done.out, "");
    EXPECT_EQ(Wire(), "");
    EXPECT_TRUE(LogFiles().empty());
    EXPECT_FALSE(fs::exists(dir_ / "samples.csv"));
    EXPECT_FALSE(fs::exists(dir_ / "calibrations.csv"));
}

INSTANTIATE_TEST_SUITE_P(
    Cli, HeldMeter,
    testing::Values(HeldCase{"Read", {"read", "--count", "1"}},
                    HeldCase{"ReadJson", {"read", "--count", "1", "--format", "json"}},
                    HeldCase{"Log", {"log", "--count", "1"}},
                    HeldCase{"Measure", {"measure", "--stable-window", "1", "--records", "."}},
                    HeldCase{"Calibrate",
                             {"calibrate", "--stable-window", "1", "--records", ".", "--point", "1", "7.00"}},
                    HeldCase{"CalibrateNow",
                             {"calibrate", "--now", "--records", ".", "--point", "1", "7.00"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Over every meter, a held one is said once and tried again at each listing,
// while the others are read.
TEST_F(CliProgram, AHeldMeterAmongSeveralIsSaidOnceAndTheOthersRead)
{
    const Finished done = Run({"read", "--all", "--duration", "1.5", "--interval", "100", "--format", "csv"},
                              {{"TIREVO_SIM_METERS", "2"}, {"TIREVO_SIM_HELD", "QP000001"}});
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::string said =
        "tirevo-cli: the meter QP000001 cannot be opened (is another program using it?)\n";
    const std::size_t at = done.err.find(said);
    EXPECT_NE(at, std::string::npos) << done.err;
    EXPECT_EQ(done.err.find(said, at + 1), std::string::npos) << done.err;
    EXPECT_EQ(done.out.find(",QP000001,"), std::string::npos) << done.out;
    EXPECT_NE(done.out.find(",QP000002,"), std::string::npos) << done.out;
}
