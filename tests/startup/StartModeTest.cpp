// What the program makes of its command line, Qt's own options included.
#include "CommandLine.h"

#include "CaseName.h"

#include <gtest/gtest.h>

namespace {

using tirevo::StartMode;

struct ModeCase {
    const char* what;
    std::vector<std::string> arguments;
    StartMode mode;
};

class Mode : public testing::TestWithParam<ModeCase> {};

TEST_P(Mode, IsRecognised) { EXPECT_EQ(tirevo::ParseStartMode(GetParam().arguments), GetParam().mode); }

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Mode,
    testing::Values(ModeCase{"nothing", {}, StartMode::Window}, ModeCase{"help", {"--help"}, StartMode::Help},
                    ModeCase{"short help", {"-h"}, StartMode::Help},
                    ModeCase{"help after others", {"--trend", "a.txt", "--help"}, StartMode::Help},
                    ModeCase{"version", {"--version"}, StartMode::Version},
                    ModeCase{"version with more", {"--version", "x"}, StartMode::Unknown},
                    ModeCase{"trend alone", {"--trend"}, StartMode::Trend},
                    ModeCase{"trend on a file", {"--trend", "USB_PH_261208_090000.txt"}, StartMode::Trend},
                    ModeCase{"trend on two files", {"--trend", "a.txt", "b.txt"}, StartMode::Unknown},
                    ModeCase{"unknown option", {"--verbose"}, StartMode::Unknown},
                    ModeCase{"all meters", {"--all"}, StartMode::All},
                    ModeCase{"all meters with qt option", {"-platform", "xcb", "--all"}, StartMode::All},
                    ModeCase{"all meters and a file", {"--all", "a.txt"}, StartMode::Unknown},
                    ModeCase{"single dash unknown", {"-x"}, StartMode::Unknown},
                    ModeCase{"a bare file", {"USB_PH_261208_090000.txt"}, StartMode::Unknown},
                    ModeCase{"qt platform", {"-platform", "offscreen"}, StartMode::Window},
                    ModeCase{"qt style inline", {"--style=fusion"}, StartMode::Window},
                    ModeCase{"qt flag and trend", {"-reverse", "--trend", "a.txt"}, StartMode::Trend},
                    ModeCase{
                        "qt option after trend", {"--trend", "a.txt", "-display", ":1"}, StartMode::Trend},
                    ModeCase{"qt flag with a value", {"-reverse=yes"}, StartMode::Unknown},
                    ModeCase{"qt value not an option", {"-platform", "--version"}, StartMode::Window}),
    CaseName());

TEST(Usage, NamesTheOptionsTheFilesAndWhereToLookFurther)
{
    const std::string usage = tirevo::ProgramUsage();
    for (const char* part :
         {"Usage: tirevo [--all | --trend [FILE]]", "--all", "--help", "--version", "tirevo.INI",
          "USB_PH_yymmdd_hhnnss.txt", "tirevo-cli", "tirevo(1)", "tirevo-cli(1)"})
        EXPECT_NE(usage.find(part), std::string::npos) << part;
}

}  // namespace
