#include "CliOptions.h"

#include "NumberText.h"
#include "SampleRecord.h"
#include "StabilityRule.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string_view>

namespace tirevo {

namespace {

// Longer runs than this many seconds are not a meaningful request; the limit
// keeps the millisecond arithmetic far from overflow.
constexpr int kMaxSecondsDigits = 9;
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kCharacterCodes = 256;

struct CommandInfo {
    CliCommand command;
    std::set<std::string_view> options;
};

const std::map<std::string_view, CommandInfo>& Commands()
{
    static const std::map<std::string_view, CommandInfo> commands = {
        {"list", {CliCommand::List, {"--all"}}},
        {"read",
         {CliCommand::Read,
          WithAlarmOptions({"--serial", "--all", "--interval", "--count", "--duration", "--format",
                            "--give-up", "--stable-window", "--stable-band"})}},
        {"log",
         {CliCommand::Log,
          WithAlarmOptions({"--serial", "--all", "--interval", "--count", "--duration", "--dir",
                            "--separator", "--no-timestamp", "--give-up", "--mqtt", "--topic",
                            "--ha-discovery", "--client-id", "--username", "--password-file", "--cafile"})}},
        {"publish",
         {CliCommand::Publish,
          WithAlarmOptions({"--serial", "--interval", "--count", "--duration", "--give-up", "--stable-window",
                            "--stable-band", "--topic", "--ha-discovery", "--client-id", "--username",
                            "--password-file", "--cafile", "--all"})}},
        {"calibrate",
         {CliCommand::Calibrate,
          {"--serial", "--point", "--now", "--timeout", "--interval", "--stable-window", "--stable-band",
           "--tolerance", "--records", "--no-record"}}},
        {"calibrations", {CliCommand::Calibrations, {"--serial", "--format", "--records"}}},
        {"measure",
         {CliCommand::Measure,
          WithAlarmOptions({"--serial", "--sample", "--timeout", "--now", "--format", "--records",
                            "--no-record", "--interval", "--stable-window", "--stable-band"})}},
    };
    return commands;
}

bool TakesValue(std::string_view option)
{
    return option != "--all" && option != "--no-timestamp" && option != "--now" && option != "--no-record" &&
        option != "--ha-discovery";
}

// Options that only mean something with a broker.
bool BrokerOption(std::string_view option)
{
    return option == "--topic" || option == "--ha-discovery" || option == "--client-id" ||
        option == "--username" || option == "--password-file" || option == "--cafile";
}

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

// What stands where a value belongs but is an option: "--serial --help"
// is a serial number left out, not a request for help. A lone "-", "--" or
// a negative number is still a value.
bool LooksLikeOption(std::string_view arg)
{
    if (arg == "-h")
        return true;
    return arg.size() > 2 && arg.substr(0, 2) == "--" &&
        ((arg[2] >= 'a' && arg[2] <= 'z') || (arg[2] >= 'A' && arg[2] <= 'Z'));
}

// Bytes that end a row in a log file: as a column separator they would cut
// every row in two for any reader.
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// Decimal digits only, within max; no sign, no blanks.
std::optional<uint64_t> ParseWhole(std::string_view text, uint64_t max)
{
    if (text.empty())
        return std::nullopt;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    CliParseResult Run()
    {
        if (args_.empty())
            return Fail("no command given");
        if (IsHelp(args_[0]))
            return Done(CliCommand::Help);
        const auto found = Commands().find(args_[0]);
        if (found == Commands().end()) {
            // Without a command there is no knowing which options take
            // values; a help asked for anywhere is given.
            for (const std::string& arg : args_)
                if (IsHelp(arg))
                    return Done(CliCommand::Help);
            if (args_[0] == "--version") {
                if (args_.size() > 1)
                    return Fail("--version takes nothing else");
                return Done(CliCommand::Version);
            }
            return Fail("unknown command '" + args_[0] + "'");
        }
        result_.options.command = found->second.command;
        // The first refusal is kept while the rest is looked through: a help
        // asked for later in the line still wins over an invalid value.
        std::optional<std::string> refusal;
        for (std::size_t i = 1; i < args_.size(); ++i) {
            std::string option = args_[i];
            if (IsHelp(option))
                return Done(CliCommand::Help);
            std::optional<std::string> value;
            if (const std::size_t eq = option.find('=');
                option.rfind("--", 0) == 0 && eq != std::string::npos) {
                value = option.substr(eq + 1);
                option.resize(eq);
            }
            // publish URL: the one argument that is no option.
            if (result_.options.command == CliCommand::Publish && option.rfind("-", 0) != 0 &&
                !result_.options.mqtt.url) {
                result_.options.mqtt.url = option;
                continue;
            }
            if (!found->second.options.count(option)) {
                if (!refusal)
                    refusal = option.rfind("-", 0) == 0 ? "unknown option '" + option + "' for " + args_[0]
                                                        : "unexpected argument '" + option + "'";
                continue;
            }
            if (TakesValue(option) && !value) {
                if (i + 1 >= args_.size() || LooksLikeOption(args_[i + 1]))
                    return Fail(option + " needs a value");
                value = args_[++i];
            } else if (!TakesValue(option) && value) {
                if (!refusal)
                    refusal = option + " takes no value";
                continue;
            }
            if (option == "--point") {
                // The calibration value follows the point number and is taken
                // as it stands, so that "-0.05" is refused as a negative value
                // rather than read as an option.
                if (i + 1 >= args_.size() || LooksLikeOption(args_[i + 1]))
                    return Fail("--point needs a point (1 or 2) and a value");
                result_.options.value = args_[++i];
            }
            if (!Apply(option, value.value_or(std::string())) && !refusal)
                refusal = result_.error;
            result_.error.reset();
        }
        if (refusal)
            return Fail(*refusal);
        if (result_.options.command == CliCommand::Calibrate && result_.options.point == 0)
            return Fail("calibrate needs --point 1|2 VALUE");
        const CliOptions& o = result_.options;
        if (o.all && o.serial && o.command != CliCommand::List)
            return Fail("--all and --serial cannot go together: --all takes every meter");
        if (o.command == CliCommand::Publish) {
            if (!o.mqtt.url)
                return Fail("publish needs the broker's URL (mqtt://host[:port] or mqtts://host[:port])");
        }
        if (o.command == CliCommand::Log && !o.mqtt.url) {
            for (std::size_t i = 1; i < args_.size(); ++i)
                if (BrokerOption(args_[i].substr(0, args_[i].find('='))))
                    return Fail(args_[i].substr(0, args_[i].find('=')) + " needs --mqtt URL");
        }
        if (o.mqtt.passwordFile && !o.mqtt.username)
            return Fail("--password-file needs --username");
        return result_;
    }

private:
    CliParseResult Done(CliCommand command)
    {
        result_.options.command = command;
        return result_;
    }

    CliParseResult Fail(std::string reason)
    {
        result_.error = std::move(reason);
        return result_;
    }

    bool Invalid(const std::string& option, const std::string& value, std::string_view expected)
    {
        result_.error = "invalid " + option + " '" + value + "': " + std::string(expected);
        return false;
    }

    bool Apply(const std::string& option, const std::string& value)
    {
        CliOptions& o = result_.options;
        if (AlarmOptionNames().count(option)) {
            if (const std::optional<std::string> reason = ApplyAlarmOption(option, value, o.alarm))
                return Invalid(option, value, *reason);
        } else if (option == "--all") {
            o.all = true;
        } else if (option == "--no-timestamp") {
            o.noTimestamp = true;
        } else if (option == "--now") {
            o.now = true;
        } else if (option == "--no-record") {
            o.noRecord = true;
        } else if (option == "--records") {
            if (value.empty())
                return Invalid(option, value, "a folder is needed");
            o.records = value;
        } else if (option == "--sample") {
            // Not echoed: the reason stays one line.
            if (SampleNameRefusal(value)) {
                result_.error = "invalid --sample: a sample name cannot contain a line break";
                return false;
            }
            o.sample = value;
        } else if (option == "--timeout") {
            const auto ms = ParseSecondsOption(value);
            if (!ms || *ms == 0)
                return Invalid(option, value, "seconds, more than 0 (such as 120 or 2.5)");
            o.timeoutMs = *ms;
        } else if (option == "--stable-window") {
            const auto seconds = ParseWhole(value, StabilityParams::kMaxWindowS);
            if (!seconds || *seconds < StabilityParams::kMinWindowS)
                return Invalid(option, value, "whole seconds from 1 to 600");
            o.stableWindowS = static_cast<int>(*seconds);
        } else if (option == "--tolerance") {
            const NumberTextResult number = ParseLocaleNumberText(value, '.');
            if (number.status != NumberTextStatus::Ok || !(number.value >= 0 && number.value <= 1.0))
                return Invalid(option, value, "pH from 0 to 1 (such as 0.05)");
            o.toleranceHundredths = static_cast<int>(std::lround(number.value * 100.0));
        } else if (option == "--stable-band") {
            const std::optional<int> hundredths = ParseBandOption(value);
            if (!hundredths)
                return Invalid(option, value, "pH from 0.01 to 1 (such as 0.02)");
            o.stableBandHundredths = *hundredths;
        } else if (option == "--serial") {
            if (value.empty())
                return Invalid(option, value, "a serial number is needed");
            o.serial = value;
        } else if (option == "--interval") {
            const auto ms = ParseWhole(value, std::numeric_limits<uint32_t>::max());
            if (!ms || *ms == 0)
                return Invalid(option, value, "milliseconds, a whole number from 1 to 4294967295");
            o.intervalMs = static_cast<uint32_t>(*ms);
        } else if (option == "--count") {
            const auto n = ParseWhole(value, std::numeric_limits<uint64_t>::max());
            if (!n || *n == 0)
                return Invalid(option, value, "a whole number from 1 up");
            o.count = *n;
        } else if (option == "--duration") {
            const auto ms = ParseSecondsOption(value);
            if (!ms || *ms == 0)
                return Invalid(option, value, "seconds, more than 0 (such as 90 or 0.5)");
            o.durationMs = *ms;
        } else if (option == "--give-up") {
            const auto ms = ParseSecondsOption(value);
            if (!ms)
                return Invalid(option, value, "seconds, 0 or more (such as 60 or 2.5)");
            o.giveUpMs = *ms;
        } else if (option == "--format") {
            if (value == "text")
                o.format = OutputFormat::Text;
            else if (value == "csv")
                o.format = OutputFormat::Csv;
            else if (value == "json")
                o.format = OutputFormat::Json;
            else
                return Invalid(option, value, "text, csv or json");
        } else if (option == "--dir") {
            if (value.empty())
                return Invalid(option, value, "a folder is needed");
            o.dir = value;
        } else if (option == "--separator") {
            o.separator = ParseSeparatorOption(value);
            if (!o.separator)
                return Invalid(option, value, "one character, or # and its code (#9 is TAB)");
            if (IsLineEnd(*o.separator))
                return Invalid(option, value, "a line end cannot separate the columns of a row");
        } else if (option == "--mqtt") {
            o.mqtt.url = value;
        } else if (option == "--topic") {
            o.mqtt.topic = value;
        } else if (option == "--ha-discovery") {
            o.mqtt.haDiscovery = true;
        } else if (option == "--client-id") {
            if (value.empty())
                return Invalid(option, value, "a client id is needed");
            o.mqtt.clientId = value;
        } else if (option == "--username") {
            if (value.empty())
                return Invalid(option, value, "a user name is needed");
            o.mqtt.username = value;
        } else if (option == "--password-file") {
            if (value.empty())
                return Invalid(option, value, "a file is needed");
            o.mqtt.passwordFile = value;
        } else if (option == "--cafile") {
            if (value.empty())
                return Invalid(option, value, "a file is needed");
            o.mqtt.caFile = value;
        } else if (option == "--point") {
            if (value != "1" && value != "2")
                return Invalid(option, value, "1 or 2");
            o.point = value[0] - '0';
        }
        return true;
    }

    const std::vector<std::string>& args_;
    CliParseResult result_;
};

}  // namespace

CliParseResult ParseCliOptions(const std::vector<std::string>& args) { return Parser(args).Run(); }

std::optional<char> ParseSeparatorOption(const std::string& text)
{
    // A lone "#" is a code left out, as in the settings file.
    if (text.size() == 1 && text[0] != '#')
        return text[0];
    if (text.size() < 2 || text[0] != '#')
        return std::nullopt;
    const std::optional<int32_t> code = ParseIntegerText(std::string_view(text).substr(1));
    if (!code)
        return std::nullopt;
    // The settings file takes the code modulo 256; so does the option.
    const int byte = ((*code % kCharacterCodes) + kCharacterCodes) % kCharacterCodes;
    return static_cast<char>(static_cast<unsigned char>(byte));
}

std::optional<int> ParseBandOption(const std::string& text)
{
    constexpr double kHundredths = 100.0;
    const NumberTextResult number = ParseLocaleNumberText(text, '.');
    // The same range and rounding as the settings file's Band=.
    if (number.status != NumberTextStatus::Ok || !(number.value >= 0.01 && number.value <= 1.0))
        return std::nullopt;
    return static_cast<int>(std::lround(number.value * kHundredths));
}

std::optional<int64_t> ParseSecondsOption(const std::string& text)
{
    const std::size_t point = text.find('.');
    const std::string_view whole = std::string_view(text).substr(0, point);
    const std::string_view fraction =
        point == std::string::npos ? std::string_view() : std::string_view(text).substr(point + 1);
    if (whole.size() > kMaxSecondsDigits || (whole.empty() && fraction.empty()))
        return std::nullopt;
    const auto digitsOnly = [](std::string_view digits) {
        for (char c : digits)
            if (c < '0' || c > '9')
                return false;
        return true;
    };
    if (!digitsOnly(whole) || !digitsOnly(fraction))
        return std::nullopt;
    int64_t ms = 0;
    for (char c : whole)
        ms = ms * 10 + (c - '0');
    ms *= kMillisecondsPerSecond;
    // Milliseconds are the finest the session's clock knows; further digits
    // are cut, but a non-zero request never becomes zero.
    int scale = kMillisecondsPerSecond / 10;
    bool nonZeroCut = false;
    for (char c : fraction) {
        if (scale > 0)
            ms += (c - '0') * scale;
        else if (c != '0')
            nonZeroCut = true;
        scale /= 10;
    }
    if (ms == 0 && nonZeroCut)
        ms = 1;
    return ms;
}

std::string UsageText()
{
    return "Usage:\n"
           "  tirevo-cli list [--all]\n"
           "  tirevo-cli read      [--serial S | --all] [--interval MS] [--count N] [--duration SECONDS]\n"
           "                       [--format text|csv|json] [--give-up SECONDS]\n"
           "                       [--stable-window S] [--stable-band PH]\n" +
        AlarmUsageText() +
        "  tirevo-cli log       [--serial S | --all] [--interval MS] [--count N] [--duration SECONDS]\n"
        "                       [--dir DIR] [--separator CHAR|#CODE] [--no-timestamp]\n"
        "                       [--give-up SECONDS] [--mqtt URL BROKER-OPTIONS]\n" +
        AlarmUsageText() +
        "  tirevo-cli publish URL [--serial S | --all] [--interval MS] [--count N] [--duration SECONDS]\n"
        "                       [--give-up SECONDS] [--stable-window S] [--stable-band PH]\n"
        "                       BROKER-OPTIONS\n" +
        AlarmUsageText() +
        "  tirevo-cli calibrate --point 1|2 VALUE [--serial S] [--now] [--timeout SECONDS]\n"
        "                       [--interval MS] [--stable-window S] [--stable-band PH]\n"
        "                       [--tolerance PH] [--records DIR] [--no-record]\n"
        "  tirevo-cli calibrations [--serial S] [--format text|csv|json] [--records DIR]\n"
        "  tirevo-cli measure   [--serial S] [--sample NAME] [--timeout SECONDS] [--now]\n"
        "                       [--format text|csv|json] [--records DIR] [--no-record]\n"
        "                       [--interval MS] [--stable-window S] [--stable-band PH]\n" +
        AlarmUsageText() +
        "  tirevo-cli --help | --version\n"
        "--all: every attached meter, each with its own log file; --count is per meter.\n"
        "URL is mqtt://host[:port] or mqtts://host[:port]; BROKER-OPTIONS are\n"
        "  [--topic PREFIX] [--ha-discovery] [--client-id ID]\n"
        "  [--username U --password-file FILE] [--cafile FILE]\n";
}

}  // namespace tirevo
