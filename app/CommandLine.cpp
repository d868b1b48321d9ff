#include "CommandLine.h"

#include "SettingsLocation.h"
#include "Version.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tirevo {

namespace {

// Qt's generic options (QGuiApplication, QApplication and the X11 platform),
// which a Qt program is expected to accept; Qt takes them out of argv itself.
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "title",         "style",
    "stylesheet",
};
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// How many arguments a Qt option at `index` takes up, 0 when it is none.
std::size_t QtOptionLength(const std::vector<std::string>& arguments, std::size_t index)
{
    std::string_view name = arguments[index];
    if (name.size() < 2 || name[0] != '-')
        return 0;
    name.remove_prefix(name.starts_with("--") ? 2 : 1);
    const std::size_t equals = name.find('=');
    const bool inlineValue = equals != std::string_view::npos;
    name = name.substr(0, equals);
    const auto is = [name](std::string_view option) { return option == name; };
    if (std::ranges::any_of(kQtOptionsWithValue, is))
        return inlineValue || index + 1 >= arguments.size() ? 1 : 2;
    return !inlineValue && std::ranges::any_of(kQtFlags, is) ? 1 : 0;
}

QtMessageHandler qtHandler = nullptr;

void ExitOnFatal(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (qtHandler)
        qtHandler(type, context, message);  // Qt's own lines say which platform failed
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", kNoDisplayText);
        std::_Exit(1);
    }
}

int Print(std::FILE* stream, const std::string& text, int exitCode)
{
    // A full disk or a closed pipe is an error, not a success.
    const bool written = std::fputs(text.c_str(), stream) >= 0 && std::fflush(stream) == 0;
    return written ? exitCode : 1;
}

}  // namespace

StartMode ParseStartMode(const std::vector<std::string>& arguments)
{
    std::vector<std::string> own;
    for (std::size_t i = 0; i < arguments.size();) {
        const std::size_t qt = QtOptionLength(arguments, i);
        if (qt == 0)
            own.push_back(arguments[i]);
        i += std::max<std::size_t>(qt, 1);
    }
    const auto has = [&own](const char* option) { return std::ranges::find(own, option) != own.end(); };
    if (has("--help") || has("-h"))
        return StartMode::Help;
    if (own.empty())
        return StartMode::Window;
    if (own.size() == 1 && own[0] == "--version")
        return StartMode::Version;
    if (own[0] == "--trend" && own.size() <= 2)
        return StartMode::Trend;
    if (own.size() == 1 && own[0] == "--all")
        return StartMode::All;
    return StartMode::Unknown;
}

std::string ProgramUsage()
{
    const std::string perUser = PerUserSettingsFile();
    return "Usage: tirevo [--all | --trend [FILE]]\n"
           "       tirevo --help | --version\n"
           "\n"
           "Without options tirevo opens its window on the pH meter attached over USB:\n"
           "it shows the readings, logs them to files and sends two-point calibrations.\n"
           "\n"
           "  --all           the bench view: a tile per attached meter, with its reading,\n"
           "                  stability, alarm and calibration state\n"
           "  --trend [FILE]  only the trend window, on the log file FILE (on an empty\n"
           "                  chart without one); no meter is opened, no settings used\n"
           "  --help          this text\n"
           "  --version       the program's version\n"
           "\n"
           "Settings: tirevo.INI beside the program when it can be kept there, otherwise\n"
           "  " +
        (perUser.empty() ? std::string("tirevo/tirevo.INI in your configuration folder") : perUser) +
        "\n"
        "Logs: USB_PH_yymmdd_hhnnss.txt in the folder tirevo is started from, a new\n"
        "  one each time data collection is switched on.\n"
        "\n"
        "tirevo-cli lists, reads, logs and calibrates the meter from a terminal, with\n"
        "no display. More in the manual pages tirevo(1) and tirevo-cli(1).\n";
}

std::vector<std::string> ArgumentsAfterProgram(int argc, char* argv[])
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

std::optional<int> AnswerCommandLine(int argc, char* argv[])
{
    switch (ParseStartMode(ArgumentsAfterProgram(argc, argv))) {
    case StartMode::Window:
    case StartMode::Trend:
    case StartMode::All:
        return std::nullopt;
    case StartMode::Help:
        return Print(stdout, ProgramUsage(), 0);
    case StartMode::Version:
        return Print(stdout, std::string("tirevo ") + kAppVersion + "\n", 0);
    case StartMode::Unknown:
        break;
    }
    Print(stderr, ProgramUsage(), 2);
    return 2;
}

void WatchDisplayOpening() { qtHandler = qInstallMessageHandler(ExitOnFatal); }

void EndDisplayWatch() { qInstallMessageHandler(qtHandler); }

}  // namespace tirevo
