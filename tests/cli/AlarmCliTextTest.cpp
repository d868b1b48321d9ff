// The alarm options as typed, the settings they make with the file's, and
// the lines and variables of each event.
#include "AlarmOptions.h"
#include "CaseName.h"
#include "CliAlarm.h"
#include "CliOptions.h"
#include "HookOutput.h"
#include "TempIni.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace tirevo;

struct OptionCase {
    const char* what;
    std::vector<std::string> args;
    const char* error;  // a part of the reason, or "" when accepted
};

class AlarmOptionsParse : public testing::TestWithParam<OptionCase> {};

TEST_P(AlarmOptionsParse, AcceptedOrRefusedWithTheReason)
{
    const CliParseResult result = ParseCliOptions(GetParam().args);
    if (*GetParam().error == '\0') {
        EXPECT_FALSE(result.error) << *result.error;
    } else {
        ASSERT_TRUE(result.error);
        EXPECT_NE(result.error->find(GetParam().error), std::string::npos) << *result.error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AlarmOptionsParse,
    testing::Values(
        OptionCase{"all of them on read",
                   {"read", "--high", "7.5", "--low", "6", "--alarm-delay", "10", "--hysteresis", "0.1",
                    "--on-alarm", "true"},
                   ""},
        OptionCase{"on log", {"log", "--high=8.25", "--on-alarm=notify-send x"}, ""},
        OptionCase{"off", {"read", "--low", "off"}, ""},
        OptionCase{
            "not on calibrate", {"calibrate", "--point", "1", "7", "--high", "8"}, "unknown option '--high'"},
        OptionCase{"not on list", {"list", "--on-alarm", "x"}, "unknown option '--on-alarm'"},
        OptionCase{"not a number", {"read", "--high", "seven"}, "invalid --high 'seven': pH from -2 to 16"},
        OptionCase{"out of range", {"read", "--low", "17"}, "invalid --low '17'"},
        OptionCase{"delay too long",
                   {"read", "--alarm-delay", "3601"},
                   "invalid --alarm-delay '3601': whole seconds from 0 to 3600"},
        OptionCase{"delay with a fraction", {"read", "--alarm-delay", "1.5"}, "invalid --alarm-delay"},
        OptionCase{"negative delay", {"read", "--alarm-delay", "-1"}, "invalid --alarm-delay"},
        OptionCase{"hysteresis too large", {"read", "--hysteresis", "1.01"}, "invalid --hysteresis '1.01'"},
        OptionCase{"empty command", {"read", "--on-alarm", ""}, "invalid --on-alarm '': a command is needed"},
        OptionCase{"missing command", {"read", "--on-alarm"}, "--on-alarm needs a value"}),
    CaseName());

TEST(AlarmOptions, OptionsOverTheFile)
{
    AlarmSettings file;
    file.high = 7.5;
    file.low = 6.0;
    file.delayS = 30;
    const CliParseResult parsed = ParseCliOptions(
        {"read", "--high", "off", "--alarm-delay", "0", "--hysteresis", "0.2", "--on-alarm", "x"});
    ASSERT_FALSE(parsed.error);
    const AlarmSettingsChoice choice = ResolveAlarmSettings(parsed.options.alarm, file);
    EXPECT_FALSE(choice.error);
    EXPECT_FALSE(choice.settings.high);
    EXPECT_EQ(choice.settings.low, 6.0);
    EXPECT_EQ(choice.settings.delayS, 0);
    EXPECT_DOUBLE_EQ(choice.settings.hysteresis, 0.2);
    EXPECT_EQ(parsed.options.alarm.onAlarm, "x");

    const CliParseResult clash = ParseCliOptions({"read", "--low", "7.5"});
    const AlarmSettingsChoice refused = ResolveAlarmSettings(clash.options.alarm, file);
    ASSERT_TRUE(refused.error);
    EXPECT_NE(refused.error->find("High must be above Low"), std::string::npos);
    EXPECT_NE(refused.error->find("settings file"), std::string::npos) << *refused.error;
}

// Each meter's limits: [Alarm] with its own section over it, the options over
// both; only the lines about its own section are its to say.
TEST(AlarmOptions, EachMeterItsOwnSectionUnderTheOptions)
{
    const TempIni ini;
    const std::string path = ini.Write("[Alarm]\nHigh=8\nLow=x\nDelay=0\n"
                                       "[Alarm QP02]\nHigh=7.5\nHysteresis=y\n");
    const CliParseResult none = ParseCliOptions({"read"});
    const MeterAlarmChoice first = ChooseMeterAlarmSettings(none.options.alarm, path, '.', "QP01");
    EXPECT_FALSE(first.choice.error);
    EXPECT_EQ(first.choice.settings.high, 8.0);
    EXPECT_FALSE(first.sectionProblem) << "[Alarm]'s lines are said once for the run";
    const MeterAlarmChoice second = ChooseMeterAlarmSettings(none.options.alarm, path, '.', "QP02");
    EXPECT_EQ(second.choice.settings.high, 7.5);
    EXPECT_EQ(second.choice.settings.delayS, 0);
    EXPECT_EQ(second.sectionProblem, "[Alarm QP02] Hysteresis: 'y' is not a valid floating point value");

    const CliParseResult high = ParseCliOptions({"read", "--high", "9"});
    EXPECT_EQ(ChooseMeterAlarmSettings(high.options.alarm, path, '.', "QP02").choice.settings.high, 9.0);
    const CliParseResult low = ParseCliOptions({"read", "--low", "7.8"});
    EXPECT_FALSE(ChooseMeterAlarmSettings(low.options.alarm, path, '.', "QP01").choice.error);
    const MeterAlarmChoice clash = ChooseMeterAlarmSettings(low.options.alarm, path, '.', "QP02");
    ASSERT_TRUE(clash.choice.error);
    EXPECT_NE(clash.choice.error->find("High must be above Low"), std::string::npos);
}

AlarmTime At(int64_t utcMs) { return {0, utcMs, 3600}; }

// 2026-12-08 09:02:45.250 UTC
constexpr int64_t kMorning = 1796720565250;

struct LineCase {
    const char* what;
    AlarmEvent event;
    const char* line;
    std::map<std::string, std::string> variables;
};

class AlarmEventLines : public testing::TestWithParam<LineCase> {};

TEST_P(AlarmEventLines, LineAndVariables)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(AlarmEventLine(c.event, "A1B2C3"), c.line);
    std::map<std::string, std::string> variables;
    for (const auto& [name, value] : AlarmHookVariables(c.event, "A1B2C3"))
        variables[name] = value;
    std::map<std::string, std::string> expected = c.variables;
    expected["TIREVO_SERIAL"] = "A1B2C3";
    expected["TIREVO_TIME"] = "2026-12-08T10:02:50.500+01:00";
    EXPECT_EQ(variables, expected);
}

const AlarmTime kSince = At(kMorning);
const AlarmTime kAt = At(kMorning + 5250);

INSTANTIATE_TEST_SUITE_P(Rows, AlarmEventLines,
                         testing::Values(LineCase{"high",
                                                  {AlarmKind::High, true, true, 7.8, 7.5, kAt, kSince},
                                                  "ALARM high: pH 7.80 above 7.50 since 10:02:45",
                                                  {{"TIREVO_ALARM", "high"},
                                                   {"TIREVO_PH", "7.80"},
                                                   {"TIREVO_LIMIT", "7.50"},
                                                   {"TIREVO_CLEARED", ""}}},
                                         LineCase{"low",
                                                  {AlarmKind::Low, true, true, 5.9, 6, kAt, kSince},
                                                  "ALARM low: pH 5.90 below 6.00 since 10:02:45",
                                                  {{"TIREVO_ALARM", "low"},
                                                   {"TIREVO_PH", "5.90"},
                                                   {"TIREVO_LIMIT", "6.00"},
                                                   {"TIREVO_CLEARED", ""}}},
                                         LineCase{"lost",
                                                  {AlarmKind::Lost, true, false, 0, 0, kAt, kSince},
                                                  "ALARM lost: A1B2C3 not responding since 10:02:45",
                                                  {{"TIREVO_ALARM", "lost"},
                                                   {"TIREVO_PH", ""},
                                                   {"TIREVO_LIMIT", ""},
                                                   {"TIREVO_CLEARED", ""}}},
                                         LineCase{"cleared",
                                                  {AlarmKind::High, false, true, 7.3, 7.5, kAt, kSince},
                                                  "alarm cleared: pH 7.30",
                                                  {{"TIREVO_ALARM", "clear"},
                                                   {"TIREVO_PH", "7.30"},
                                                   {"TIREVO_LIMIT", ""},
                                                   {"TIREVO_CLEARED", "high"}}},
                                         LineCase{"found",
                                                  {AlarmKind::Lost, false, false, 0, 0, kAt, kSince},
                                                  "alarm cleared: A1B2C3 responding again",
                                                  {{"TIREVO_ALARM", "clear"},
                                                   {"TIREVO_PH", ""},
                                                   {"TIREVO_LIMIT", ""},
                                                   {"TIREVO_CLEARED", "lost"}}}),
                         CaseName());

// With several meters in one run, the limit lines name their meter.
TEST(AlarmEventLines, SeveralMetersNameTheMeter)
{
    const AlarmEvent high{AlarmKind::High, true, true, 7.8, 7.5, kAt, kSince};
    const AlarmEvent cleared{AlarmKind::Low, false, true, 6.3, 6, kAt, kSince};
    const AlarmEvent lost{AlarmKind::Lost, true, false, 0, 0, kAt, kSince};
    EXPECT_EQ(AlarmEventLine(high, "QP02", true), "ALARM high: QP02 pH 7.80 above 7.50 since 10:02:45");
    EXPECT_EQ(AlarmEventLine(cleared, "QP02", true), "alarm cleared: QP02 pH 6.30");
    EXPECT_EQ(AlarmEventLine(lost, "QP02", true), "ALARM lost: QP02 not responding since 10:02:45");
}

TEST(AlarmIsoTime, WestOfUtcAndBeforeTheEpochSecond)
{
    EXPECT_EQ(AlarmIsoTime({0, kMorning, -5 * 3600 - 1800}), "2026-12-08T03:32:45.250-05:30");
    EXPECT_EQ(AlarmIsoTime({0, -1, 0}), "1969-12-31T23:59:59.999+00:00");
}

struct OutputCase {
    const char* what;
    std::vector<std::string> chunks;  // as the pipe gave them
    std::vector<std::string> lines;
    const char* rest;  // "" when nothing is left
};

class HookOutputLines : public testing::TestWithParam<OutputCase> {};

TEST_P(HookOutputLines, WholeLinesThenTheRest)
{
    HookOutput output;
    std::vector<std::string> lines;
    for (const std::string& chunk : GetParam().chunks)
        for (std::string& line : output.Add(chunk))
            lines.push_back(std::move(line));
    EXPECT_EQ(lines, GetParam().lines);
    EXPECT_EQ(output.Rest().value_or(""), GetParam().rest);
    EXPECT_FALSE(output.Rest()) << "the rest is given once";
}

const std::string kLong(HookOutput::kLongestLine, 'x');

INSTANTIATE_TEST_SUITE_P(
    Rows, HookOutputLines,
    testing::Values(OutputCase{"nothing", {}, {}, ""},
                    OutputCase{"lines", {"one\ntwo\n"}, {"one", "two"}, ""},
                    OutputCase{"an empty line kept", {"\n\n"}, {"", ""}, ""},
                    OutputCase{"a line cut between reads", {"on", "e\ntw", "o\n"}, {"one", "two"}, ""},
                    OutputCase{"no newline at the end", {"one\ntwo"}, {"one"}, "two"},
                    OutputCase{"crlf from cmd", {"one\r", "\ntwo\r\n"}, {"one", "two"}, ""},
                    OutputCase{"too long for one line", {kLong + "yz"}, {kLong}, "yz"}),
    CaseName());

}  // namespace
