// Load and save of the settings file beside the program.
#pragma once

#include "Settings.h"

#include <optional>
#include <string>

namespace tirevo {

// The program file's path with its extension replaced by ".INI" (appended
// when it has none).
std::string IniPathForProgram(const std::string& programPath);

struct SettingsLoadResult {
    TSettings settings;
    // Set when loading stopped at an error the user must see: the text for
    // the error reporter. The values read before the error stay in settings,
    // the separator is then the character with code 0, and the values not yet
    // read keep their defaults.
    std::optional<std::string> error;
};

// Reads every key in order: MFTop, MFLeft, ph1, ph2, Interval, UseTimeStamp,
// Separator. A missing (or unreadable) file or key gives its default silently.
SettingsLoadResult LoadSettings(const std::string& iniPath, char decimalSeparator);

// [Stability] Window= (whole seconds, 1 to 600) and Band= (pH, 0.01 to 1,
// read as the other numbers of the file and taken to the nearest hundredth).
// Read on their own, after the other keys: a value that cannot be used is
// reported, and its default (the value passed in) stays.
struct StabilityLoadResult {
    int32_t windowS = 0;
    int32_t bandHundredths = 0;
    // One line per value that cannot be used.
    std::optional<std::string> error;
};
StabilityLoadResult LoadStabilitySettings(const std::string& iniPath, char decimalSeparator, int32_t windowS,
                                          int32_t bandHundredths);

// Writes MFTop and MFLeft into section Window, keeping every other line of the
// file. Returns the error text ("Unable to write to <path>") on failure.
std::optional<std::string> SaveWindowPosition(const std::string& iniPath, int32_t top, int32_t left);

}  // namespace tirevo
