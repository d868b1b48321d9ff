// What a read or log run uses: the options given, else the settings file the
// window reads, else the window's defaults. The file is only ever read here.
#pragma once

#include "CliOptions.h"
#include "SettingsFile.h"
#include "SettingsLocation.h"
#include "StabilityRule.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

// The settings file for a tirevo-cli at cliProgramPath: the window's file,
// tirevo.INI, where the window beside it keeps it (beside the programs, or
// the user's own when that is where the window writes); a copy of tirevo-cli
// elsewhere reads the file beside the copy. An installed copy reads the
// user's own file, or the shared defaults while there is none. Nothing is
// created.
std::string CliSettingsFile(const std::string& cliProgramPath,
                            SettingsRule rule = SettingsRule::BesideProgram);

struct RunSettings {
    uint32_t intervalMs = 1000;
    bool useTimeStamp = true;
    char separator = '\t';
    StabilityParams stability;
    // A line for stderr when the file has a value the window would report.
    std::optional<std::string> warning;
    // Set when the file holds a value the run cannot go on with (and no
    // option replaces it): the line for stderr, and the run ends with exit 2
    // before any meter is opened.
    std::optional<std::string> refusal;
};

RunSettings ResolveRunSettings(const CliOptions& options, const SettingsLoadResult& loaded,
                               const std::string& iniPath);

// The stability rule of a run: the options, else the file's [Stability],
// else the defaults. A value of the file that cannot be used gives a line
// for stderr, as the window reports it, and its default.
StabilityParams ResolveStability(const CliOptions& options, const StabilityLoadResult& loaded,
                                 const std::string& iniPath, std::optional<std::string>& warning);

// The poll interval handed to the run's stability rule, and what follows
// when the window is too short to hold two readings at it: measure and
// calibrate, which wait for a stable reading, cannot run (the line for
// stderr, exit 2); read, log and publish go on with no reading stable, and
// say so once. With --now nothing waits for stability, and nothing is said.
struct StabilityIntervalCheck {
    std::optional<std::string> refusal;
    std::optional<std::string> note;
};
StabilityIntervalCheck ApplyPollInterval(const CliOptions& options, uint32_t intervalMs,
                                         StabilityParams& stability);

// Where measure and calibrate record their rows, and every run with a meter
// its events: --records DIR as it is (it must exist), else the folder the
// window uses; nothing with --no-record. Unset, nothing is recorded.
struct RecordsChoice {
    bool record = false;
    std::string folder;
    bool createFolder = false;
    std::string program;  // who records, for the audit trail: "tirevo-cli 1.4.0"
};
RecordsChoice ChooseCliRecords(const CliOptions& options, const std::string& cliProgramPath,
                               SettingsRule rule = SettingsRule::BesideProgram);

// The running program's own file, for the settings beside it.
std::string OwnProgramPath();

}  // namespace tirevo
