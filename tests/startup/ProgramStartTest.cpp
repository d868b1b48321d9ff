// build/tirevo started as over ssh or in a container: no DISPLAY, no
// WAYLAND_DISPLAY, no QT_QPA_PLATFORM. --help and --version answer without a
// display; everything else says in one line of its own that it needs one.
#include "CliProcess.h"
#include "Version.h"

#include "CaseName.h"

#include <gtest/gtest.h>

namespace {

using clitest::CliProcess;
using clitest::Finished;
using clitest::RunCli;
using clitest::TempDir;

const std::string kNoDisplay =
    "tirevo: cannot open the display; is DISPLAY set? (tirevo-cli works without one)\n";

struct StartCase {
    const char* what;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> env;
    int exitCode;
    std::string out;  // all of stdout, or a part of it after "..."
    std::string err;  // a part of stderr; nothing at all when empty
};

class Start : public testing::TestWithParam<StartCase> {};

TEST_P(Start, AnswersWithoutADisplay)
{
    const StartCase& c = GetParam();
    TempDir dir;
    CliProcess::Setup setup;
    setup.program = TIREVO_PROGRAM;
    setup.args = c.arguments;
    setup.cwd = dir.Path();
    setup.env = c.env;
    setup.env["XDG_CONFIG_HOME"] = (dir.Path() / "config").string();
    const Finished run = RunCli(setup);

    EXPECT_EQ(run.signal, 0) << run.err;
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    if (c.out.starts_with("..."))
        EXPECT_NE(run.out.find(c.out.substr(3)), std::string::npos) << run.out;
    else
        EXPECT_EQ(run.out, c.out);
    if (c.err.empty())
        EXPECT_EQ(run.err, "");
    else
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    // Nothing is written where it starts, and no settings anywhere.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "files left in the folder";
}

const std::string kVersion = std::string("tirevo ") + tirevo::kAppVersion + "\n";

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Start,
    testing::Values(
        StartCase{"help", {"--help"}, {}, 0, "...Usage: tirevo [--all | --trend [FILE]]\n", ""},
        StartCase{"help names the settings file", {"-h"}, {}, 0, "...config/tirevo/tirevo.INI\n", ""},
        StartCase{"help names tirevo-cli", {"--help"}, {}, 0, "...tirevo-cli(1)", ""},
        StartCase{"version", {"--version"}, {}, 0, kVersion, ""},
        StartCase{"version through a bad display", {"--version"}, {{"DISPLAY", ":97531"}}, 0, kVersion, ""},
        StartCase{"unknown option", {"--verbose"}, {}, 2, "", "Usage: tirevo [--all | --trend [FILE]]\n"},
        StartCase{"stray argument",
                  {"USB_PH_261208_090000.txt"},
                  {},
                  2,
                  "",
                  "Usage: tirevo [--all | --trend [FILE]]\n"},
        StartCase{"window without a display", {}, {}, 1, "", kNoDisplay},
        StartCase{"trend without a display", {"--trend"}, {}, 1, "", kNoDisplay},
        StartCase{"bench view without a display", {"--all"}, {}, 1, "", kNoDisplay},
        StartCase{"display that is not there", {}, {{"DISPLAY", ":97531"}}, 1, "", kNoDisplay}),
    CaseName());

}  // namespace
