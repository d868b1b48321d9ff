// The [Alarm] section of the settings file: High=, Low=, Delay=, Hysteresis=.
// An empty or missing key means off (the limits) or the default.
#pragma once

#include "AlarmSettings.h"

#include <optional>
#include <string>

namespace tirevo {

struct AlarmSettingsLoad {
    AlarmSettings settings;
    // What could not be used, a line per key: such a key stays off or at its
    // default, and the rest is read.
    std::optional<std::string> problem;
};

AlarmSettingsLoad LoadAlarmSettings(const std::string& iniPath, char decimalSeparator);

// Writes the four keys, keeping every other line of the file; an unset limit
// is written empty. Returns the error text ("Unable to write to <path>").
std::optional<std::string> SaveAlarmSettings(const std::string& iniPath, const AlarmSettings& settings,
                                             char decimalSeparator);

}  // namespace tirevo
