// The alarm options of the polling commands: --high, --low, --alarm-delay,
// --hysteresis and --on-alarm. A command takes them all by declaring
// AlarmOptionList(); its parser hands each value to ApplyAlarmOption().
#pragma once

#include "AlarmSettings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

struct AlarmCliOptions {
    // Set when given; a limit given as "off" is an empty inner value.
    std::optional<std::optional<double>> high;
    std::optional<std::optional<double>> low;
    std::optional<int32_t> delayS;
    std::optional<double> hysteresis;
    std::optional<std::string> onAlarm;  // the command run on each event
};

// One alarm option as help shows it: its name, what it takes and one line
// with its range and default.
struct AlarmOptionHelp {
    std::string_view name;
    std::string_view value;
    std::string_view help;
};

const std::vector<AlarmOptionHelp>& AlarmOptionList();

// Records one alarm option; a fraction is taken with a point or with
// decimalSeparator. Returns what the option takes when the value is not
// usable ("pH from -2 to 16, such as 7.5 (or off)").
std::optional<std::string> ApplyAlarmOption(std::string_view option, const std::string& value,
                                            char decimalSeparator, AlarmCliOptions& options);

// The file's settings with the options laid over them; the reason when the
// result cannot be used (such as a high limit not above the low one).
struct AlarmSettingsChoice {
    AlarmSettings settings;
    std::optional<std::string> error;
};
AlarmSettingsChoice ResolveAlarmSettings(const AlarmCliOptions& options, const AlarmSettings& fromFile);

// One meter's settings: the file's [Alarm] with the meter's own [Alarm SERIAL]
// over it, key by key, and the options over both, for every meter alike.
struct MeterAlarmChoice {
    AlarmSettingsChoice choice;
    // The lines about the meter's own section that cannot be used, each
    // naming it; [Alarm]'s own lines are left to be said once for the run.
    std::optional<std::string> sectionProblem;
};
MeterAlarmChoice ChooseMeterAlarmSettings(const AlarmCliOptions& options, const std::string& iniPath,
                                          char decimalSeparator, const std::string& serial);

}  // namespace tirevo
