// Alarms of tirevo-cli end to end: the program as a child process on the
// simulated meter, its readings scripted past a limit and back, the
// --on-alarm command writing what it was given into a file.
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

TEST_F(AlarmCli, TheHookGetsNoTerminalInputAndNoBlockedSignals)
{
    const Finished done = clitest::RunCli(
        AlarmSetup({"read", "--count", "2", "--interval", "20", "--low", "7", "--alarm-delay", "0",
                    "--on-alarm", "{ readlink /proc/$$/fd/0; grep SigBlk /proc/$$/status; } > hook.txt"},
                   "6.50"));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    const std::vector<std::string> lines = WaitForLines(dir_ / "hook.txt", 2);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "/dev/null");
    EXPECT_EQ(lines[1], "SigBlk:\t0000000000000000");
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

TEST_F(AlarmCli, AMissingCommandChangesNothing)
{
    const Finished done =
        clitest::RunCli(AlarmSetup({"read", "--count", "5", "--interval", "20", "--high", "7.5",
                                    "--alarm-delay", "0", "--on-alarm", "no-such-command-anywhere"},
                                   "7.8"));
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(Lines(done.out).size(), 5u);
}

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

}  // namespace
