// The alarm limits in the settings file: High=, Low=, Delay=, Hysteresis=,
// in [Alarm] for every meter and in a meter's own [Alarm SERIAL] over it.
// An empty or missing key means off (the limits) or the default.
//
// SERIAL is the meter's serial number exactly as the meter reports it, after
// one space: "[Alarm FT1A2B3C]". Section names are matched without regard to
// ASCII case, like every name in the file. A serial that cannot be written as
// a section name (empty, a byte outside printable ASCII, a "]", or a blank at
// either end, which the file's reading would drop) gives the meter no section
// of its own: [Alarm] alone holds for it.
#pragma once

#include "AlarmSettings.h"

#include <optional>
#include <string>
#include <vector>

namespace tirevo {

struct AlarmSettingsLoad {
    AlarmSettings settings;
    // What could not be used, a line per key, each naming its section: such a
    // key stays off or at its default, and the rest is read.
    std::optional<std::string> problem;
    // The meter's own section ("Alarm SERIAL"), empty when none was asked
    // for or the serial cannot name one.
    std::string meterSection;
    // The keys that section holds, in the order High, Low, Delay, Hysteresis:
    // each of them overrides [Alarm] for this meter, empty value included
    // (an empty limit there turns that limit off for the meter).
    std::vector<std::string> meterKeys;
};

// The section holding the alarm limits of the meter with this serial
// ("Alarm SERIAL"), or nothing when the serial cannot name a section.
std::optional<std::string> MeterAlarmSection(const std::string& serial);

// [Alarm] alone.
AlarmSettingsLoad LoadAlarmSettings(const std::string& iniPath, char decimalSeparator);
// [Alarm] with the keys of [Alarm SERIAL] over it, key by key (a key the
// meter's section leaves out comes from [Alarm]); serial empty: [Alarm] alone.
AlarmSettingsLoad LoadAlarmSettings(const std::string& iniPath, char decimalSeparator,
                                    const std::string& serial);

// Writes the four keys into [Alarm], keeping every other line of the file; an
// unset limit is written empty. Returns the error text ("Unable to write to
// <path>").
std::optional<std::string> SaveAlarmSettings(const std::string& iniPath, const AlarmSettings& settings,
                                             char decimalSeparator);
// Writes the four keys into [Alarm SERIAL], keeping every other line of the file.
// Returns the error text: "Unable to write to <path>", or, for a serial that
// cannot name a section, "This meter's serial number cannot name a section in
// <path>".
std::optional<std::string> SaveMeterAlarmSettings(const std::string& iniPath, const std::string& serial,
                                                  const AlarmSettings& settings, char decimalSeparator);

}  // namespace tirevo
