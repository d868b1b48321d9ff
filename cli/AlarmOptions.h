// The alarm options of the polling commands: --high, --low, --alarm-delay,
// --hysteresis and --on-alarm. A command takes them all by adding
// AlarmOptionNames() to its options; its parser hands each one to
// ApplyAlarmOption().
#pragma once

#include "AlarmSettings.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tirevo {

struct AlarmCliOptions {
    // Set when given; a limit given as "off" is an empty inner value.
    std::optional<std::optional<double>> high;
    std::optional<std::optional<double>> low;
    std::optional<int32_t> delayS;
    std::optional<double> hysteresis;
    std::optional<std::string> onAlarm;  // the command run on each event
};

const std::set<std::string_view>& AlarmOptionNames();

// The options' names added to a command's.
std::set<std::string_view> WithAlarmOptions(std::set<std::string_view> options);

// Records one alarm option. Returns the reason when the value is not usable
// ("pH, such as 7.5 (or off)").
std::optional<std::string> ApplyAlarmOption(std::string_view option, const std::string& value,
                                            AlarmCliOptions& options);

// The file's settings with the options laid over them; the reason when the
// result cannot be used (such as a high limit not above the low one).
struct AlarmSettingsChoice {
    AlarmSettings settings;
    std::optional<std::string> error;
};
AlarmSettingsChoice ResolveAlarmSettings(const AlarmCliOptions& options, const AlarmSettings& fromFile);

// The lines of the usage text for these options.
std::string AlarmUsageText();

}  // namespace tirevo
