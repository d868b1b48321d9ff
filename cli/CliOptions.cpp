#include "CliOptions.h"

#include "CliCompletion.h"
#include "CliHelpFormatter.h"
#include "LocaleSeparators.h"
#include "ReportTime.h"
#include "SampleRecord.h"
#include "StabilityRule.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <span>

namespace tirevo {

namespace {

constexpr const char* kProgram = "tirevo-cli";
// The hidden command that prints the bash completion script; the build
// writes the installed script with it.
constexpr const char* kCompletionCommand = "__bash-completion";
constexpr double kHundredths = 100.0;
// Some 9 GB of spool per meter: more is a typing error, not a plan.
constexpr uint64_t kSpoolMaxLimit = 100000000;

using Words = std::span<const std::string>;
// What the option takes, when its value cannot be used.
using Refusal = std::optional<std::string>;
using Apply = std::function<Refusal(Words words, char decimalSeparator, CliOptions& options)>;

// One option, declared once for every command that takes it.
struct OptionDecl {
    std::string name;   // "--serial"; an argument without dashes ("URL")
    std::string value;  // what it takes as help shows it ("S", "text|csv|json"); empty for a flag
    std::string help;   // one line: what it does, its range and its default
    Apply apply;
    int words = 1;             // --point takes the point and the calibration value
    std::string missing = {};  // the reason when its value is left out
    bool echo = true;          // a refused value is repeated in the reason
};

// An option in a command's declaration.
struct OptionUse {
    std::string name;
    std::string help = {};  // instead of the option's own
    bool required = false;
};

struct Exclusion {
    std::string option;
    std::string other;
    std::string why;
};

struct CommandSpec {
    std::string name;
    CliCommand command;
    std::string help;
    std::vector<OptionUse> options;  // in the order help lists them
    std::vector<Exclusion> excludes = {};
    std::vector<std::pair<std::string, std::string>> needs = {};  // the first needs the second
};

Refusal SetText(std::optional<std::string>& field, const std::string& value, const char* needed)
{
    if (value.empty())
        return std::string(needed);
    field = value;
    return std::nullopt;
}

// A flag's effect; it never refuses.
Apply Flag(bool CliOptions::*field)
{
    return [field](Words, char, CliOptions& o) -> Refusal {
        o.*field = true;
        return std::nullopt;
    };
}

Apply Seconds(std::optional<int64_t> CliOptions::*field, bool zeroAllowed, const char* takes)
{
    return [field, zeroAllowed, takes](Words w, char decimal, CliOptions& o) -> Refusal {
        const std::optional<int64_t> ms = ParseSecondsOption(w[0], decimal);
        if (!ms || (*ms == 0 && !zeroAllowed))
            return std::string(takes);
        o.*field = *ms;
        return std::nullopt;
    };
}

std::vector<OptionDecl> OptionList()
{
    std::vector<OptionDecl> list = {
        {"--serial", "S",
         "the meter with this serial number, as list prints it (default: the only meter attached)",
         [](Words w, char, CliOptions& o) { return SetText(o.serial, w[0], "a serial number is needed"); }},
        {"--all", "", "every attached meter, each on its own connection; --count is per meter",
         Flag(&CliOptions::all)},
        {"--interval", "MS",
         "polls every MS milliseconds, a whole number from 1 to 4294967295 (default: the settings file's, "
         "else "
         "1000)",
         [](Words w, char, CliOptions& o) -> Refusal {
             const auto ms = ParseWholeOption(w[0], std::numeric_limits<uint32_t>::max());
             if (!ms || *ms == 0)
                 return "milliseconds, a whole number from 1 to 4294967295";
             o.intervalMs = static_cast<uint32_t>(*ms);
             return std::nullopt;
         }},
        {"--count", "N", "ends after N readings, a whole number from 1 up (default: no end)",
         [](Words w, char, CliOptions& o) -> Refusal {
             const auto n = ParseWholeOption(w[0], std::numeric_limits<uint64_t>::max());
             if (!n || *n == 0)
                 return "a whole number from 1 up";
             o.count = *n;
             return std::nullopt;
         }},
        {"--duration", "SECONDS", "ends after SECONDS, more than 0, such as 90 or 0.5 (default: no end)",
         Seconds(&CliOptions::durationMs, false, "seconds, more than 0 (such as 90 or 0.5)")},
        {"--give-up", "SECONDS",
         "ends with exit status 4 when a lost meter is not back within SECONDS, 0 or more (default: never)",
         Seconds(&CliOptions::giveUpMs, true, "seconds, 0 or more (such as 60 or 2.5)")},
        {"--format", "text|csv|json", "the form of the output (default: text)",
         [](Words w, char, CliOptions& o) -> Refusal {
             static const std::map<std::string, OutputFormat> formats = {
                 {"text", OutputFormat::Text}, {"csv", OutputFormat::Csv}, {"json", OutputFormat::Json}};
             const auto found = formats.find(w[0]);
             if (found == formats.end())
                 return "text, csv or json";
             o.format = found->second;
             return std::nullopt;
         }},
        {"--stable-window", "SECONDS",
         "the stability window, whole seconds from 1 to 600 (default: the settings file's, else 10)",
         [](Words w, char, CliOptions& o) -> Refusal {
             const auto seconds = ParseWholeOption(w[0], StabilityParams::kMaxWindowS);
             if (!seconds || *seconds < StabilityParams::kMinWindowS)
                 return "whole seconds from 1 to 600";
             o.stableWindowS = static_cast<int>(*seconds);
             return std::nullopt;
         }},
        {"--stable-band", "PH",
         "the stability band, pH from 0.01 to 1 (default: the settings file's, else 0.02)",
         [](Words w, char decimal, CliOptions& o) -> Refusal {
             const std::optional<int> hundredths = ParseBandOption(w[0], decimal);
             if (!hundredths)
                 return "pH from 0.01 to 1 (such as 0.02)";
             o.stableBandHundredths = *hundredths;
             return std::nullopt;
         }},
        {"--dir", "DIR", "the folder of the log file (default: the current folder)",
         [](Words w, char, CliOptions& o) { return SetText(o.dir, w[0], "a folder is needed"); }},
        {"--separator", "CHAR|#CODE",
         "between the columns of the log file: one character, or # and its code, #9 is TAB (default: the "
         "settings file's)",
         [](Words w, char, CliOptions& o) -> Refusal {
             const std::optional<char> separator = ParseSeparatorOption(w[0]);
             if (!separator)
                 return "one character, or # and its code (#9 is TAB)";
             // A line end as a column separator would cut every row in two
             // for any reader.
             if (*separator == '\n' || *separator == '\r')
                 return "a line end cannot separate the columns of a row";
             o.separator = separator;
             return std::nullopt;
         }},
        {"--no-timestamp", "", "log rows hold the reading alone", Flag(&CliOptions::noTimestamp)},
        {"--mqtt", "URL", "publishes too, to the broker at URL: mqtt://host[:port] or mqtts://host[:port]",
         [](Words w, char, CliOptions& o) -> Refusal {
             o.mqtt.url = w[0];
             return std::nullopt;
         }},
        {"URL", "", "the broker's URL (mqtt://host[:port] or mqtts://host[:port])",
         [](Words w, char, CliOptions& o) -> Refusal {
             o.mqtt.url = w[0];
             return std::nullopt;
         }},
        {"--topic", "PREFIX", "the first part of every topic (default: tirevo)",
         [](Words w, char, CliOptions& o) -> Refusal {
             o.mqtt.topic = w[0];
             return std::nullopt;
         }},
        {"--ha-discovery", "", "announces the meter to Home Assistant",
         [](Words, char, CliOptions& o) -> Refusal {
             o.mqtt.haDiscovery = true;
             return std::nullopt;
         }},
        {"--client-id", "ID", "the MQTT client id (default: tirevo-HOST-SERIAL)",
         [](Words w, char, CliOptions& o) {
             return SetText(o.mqtt.clientId, w[0], "a client id is needed");
         }},
        {"--username", "USER", "the user name of the broker's login",
         [](Words w, char, CliOptions& o) {
             return SetText(o.mqtt.username, w[0], "a user name is needed");
         }},
        {"--password-file", "FILE", "the login's password: the first line of FILE",
         [](Words w, char, CliOptions& o) { return SetText(o.mqtt.passwordFile, w[0], "a file is needed"); }},
        {"--cafile", "FILE", "the certificate authority of an mqtts:// broker (default: the system's)",
         [](Words w, char, CliOptions& o) { return SetText(o.mqtt.caFile, w[0], "a file is needed"); }},
        {"--spool-max", "N",
         "the most readings kept on disk for the broker per meter, the oldest go first, a whole number "
         "from 1 to 100000000 (default: 1000000)",
         [](Words w, char, CliOptions& o) -> Refusal {
             const auto n = ParseWholeOption(w[0], kSpoolMaxLimit);
             if (!n || *n == 0)
                 return "a whole number from 1 to 100000000";
             o.mqtt.spoolMax = *n;
             return std::nullopt;
         }},
        {"--no-spool", "", "keeps the readings for the broker in memory only, none on disk",
         [](Words, char, CliOptions& o) -> Refusal {
             o.mqtt.noSpool = true;
             return std::nullopt;
         }},
        {"--sample",
         "NAME",
         "the sample's name in the record, without a line break (default: empty)",
         [](Words w, char, CliOptions& o) -> Refusal {
             if (SampleNameRefusal(w[0]))
                 return "a sample name cannot contain a line break";
             o.sample = w[0];
             return std::nullopt;
         },
         1,
         {},
         false},
        {"--timeout", "SECONDS", "the longest wait for a stable reading, more than 0 (default: 120)",
         Seconds(&CliOptions::timeoutMs, false, "seconds, more than 0 (such as 120 or 2.5)")},
        {"--now", "", "takes the first reading, stable or not", Flag(&CliOptions::now)},
        {"--records", "DIR",
         "the folder of samples.csv and calibrations.csv, which must exist (default: the window's)",
         [](Words w, char, CliOptions& o) { return SetText(o.records, w[0], "a folder is needed"); }},
        {"--no-record", "", "records nothing, only prints", Flag(&CliOptions::noRecord)},
        {"--out", "FILE.pdf", "the report to write",
         [](Words w, char, CliOptions& o) { return SetText(o.out, w[0], "a file is needed"); }},
        {"--logs", "DIR", "the folder of the log files (default: the current folder)",
         [](Words w, char, CliOptions& o) { return SetText(o.logs, w[0], "a folder is needed"); }},
        {"--from", "TIME",
         "the period's first moment, local: 2026-12-01 or 2026-12-01T08:00[:00] (default: the first data)",
         [](Words w, char, CliOptions& o) -> Refusal {
             o.fromUtcMs = ReportTimeUtcMs(w[0], PeriodEnd::From);
             if (!o.fromUtcMs)
                 return "a local date or date and time, such as 2026-12-01 or 2026-12-01T08:00";
             return std::nullopt;
         }},
        {"--to", "TIME",
         "the period's last moment, local; a date alone takes in that whole day (default: the last data)",
         [](Words w, char, CliOptions& o) -> Refusal {
             o.toUtcMs = ReportTimeUtcMs(w[0], PeriodEnd::To);
             if (!o.toUtcMs)
                 return "a local date or date and time, such as 2026-12-08 or 2026-12-08T17:30";
             return std::nullopt;
         }},
        {"--point", "1|2 VALUE",
         "the point and the buffer's pH, with a point or the locale's decimal separator, such as 1 4.01",
         [](Words w, char, CliOptions& o) -> Refusal {
             if (w[0] != "1" && w[0] != "2")
                 return "1 or 2";
             o.point = w[0][0] - '0';
             // As typed: the calibration command judges it, so that "-0.05"
             // is refused as a negative value.
             o.value = w[1];
             return std::nullopt;
         },
         2, "--point needs a point (1 or 2) and a value"},
        {"--tolerance", "PH",
         "how far the as-left may lie from the buffer and pass, pH from 0 to 1 (default: the settings "
         "file's, "
         "else 0.05)",
         [](Words w, char decimal, CliOptions& o) -> Refusal {
             const std::optional<double> ph = ParseDecimalOption(w[0], decimal);
             if (!ph || !(*ph >= 0 && *ph <= 1.0))
                 return "pH from 0 to 1 (such as 0.05)";
             o.toleranceHundredths = static_cast<int>(std::lround(*ph * kHundredths));
             return std::nullopt;
         }},
    };
    for (const AlarmOptionHelp& alarm : AlarmOptionList()) {
        const std::string name(alarm.name);
        list.push_back({name, std::string(alarm.value), std::string(alarm.help),
                        [name](Words w, char decimal, CliOptions& o) {
                            return ApplyAlarmOption(name, w[0], decimal, o.alarm);
                        }});
    }
    return list;
}

const std::map<std::string, OptionDecl>& Options()
{
    static const std::map<std::string, OptionDecl> options = [] {
        std::map<std::string, OptionDecl> byName;
        for (OptionDecl& decl : OptionList())
            byName.emplace(decl.name, std::move(decl));
        return byName;
    }();
    return options;
}

std::vector<OptionUse> WithAlarm(std::vector<OptionUse> options)
{
    for (const AlarmOptionHelp& alarm : AlarmOptionList())
        options.push_back({std::string(alarm.name)});
    return options;
}

std::vector<OptionUse> Joined(std::vector<OptionUse> options, const std::vector<OptionUse>& more)
{
    options.insert(options.end(), more.begin(), more.end());
    return options;
}

const std::vector<OptionUse> kBroker = {{"--topic"},     {"--ha-discovery"},  {"--client-id"},
                                        {"--username"},  {"--password-file"}, {"--cafile"},
                                        {"--spool-max"}, {"--no-spool"}};
const Exclusion kSpoolMaxNotNoSpool{"--spool-max", "--no-spool", "--no-spool keeps nothing on disk"};
const Exclusion kAllNotSerial{"--all", "--serial", "--all takes every meter"};
// A run with a meter records its events in the records folder's trail.
const OptionUse kEventsRecords{
    "--records",
    "the folder of audit.jsonl, which gets the meter's and the alarms' events; it must exist "
    "(default: the window's)"};
const OptionUse kEventsNoRecord{"--no-record", "records no events"};
const OptionUse kLogRecords{"--records",
                            "the folder of audit.jsonl, which gets the meter's, the alarms' and the log's "
                            "events; it must exist (default: the window's)"};
const OptionUse kLogNoRecord{"--no-record", "records no events, only writes the log"};

const std::vector<CommandSpec>& Commands()
{
    static const std::vector<CommandSpec> commands = {
        {"list",
         CliCommand::List,
         "Prints the attached meters, one a line: serial number, TAB, USB description.",
         {{"--all", "converters that are not meters too, marked (not a meter)"}}},
        {"read",
         CliCommand::Read,
         "Prints each reading as it arrives.",
         WithAlarm({{"--serial"},
                    {"--all"},
                    {"--interval"},
                    {"--count"},
                    {"--duration"},
                    {"--format"},
                    {"--give-up"},
                    {"--stable-window"},
                    {"--stable-band"},
                    kEventsRecords,
                    kEventsNoRecord}),
         {kAllNotSerial}},
        {"log",
         CliCommand::Log,
         "Writes the readings to a new log file, as the window does.",
         Joined(WithAlarm({{"--serial"},
                           {"--all"},
                           {"--interval"},
                           {"--count"},
                           {"--duration"},
                           {"--dir"},
                           {"--separator"},
                           {"--no-timestamp"},
                           {"--give-up"},
                           kLogRecords,
                           kLogNoRecord}),
                Joined(Joined({{"--mqtt"}}, kBroker),
                       {{"--stable-window",
                         "the stability window of the published stable, whole seconds from 1 to "
                         "600 (default: the settings file's, else 10)"},
                        {"--stable-band",
                         "the stability band of the published stable, pH from 0.01 to 1 "
                         "(default: the settings file's, else 0.02)"}})),
         {kAllNotSerial, kSpoolMaxNotNoSpool},
         {{"--topic", "--mqtt"},
          {"--ha-discovery", "--mqtt"},
          {"--client-id", "--mqtt"},
          {"--username", "--mqtt"},
          {"--password-file", "--mqtt"},
          {"--cafile", "--mqtt"},
          {"--spool-max", "--mqtt"},
          {"--no-spool", "--mqtt"},
          {"--stable-window", "--mqtt"},
          {"--stable-band", "--mqtt"},
          {"--password-file", "--username"}}},
        {"publish",
         CliCommand::Publish,
         "Publishes each reading to the MQTT broker at URL.",
         Joined(WithAlarm({{"URL", {}, true},
                           {"--serial"},
                           {"--all"},
                           {"--interval"},
                           {"--count"},
                           {"--duration"},
                           {"--give-up"},
                           {"--stable-window"},
                           {"--stable-band"},
                           kEventsRecords,
                           kEventsNoRecord}),
                kBroker),
         {kAllNotSerial, kSpoolMaxNotNoSpool},
         {{"--password-file", "--username"}}},
        {"calibrate",
         CliCommand::Calibrate,
         "Sends a calibration point between a stable as-found and as-left reading, and records it.",
         {{"--point", {}, true},
          {"--serial"},
          {"--now", "sends at once without reading, and records the point with result unknown"},
          {"--timeout",
           "the longest wait for the as-found, and again for the as-left, more than 0 (default: the settings "
           "file's AsLeftWait, else 120)"},
          {"--interval"},
          {"--stable-window"},
          {"--stable-band"},
          {"--tolerance"},
          {"--records"},
          {"--no-record"}},
         {{"--now", "--timeout", "--now sends at once, without waiting"}}},
        {"calibrations",
         CliCommand::Calibrations,
         "Prints the calibration records.",
         {{"--serial", "only this meter's rows"},
          {"--format",
           "an aligned table, the file's rows as they are, or a JSON object a row (default: text)"},
          {"--records"}}},
        {"verify",
         CliCommand::Verify,
         "Checks the records folder against its audit trail: every line of audit.jsonl, every row of "
         "samples.csv and calibrations.csv, and every closed log file that is still there.",
         {{"--records", "the records folder to check (default: the window's)"}}},
        {"measure", CliCommand::Measure,
         "Waits for a stable reading, prints it and records it as a sample in samples.csv.",
         WithAlarm({{"--serial"},
                    {"--sample"},
                    {"--timeout"},
                    {"--now"},
                    {"--format"},
                    {"--records"},
                    {"--no-record"},
                    {"--interval"},
                    {"--stable-window"},
                    {"--stable-band"}})},
        {"report",
         CliCommand::Report,
         "Writes a PDF report of the readings, samples, calibrations and alarms of a period.",
         {{"--out", {}, true},
          {"--from"},
          {"--to"},
          {"--serial", "only this meter's logs and records (default: every meter's)"},
          {"--records", "the folder of samples.csv and calibrations.csv (default: the window's)"},
          {"--logs"}}},
    };
    return commands;
}

// What CLI11 gathers while it goes through the line: the options, and the
// first refusal of each kind, judged once the whole line has been read.
struct ParseState {
    // The separator a fraction may take besides the point: given, or the
    // user's locale's, read when the first option's value is (not for
    // --version or --help, which need no locale at all).
    std::optional<char> decimal;
    char Decimal()
    {
        if (!decimal)
            decimal = ReadLocaleSeparators().decimal;
        return *decimal;
    }
    CliOptions options;
    std::optional<std::string> missingValue;
    std::optional<std::string> refusal;
};

// What stands where a value belongs but is an option: "--serial --help" is
// a serial number left out, not a request for help. A lone "-", "--" or a
// negative number is still a value.
bool LooksLikeOption(const std::string& word)
{
    if (word == "-h")
        return true;
    return word.size() > 2 && word.rfind("--", 0) == 0 &&
        ((word[2] >= 'a' && word[2] <= 'z') || (word[2] >= 'A' && word[2] <= 'Z'));
}

bool IsFlag(const OptionDecl& decl) { return decl.value.empty() && decl.name.rfind("--", 0) == 0; }

std::string MissingValue(const OptionDecl& decl)
{
    return decl.missing.empty() ? decl.name + " needs a value" : decl.missing;
}

void Refuse(ParseState& state, std::string reason)
{
    if (!state.refusal)
        state.refusal = std::move(reason);
}

// Every word given to the option, in order; the last one given wins.
CLI::callback_t Callback(const OptionDecl& decl, ParseState& state)
{
    return [&decl, &state](const CLI::results_t& results) {
        if (IsFlag(decl)) {
            // CLI11 hands a flag "true", or the text after "=".
            for (const std::string& result : results) {
                if (result != "true")
                    Refuse(state, decl.name + " takes no value");
                else
                    decl.apply({}, state.Decimal(), state.options);
            }
            return true;
        }
        const std::size_t words = static_cast<std::size_t>(decl.words);
        for (std::size_t i = 0; i + words <= results.size(); i += words) {
            const Words given(results.data() + i, words);
            if (std::any_of(given.begin(), given.end(), LooksLikeOption)) {
                if (!state.missingValue)
                    state.missingValue = MissingValue(decl);
                return true;
            }
            if (const Refusal takes = decl.apply(given, state.Decimal(), state.options)) {
                Refuse(state,
                       "invalid " + decl.name + (decl.echo ? " '" + given[0] + "'" : std::string()) + ": " +
                           *takes);
            }
        }
        return true;
    };
}

// The commands to declare: every one (nullopt), or only the one named
// (none for an empty name). A line names its command before any option of
// it, so the first word that is a command's name is the command CLI11 would
// take; the others' options are never built. Only the completion script
// needs them all.
using CommandFilter = std::optional<std::string>;

CommandFilter TypedCommand(const std::vector<std::string>& args)
{
    for (const std::string& word : args) {
        if (word == kCompletionCommand)
            return std::nullopt;
        for (const CommandSpec& command : Commands())
            if (command.name == word)
                return word;
    }
    return std::string();
}

std::unique_ptr<CLI::App> Declare(ParseState& state, const CommandFilter& only = std::nullopt)
{
    auto app = std::make_unique<CLI::App>("Reads, logs and calibrates a USB pH meter.", kProgram);
    app->formatter(std::make_shared<CliHelpFormatter>());
    app->set_help_flag("-h,--help", "prints this help and exits");
    static const std::string kVersionHelp = "prints the version and exits";
    app->add_flag("--version", kVersionHelp);
    // Words nobody takes are named by tirevo-cli's own messages below.
    app->allow_extras();
    app->require_subcommand(0, 1);
    for (const CommandSpec& command : Commands()) {
        if (only && command.name != *only)
            continue;
        CLI::App* sub = app->add_subcommand(command.name, command.help);
        for (const OptionUse& use : command.options) {
            const OptionDecl& decl = Options().at(use.name);
            CLI::Option* option =
                sub->add_option(decl.name, Callback(decl, state), use.help.empty() ? decl.help : use.help);
            if (!decl.value.empty())
                option->type_name(decl.value);
            if (IsFlag(decl))
                option->expected(0);
            else
                option->type_size(decl.words);
            option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
            option->required(use.required);
        }
        for (const Exclusion& exclusion : command.excludes)
            sub->get_option(exclusion.option)->excludes(sub->get_option(exclusion.other));
        for (const auto& [option, needed] : command.needs)
            sub->get_option(option)->needs(sub->get_option(needed));
    }
    app->add_subcommand(kCompletionCommand, "prints the bash completion script")->group("");
    return app;
}

const CommandSpec* CommandNamed(const std::string& name)
{
    for (const CommandSpec& command : Commands())
        if (command.name == name)
            return &command;
    return nullptr;
}

// The option whose value ran out at the end of the line: the last one that
// takes as many words as are left after it.
std::string EndedWithoutValue(const std::vector<std::string>& args)
{
    for (std::size_t left = 0; left < args.size(); ++left) {
        const std::string& word = args[args.size() - 1 - left];
        const auto found = Options().find(word.substr(0, word.find('=')));
        if (found != Options().end() && word.rfind("--", 0) == 0 &&
            static_cast<int>(left) < found->second.words)
            return MissingValue(found->second);
    }
    return "a value is missing at the end";
}

// The rule that ties options together and is broken, in CLI11's order:
// required options, options that exclude each other, options that need another.
std::string BrokenRule(const CLI::App& sub, const CommandSpec& command)
{
    const auto given = [&sub](const std::string& name) { return sub.get_option(name)->count() > 0; };
    for (const OptionUse& use : command.options) {
        if (use.required && !given(use.name)) {
            const OptionDecl& decl = Options().at(use.name);
            return command.name + " needs " +
                (decl.name.rfind("--", 0) == 0 ? decl.name + " " + decl.value : decl.help);
        }
    }
    for (const Exclusion& exclusion : command.excludes)
        if (given(exclusion.option) && given(exclusion.other))
            return exclusion.option + " and " + exclusion.other + " cannot go together: " + exclusion.why;
    for (const auto& [option, needed] : command.needs) {
        if (given(option) && !given(needed)) {
            const std::string& value = Options().at(needed).value;
            return option + " needs " + needed + (value.empty() ? "" : " " + value);
        }
    }
    return std::string();
}

// "--dir=" is an empty folder, as typed; CLI11 would take the next word for
// it instead.
std::vector<std::string> ReversedWords(const std::vector<std::string>& args)
{
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        const std::size_t eq = arg.find('=');
        const auto found = Options().find(arg.substr(0, eq));
        if (arg.rfind("--", 0) == 0 && eq == arg.size() - 1 && found != Options().end() &&
            !found->second.value.empty()) {
            words.push_back(arg.substr(0, eq));
            words.emplace_back();
        } else {
            words.push_back(arg);
        }
    }
    // CLI11 takes the words from the back.
    std::reverse(words.begin(), words.end());
    return words;
}

std::string Wrapped(const std::vector<std::string>& tokens, std::size_t indent, std::size_t width)
{
    std::string out;
    std::size_t column = indent;
    for (const std::string& token : tokens) {
        if (column > indent && column + 1 + token.size() > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += token;
        column += token.size();
    }
    return out;
}

std::size_t CommandColumn()
{
    std::size_t longest = 0;
    for (const CommandSpec& command : Commands())
        longest = std::max(longest, command.name.size());
    return longest;
}

CliParseResult Fail(std::string reason)
{
    CliParseResult result;
    result.error = std::move(reason);
    return result;
}

CliParseResult Print(std::string text)
{
    CliParseResult result;
    result.options.command = CliCommand::Help;
    result.text = std::move(text);
    return result;
}

std::string TopHelp()
{
    std::string text = UsageText() + "\nCommands:\n";
    for (const CommandSpec& command : Commands())
        text += "  " + command.name + std::string(CommandColumn() + 2 - command.name.size(), ' ') +
            command.help + "\n";
    text += "\nA fraction takes a point or the locale's decimal separator (0.05, or 0,05 where that is the\n"
            "locale's). Exit status 2: the command line cannot be run.\n";
    return text;
}

CliParseResult Parse(const std::vector<std::string>& args, std::optional<char> decimalSeparator)
{
    ParseState state;
    state.decimal = decimalSeparator;
    const std::unique_ptr<CLI::App> app = Declare(state, TypedCommand(args));
    std::vector<std::string> words = ReversedWords(args);
    bool help = false;
    std::optional<std::string> parseError;
    try {
        app->parse(words);
    } catch (const CLI::CallForHelp&) {
        help = true;
    } catch (const CLI::ArgumentMismatch&) {
        // CLI11 takes an option's words whatever they look like; it only
        // runs out of them at the end of the line.
        return Fail(EndedWithoutValue(args));
    } catch (const CLI::ParseError& error) {
        parseError = error.what();
    }
    const std::vector<CLI::App*> chosen = app->get_subcommands();
    const CLI::App* sub = chosen.empty() ? nullptr : chosen.front();
    if (state.missingValue)
        return Fail(*state.missingValue);
    if (help)
        return Print(sub ? sub->help(kProgram) : TopHelp());
    if (app->get_option("--version")->count() > 0) {
        if (args.size() > 1)
            return Fail("--version takes nothing else");
        CliParseResult version;
        version.options.command = CliCommand::Version;
        return version;
    }
    if (const std::vector<std::string> before = app->remaining(); !before.empty()) {
        const std::string& word = before.front();
        if (word.size() > 1 && word[0] == '-')
            return Fail("unknown option '" + word.substr(0, word.find('=')) + "'" +
                        (sub ? " (options go after the command)" : ""));
        return Fail(sub ? "unexpected argument '" + word + "'" : "unknown command '" + word + "'");
    }
    if (!sub)
        return Fail("no command given");
    if (sub->get_name() == kCompletionCommand)
        return Print(BashCompletionScript(*app));
    if (const std::vector<std::string> extra = sub->remaining(); !extra.empty()) {
        const std::string& word = extra.front();
        if (word.size() > 1 && word[0] == '-')
            return Fail("unknown option '" + word.substr(0, word.find('=')) + "' for " + sub->get_name());
        return Fail("unexpected argument '" + word + "'");
    }
    if (state.refusal)
        return Fail(*state.refusal);
    const CommandSpec* command = CommandNamed(sub->get_name());
    if (parseError) {
        const std::string broken = BrokenRule(*sub, *command);
        return Fail(broken.empty() ? *parseError : broken);
    }
    CliParseResult result;
    result.options = std::move(state.options);
    result.options.command = command->command;
    return result;
}

}  // namespace

CliParseResult ParseCliOptions(const std::vector<std::string>& args, char decimalSeparator)
{
    return Parse(args, decimalSeparator);
}

CliParseResult ParseCliOptions(const std::vector<std::string>& args) { return Parse(args, std::nullopt); }

std::string UsageText()
{
    ParseState unused;
    const std::unique_ptr<CLI::App> app = Declare(unused);
    const std::size_t indent = std::string("  tirevo-cli ").size() + CommandColumn() + 1;
    std::string text = "Usage:\n";
    for (const CommandSpec& command : Commands()) {
        std::string head = "  " + std::string(kProgram) + " " + command.name;
        head.resize(std::max(head.size(), indent - 1), ' ');
        text += head + " " +
            Wrapped(CliHelpFormatter::Synopsis(*app->get_subcommand(command.name)), indent,
                    CliHelpFormatter::kWidth) +
            "\n";
    }
    text += "  " + std::string(kProgram) + " --help | --version\n";
    text += "  " + std::string(kProgram) +
        " COMMAND --help   (each option of COMMAND, its value, range and default)\n";
    return text;
}

}  // namespace tirevo
