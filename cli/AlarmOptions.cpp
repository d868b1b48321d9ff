#include "AlarmOptions.h"

#include "AlarmSettingsFile.h"
#include "OptionNumbers.h"

namespace tirevo {

namespace {

bool InRange(double value, double min, double max) { return value >= min && value <= max; }

}  // namespace

const std::vector<AlarmOptionHelp>& AlarmOptionList()
{
    static const std::vector<AlarmOptionHelp> list = {
        {"--high", "PH|off",
         "the high alarm limit, pH from -2 to 16; off drops the settings file's (default: the settings "
         "file's, else none)"},
        {"--low", "PH|off",
         "the low alarm limit, pH from -2 to 16; off drops the settings file's (default: the settings "
         "file's, else none)"},
        {"--alarm-delay", "SECONDS",
         "how long past a limit, or silent, before the alarm: whole seconds from 0 to 3600 (default: the "
         "settings file's, else 5)"},
        {"--hysteresis", "PH",
         "how far back past the limit clears the alarm: pH from 0 to 1 (default: the settings file's, else "
         "0.05)"},
        {"--on-alarm", "COMMAND", "runs /bin/sh -c COMMAND on each alarm event"},
    };
    return list;
}

std::optional<std::string> ApplyAlarmOption(std::string_view option, const std::string& value,
                                            char decimalSeparator, AlarmCliOptions& options)
{
    if (option == "--high" || option == "--low") {
        std::optional<std::optional<double>>& limit = option == "--high" ? options.high : options.low;
        if (value == "off") {
            limit.emplace(std::nullopt);
            return std::nullopt;
        }
        const std::optional<double> ph = ParseDecimalOption(value, decimalSeparator);
        if (!ph || !InRange(*ph, kAlarmLimitMin, kAlarmLimitMax))
            return std::string("pH from -2 to 16, such as 7.5 (or off)");
        limit.emplace(ph);
    } else if (option == "--alarm-delay") {
        const std::optional<uint64_t> seconds = ParseWholeOption(value, kAlarmDelayMaxS);
        if (!seconds)
            return std::string("whole seconds from 0 to 3600");
        options.delayS = static_cast<int32_t>(*seconds);
    } else if (option == "--hysteresis") {
        const std::optional<double> ph = ParseDecimalOption(value, decimalSeparator);
        if (!ph || !InRange(*ph, 0, kAlarmHysteresisMax))
            return std::string("pH from 0 to 1, such as 0.05");
        options.hysteresis = ph;
    } else if (option == "--on-alarm") {
        if (value.empty())
            return std::string("a command is needed");
        options.onAlarm = value;
    }
    return std::nullopt;
}

AlarmSettingsChoice ResolveAlarmSettings(const AlarmCliOptions& options, const AlarmSettings& fromFile)
{
    AlarmSettingsChoice choice;
    AlarmSettings& s = choice.settings;
    s = fromFile;
    if (options.high)
        s.high = *options.high;
    if (options.low)
        s.low = *options.low;
    if (options.delayS)
        s.delayS = *options.delayS;
    if (options.hysteresis)
        s.hysteresis = *options.hysteresis;
    if (const std::optional<std::string> problem = AlarmSettingsProblem(s, '.')) {
        choice.error = *problem;
        // Say where the clash comes from when one side is the file's.
        if (s.high && s.low && !(options.high && options.low))
            *choice.error += " (the other limit is in the settings file; --high off or --low off drops it)";
    }
    return choice;
}

MeterAlarmChoice ChooseMeterAlarmSettings(const AlarmCliOptions& options, const std::string& iniPath,
                                          char decimalSeparator, const std::string& serial)
{
    const AlarmSettingsLoad file = LoadAlarmSettings(iniPath, decimalSeparator, serial);
    MeterAlarmChoice result;
    result.choice = ResolveAlarmSettings(options, file.settings);
    result.sectionProblem = file.meterProblem;
    return result;
}

}  // namespace tirevo
