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

// Writes MFTop and MFLeft into section Window, keeping every other line of the
// file. Returns the error text ("Unable to write to <path>") on failure.
std::optional<std::string> SaveWindowPosition(const std::string& iniPath, int32_t top, int32_t left);

}  // namespace tirevo
