#include "RunSettings.h"

#include "SettingsLocation.h"
#include "Version.h"

namespace tirevo {

namespace {

// The name the window's program file has beside us; its settings file
// follows from it as the window's own does.
constexpr const char* kWindowProgramName = "tirevo";

}  // namespace

std::string CliSettingsFile(const std::string& cliProgramPath, SettingsRule rule)
{
    const std::size_t slash = cliProgramPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : cliProgramPath.substr(0, slash + 1);
    return ChooseSettingsFile(folder + kWindowProgramName, false, rule).path;
}

RunSettings ResolveRunSettings(const CliOptions& options, const SettingsLoadResult& loaded,
                               const std::string& iniPath)
{
    RunSettings run;
    run.intervalMs = options.intervalMs.value_or(loaded.settings.interval);
    run.useTimeStamp = options.noTimestamp ? false : loaded.settings.UseTimeStamp;
    run.separator = options.separator.value_or(loaded.settings.Separator);
    if (run.intervalMs == 0) {
        // The window keeps such a meter connected but silent; a run would
        // wait for ever for readings that never come.
        run.refusal =
            "settings file " + iniPath + ": Interval=0 means the meter is not polled; give --interval MS";
        return run;
    }
    if (options.command == CliCommand::Log && (run.separator == '\n' || run.separator == '\r')) {
        // A line end between the columns would cut every row in two for any
        // reader of the file.
        run.refusal = "settings file " + iniPath + ": Separator=#" + std::to_string(run.separator) +
            " is a line end and cannot separate columns; give --separator";
        return run;
    }
    if (loaded.error) {
        // Like the window: the values read before the error stay, and the
        // separator is then the character with code 0.
        std::string warning = "settings file " + iniPath + ": " + *loaded.error;
        if (options.command == CliCommand::Log && !options.separator)
            warning += " (log columns are separated by the character with code 0; --separator sets another)";
        run.warning = warning;
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

StabilityIntervalCheck ApplyPollInterval(const CliOptions& options, uint32_t intervalMs,
                                         StabilityParams& stability)
{
    stability.pollIntervalMs = intervalMs;
    StabilityIntervalCheck check;
    if (stability.Judged() || options.now)
        return check;
    if (options.command == CliCommand::Measure || options.command == CliCommand::Calibrate)
        check.refusal = StabilityWindowRefusal(stability);
    else
        check.note = StabilityNotJudgedText(stability);
    return check;
}

RecordsChoice ChooseCliRecords(const CliOptions& options, const std::string& cliProgramPath,
                               SettingsRule rule)
{
    const std::string program = std::string("tirevo-cli ") + kAppVersion;
    if (options.noRecord)
        return {false, {}, false, program};
    if (options.records)
        return {true, *options.records, false, program};
    const std::size_t slash = cliProgramPath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : cliProgramPath.substr(0, slash + 1);
    const RecordsLocation location = ChooseRecordsFolder(folder + kWindowProgramName, rule);
    return {true, location.folder, location.perUser, program};
}

}  // namespace tirevo
