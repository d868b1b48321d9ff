// Alarms of tirevo-cli end to end: the program as a child process on the
// simulated meter, its readings scripted past a limit and back, the
// --on-alarm command writing what it was given into a file.
#include "CaseName.h"
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <regex>
#include <thread>

namespace {

using clitest::CliProcess;
using clitest::Console;
using clitest::Finished;
using clitest::Lines;
using clitest::ReadFile;
using clitest::TempDir;
namespace fs = std::filesystem;

// Writes one line per event: the variables, separated by "|".
const std::string kRecordingHook =
    "printf '%s|%s|%s|%s|%s|%s\\n' \"$TIREVO_ALARM\" \"$TIREVO_PH\" \"$TIREVO_LIMIT\" \"$TIREVO_SERIAL\" "
    "\"$TIREVO_TIME\" \"$TIREVO_CLEARED\" >> hooks.txt";

// Waits (only as a safety net against a hang) until the file has n lines.
std::vector<std::string> WaitForLines(const fs::path& file, std::size_t n)
{
    const auto deadline = std::chrono::steady_clock::now() + clitest::kSafetyNet;
    std::vector<std::string> lines;
    while (std::chrono::steady_clock::now() < deadline) {
        lines = Lines(ReadFile(file));
        if (lines.size() >= n)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return lines;
}

// The children of pid that have ended and not been collected.
int ZombieChildren(pid_t pid)
{
    int zombies = 0;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return 0;
    while (dirent* entry = ::readdir(proc)) {
        const std::string name = entry->d_name;
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        const std::string stat = ReadFile("/proc/" + name + "/stat");
        // "pid (comm) S ppid ...": the name may hold blanks and parentheses.
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 && parent == pid &&
            state == 'Z')
            ++zombies;
    }
    ::closedir(proc);
    return zombies;
}

class AlarmCli : public testing::Test {
protected:
    CliProcess::Setup AlarmSetup(std::vector<std::string> args, const std::string& readings)
    {
        CliProcess::Setup setup;
        setup.args = std::move(args);
        setup.cwd = dir_.Path();
        setup.env = {{"TIREVO_SIM_READINGS", readings}};
        return setup;
    }

    TempDir dir_;
};

TEST_F(AlarmCli, EachEventALineAndTheHookWithItsVariables)
{
    const Finished done = clitest::RunCli(
        AlarmSetup({"read", "--count", "6", "--interval", "20", "--high", "7.5", "--alarm-delay", "0",
                    "--on-alarm", kRecordingHook + "; echo hook-output"},
                   "7.00,7.80,7.90,7.46,7.30"));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 6u) << done.out;
    // The event lines, in order, on stderr; the hook's output there too.
    const std::regex raise("tirevo-cli: ALARM high: pH 7\\.80 above 7\\.50 since \\d\\d:\\d\\d:\\d\\d\n");
    EXPECT_TRUE(std::regex_search(done.err, raise)) << done.err;
    const std::size_t raised = done.err.find("ALARM high");
    const std::size_t cleared = done.err.find("tirevo-cli: alarm cleared: pH 7.30\n");
    EXPECT_NE(cleared, std::string::npos) << done.err;
    EXPECT_LT(raised, cleared);
    EXPECT_EQ(CliProcess::Occurrences(done.err, "ALARM"), 1) << done.err;
    EXPECT_EQ(CliProcess::Occurrences(done.err, "alarm cleared"), 1) << done.err;
    EXPECT_EQ(done.out.find("hook-output"), std::string::npos) << "never on stdout";
    EXPECT_EQ(CliProcess::Occurrences(done.err, "hook-output\n"), 2) << done.err;

    // The two commands run side by side; their lines may come in any order.
    std::vector<std::string> hooks = WaitForLines(dir_ / "hooks.txt", 2);
    ASSERT_EQ(hooks.size(), 2u);
    std::sort(hooks.begin(), hooks.end());
    const std::string iso = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d";
    EXPECT_TRUE(std::regex_match(hooks[0], std::regex("clear\\|7\\.30\\|\\|QP000001\\|" + iso + "\\|high")))
        << hooks[0];
    EXPECT_TRUE(std::regex_match(hooks[1], std::regex("high\\|7\\.80\\|7\\.50\\|QP000001\\|" + iso + "\\|")))
        << hooks[1];
}

TEST_F(AlarmCli, TheHookGetsNoTerminalInputAPipeOfItsOwnAndNoBlockedSignals)
{
    const Finished done = clitest::RunCli(AlarmSetup(
        {"read", "--count", "2", "--interval", "20", "--low", "7", "--alarm-delay", "0", "--on-alarm",
         "links=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 /proc/$PPID/fd/1 /proc/$PPID/fd/2); "
         "blocked=$(grep SigBlk /proc/$$/status); printf '%s\\n' \"$links\" \"$blocked\" > hook.txt"},
        "6.50"));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> lines = WaitForLines(dir_ / "hook.txt", 6);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "/dev/null");
    // Its output and errors share one pipe, which is neither of the
    // program's own streams: nothing the command leaves running holds them.
    EXPECT_EQ(lines[1].rfind("pipe:", 0), 0u) << lines[1];
    EXPECT_EQ(lines[1], lines[2]);
    EXPECT_NE(lines[1], lines[3]);
    EXPECT_NE(lines[1], lines[4]);
    EXPECT_EQ(lines[5], "SigBlk:\t0000000000000000");
}

// `tirevo-cli read ... 2>&1 | cat` ends with the run, although the command
// goes on: the program waits a few seconds for it, says it leaves it
// running, and the command can still write afterwards without dying of a
// broken pipe.
TEST_F(AlarmCli, AHookStillRunningDoesNotHoldTheProgramsOutput)
{
    const auto started = std::chrono::steady_clock::now();
    CliProcess child(AlarmSetup({"read", "--count", "2", "--interval", "20", "--high", "7.5", "--alarm-delay",
                                 "0", "--on-alarm",
                                 "echo $$ > hook.pid; echo started; while [ ! -e go ]; do sleep 0.05; done; "
                                 "echo later; echo alive > after.txt"},
                                "7.80"));
    // Ends only once nothing holds the program's stdout and stderr.
    const Finished done = child.Wait();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_LT(took, std::chrono::seconds(30));
    EXPECT_EQ(Lines(done.out).size(), 2u) << done.out;
    const std::vector<std::string> pid = WaitForLines(dir_ / "hook.pid", 1);
    ASSERT_EQ(pid.size(), 1u);
    EXPECT_NE(
        done.err.find("\nstarted\ntirevo-cli: the --on-alarm command (process " + pid[0] +
                      ") is still running after 5 s; it goes on by itself, its output no longer shown\n"),
        std::string::npos)
        << done.err;
    EXPECT_EQ(done.err.find("later"), std::string::npos) << done.err;

    clitest::WriteFile(dir_ / "go", "");
    EXPECT_EQ(WaitForLines(dir_ / "after.txt", 1), std::vector<std::string>{"alive"});
}

// A command that ends after the last reading is still heard of: its output
// (a last line without a newline too) and how it ended.
TEST_F(AlarmCli, AHookEndingAfterTheRunIsWaitedFor)
{
    CliProcess child(
        AlarmSetup({"read", "--count", "2", "--interval", "20", "--high", "7.5", "--alarm-delay", "0",
                    "--on-alarm", "while [ ! -e go ]; do sleep 0.05; done; printf 'mail sent'; exit 3"},
                   "7.80"));
    ASSERT_TRUE(child.WaitForOutput("7.80", 2)) << child.Out();
    clitest::WriteFile(dir_ / "go", "");
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_NE(done.err.find("\nmail sent\ntirevo-cli: the --on-alarm command ended with status 3\n"),
              std::string::npos)
        << done.err;
    EXPECT_EQ(done.err.find("still running"), std::string::npos) << done.err;
}

// With every meter, each meter leaves the run once it has its count; the
// commands its alarms started are still waited for.
TEST_F(AlarmCli, HooksOfMetersThatLeftTheRunAreWaitedFor)
{
    CliProcess::Setup setup = AlarmSetup({"read", "--all", "--count", "2", "--interval", "20", "--high",
                                          "7.5", "--alarm-delay", "0", "--on-alarm",
                                          "while [ ! -e go ]; do sleep 0.05; done; echo \"sent for "
                                          "$TIREVO_SERIAL\"; exit 4"},
                                         "");
    setup.env = {{"TIREVO_SIM_METERS", "2"}, {"TIREVO_SIM_METER_READINGS", "7.80,7.90"}};
    CliProcess child(setup);
    ASSERT_TRUE(child.WaitForOutput("7.80", 2)) << child.Out();
    ASSERT_TRUE(child.WaitForOutput("7.90", 2)) << child.Out();
    clitest::WriteFile(dir_ / "go", "");
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.err;
    for (const std::string serial : {"QP000001", "QP000002"})
        EXPECT_NE(done.err.find("\nsent for " + serial + "\n"), std::string::npos) << done.err;
    EXPECT_EQ(CliProcess::Occurrences(done.err, "tirevo-cli: the --on-alarm command ended with status 4\n"),
              2)
        << done.err;
}

TEST_F(AlarmCli, AHookThatHangsDoesNotDelayTheReadings)
{
    const auto started = std::chrono::steady_clock::now();
    CliProcess child(
        AlarmSetup({"read", "--count", "30", "--interval", "20", "--high", "7.5", "--alarm-delay", "0",
                    // Its own output elsewhere, so that only the
                    // program, not the hook, holds the test's pipe.
                    "--on-alarm", "echo $$ > hook.pid; exec sleep 60 >/dev/null 2>&1"},
                   "7.80"));
    const Finished done = child.Wait();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 30u) << "every reading after the alarm came";
    const std::vector<std::string> pid = WaitForLines(dir_ / "hook.pid", 1);
    ASSERT_EQ(pid.size(), 1u);
    const pid_t hook = std::stoi(pid[0]);
    // The program ended while its command still ran: it never waited for it.
    EXPECT_EQ(::kill(hook, 0), 0) << "the hook should still be sleeping";
    EXPECT_LT(took, std::chrono::seconds(45));
    ::kill(hook, SIGKILL);
}

TEST_F(AlarmCli, EndedHooksLeaveNoZombies)
{
    CliProcess child(AlarmSetup({"read", "--interval", "20", "--high", "7.5", "--alarm-delay", "0",
                                 "--on-alarm", "echo ran >> ran.txt; exit 3"},
                                "7.8,7.0,7.8,7.0,7.8,7.0"));
    ASSERT_EQ(WaitForLines(dir_ / "ran.txt", 6).size(), 6u);
    // Collected on the program's next turn; the safety net only catches a
    // program that never collects them.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ZombieChildren(child.Pid()) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ZombieChildren(child.Pid()), 0);
    child.Signal(SIGINT);
    const Finished done = child.Wait();
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(CliProcess::Occurrences(done.err, "ALARM high"), 3) << done.err;
    EXPECT_EQ(CliProcess::Occurrences(done.err, "alarm cleared: pH 7.00"), 3) << done.err;
    // A command that fails is told of, and changes nothing else.
    EXPECT_EQ(CliProcess::Occurrences(done.err, "the --on-alarm command ended with status 3"), 6) << done.err;
}

struct FailingHookCase {
    const char* what;
    const char* command;
    const char* said;       // tirevo-cli's line for each event
    const char* shellSaid;  // a part of the shell's own line, or ""
};

class AlarmCliFailingHook : public AlarmCli, public testing::WithParamInterface<FailingHookCase> {};

// A command that cannot be run, or that a signal ends, is told of for each
// event, and the run goes on as if it had worked.
TEST_P(AlarmCliFailingHook, ToldOfAndTheRunGoesOn)
{
    const FailingHookCase& c = GetParam();
    clitest::WriteFile(dir_ / "plain.txt", "echo never\n");
    const Finished done = clitest::RunCli(AlarmSetup({"read", "--count", "6", "--interval", "20", "--high",
                                                      "7.5", "--alarm-delay", "0", "--on-alarm", c.command},
                                                     "7.80,7.00,7.80,7.00,7.80,7.00"));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 6u) << done.out;
    // Three alarms, three clears: six commands, the last one started with
    // the last reading.
    EXPECT_EQ(CliProcess::Occurrences(done.err, "ALARM high"), 3) << done.err;
    EXPECT_EQ(CliProcess::Occurrences(done.err, std::string("tirevo-cli: ") + c.said + "\n"), 6) << done.err;
    if (*c.shellSaid) {
        EXPECT_EQ(CliProcess::Occurrences(done.err, c.shellSaid), 6) << done.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AlarmCliFailingHook,
    testing::Values(FailingHookCase{"not found", "no-such-command-anywhere",
                                    "the --on-alarm command ended with status 127 (command not found)",
                                    "no-such-command-anywhere: not found\n"},
                    FailingHookCase{"not executable", "./plain.txt",
                                    "the --on-alarm command ended with status 126 (command not executable)",
                                    "./plain.txt: Permission denied\n"},
                    FailingHookCase{"killed", "kill -KILL $$",
                                    "the --on-alarm command ended by signal 9 (SIGKILL)", ""},
                    FailingHookCase{"terminated", "kill -TERM $$",
                                    "the --on-alarm command ended by signal 15 (SIGTERM)", ""}),
    CaseName());

TEST_F(AlarmCli, ALostMeterIsAnAlarmUntilItAnswers)
{
    CliProcess::Setup setup = AlarmSetup(
        {"log", "--count", "5", "--interval", "20", "--alarm-delay", "0", "--on-alarm", kRecordingHook},
        "7.02");
    setup.env["TIREVO_SIM_UNPLUG_AFTER_POLLS"] = "2";
    setup.env["TIREVO_SIM_REPLUG_AFTER_MS"] = "300";
    const Finished done = clitest::RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::size_t lost = done.err.find("tirevo-cli: ALARM lost: QP000001 not responding since ");
    ASSERT_NE(lost, std::string::npos) << done.err;
    EXPECT_NE(done.err.find("tirevo-cli: alarm cleared: QP000001 responding again\n", lost),
              std::string::npos)
        << done.err;
    std::vector<std::string> hooks = WaitForLines(dir_ / "hooks.txt", 2);
    ASSERT_EQ(hooks.size(), 2u);
    std::sort(hooks.begin(), hooks.end());
    EXPECT_EQ(hooks[0].rfind("clear|||QP000001|", 0), 0u) << hooks[0];
    EXPECT_EQ(hooks[0].substr(hooks[0].size() - 5), "|lost") << hooks[0];
    EXPECT_EQ(hooks[1].rfind("lost|||QP000001|", 0), 0u) << hooks[1];
}

TEST_F(AlarmCli, LimitsComeFromTheSettingsFileAndOptionsOverrideThem)
{
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", "[Alarm]\nHigh=7\nDelay=0\nHysteresis=\n");
    CliProcess::Setup fromFile = AlarmSetup({"read", "--count", "2", "--interval", "20"}, "7.40");
    fromFile.program = copy.string();
    const Finished raised = clitest::RunCli(fromFile);
    EXPECT_NE(raised.err.find("ALARM high: pH 7.40 above 7.00"), std::string::npos) << raised.err;

    // Values that cannot be used are told of, a line each, and left off.
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", "[Alarm]\nHigh=x\nLow=y\nDelay=0\n");
    const Finished unusable = clitest::RunCli(fromFile);
    EXPECT_EQ(unusable.exitCode, 0) << unusable.err;
    EXPECT_NE(unusable.err.find("tirevo.INI: [Alarm] High: 'x' is not a valid floating point value\n"
                                "tirevo-cli: settings file "),
              std::string::npos)
        << unusable.err;
    EXPECT_NE(unusable.err.find("tirevo.INI: [Alarm] Low: 'y' is not a valid floating point value\n"),
              std::string::npos)
        << unusable.err;
    EXPECT_EQ(unusable.err.find("ALARM"), std::string::npos) << unusable.err;
    clitest::WriteFile(copy.parent_path() / "tirevo.INI", "[Alarm]\nHigh=7\nDelay=0\nHysteresis=\n");

    CliProcess::Setup overridden = fromFile;
    overridden.args = {"read", "--count", "2", "--interval", "20", "--high", "off"};
    const Finished quiet = clitest::RunCli(overridden);
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("ALARM"), std::string::npos) << quiet.err;

    // A low limit above the file's high one cannot be used.
    overridden.args = {"read", "--count", "2", "--low", "7.5"};
    const Finished clash = clitest::RunCli(overridden);
    EXPECT_EQ(clash.exitCode, 2) << clash.err;
    EXPECT_EQ(Lines(clash.err)[0].rfind("tirevo-cli: High must be above Low", 0), 0u) << clash.err;
}

// Each meter's own [Alarm SERIAL] over [Alarm]: with every meter in one run,
// only the meter whose own limit is crossed raises the alarm; options still
// hold for all of them.
TEST_F(AlarmCli, EachMeterHasItsOwnLimitsAndOptionsHoldForAll)
{
    const fs::path copy = dir_ / "bin" / "tirevo-cli";
    fs::create_directories(copy.parent_path());
    fs::copy_file(TIREVO_CLI_PROGRAM, copy);
    // Whole numbers in the file: it is read with the locale's decimal separator.
    clitest::WriteFile(copy.parent_path() / "tirevo.INI",
                       "[Alarm]\nHigh=10\nDelay=0\n[Alarm QP000002]\nHigh=9\nHysteresis=x\n");
    CliProcess::Setup setup =
        AlarmSetup({"read", "--all", "--count", "2", "--interval", "20", "--on-alarm", kRecordingHook}, "");
    setup.program = copy.string();
    setup.env = {{"TIREVO_SIM_METERS", "2"}, {"TIREVO_SIM_METER_READINGS", "7.80,9.20"}};
    const Finished own = clitest::RunCli(setup);
    EXPECT_EQ(own.exitCode, 0) << own.err;
    EXPECT_EQ(CliProcess::Occurrences(own.err, "ALARM"), 1) << own.err;
    EXPECT_NE(own.err.find("tirevo-cli: ALARM high: QP000002 pH 9.20 above 9.00 since "), std::string::npos)
        << own.err;
    // The meter's own section's problem is said once, naming it.
    EXPECT_EQ(CliProcess::Occurrences(own.err,
                                      "tirevo.INI: [Alarm QP000002] Hysteresis: 'x' is not a valid "
                                      "floating point value\n"),
              1)
        << own.err;
    const std::vector<std::string> hooks = WaitForLines(dir_ / "hooks.txt", 1);
    ASSERT_EQ(hooks.size(), 1u);
    EXPECT_EQ(hooks[0].rfind("high|9.20|9.00|QP000002|", 0), 0u) << hooks[0];

    // One meter on its own takes its section too.
    CliProcess::Setup one = setup;
    one.args = {"read", "--serial", "QP000002", "--count", "2", "--interval", "20"};
    const Finished alone = clitest::RunCli(one);
    EXPECT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_NE(alone.err.find("tirevo-cli: ALARM high: pH 9.20 above 9.00 since "), std::string::npos)
        << alone.err;

    // An option holds for every meter, over both sections.
    CliProcess::Setup optioned = setup;
    optioned.args = {"read", "--all", "--count", "2", "--interval", "20", "--high", "7.5"};
    const Finished both = clitest::RunCli(optioned);
    EXPECT_EQ(both.exitCode, 0) << both.err;
    EXPECT_NE(both.err.find("ALARM high: QP000001 pH 7.80 above 7.50"), std::string::npos) << both.err;
    EXPECT_NE(both.err.find("ALARM high: QP000002 pH 9.20 above 7.50"), std::string::npos) << both.err;

    // A low limit that clashes with one meter's own high one: refused before
    // any meter is opened, naming the meter.
    optioned.args = {"read", "--all", "--count", "2", "--low", "9.5"};
    const Finished clash = clitest::RunCli(optioned);
    EXPECT_EQ(clash.exitCode, 2) << clash.err;
    EXPECT_NE(clash.err.find("tirevo-cli: QP000002: High must be above Low"), std::string::npos) << clash.err;
    EXPECT_EQ(clash.out, "") << clash.out;
}

}  // namespace
