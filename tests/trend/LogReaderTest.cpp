// Reading back log files as the program writes them: built with the log's own
// writer, then cut, broken and varied the ways a real file can be.
#include "LogReader.h"
#include "CaseName.h"
#include "LogText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using namespace tirevo;

using namespace std::string_literals;
using tirevo::LogClockTime;
using tirevo::LogSeries;

namespace {

// 08.12.2026 06:20:00 as civil seconds.
constexpr double kStart = 20795.0 * 86400 + 6 * 3600 + 20 * 60;

struct Format {
    bool stamps = true;
    char separator = '\t';
    char timeSeparator = ':';
    char decimal = '.';
};

std::string Reading(const char* text, char decimal)
{
    std::string out = text;
    for (char& c : out)
        if (c == '.')
            c = decimal;
    return out;
}

// The header and one row per reading, a second apart from 06:20:00.
std::string Log(const Format& f, const std::vector<const char*>& readings)
{
    std::string out = tirevo::LogHeaderText("1.0.2.7", "QP000001", f.stamps, f.separator);
    int second = 0;
    for (const char* reading : readings) {
        const LogClockTime at{2026, 12, 8, 6, 20 + second / 60, second % 60};
        out += tirevo::LogRowText(at, f.timeSeparator, f.stamps, f.separator, Reading(reading, f.decimal));
        ++second;
    }
    return out;
}

std::string Lf(std::string text)
{
    std::string out;
    for (char c : text)
        if (c != '\r')
            out += c;
    return out;
}

struct ReadCase {
    const char* what;
    std::string bytes;
    bool stamped;
    std::vector<double> keys;
    std::vector<double> values;
    std::size_t skipped;
};

class ReadLog : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadLog, GivesEveryReadableRowAndCountsTheRest)
{
    const ReadCase& c = GetParam();
    const LogSeries series = tirevo::ReadLogSeries(c.bytes);
    EXPECT_EQ(series.timeStamped, c.stamped);
    EXPECT_EQ(series.keys, c.keys);
    EXPECT_EQ(series.values, c.values);
    EXPECT_EQ(series.skipped, c.skipped);
}

const std::vector<double> kThreeSeconds{kStart, kStart + 1, kStart + 2};
const std::vector<double> kThreeRows{1, 2, 3};
const std::vector<double> kThreeValues{7.02, 6.98, 14.0};
const std::vector<const char*> kThree{"7.02", "6.98", "14.00"};

INSTANTIATE_TEST_SUITE_P(
    Formats, ReadLog,
    testing::Values(
        ReadCase{"tab", Log({}, kThree), true, kThreeSeconds, kThreeValues, 0},
        ReadCase{"semicolon comma decimals", Log({true, ';', ':', ','}, kThree), true, kThreeSeconds,
                 kThreeValues, 0},
        ReadCase{"comma separator and comma decimals", Log({true, ',', ':', ','}, kThree), true,
                 kThreeSeconds, kThreeValues, 0},
        ReadCase{"nul separator", Log({true, '\0', ':', '.'}, kThree), true, kThreeSeconds, kThreeValues, 0},
        ReadCase{"space separator, point time separator", Log({true, ' ', '.', '.'}, kThree), true,
                 kThreeSeconds, kThreeValues, 0},
        ReadCase{"digit separator", Log({true, '5', ':', '.'}, kThree), true, kThreeSeconds, kThreeValues, 0},
        ReadCase{"no time stamps", Log({false}, kThree), false, kThreeRows, kThreeValues, 0},
        ReadCase{"no time stamps, comma decimals", Log({false, '\t', ':', ','}, kThree), false, kThreeRows,
                 kThreeValues, 0},
        ReadCase{"line feeds only", Lf(Log({}, kThree)), true, kThreeSeconds, kThreeValues, 0},
        ReadCase{"general notation and signs",
                 Log({}, {"-0.50", "1E5", "-1.2346E5"}),
                 true,
                 kThreeSeconds,
                 {-0.5, 1e5, -1.2346e5},
                 0},
        ReadCase{"header only", Log({}, {}), true, {}, {}, 0},
        ReadCase{"header only, no time stamps", Log({false}, {}), false, {}, {}, 0},
        ReadCase{"empty file", "", false, {}, {}, 0}),
    CaseName());

// A file as it may be found: still being written, cut, or with broken rows.
const std::string kTwo = Log({}, {"7.02", "6.98"});
const std::string kTwoPlain = Log({false}, {"7.02", "6.98"});

INSTANTIATE_TEST_SUITE_P(
    Damaged, ReadLog,
    testing::Values(
        ReadCase{"cut mid-row", kTwo + "08.12.2026\t06:20:0", true, {kStart, kStart + 1}, {7.02, 6.98}, 1},
        ReadCase{"cut mid-reading",
                 kTwo + "08.12.2026\t06:20:02\t7.0",
                 true,
                 {kStart, kStart + 1},
                 {7.02, 6.98},
                 1},
        ReadCase{"cut before the line feed",
                 kTwo + "08.12.2026\t06:20:02\t7.05\r",
                 true,
                 {kStart, kStart + 1, kStart + 2},
                 {7.02, 6.98, 7.05},
                 0},
        ReadCase{"cut mid-reading, no time stamps", kTwoPlain + "7.0", false, {1, 2}, {7.02, 6.98}, 1},
        ReadCase{"cut in the header", kTwo.substr(0, 40), false, {}, {}, 0},
        ReadCase{"cut in the title", kTwo.substr(0, 10), false, {}, {}, 0},
        ReadCase{"broken rows between good ones",
                 kTwo + "31.02.2026\t06:20:02\t7.00\r\n" + "08.12.2026\t24:00:00\t7.00\r\n" +
                     "08.12.2026;06:20:04;7.00\r\n" + "08.12.2026\t06:20:05\t7.0x\r\n" +
                     "08.12.2026\t06:20:06\t\r\n" + "08.12.2026\t06:20:07\t7.00\r\n",
                 true,
                 {kStart, kStart + 1, kStart + 7},
                 {7.02, 6.98, 7.0},
                 5},
        ReadCase{"readings that are not numbers",
                 kTwoPlain + "---\r\nNAN\r\ninf\r\n0x10\r\n 7.00\r\n7.00 \r\n7.\r\n.5\r\n1e5\r\n7.5\r\n",
                 false,
                 {1, 2, 12},
                 {7.02, 6.98, 7.5},
                 9},
        ReadCase{"row numbers keep their place past skipped rows",
                 kTwoPlain + "oops\r\n7.10\r\n",
                 false,
                 {1, 2, 4},
                 {7.02, 6.98, 7.1},
                 1},
        ReadCase{"empty lines are not rows",
                 kTwoPlain + "\r\n\r\n7.10\r\n",
                 false,
                 {1, 2, 3},
                 {7.02, 6.98, 7.1},
                 0},
        ReadCase{"no header, time-stamped rows",
                 "08.12.2026\t06:20:00\t7.02\r\n08.12.2026\t06:20:01\t6.98\r\n",
                 true,
                 {kStart, kStart + 1},
                 {7.02, 6.98},
                 0},
        ReadCase{"no header, readings alone", "7.02\r\n6.98\r\n", false, {1, 2}, {7.02, 6.98}, 0},
        ReadCase{"not a log", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s, false, {}, {}, 3}),
    CaseName());

TEST(ReadLog, LeapDayAndYearEnd)
{
    const LogSeries series = tirevo::ReadLogSeries(
        "29.02.2024\t23:59:59\t7.00\r\n01.01.2025\t00:00:00\t7.01\r\n29.02.2025\t00:00:00\t7.02\r\n");
    ASSERT_EQ(series.keys.size(), 2u);
    EXPECT_EQ(series.keys[0], tirevo::DaysFromCivil(2024, 2, 29) * 86400.0 + 86399);
    EXPECT_EQ(series.keys[1], tirevo::DaysFromCivil(2025, 1, 1) * 86400.0);
    EXPECT_EQ(series.skipped, 1u);
}

// ---------------------------------------------------------------- readings

struct NumberCase {
    const char* text;
    bool ok;
    double value;
};

class LogReading : public testing::TestWithParam<NumberCase> {};

TEST_P(LogReading, TakesOnlyWhatTheLogWrites)
{
    double value = -1;
    EXPECT_EQ(tirevo::ParseLogReading(GetParam().text, value), GetParam().ok) << GetParam().text;
    if (GetParam().ok) {
        EXPECT_EQ(value, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogReading,
    testing::Values(NumberCase{"7.02", true, 7.02}, NumberCase{"7,02", true, 7.02},
                    NumberCase{"-0.50", true, -0.5}, NumberCase{"14", true, 14}, NumberCase{"1E5", true, 1e5},
                    NumberCase{"-1,2346E5", true, -1.2346e5}, NumberCase{"1E-5", true, 1e-5},
                    NumberCase{"", false, 0}, NumberCase{"-", false, 0}, NumberCase{"+7.02", false, 0},
                    NumberCase{"7.", false, 0}, NumberCase{",5", false, 0}, NumberCase{"7.0.2", false, 0},
                    NumberCase{"1E", false, 0}, NumberCase{"1e5", false, 0}, NumberCase{"1E999", false, 0},
                    NumberCase{"nan", false, 0}, NumberCase{"7.02\t", false, 0}));

// ------------------------------------------------------------- civil times

TEST(CivilTime, DaysRoundTripOverFourCenturies)
{
    for (long long days = tirevo::DaysFromCivil(1900, 1, 1); days < tirevo::DaysFromCivil(2300, 1, 1);
         ++days) {
        int year = 0, month = 0, day = 0;
        tirevo::CivilFromDays(days, year, month, day);
        ASSERT_EQ(tirevo::DaysFromCivil(year, month, day), days);
    }
    EXPECT_EQ(tirevo::DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(tirevo::DaysFromCivil(2026, 12, 8), 20795);
}

struct IsoCase {
    double seconds;
    const char* text;
};

class CivilIso : public testing::TestWithParam<IsoCase> {};

TEST_P(CivilIso, WritesLocalTimeWithoutZone)
{
    EXPECT_EQ(tirevo::CivilIsoText(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Times, CivilIso,
    testing::Values(IsoCase{kStart, "2026-12-08T06:20:00"}, IsoCase{kStart + 0.25, "2026-12-08T06:20:00.250"},
                    IsoCase{kStart + 0.0004, "2026-12-08T06:20:00"},
                    IsoCase{kStart - 0.001, "2026-12-08T06:19:59.999"}, IsoCase{0, "1970-01-01T00:00:00"},
                    IsoCase{-1, "1969-12-31T23:59:59"}, IsoCase{951782400 + 86399, "2000-02-29T23:59:59"}));

}  // namespace
