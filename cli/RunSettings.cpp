#include "RunSettings.h"

#include "SettingsLocation.h"

#include <climits>
#include <unistd.h>

namespace tirevo {

namespace {

// The name the window's program file has beside us; its settings file
// follows from it as the window's own does.
constexpr const char* kWindowProgramName = "tirevo";

}  // namespace

std::string CliSettingsFile(const std::string& cliProgramPath)
{
    const std::size_t slash = cliProgramPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : cliProgramPath.substr(0, slash + 1);
    return ChooseSettingsFile(folder + kWindowProgramName, false).path;
}

RunSettings ResolveRunSettings(const CliOptions& options, const SettingsLoadResult& loaded,
                               const std::string& iniPath)
{
    RunSettings run;
    run.intervalMs = options.intervalMs.value_or(loaded.settings.interval);
    run.useTimeStamp = options.noTimestamp ? false : loaded.settings.UseTimeStamp;
    run.separator = options.separator.value_or(loaded.settings.Separator);
    if (loaded.error) {
        // Like the window: the values read before the error stay, and the
        // separator is then the character with code 0.
        std::string warning = "settings file " + iniPath + ": " + *loaded.error;
        if (options.command == CliCommand::Log && !options.separator)
            warning += " (log columns are separated by the character with code 0; --separator sets another)";
        run.warning = warning;
    } else if (run.intervalMs == 0) {
        // The window keeps such a meter connected but silent; a run would
        // wait for readings that never come.
        run.warning =
            "settings file " + iniPath + ": Interval=0, the meter is not polled; --interval sets one";
    }
    return run;
}

StabilityParams ResolveStability(const CliOptions& options, const StabilityLoadResult& loaded,
                                 const std::string& iniPath, std::optional<std::string>& warning)
{
    if (loaded.error) {
        // One line of stderr per value, each naming the file.
        const std::string prefix = "settings file " + iniPath + ": ";
        std::string lines = prefix;
        for (char c : *loaded.error)
            lines += c == '\n' ? "\n" + prefix : std::string(1, c);
        warning = lines;
    }
    StabilityParams params;
    params.windowS = options.stableWindowS.value_or(loaded.windowS);
    params.bandHundredths = options.stableBandHundredths.value_or(loaded.bandHundredths);
    return params;
}

RecordsChoice ChooseCliRecords(const CliOptions& options, const std::string& cliProgramPath)
{
    if (options.noRecord)
        return {false, {}, false};
    if (options.records)
        return {true, *options.records, false};
    const std::size_t slash = cliProgramPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : cliProgramPath.substr(0, slash + 1);
    const RecordsLocation location = ChooseRecordsFolder(folder + kWindowProgramName);
    return {true, location.folder, location.perUser};
}

std::string OwnProgramPath()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace tirevo
