// The bash completion the package installs, as bash runs it: the script
// sourced by a real bash, its function called with the words of a command
// line, and `tirevo-cli list` on the simulated meters for the serial numbers.
#include "CliProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

namespace {

using clitest::CliProcess;
using clitest::Finished;
using clitest::Lines;
using clitest::RunCli;
using clitest::TempDir;

// Calls the completion with the words typed so far, the cursor on the last.
std::vector<std::string> Complete(const std::vector<std::string>& typed, const TempDir& dir,
                                  std::map<std::string, std::string> env = {})
{
    CliProcess::Setup setup;
    setup.program = "/bin/bash";
    setup.cwd = dir.Path();
    setup.env = std::move(env);
    setup.args = {"--norc",
                  "--noprofile",
                  "-c",
                  "source \"$1\" || exit 9; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _tirevo_cli; "
                  "printf '%s\\n' \"${COMPREPLY[@]}\"",
                  "bash",
                  TIREVO_CLI_COMPLETION,
                  TIREVO_CLI_PROGRAM};
    setup.args.insert(setup.args.end(), typed.begin(), typed.end());
    const Finished done = RunCli(setup);
    EXPECT_EQ(done.exitCode, 0) << done.err;
    EXPECT_EQ(done.err, "");
    std::vector<std::string> offered;
    for (const std::string& line : Lines(done.out))
        if (!line.empty())
            offered.push_back(line);
    std::sort(offered.begin(), offered.end());
    return offered;
}

struct CompletionCase {
    const char* what;
    std::vector<std::string> typed;  // after the program's name
    std::vector<std::string> offered;
};

class Completion : public testing::TestWithParam<CompletionCase> {};

TEST_P(Completion, OffersWhatTheCommandLineTakes)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "logs");
    clitest::WriteFile(dir / "lab.txt", "");
    EXPECT_EQ(Complete(GetParam().typed, dir, {{"TIREVO_SIM_METERS", "2"}, {"TIREVO_SIM_OTHERS", "1"}}),
              GetParam().offered);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Completion,
    testing::Values(
        CompletionCase{"Commands",
                       {""},
                       {"--help", "--version", "calibrate", "calibrations", "list", "log", "measure",
                        "publish", "read", "report", "verify"}},
        CompletionCase{"CommandsBeginningSo", {"ca"}, {"calibrate", "calibrations"}},
        CompletionCase{"OptionsOfTheCommand", {"read", "--st"}, {"--stable-band", "--stable-window"}},
        CompletionCase{"NoOptionOfAnotherCommand", {"log", "--form"}, {}},
        CompletionCase{"ListOptions", {"list", "-"}, {"--all", "--help"}},
        CompletionCase{"Formats", {"read", "--format", ""}, {"csv", "json", "text"}},
        CompletionCase{"FormatAfterEquals", {"calibrations", "--format", "=", ""}, {"csv", "json", "text"}},
        CompletionCase{"FormatAfterEqualsBegun", {"measure", "--format", "=", "j"}, {"json"}},
        CompletionCase{"SerialsThatListPrints", {"measure", "--serial", ""}, {"QP000001", "QP000002"}},
        CompletionCase{
            "SerialBegun", {"read", "--count", "3", "--serial", "QP0000"}, {"QP000001", "QP000002"}},
        CompletionCase{"LimitOff", {"read", "--high", ""}, {"off"}},
        CompletionCase{"Point", {"calibrate", "--point", ""}, {"1", "2"}},
        CompletionCase{"NothingForTheCalibrationValue", {"calibrate", "--point", "1", ""}, {}},
        CompletionCase{"NothingForANumber", {"read", "--count", ""}, {}},
        CompletionCase{"NothingForTheStabilityWindow", {"measure", "--stable-window", ""}, {}},
        CompletionCase{"Folders", {"log", "--dir", ""}, {"logs"}},
        CompletionCase{"Files", {"publish", "--cafile", "l"}, {"lab.txt", "logs"}},
        CompletionCase{"ReportOptions",
                       {"report", "-"},
                       {"--from", "--help", "--logs", "--out", "--records", "--serial", "--to"}},
        CompletionCase{"ReportFile", {"report", "--out", "l"}, {"lab.txt", "logs"}},
        CompletionCase{"ReportLogsFolder", {"report", "--logs", ""}, {"logs"}},
        CompletionCase{"NothingForATime", {"report", "--from", ""}, {}}),
    [](const auto& info) { return std::string(info.param.what); });

// Each command's --help and its completion name the same options.
TEST(Completion, OffersEveryOptionThatHelpLists)
{
    TempDir dir;
    const std::regex optionLine(R"(^  (?:-h, )?(--[a-z-]+)\b.*)");
    for (const char* command :
         {"list", "read", "log", "publish", "calibrate", "calibrations", "measure", "verify", "report"}) {
        CliProcess::Setup setup;
        setup.args = {command, "--help"};
        setup.cwd = dir.Path();
        const Finished help = RunCli(setup);
        ASSERT_EQ(help.exitCode, 0) << command << ": " << help.err;
        std::vector<std::string> listed;
        for (const std::string& line : Lines(help.out)) {
            std::smatch match;
            if (std::regex_match(line, match, optionLine))
                listed.push_back(match[1]);
        }
        std::sort(listed.begin(), listed.end());
        EXPECT_GE(listed.size(), 2u) << help.out;
        EXPECT_EQ(Complete({command, "-"}, dir), listed) << command;
    }
}

}  // namespace
