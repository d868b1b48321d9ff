// The command line of tirevo-cli: which command, and the options given for it.
// Parsing only records what was typed; defaults from the settings file are
// merged in later (RunSettings), so an option always wins over the file.
#pragma once

#include "AlarmOptions.h"
#include "OptionNumbers.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tirevo {

enum class CliCommand {
    Help,
    Version,
    List,
    Read,
    Log,
    Calibrate,
    Measure,
    Publish,
    Calibrations,
    Verify,
    Report
};

enum class OutputFormat { Text, Csv, Json };

// The broker to publish to (publish URL, log --mqtt URL), as typed; the URL
// and the files are checked before the meter is opened.
struct MqttOptions {
    std::optional<std::string> url;
    std::optional<std::string> topic;
    bool haDiscovery = false;
    std::optional<std::string> clientId;
    std::optional<std::string> username;
    std::optional<std::string> passwordFile;
    std::optional<std::string> caFile;
    // The most readings each meter's spool keeps for the broker (nothing:
    // the default); noSpool: the readings wait in memory only.
    std::optional<uint64_t> spoolMax;
    bool noSpool = false;
};

struct CliOptions {
    CliCommand command = CliCommand::Help;
    bool all = false;  // list: other converters too
    std::optional<std::string> serial;
    std::optional<uint32_t> intervalMs;
    std::optional<uint64_t> count;
    std::optional<int64_t> durationMs;
    std::optional<int64_t> giveUpMs;
    OutputFormat format = OutputFormat::Text;
    std::optional<std::string> dir;
    std::optional<char> separator;
    bool noTimestamp = false;
    // The stability rule, over the settings file's [Stability].
    std::optional<int> stableWindowS;
    std::optional<int> stableBandHundredths;
    // measure
    std::string sample;
    std::optional<int64_t> timeoutMs;
    bool now = false;
    std::optional<std::string> records;  // the records folder
    bool noRecord = false;
    int point = 0;                           // calibrate: 1 or 2
    std::optional<int> toleranceHundredths;  // calibrate, over [Calibration] Tolerance=
    std::string value;                       // calibrate: the value as typed
    AlarmCliOptions alarm;                   // read, log, measure, publish
    MqttOptions mqtt;                        // publish, log --mqtt
    // report: the PDF, the folder of the logs, the period's ends (UTC ms,
    // both included)
    std::optional<std::string> out;
    std::optional<std::string> logs;
    std::optional<int64_t> fromUtcMs;
    std::optional<int64_t> toUtcMs;
};

struct CliParseResult {
    CliOptions options;
    // Set when the command line cannot be run: the one-line reason.
    std::optional<std::string> error;
    // With CliCommand::Help: what to print (the help asked for, or the bash
    // completion script), and nothing else is done.
    std::string text;
};

// args are the arguments after the program name. A fraction is taken with a
// point or with decimalSeparator.
CliParseResult ParseCliOptions(const std::vector<std::string>& args, char decimalSeparator);
// With the decimal separator of the user's locale.
CliParseResult ParseCliOptions(const std::vector<std::string>& args);

// The usage shown after a usage error: a line for each command with its
// options, "Usage:" above them.
std::string UsageText();

}  // namespace tirevo
