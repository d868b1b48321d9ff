#include "AlarmSettingsFile.h"

#include "IniFile.h"
#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace tirevo {

namespace {

constexpr const char* kSection = "Alarm";
// Printable ASCII, the space included: what a section name can hold.
constexpr char kFirstPrintable = 0x20;
constexpr char kLastPrintable = 0x7e;

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

    std::optional<double> Float(std::string_view section, std::string_view key)
    {
        const std::optional<std::string> text = ini_.ReadString(section, key);
        if (!text || text->empty())
            return std::nullopt;
        const NumberTextResult number = ParseLocaleNumberText(*text, decimal_);
        switch (number.status) {
        case NumberTextStatus::Ok:
            return number.value;
        case NumberTextStatus::NotANumber:
            Note(section, key, InvalidFloatText(*text));
            break;
        case NumberTextStatus::Overflow:
            Note(section, key, kFloatingPointOverflow);
            break;
        }
        return std::nullopt;
    }

    std::optional<int32_t> Integer(std::string_view section, std::string_view key)
    {
        const std::optional<std::string> text = ini_.ReadString(section, key);
        if (!text || text->empty())
            return std::nullopt;
        const std::optional<int32_t> number = ParseIntegerText(*text);
        if (!number)
            Note(section, key, InvalidIntegerText(*text));
        return number;
    }

    void Note(std::string_view section, std::string_view key, const std::string& what)
    {
        std::string line = problem_ ? "\n[" : "[";
        line.append(section).append("] ").append(key).append(": ").append(what);
        problem_ = problem_.value_or(std::string()) + line;
    }

    std::optional<std::string> Problem() const { return problem_; }

private:
    const IniFile& ini_;
    char decimal_;
    std::optional<std::string> problem_;
};

// Where each key is read from: the meter's section when it holds the key,
// else [Alarm].
struct KeySections {
    std::string high = kSection;
    std::string low = kSection;
    std::string delay = kSection;
    std::string hysteresis = kSection;
};

KeySections ChooseSections(const IniFile& ini, const std::string& meterSection,
                           std::vector<std::string>& meterKeys)
{
    KeySections sections;
    if (meterSection.empty())
        return sections;
    auto choose = [&](const char* key, std::string& section) {
        if (ini.ReadString(meterSection, key)) {
            section = meterSection;
            meterKeys.emplace_back(key);
        }
    };
    choose("High", sections.high);
    choose("Low", sections.low);
    choose("Delay", sections.delay);
    choose("Hysteresis", sections.hysteresis);
    return sections;
}

bool CanNameSection(const std::string& serial)
{
    if (serial.empty() || serial.front() == ' ' || serial.back() == ' ')
        return false;
    for (const char c : serial) {
        if (c < kFirstPrintable || c > kLastPrintable || c == ']')
            return false;
    }
    return true;
}

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

std::optional<std::string> MeterAlarmSection(const std::string& serial)
{
    if (!CanNameSection(serial))
        return std::nullopt;
    return std::string(kSection) + " " + serial;
}

AlarmSettingsLoad LoadAlarmSettings(const std::string& iniPath, char decimalSeparator)
{
    return LoadAlarmSettings(iniPath, decimalSeparator, std::string());
}

AlarmSettingsLoad LoadAlarmSettings(const std::string& iniPath, char decimalSeparator,
                                    const std::string& serial)
{
    AlarmSettingsLoad result;
    AlarmSettings& s = result.settings;
    IniFile ini;
    if (!ini.Load(iniPath))
        ini = IniFile();
    result.meterSection = MeterAlarmSection(serial).value_or(std::string());
    const KeySections from = ChooseSections(ini, result.meterSection, result.meterKeys);
    Reader read(ini, decimalSeparator);
    // Each key is checked alone, so one bad value leaves the others in force.
    auto check = [&](const std::string& section, std::string_view key, AlarmSettings candidate, auto apply) {
        if (const std::optional<std::string> problem = AlarmSettingsProblem(candidate, decimalSeparator))
            read.Note(section, key, *problem);
        else
            apply(candidate);
    };
    if (const std::optional<double> high = read.Float(from.high, "High")) {
        AlarmSettings candidate;
        candidate.high = high;
        check(from.high, "High", candidate, [&](const AlarmSettings& c) { s.high = c.high; });
    }
    if (const std::optional<double> low = read.Float(from.low, "Low")) {
        AlarmSettings candidate;
        candidate.low = low;
        check(from.low, "Low", candidate, [&](const AlarmSettings& c) { s.low = c.low; });
    }
    if (const std::optional<int32_t> delay = read.Integer(from.delay, "Delay")) {
        AlarmSettings candidate;
        candidate.delayS = *delay;
        check(from.delay, "Delay", candidate, [&](const AlarmSettings& c) { s.delayS = c.delayS; });
    }
    if (const std::optional<double> hysteresis = read.Float(from.hysteresis, "Hysteresis")) {
        AlarmSettings candidate;
        candidate.hysteresis = *hysteresis;
        check(from.hysteresis, "Hysteresis", candidate,
              [&](const AlarmSettings& c) { s.hysteresis = c.hysteresis; });
    }
    // Limits the wrong way round would keep both alarms raised: neither is
    // used until the file is mended. The meter's section is named when it
    // gave either limit, as that is where the mending is likely wanted.
    if (const std::optional<std::string> problem = AlarmSettingsProblem(s, decimalSeparator)) {
        const std::string& section = from.high != kSection ? from.high : from.low;
        read.Note(section, "High", *problem);
        s.high.reset();
        s.low.reset();
    }
    result.problem = read.Problem();
    return result;
}

namespace {

std::optional<std::string> SaveSection(const std::string& iniPath, const std::string& section,
                                       const AlarmSettings& settings, char decimalSeparator)
{
    const std::string error = "Unable to write to " + iniPath;
    IniFile ini;
    if (!ini.Load(iniPath))
        return error;
    auto number = [&](const std::optional<double>& value) {
        return value ? NumberDisplayText(*value, decimalSeparator) : std::string();
    };
    ini.WriteString(section, "High", number(settings.high));
    ini.WriteString(section, "Low", number(settings.low));
    ini.WriteString(section, "Delay", std::to_string(settings.delayS));
    ini.WriteString(section, "Hysteresis", number(settings.hysteresis));
    if (!ini.Save(iniPath))
        return error;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> SaveAlarmSettings(const std::string& iniPath, const AlarmSettings& settings,
                                             char decimalSeparator)
{
    return SaveSection(iniPath, kSection, settings, decimalSeparator);
}

std::optional<std::string> SaveMeterAlarmSettings(const std::string& iniPath, const std::string& serial,
                                                  const AlarmSettings& settings, char decimalSeparator)
{
    const std::optional<std::string> section = MeterAlarmSection(serial);
    if (!section)
        return "This meter's serial number cannot name a section in " + iniPath;
    return SaveSection(iniPath, *section, settings, decimalSeparator);
}

}  // namespace tirevo
