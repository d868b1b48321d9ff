// The program's command line, answered before any display is opened: --help
// and --version work over ssh, in a container, with no meter attached.
#pragma once

#include <QtGlobal>

#include <optional>
#include <string>
#include <vector>

namespace tirevo {

enum class StartMode {
    Window,   // no options: the main window
    Trend,    // --trend [FILE]
    All,      // --all: the bench view, a tile per attached meter
    Help,     // --help, -h
    Version,  // --version
    Unknown,  // anything else
};

// The arguments after the program's name. Qt's own options (-platform NAME,
// -style NAME, -reverse, ...) pass through to Qt.
StartMode ParseStartMode(const std::vector<std::string>& arguments);

// argv without the program's name.
std::vector<std::string> ArgumentsAfterProgram(int argc, char* argv[]);

// The text of --help: the options, where the settings and the logs are kept,
// and where to look further.
std::string ProgramUsage();

// Answers --help (stdout, 0), --version (stdout, 0) and an unknown option
// (the usage on stderr, 2); the exit code, or nothing when the program starts.
std::optional<int> AnswerCommandLine(int argc, char* argv[]);

// Between these two (around making the QApplication), a fatal Qt error, which
// is the platform failing to open its display, ends the program with a line
// of its own and exit code 1 instead of an abort.
void WatchDisplayOpening();
void EndDisplayWatch();

inline constexpr const char* kNoDisplayText =
    "tirevo: cannot open the display; is DISPLAY set? (tirevo-cli works without one)";

}  // namespace tirevo
