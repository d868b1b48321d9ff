#include "AlarmSettingsFile.h"

#include "IniFile.h"
#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace tirevo {

namespace {

constexpr const char* kSection = "Alarm";

// Whatever the C library's locale: the separator is the one asked for.
std::string Fixed2(double value, char decimalSeparator)
{
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    std::string out(text, ec == std::errc() ? end : text);
    for (char& c : out)
        if (c == '.')
            c = decimalSeparator;
    return out;
}

bool InRange(double value, double min, double max)
{
    return std::isfinite(value) && value >= min && value <= max;
}

class Reader {
public:
    Reader(const IniFile& ini, char decimalSeparator) : ini_(ini), decimal_(decimalSeparator) {}

    std::optional<double> Float(std::string_view key)
    {
        const std::optional<std::string> text = ini_.ReadString(kSection, key);
        if (!text || text->empty())
            return std::nullopt;
        const NumberTextResult number = ParseLocaleNumberText(*text, decimal_);
        switch (number.status) {
        case NumberTextStatus::Ok:
            return number.value;
        case NumberTextStatus::NotANumber:
            Note(key, InvalidFloatText(*text));
            break;
        case NumberTextStatus::Overflow:
            Note(key, kFloatingPointOverflow);
            break;
        }
        return std::nullopt;
    }

    std::optional<int32_t> Integer(std::string_view key)
    {
        const std::optional<std::string> text = ini_.ReadString(kSection, key);
        if (!text || text->empty())
            return std::nullopt;
        const std::optional<int32_t> number = ParseIntegerText(*text);
        if (!number)
            Note(key, InvalidIntegerText(*text));
        return number;
    }

    void Note(std::string_view key, const std::string& what)
    {
        std::string line = problem_ ? "\n[" : "[";
        line.append(kSection).append("] ").append(key).append(": ").append(what);
        problem_ = problem_.value_or(std::string()) + line;
    }

    std::optional<std::string> Problem() const { return problem_; }

private:
    const IniFile& ini_;
    char decimal_;
    std::optional<std::string> problem_;
};

}  // namespace

std::optional<std::string> AlarmSettingsProblem(const AlarmSettings& settings, char decimalSeparator)
{
    const std::string range = " must be from " + Fixed2(kAlarmLimitMin, decimalSeparator) + " to " +
        Fixed2(kAlarmLimitMax, decimalSeparator);
    if (settings.high && !InRange(*settings.high, kAlarmLimitMin, kAlarmLimitMax))
        return "High" + range;
    if (settings.low && !InRange(*settings.low, kAlarmLimitMin, kAlarmLimitMax))
        return "Low" + range;
    if (settings.delayS < 0 || settings.delayS > kAlarmDelayMaxS)
        return "Delay must be from 0 to " + std::to_string(kAlarmDelayMaxS) + " seconds";
    if (!InRange(settings.hysteresis, 0, kAlarmHysteresisMax))
        return "Hysteresis must be from " + Fixed2(0, decimalSeparator) + " to " +
            Fixed2(kAlarmHysteresisMax, decimalSeparator);
    // Compared as shown, in hundredths.
    if (settings.high && settings.low && std::round(*settings.high * 100) <= std::round(*settings.low * 100))
        return "High must be above Low";
    return std::nullopt;
}

AlarmSettingsLoad LoadAlarmSettings(const std::string& iniPath, char decimalSeparator)
{
    AlarmSettingsLoad result;
    AlarmSettings& s = result.settings;
    IniFile ini;
    if (!ini.Load(iniPath))
        ini = IniFile();
    Reader read(ini, decimalSeparator);
    // Each key is checked alone, so one bad value leaves the others in force.
    auto check = [&](std::string_view key, AlarmSettings candidate, auto apply) {
        if (const std::optional<std::string> problem = AlarmSettingsProblem(candidate, decimalSeparator))
            read.Note(key, *problem);
        else
            apply(candidate);
    };
    if (const std::optional<double> high = read.Float("High")) {
        AlarmSettings candidate;
        candidate.high = high;
        check("High", candidate, [&](const AlarmSettings& c) { s.high = c.high; });
    }
    if (const std::optional<double> low = read.Float("Low")) {
        AlarmSettings candidate;
        candidate.low = low;
        check("Low", candidate, [&](const AlarmSettings& c) { s.low = c.low; });
    }
    if (const std::optional<int32_t> delay = read.Integer("Delay")) {
        AlarmSettings candidate;
        candidate.delayS = *delay;
        check("Delay", candidate, [&](const AlarmSettings& c) { s.delayS = c.delayS; });
    }
    if (const std::optional<double> hysteresis = read.Float("Hysteresis")) {
        AlarmSettings candidate;
        candidate.hysteresis = *hysteresis;
        check("Hysteresis", candidate, [&](const AlarmSettings& c) { s.hysteresis = c.hysteresis; });
    }
    // Limits the wrong way round would keep both alarms raised: neither is
    // used until the file is mended.
    if (AlarmSettingsProblem(s, decimalSeparator)) {
        read.Note("High", *AlarmSettingsProblem(s, decimalSeparator));
        s.high.reset();
        s.low.reset();
    }
    result.problem = read.Problem();
    return result;
}

std::optional<std::string> SaveAlarmSettings(const std::string& iniPath, const AlarmSettings& settings,
                                             char decimalSeparator)
{
    const std::string error = "Unable to write to " + iniPath;
    IniFile ini;
    if (!ini.Load(iniPath))
        return error;
    auto number = [&](const std::optional<double>& value) {
        return value ? NumberDisplayText(*value, decimalSeparator) : std::string();
    };
    ini.WriteString(kSection, "High", number(settings.high));
    ini.WriteString(kSection, "Low", number(settings.low));
    ini.WriteString(kSection, "Delay", std::to_string(settings.delayS));
    ini.WriteString(kSection, "Hysteresis", number(settings.hysteresis));
    if (!ini.Save(iniPath))
        return error;
    return std::nullopt;
}

}  // namespace tirevo
