// The alarm limits: a high and a low pH, either, both or none, with the delay
// before an alarm is raised and the hysteresis before it is cleared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

inline constexpr int32_t kAlarmDelayDefaultS = 5;
inline constexpr int32_t kAlarmDelayMaxS = 3600;
inline constexpr double kAlarmHysteresisDefault = 0.05;
inline constexpr double kAlarmHysteresisMax = 1.0;
// What a pH meter can show; a limit outside it could never be crossed.
inline constexpr double kAlarmLimitMin = -2.0;
inline constexpr double kAlarmLimitMax = 16.0;

struct AlarmSettings {
    std::optional<double> high;  // off when unset
    std::optional<double> low;
    int32_t delayS = kAlarmDelayDefaultS;
    double hysteresis = kAlarmHysteresisDefault;

    bool operator==(const AlarmSettings&) const = default;
};

// Why these settings cannot be used as they are, or nothing: a limit out of
// range, a delay or hysteresis out of range, or a high limit not above the
// low one. decimalSeparator is used for the numbers in the text.
std::optional<std::string> AlarmSettingsProblem(const AlarmSettings& settings, char decimalSeparator);

}  // namespace tirevo
