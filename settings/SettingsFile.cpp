#include "SettingsFile.h"

#include "IniFile.h"
#include "NumberText.h"

#include <cmath>
#include <string_view>
#include <utility>

namespace tirevo {

namespace {

bool IsPathSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

int32_t ReadInteger(const IniFile& ini, std::string_view section, std::string_view key, int32_t fallback)
{
    const std::optional<std::string> text = ini.ReadString(section, key);
    if (!text || text->empty())
        return fallback;
    return tirevo::ParseIntegerText(*text).value_or(fallback);
}

// A value that is not a number gives the default; only a number too large for
// a double is an error (returned as nullopt).
std::optional<double> ReadFloat(const IniFile& ini, std::string_view section, std::string_view key,
                                double fallback, char decimalSeparator)
{
    const std::optional<std::string> text = ini.ReadString(section, key);
    if (!text || text->empty())
        return fallback;
    const tirevo::NumberTextResult number = tirevo::ParseLocaleNumberText(*text, decimalSeparator);
    switch (number.status) {
    case tirevo::NumberTextStatus::Ok:
        return number.value;
    case tirevo::NumberTextStatus::NotANumber:
        return fallback;
    case tirevo::NumberTextStatus::Overflow:
        break;
    }
    return std::nullopt;
}

}  // namespace

std::string IniPathForProgram(const std::string& programPath)
{
    std::size_t nameStart = programPath.size();
    while (nameStart > 0 && !IsPathSeparator(programPath[nameStart - 1]))
        --nameStart;
    const std::size_t dot = programPath.rfind('.');
    // A dot in a folder name, or the leading dot of a hidden file's name, is
    // no extension.
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return (hasExtension ? programPath.substr(0, dot) : programPath) + ".INI";
}

// When loading stops at an error, the fields read before it keep the values
// read, the separator is the character with code 0 (what the window reports
// along with the error), and the fields after it keep their defaults.
SettingsLoadResult LoadSettings(const std::string& iniPath, char decimalSeparator)
{
    SettingsLoadResult result;
    TSettings& settings = result.settings;

    // A file that cannot be read counts as missing: every default, nothing
    // reported, as with a file that is not there.
    IniFile ini;
    if (!ini.Load(iniPath))
        ini = IniFile();

    auto stop = [&](std::string error) {
        settings.Separator = '\0';
        result.error = std::move(error);
        return result;
    };

    settings.top = ReadInteger(ini, "Window", "MFTop", settings.top);
    settings.left = ReadInteger(ini, "Window", "MFLeft", settings.left);

    const std::optional<double> ph1 = ReadFloat(ini, "Calibration", "ph1", settings.ph1, decimalSeparator);
    if (!ph1)
        return stop(tirevo::kFloatingPointOverflow);
    settings.ph1 = *ph1;
    const std::optional<double> ph2 = ReadFloat(ini, "Calibration", "ph2", settings.ph2, decimalSeparator);
    if (!ph2)
        return stop(tirevo::kFloatingPointOverflow);
    settings.ph2 = *ph2;

    // Unsigned 32 bits, as the poll timer takes it: -1 is the longest interval.
    settings.interval = static_cast<uint32_t>(
        ReadInteger(ini, "System", "Interval", static_cast<int32_t>(settings.interval)));
    settings.UseTimeStamp = ReadInteger(ini, "System", "UseTimeStamp", 1) != 0;

    const std::string separator = ini.ReadString("System", "Separator").value_or("#9");
    if (separator.empty()) {
        settings.Separator = '\t';
    } else if (separator.front() == '#') {
        const std::string_view code = std::string_view(separator).substr(1);
        const std::optional<int32_t> number = tirevo::ParseIntegerText(code);
        if (!number)
            return stop(tirevo::InvalidIntegerText(code));
        settings.Separator = static_cast<char>(static_cast<uint32_t>(*number) & 0xFFu);
    } else {
        settings.Separator = separator.front();
    }
    return result;
}

StabilityLoadResult LoadStabilitySettings(const std::string& iniPath, char decimalSeparator, int32_t windowS,
                                          int32_t bandHundredths)
{
    constexpr int32_t kMinWindowS = 1;
    constexpr int32_t kMaxWindowS = 600;
    constexpr double kMinBand = 0.01;
    constexpr double kMaxBand = 1.0;
    constexpr double kHundredths = 100.0;

    StabilityLoadResult result{windowS, bandHundredths, std::nullopt};
    IniFile ini;
    if (!ini.Load(iniPath))
        return result;
    auto report = [&](const std::string& text) {
        result.error = result.error ? *result.error + "\n" + text : text;
    };

    const std::string window = ini.ReadString("Stability", "Window").value_or(std::string());
    if (!window.empty()) {
        const std::optional<int32_t> seconds = tirevo::ParseIntegerText(window);
        if (!seconds)
            report("[Stability] Window: " + tirevo::InvalidIntegerText(window));
        else if (*seconds < kMinWindowS || *seconds > kMaxWindowS)
            report("[Stability] Window=" + window + " is out of range (1 to 600 seconds)");
        else
            result.windowS = *seconds;
    }

    const std::string band = ini.ReadString("Stability", "Band").value_or(std::string());
    if (!band.empty()) {
        const tirevo::NumberTextResult number = tirevo::ParseLocaleNumberText(band, decimalSeparator);
        // Named as every other line of this section is: a bare conversion
        // error would leave the user to guess which key it is about.
        if (number.status == tirevo::NumberTextStatus::NotANumber)
            report("[Stability] Band: " + tirevo::InvalidFloatText(band));
        else if (number.status == tirevo::NumberTextStatus::Overflow)
            report("[Stability] Band: " + std::string(tirevo::kFloatingPointOverflow));
        else if (!(number.value >= kMinBand && number.value <= kMaxBand))
            report("[Stability] Band=" + band + " is out of range (0.01 to 1 pH)");
        else
            result.bandHundredths = static_cast<int32_t>(std::llround(number.value * kHundredths));
    }
    return result;
}

std::optional<std::string> SaveWindowPosition(const std::string& iniPath, int32_t top, int32_t left)
{
    const std::string error = "Unable to write to " + iniPath;
    IniFile ini;
    // A file that exists but cannot be read is not overwritten: its other
    // lines would be lost.
    if (!ini.Load(iniPath))
        return error;
    ini.WriteString("Window", "MFTop", std::to_string(top));
    ini.WriteString("Window", "MFLeft", std::to_string(left));
    if (!ini.Save(iniPath))
        return error;
    return std::nullopt;
}

}  // namespace tirevo
