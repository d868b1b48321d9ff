// The calibration record's settings in [Calibration]: how long a point waits
// for its as-left reading, how far that reading may lie from the buffer, and
// after how many hours a meter is due again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

inline constexpr int32_t kAsLeftWaitDefaultS = 120;
inline constexpr int32_t kAsLeftWaitMaxS = 3600;
inline constexpr int32_t kToleranceDefaultHundredths = 5;
inline constexpr int32_t kToleranceMaxHundredths = 100;
// Ten years: more is a typing error, not an interval.
inline constexpr int32_t kDueHoursMax = 87600;

struct CalibrationSettings {
    int32_t asLeftWaitS = kAsLeftWaitDefaultS;
    int32_t toleranceHundredths = kToleranceDefaultHundredths;  // pH, as shown
    int32_t dueHours = 0;                                       // 0: no reminder
};

struct CalibrationSettingsLoad {
    CalibrationSettings settings;
    // A line per key that cannot be used; such a key keeps its default.
    std::optional<std::string> problem;
};

// AsLeftWait= (whole seconds, 1 to 3600), Tolerance= (pH, 0 to 1, read as
// the other numbers of the file and taken to the nearest hundredth) and
// DueHours= (whole hours, 0 to 87600). An empty or missing key gives its
// default. The keys are only read: a save of the window keeps them.
CalibrationSettingsLoad LoadCalibrationSettings(const std::string& iniPath, char decimalSeparator);

}  // namespace tirevo
