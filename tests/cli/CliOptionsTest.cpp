// The command line as typed: what is accepted, what each option becomes, and
// the reason given for what is refused.
#include "CliOptions.h"
#include "CaseName.h"
#include "SpoolFolder.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <sstream>

namespace {

using tirevo::CliCommand;
using tirevo::OutputFormat;

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        out.push_back(word);
    return out;
}

struct RefusedCase {
    const char* args;
    const char* reason;  // a part of the one-line reason
};

class RefusedOptions : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOptions, GiveTheReason)
{
    const tirevo::CliParseResult result = tirevo::ParseCliOptions(Split(GetParam().args));
    ASSERT_TRUE(result.error) << GetParam().args;
    EXPECT_NE(result.error->find(GetParam().reason), std::string::npos) << *result.error;
    EXPECT_EQ(result.error->find('\n'), std::string::npos) << "one line: " << *result.error;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, RefusedOptions,
    testing::Values(
        RefusedCase{"", "no command"}, RefusedCase{"status", "unknown command 'status'"},
        RefusedCase{"read --bogus", "unknown option '--bogus' for read"},
        RefusedCase{"list --serial QP1", "unknown option '--serial' for list"},
        RefusedCase{"read --dir /tmp", "unknown option '--dir' for read"},
        RefusedCase{"log --format csv", "unknown option '--format' for log"},
        RefusedCase{"read extra", "unexpected argument 'extra'"},
        RefusedCase{"read --count", "--count needs a value"},
        RefusedCase{"read --count 0", "invalid --count '0'"},
        RefusedCase{"read --count -3", "invalid --count '-3'"},
        RefusedCase{"read --count 3x", "invalid --count '3x'"},
        RefusedCase{"read --count 99999999999999999999", "invalid --count"},
        RefusedCase{"read --interval 0", "invalid --interval '0'"},
        RefusedCase{"read --interval 4294967296", "invalid --interval"},
        RefusedCase{"read --interval 1.5", "invalid --interval"},
        RefusedCase{"read --duration 0", "invalid --duration '0'"},
        RefusedCase{"read --duration -1", "invalid --duration"},
        RefusedCase{"read --duration 1e3", "invalid --duration"},
        RefusedCase{"read --give-up soon", "invalid --give-up 'soon'"},
        RefusedCase{"read --format xml", "invalid --format 'xml': text, csv or json"},
        RefusedCase{"read --serial=", "invalid --serial ''"},
        RefusedCase{"read --all=1", "--all takes no value"},
        RefusedCase{"measure --all", "unknown option '--all'"},
        RefusedCase{"calibrate --all --point 1 7", "unknown option '--all'"},
        RefusedCase{"publish", "publish needs the broker's URL"},
        RefusedCase{"publish mqtt://a mqtt://b", "unexpected argument 'mqtt://b'"},
        RefusedCase{"publish mqtt://a --all --serial Q", "--all and --serial cannot go together"},
        RefusedCase{"log --serial Q --all", "--all and --serial cannot go together"},
        RefusedCase{"publish mqtt://a --password-file pw", "--password-file needs --username"},
        RefusedCase{"publish mqtt://a --password secret", "unknown option '--password'"},
        RefusedCase{"publish mqtt://a --dir /tmp", "unknown option '--dir' for publish"},
        RefusedCase{"log --ha-discovery", "--ha-discovery needs --mqtt URL"},
        RefusedCase{"log --topic=lab", "--topic needs --mqtt URL"},
        RefusedCase{"log --no-spool", "--no-spool needs --mqtt URL"},
        RefusedCase{"log --spool-max 10", "--spool-max needs --mqtt URL"},
        RefusedCase{"publish mqtt://a --spool-max 0", "invalid --spool-max '0'"},
        RefusedCase{"publish mqtt://a --spool-max 100000001", "a whole number from 1 to 100000000"},
        RefusedCase{"publish mqtt://a --spool-max 10 --no-spool", "--no-spool keeps nothing on disk"},
        RefusedCase{"read --no-spool", "unknown option '--no-spool' for read"},
        RefusedCase{"read --mqtt mqtt://a", "unknown option '--mqtt' for read"},
        RefusedCase{"log --no-timestamp=1", "--no-timestamp takes no value"},
        RefusedCase{"log --separator ab", "invalid --separator 'ab'"},
        RefusedCase{"log --separator #", "invalid --separator '#'"},
        RefusedCase{"log --separator #x", "invalid --separator '#x'"},
        RefusedCase{"log --separator #10", "invalid --separator '#10': a line end"},
        RefusedCase{"log --separator #13", "invalid --separator '#13': a line end"},
        RefusedCase{"log --separator #266", "invalid --separator '#266': a line end"},
        RefusedCase{"read --serial --help", "--serial needs a value"},
        RefusedCase{"read --serial -h", "--serial needs a value"},
        RefusedCase{"read --count --interval 20", "--count needs a value"},
        RefusedCase{"calibrate --point 1 --serial QP1", "--point needs a point (1 or 2) and a value"},
        RefusedCase{"calibrate", "calibrate needs --point"},
        RefusedCase{"calibrate --point 3 7.00", "invalid --point '3': 1 or 2"},
        RefusedCase{"calibrate --point 1", "--point needs a point (1 or 2) and a value"},
        RefusedCase{"--version list", "--version takes nothing else"},
        RefusedCase{"measure --stable-window 0", "invalid --stable-window '0'"},
        RefusedCase{"measure --stable-window 601", "invalid --stable-window '601'"},
        RefusedCase{"read --stable-window 1.5", "invalid --stable-window '1.5'"},
        RefusedCase{"read --stable-band 0", "invalid --stable-band '0'"},
        RefusedCase{"measure --stable-band 0.005", "invalid --stable-band '0.005'"},
        RefusedCase{"measure --stable-band 1.01", "invalid --stable-band '1.01'"},
        RefusedCase{"measure --timeout 0", "invalid --timeout '0'"},
        RefusedCase{"measure --now=1", "--now takes no value"},
        RefusedCase{"measure --records=", "invalid --records ''"},
        RefusedCase{"log --stable-window 5", "--stable-window needs --mqtt URL"},
        RefusedCase{"log --stable-band 0.05", "--stable-band needs --mqtt URL"},
        RefusedCase{"calibrate --point 1 4.01 --now --timeout 5", "--now and --timeout cannot go together"},
        RefusedCase{"--all list", "unknown option '--all' (options go after the command)"},
        RefusedCase{"--bogus", "unknown option '--bogus'"},
        RefusedCase{"read list", "unexpected argument 'list'"},
        RefusedCase{"calibrate --point=1", "--point needs a point (1 or 2) and a value"},
        RefusedCase{"read --high", "--high needs a value"},
        RefusedCase{"read --sample S-1", "unknown option '--sample' for read"},
        RefusedCase{"calibrate --point 1 4.01 --tolerance 1.01", "invalid --tolerance '1.01'"},
        RefusedCase{"calibrate --point 1 4.01 --tolerance -0.01", "invalid --tolerance '-0.01'"},
        RefusedCase{"calibrate --point 1 4.01 --tolerance x", "invalid --tolerance 'x'"},
        RefusedCase{"measure --tolerance 0.05", "unknown option '--tolerance' for measure"},
        RefusedCase{"calibrations --now", "unknown option '--now' for calibrations"},
        RefusedCase{"calibrations --format xml", "invalid --format 'xml'"}));

// Every option that takes a fraction takes it with a point, as scripts
// write it, and with the decimal separator of the locale the test runs in
// (the suite runs again under de_DE.UTF-8); a comma is no decimal point
// where the locale's is a point.
struct NumberFormCase {
    const char* what;
    std::vector<std::string> args;  // the last word is the number, with a point
};

class NumberForms : public testing::TestWithParam<NumberFormCase> {};

// The numbers an option sets, side by side, to compare two spellings.
std::string Numbers(const tirevo::CliOptions& o)
{
    std::ostringstream out;
    out << o.durationMs.value_or(-1) << ' ' << o.giveUpMs.value_or(-1) << ' ' << o.timeoutMs.value_or(-1)
        << ' ' << o.stableBandHundredths.value_or(-1) << ' ' << o.toleranceHundredths.value_or(-1) << ' '
        << o.alarm.high.value_or(std::nullopt).value_or(-99) << ' '
        << o.alarm.low.value_or(std::nullopt).value_or(-99) << ' ' << o.alarm.hysteresis.value_or(-1);
    return out.str();
}

TEST_P(NumberForms, APointOrTheLocalesSeparator)
{
    const char decimal = QLocale::system().decimalPoint().at(0).toLatin1();
    std::vector<std::string> args = GetParam().args;
    const tirevo::CliParseResult dotted = tirevo::ParseCliOptions(args);
    ASSERT_FALSE(dotted.error) << *dotted.error;
    const std::size_t point = args.back().find('.');
    ASSERT_NE(point, std::string::npos);
    args.back()[point] = ',';
    const tirevo::CliParseResult comma = tirevo::ParseCliOptions(args);
    if (decimal == ',') {
        ASSERT_FALSE(comma.error) << *comma.error;
        EXPECT_EQ(Numbers(comma.options), Numbers(dotted.options));
    } else {
        ASSERT_TRUE(comma.error) << "a comma taken as the decimal point under a '" << decimal << "' locale";
        EXPECT_NE(comma.error->find("invalid --"), std::string::npos) << *comma.error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, NumberForms,
    testing::Values(
        NumberFormCase{"duration", {"read", "--duration", "0.5"}},
        NumberFormCase{"give_up", {"log", "--give-up", "2.5"}},
        NumberFormCase{"measure_timeout", {"measure", "--timeout", "1.5"}},
        NumberFormCase{"calibrate_timeout", {"calibrate", "--point", "1", "4.01", "--timeout", "1.5"}},
        NumberFormCase{"stable_band_measure", {"measure", "--stable-band", "0.05"}},
        NumberFormCase{"stable_band_read", {"read", "--stable-band", "0.05"}},
        NumberFormCase{"stable_band_publish", {"publish", "mqtt://b", "--stable-band", "0.05"}},
        NumberFormCase{"stable_band_log_mqtt", {"log", "--mqtt", "mqtt://b", "--stable-band", "0.05"}},
        NumberFormCase{"stable_band_calibrate", {"calibrate", "--point", "1", "4", "--stable-band", "0.05"}},
        NumberFormCase{"tolerance", {"calibrate", "--point", "1", "4", "--tolerance", "0.1"}},
        NumberFormCase{"high", {"read", "--high", "6.5"}}, NumberFormCase{"low", {"measure", "--low", "5.5"}},
        NumberFormCase{"hysteresis", {"publish", "mqtt://b", "--hysteresis", "0.1"}}),
    CaseName());

TEST(CliOptions, LogWithABrokerTakesTheStabilityRuleItPublishes)
{
    const auto result = tirevo::ParseCliOptions(
        {"log", "--mqtt", "mqtt://broker", "--stable-window", "30", "--stable-band", "0.05"}, '.');
    ASSERT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.options.stableWindowS, 30);
    EXPECT_EQ(result.options.stableBandHundredths, 5);
}

TEST(CliOptions, EachCommandsHelpIsItsOwn)
{
    for (const char* line : {"read --help", "log -h", "calibrate --count 0 --help", "publish --help"}) {
        const tirevo::CliParseResult result = tirevo::ParseCliOptions(Split(line));
        ASSERT_FALSE(result.error) << line << ": " << *result.error;
        EXPECT_EQ(result.options.command, CliCommand::Help) << line;
        std::string usage = "Usage:\n  tirevo-cli ";
        usage.append(Split(line)[0]).append(" ");
        EXPECT_EQ(result.text.rfind(usage, 0), 0u) << result.text;
    }
    const std::string measure = tirevo::ParseCliOptions({"measure", "--help"}).text;
    EXPECT_NE(measure.find("\n  --stable-band PH "), std::string::npos) << measure;
    EXPECT_NE(measure.find("pH from 0.01 to 1 (default: the settings file's, else 0.02)\n"),
              std::string::npos)
        << measure;
    const std::string top = tirevo::ParseCliOptions({"--help"}).text;
    for (const char* command :
         {"list", "read", "log", "publish", "calibrate", "calibrations", "measure", "verify"}) {
        std::string line = "\n  ";
        line.append(command).append(" ");
        EXPECT_NE(top.find(line), std::string::npos) << command << "\n" << top;
    }
    EXPECT_EQ(top.find("__"), std::string::npos) << "the completion command stays hidden";
}

TEST(CliOptions, ValuesAreTakenAsTheyStand)
{
    // No list syntax, no splitting: a name or a command is one value.
    const auto result =
        tirevo::ParseCliOptions({"measure", "--sample", "[S-1,S-2]", "--on-alarm", "[ -e x ]"}, '.');
    ASSERT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.options.sample, "[S-1,S-2]");
    EXPECT_EQ(result.options.alarm.onAlarm, "[ -e x ]");
    const auto twice = tirevo::ParseCliOptions({"read", "--count", "3", "--count", "5"}, '.');
    ASSERT_FALSE(twice.error) << *twice.error;
    EXPECT_EQ(twice.options.count, 5u) << "the last one given wins";
}

TEST(CliOptions, CalibrateAndCalibrationsOptions)
{
    const auto calibrate =
        tirevo::ParseCliOptions({"calibrate", "--point", "2", "7.00", "--tolerance", "0.1", "--timeout", "30",
                                 "--records", "/data/rec", "--no-record", "--interval", "200"});
    ASSERT_FALSE(calibrate.error) << *calibrate.error;
    EXPECT_EQ(calibrate.options.point, 2);
    EXPECT_EQ(calibrate.options.value, "7.00");
    EXPECT_EQ(calibrate.options.toleranceHundredths, 10);
    EXPECT_EQ(calibrate.options.timeoutMs, 30000);
    EXPECT_TRUE(tirevo::ParseCliOptions({"calibrate", "--now", "--point", "1", "4.01"}).options.now);
    EXPECT_TRUE(calibrate.options.noRecord);
    const auto list = tirevo::ParseCliOptions({"calibrations", "--serial", "QP1", "--format", "json"});
    ASSERT_FALSE(list.error) << *list.error;
    EXPECT_EQ(list.options.command, CliCommand::Calibrations);
    EXPECT_EQ(list.options.format, tirevo::OutputFormat::Json);
    EXPECT_EQ(list.options.serial, "QP1");
}

TEST(CliOptions, MeasureOptions)
{
    const auto result = tirevo::ParseCliOptions({"measure", "--sample", "tap, \"blue\"", "--timeout", "2.5",
                                                 "--now", "--records", "/data/rec", "--stable-window", "30",
                                                 "--stable-band", "0.05", "--format", "csv"});
    ASSERT_FALSE(result.error) << *result.error;
    const tirevo::CliOptions& o = result.options;
    EXPECT_EQ(o.command, CliCommand::Measure);
    EXPECT_EQ(o.sample, "tap, \"blue\"");
    EXPECT_EQ(o.timeoutMs, 2500);
    EXPECT_TRUE(o.now);
    EXPECT_EQ(o.records, "/data/rec");
    EXPECT_FALSE(o.noRecord);
    EXPECT_EQ(o.stableWindowS, 30);
    EXPECT_EQ(o.stableBandHundredths, 5);
    EXPECT_EQ(o.format, OutputFormat::Csv);
}

TEST(CliOptions, ASampleNameWithALineBreakIsRefused)
{
    const auto result = tirevo::ParseCliOptions({"measure", "--sample", "S-1\nS-2"});
    ASSERT_TRUE(result.error);
    EXPECT_NE(result.error->find("line break"), std::string::npos) << *result.error;
}

TEST(CliOptions, HelpWinsAnywhere)
{
    for (const char* line : {"--help", "-h", "read --count 0 --help", "log -h"}) {
        const tirevo::CliParseResult result = tirevo::ParseCliOptions(Split(line));
        EXPECT_FALSE(result.error) << line;
        EXPECT_EQ(result.options.command, CliCommand::Help) << line;
    }
}

TEST(CliOptions, ValuesThatBeginWithADashAreValues)
{
    const auto log = tirevo::ParseCliOptions({"log", "--separator", "-", "--dir", "--"});
    ASSERT_FALSE(log.error) << *log.error;
    EXPECT_EQ(log.options.separator, '-');
    EXPECT_EQ(log.options.dir, "--");
    const auto read = tirevo::ParseCliOptions({"read", "--give-up", "-1"});
    ASSERT_TRUE(read.error);
    EXPECT_NE(read.error->find("invalid --give-up '-1'"), std::string::npos) << *read.error;
}

TEST(CliOptions, ReadTakesEveryOptionInBothSpellings)
{
    const auto spaced = tirevo::ParseCliOptions(
        Split("read --serial A1B2C3 --interval 250 --count 3 --duration 1.5 --format json --give-up 60"));
    const auto joined = tirevo::ParseCliOptions(
        Split("read --serial=A1B2C3 --interval=250 --count=3 --duration=1.5 --format=json --give-up=60"));
    for (const auto& result : {spaced, joined}) {
        ASSERT_FALSE(result.error) << *result.error;
        const tirevo::CliOptions& o = result.options;
        EXPECT_EQ(o.command, CliCommand::Read);
        EXPECT_EQ(o.serial, "A1B2C3");
        EXPECT_EQ(o.intervalMs, 250u);
        EXPECT_EQ(o.count, 3u);
        EXPECT_EQ(o.durationMs, 1500);
        EXPECT_EQ(o.format, OutputFormat::Json);
        EXPECT_EQ(o.giveUpMs, 60000);
    }
}

TEST(CliOptions, NothingGivenLeavesTheSettingsFileToDecide)
{
    const auto result = tirevo::ParseCliOptions({"log"});
    ASSERT_FALSE(result.error);
    EXPECT_EQ(result.options.command, CliCommand::Log);
    EXPECT_FALSE(result.options.intervalMs);
    EXPECT_FALSE(result.options.separator);
    EXPECT_FALSE(result.options.noTimestamp);
    EXPECT_FALSE(result.options.dir);
    EXPECT_FALSE(result.options.giveUpMs) << "never give up unless asked";
}

TEST(CliOptions, LogOptions)
{
    const auto result =
        tirevo::ParseCliOptions({"log", "--dir", "/data/ph logs", "--separator", "#59", "--no-timestamp"});
    ASSERT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.options.dir, "/data/ph logs");
    EXPECT_EQ(result.options.separator, ';');
    EXPECT_TRUE(result.options.noTimestamp);
}

TEST(CliOptions, PublishTakesTheUrlAnywhereAndTheBrokerOptions)
{
    const tirevo::CliParseResult result = tirevo::ParseCliOptions(
        Split("publish --serial QP1 mqtts://broker:8884 --topic lab/ph --ha-discovery --client-id bench "
              "--username u --password-file /etc/pw --cafile /etc/ca.crt --count 5"));
    ASSERT_FALSE(result.error) << *result.error;
    const tirevo::CliOptions& o = result.options;
    EXPECT_EQ(o.command, CliCommand::Publish);
    EXPECT_EQ(o.mqtt.url, "mqtts://broker:8884");
    EXPECT_EQ(o.mqtt.topic, "lab/ph");
    EXPECT_TRUE(o.mqtt.haDiscovery);
    EXPECT_EQ(o.mqtt.clientId, "bench");
    EXPECT_EQ(o.mqtt.username, "u");
    EXPECT_EQ(o.mqtt.passwordFile, "/etc/pw");
    EXPECT_EQ(o.mqtt.caFile, "/etc/ca.crt");
    EXPECT_EQ(o.serial, "QP1");
    EXPECT_EQ(o.count, 5u);

    const tirevo::CliParseResult log =
        tirevo::ParseCliOptions(Split("log --mqtt=mqtt://broker --ha-discovery"));
    ASSERT_FALSE(log.error) << *log.error;
    EXPECT_EQ(log.options.command, CliCommand::Log);
    EXPECT_EQ(log.options.mqtt.url, "mqtt://broker");
    EXPECT_TRUE(log.options.mqtt.haDiscovery);
    EXPECT_FALSE(log.options.mqtt.spoolMax);
    EXPECT_FALSE(log.options.mqtt.noSpool);

    const tirevo::CliParseResult spool =
        tirevo::ParseCliOptions(Split("log --mqtt mqtt://broker --spool-max 100000000"));
    ASSERT_FALSE(spool.error) << *spool.error;
    EXPECT_EQ(spool.options.mqtt.spoolMax, 100000000u);
    const tirevo::CliParseResult none = tirevo::ParseCliOptions(Split("publish mqtt://broker --no-spool"));
    ASSERT_FALSE(none.error) << *none.error;
    EXPECT_TRUE(none.options.mqtt.noSpool);
}

TEST(SpoolFolder, BesideTheRecordsOrInTheUsersStateFolder)
{
    EXPECT_EQ(tirevo::RecordsSpoolFolder("/srv/lab"), "/srv/lab/spool");
    EXPECT_EQ(tirevo::RecordsSpoolFolder("/srv/lab/"), "/srv/lab/spool");
    EXPECT_EQ(tirevo::StateSpoolFolder("/var/lib", "/"), "/var/lib/tirevo/spool");
    EXPECT_EQ(tirevo::StateSpoolFolder("", "/home/ana"), "/home/ana/.local/state/tirevo/spool");
    // A relative XDG_STATE_HOME does not count.
    EXPECT_EQ(tirevo::StateSpoolFolder("state", "/home/ana"), "/home/ana/.local/state/tirevo/spool");
}

TEST(CliOptions, CalibrationValueIsTakenAsItStands)
{
    // A negative value must reach the refusal of negative values, not be
    // mistaken for an option.
    const auto result = tirevo::ParseCliOptions({"calibrate", "--point", "2", "-0.05", "--serial", "QP1"});
    ASSERT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.options.command, CliCommand::Calibrate);
    EXPECT_EQ(result.options.point, 2);
    EXPECT_EQ(result.options.value, "-0.05");
    EXPECT_EQ(result.options.serial, "QP1");
}

struct SeparatorCase {
    const char* text;
    int code;  // -1: refused
};

class SeparatorOption : public testing::TestWithParam<SeparatorCase> {};

TEST_P(SeparatorOption, FollowsTheSettingsFileRule)
{
    const std::optional<char> separator = tirevo::ParseSeparatorOption(GetParam().text);
    if (GetParam().code < 0) {
        EXPECT_FALSE(separator) << GetParam().text;
    } else {
        ASSERT_TRUE(separator) << GetParam().text;
        EXPECT_EQ(static_cast<unsigned char>(*separator), GetParam().code) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cli, SeparatorOption,
    testing::Values(SeparatorCase{";", ';'}, SeparatorCase{",", ','}, SeparatorCase{"#", -1},
                    SeparatorCase{"#9", '\t'}, SeparatorCase{"#59", ';'}, SeparatorCase{"#$3B", ';'},
                    SeparatorCase{"#0x2C", ','}, SeparatorCase{"#0", 0}, SeparatorCase{"#256", 0},
                    SeparatorCase{"#300", 44}, SeparatorCase{"#-1", 255}, SeparatorCase{"# 9", '\t'},
                    SeparatorCase{"#x", -1}, SeparatorCase{"##", -1}, SeparatorCase{"#9;", -1},
                    SeparatorCase{"ab", -1}, SeparatorCase{"", -1}));

struct SecondsCase {
    const char* text;
    int64_t ms;  // -1: refused
};

class SecondsOption : public testing::TestWithParam<SecondsCase> {};

TEST_P(SecondsOption, AsMilliseconds)
{
    const std::optional<int64_t> ms = tirevo::ParseSecondsOption(GetParam().text, '.');
    if (GetParam().ms < 0)
        EXPECT_FALSE(ms) << GetParam().text;
    else
        EXPECT_EQ(ms, GetParam().ms) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, SecondsOption,
    testing::Values(SecondsCase{"2", 2000}, SecondsCase{"0.5", 500}, SecondsCase{".5", 500},
                    SecondsCase{"5.", 5000}, SecondsCase{"0.0004", 1}, SecondsCase{"1.2345", 1234},
                    SecondsCase{"0", 0}, SecondsCase{"0.000", 0}, SecondsCase{"86400", 86400000},
                    SecondsCase{"999999999", 999999999000}, SecondsCase{"1000000000", -1},
                    SecondsCase{"-1", -1}, SecondsCase{"+1", -1}, SecondsCase{"1e3", -1},
                    SecondsCase{" 1", -1}, SecondsCase{"1,5", -1}, SecondsCase{".", -1}, SecondsCase{"", -1},
                    SecondsCase{"1.2.3", -1}));

}  // namespace
