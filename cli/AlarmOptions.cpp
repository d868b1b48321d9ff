#include "AlarmOptions.h"

#include "NumberText.h"

#include <charconv>

namespace tirevo {

namespace {

// "." as scripts write it, or "," as typed in a comma locale; there are no
// thousands separators to confuse them with.
std::optional<double> ParsePh(const std::string& text)
{
    for (const char separator : {'.', ','}) {
        const NumberTextResult number = ParseLocaleNumberText(text, separator);
        if (number.status == NumberTextStatus::Ok)
            return number.value;
    }
    return std::nullopt;
}

bool InRange(double value, double min, double max) { return value >= min && value <= max; }

}  // namespace

const std::set<std::string_view>& AlarmOptionNames()
{
    static const std::set<std::string_view> names = {"--high", "--low", "--alarm-delay", "--hysteresis",
                                                     "--on-alarm"};
    return names;
}

std::set<std::string_view> WithAlarmOptions(std::set<std::string_view> options)
{
    options.insert(AlarmOptionNames().begin(), AlarmOptionNames().end());
    return options;
}

std::optional<std::string> ApplyAlarmOption(std::string_view option, const std::string& value,
                                            AlarmCliOptions& options)
{
    if (option == "--high" || option == "--low") {
        std::optional<std::optional<double>>& limit = option == "--high" ? options.high : options.low;
        if (value == "off") {
            limit.emplace(std::nullopt);
            return std::nullopt;
        }
        const std::optional<double> ph = ParsePh(value);
        if (!ph || !InRange(*ph, kAlarmLimitMin, kAlarmLimitMax))
            return std::string("pH from -2 to 16, such as 7.5 (or off)");
        limit.emplace(ph);
    } else if (option == "--alarm-delay") {
        int32_t seconds = -1;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (value.empty() || ec != std::errc() || end != value.data() + value.size() ||
            !InRange(seconds, 0, kAlarmDelayMaxS))
            return std::string("whole seconds from 0 to 3600");
        options.delayS = seconds;
    } else if (option == "--hysteresis") {
        const std::optional<double> ph = ParsePh(value);
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

std::string AlarmUsageText()
{
    return "                       [--high PH|off] [--low PH|off] [--alarm-delay SECONDS]\n"
           "                       [--hysteresis PH] [--on-alarm COMMAND]\n";
}

}  // namespace tirevo
