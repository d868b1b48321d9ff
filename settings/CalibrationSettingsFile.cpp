#include "CalibrationSettings.h"

#include "IniFile.h"
#include "NumberText.h"

#include <cmath>
#include <string_view>

namespace tirevo {

namespace {

constexpr const char* kSection = "Calibration";
constexpr double kHundredths = 100.0;

}  // namespace

CalibrationSettingsLoad LoadCalibrationSettings(const std::string& iniPath, char decimalSeparator)
{
    CalibrationSettingsLoad result;
    IniFile ini;
    if (!ini.Load(iniPath))
        return result;
    auto note = [&](std::string_view key, const std::string& what) {
        std::string line = result.problem ? *result.problem + "\n[" : "[";
        line.append(kSection).append("] ").append(key).append(": ").append(what);
        result.problem = line;
    };
    auto text = [&](std::string_view key) { return ini.ReadString(kSection, key).value_or(std::string()); };
    auto integer = [&](std::string_view key, int32_t min, int32_t max, const char* unit, int32_t& out) {
        const std::string value = text(key);
        if (value.empty())
            return;
        const std::optional<int32_t> number = ParseIntegerText(value);
        if (!number)
            note(key, InvalidIntegerText(value));
        else if (*number < min || *number > max)
            note(key,
                 value + " is out of range (" + std::to_string(min) + " to " + std::to_string(max) + " " +
                     unit + ")");
        else
            out = *number;
    };

    integer("AsLeftWait", 1, kAsLeftWaitMaxS, "seconds", result.settings.asLeftWaitS);
    const std::string tolerance = text("Tolerance");
    if (!tolerance.empty()) {
        const NumberTextResult number = ParseLocaleNumberText(tolerance, decimalSeparator);
        if (number.status == NumberTextStatus::NotANumber)
            note("Tolerance", InvalidFloatText(tolerance));
        else if (number.status == NumberTextStatus::Overflow)
            note("Tolerance", kFloatingPointOverflow);
        else if (!(number.value >= 0 && number.value <= kToleranceMaxHundredths / kHundredths))
            note("Tolerance", tolerance + " is out of range (0 to 1 pH)");
        else
            result.settings.toleranceHundredths =
                static_cast<int32_t>(std::llround(number.value * kHundredths));
    }
    integer("DueHours", 0, kDueHoursMax, "hours", result.settings.dueHours);
    return result;
}

}  // namespace tirevo
