// Reading back log files as the program writes them: built with the log's own
// writer, then cut, broken and varied the ways a real file can be.
#include "LogReader.h"
#include "CaseName.h"
#include "LogText.h"
#include "TimeZone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

using namespace tirevo;

using namespace std::string_literals;
using tirevo::LogClockTime;
using tirevo::LogSeries;

namespace {

// Local times are read by Berlin's rules.
[[maybe_unused]] const bool kInBerlin = tirevo::test::UseTimeZone(tirevo::test::kBerlin);

// 08.12.2026 06:20:00 CET in UTC milliseconds.
constexpr double kStart = (20795.0 * 86400 + 5 * 3600 + 20 * 60) * 1000;

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

const std::vector<double> kThreeSeconds{kStart, kStart + 1000, kStart + 2000};
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
        ReadCase{"cut mid-row", kTwo + "08.12.2026\t06:20:0", true, {kStart, kStart + 1000}, {7.02, 6.98}, 1},
        ReadCase{"cut mid-reading",
                 kTwo + "08.12.2026\t06:20:02\t7.0",
                 true,
                 {kStart, kStart + 1000},
                 {7.02, 6.98},
                 1},
        ReadCase{"cut before the line feed",
                 kTwo + "08.12.2026\t06:20:02\t7.05\r",
                 true,
                 {kStart, kStart + 1000, kStart + 2000},
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
                 {kStart, kStart + 1000, kStart + 7000},
                 {7.02, 6.98, 7.0},
                 5},
        ReadCase{"readings that are not numbers",
                 kTwoPlain + "---\r\nNAN\r\ninf\r\n0x10\r\n 7.00\r\n7.00 \r\n7.\r\n.5\r\n1e5\r\n7.5\r\n",
                 false,
                 {1, 2, 7, 9, 10, 11, 12},
                 {7.02, 6.98, 7.0, 7.0, 0.5, 1e5, 7.5},
                 5},
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
                 {kStart, kStart + 1000},
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
    EXPECT_EQ(series.keys[0], (tirevo::DaysFromCivil(2024, 2, 29) * 86400.0 + 86399 - 3600) * 1000);
    EXPECT_EQ(series.keys[1], (tirevo::DaysFromCivil(2025, 1, 1) * 86400.0 - 3600) * 1000);
    EXPECT_EQ(series.skipped, 1u);
}

// ---------------------------------------------------------------- readings

struct NumberCase {
    const char* what;
    const char* text;
    bool ok;
    double value;
};

class LogReading : public testing::TestWithParam<NumberCase> {};

// The meter's number form, with "." or the "," of the locale the log was
// written in; one row with a time stamp before it.
TEST_P(LogReading, TakesTheReadingFieldsFormWithEitherSeparator)
{
    const LogSeries series = tirevo::ReadLogSeries("08.12.2026\t06:20:00\t"s + GetParam().text + "\r\n");
    ASSERT_EQ(series.values.size(), GetParam().ok ? 1u : 0u) << GetParam().text;
    EXPECT_EQ(series.skipped, GetParam().ok ? 0u : 1u);
    if (GetParam().ok) {
        EXPECT_EQ(series.values[0], GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LogReading,
    testing::Values(NumberCase{"point", "7.02", true, 7.02}, NumberCase{"comma", "7,02", true, 7.02},
                    NumberCase{"negative", "-0.50", true, -0.5}, NumberCase{"whole", "14", true, 14},
                    NumberCase{"general", "1E5", true, 1e5},
                    NumberCase{"general comma", "-1,2346E5", true, -1.2346e5},
                    NumberCase{"small", "1E-5", true, 1e-5}, NumberCase{"plus", "+7.02", true, 7.02},
                    NumberCase{"no fraction", "7.", true, 7}, NumberCase{"comma first", ",5", true, 0.5},
                    NumberCase{"lower e", "1e5", true, 1e5}, NumberCase{"empty", "", false, 0},
                    NumberCase{"minus alone", "-", false, 0}, NumberCase{"two points", "7.0.2", false, 0},
                    NumberCase{"two commas", "7,0,2", false, 0},
                    NumberCase{"point and comma", "7.0,2", false, 0},
                    NumberCase{"no exponent", "1E", false, 0}, NumberCase{"too large", "1E999", false, 0},
                    NumberCase{"nan", "nan", false, 0}, NumberCase{"tab after", "7.02\t", false, 0}),
    CaseName());

// ------------------------------------------------------- time zone rules

// Rows every ten minutes from local start, as "dd.mm.yyyy\thh:mm:ss\t7.00".
std::string Rows(int day, int month, const std::vector<const char*>& times)
{
    std::string out;
    for (const char* time : times) {
        char row[64];
        std::snprintf(row, sizeof row, "%02d.%02d.2026\t%s\t7.00\r\n", day, month, time);
        out += row;
    }
    return out;
}

TEST(ReadLog, TheRepeatedHourAtTheEndOfSummerTimeIsTakenInFileOrder)
{
    // 02:00 to 03:00 comes twice on 25.10.2026: first as summer time.
    const LogSeries series =
        tirevo::ReadLogSeries(Rows(25, 10,
                                   {"01:50:00", "02:00:00", "02:20:00", "02:50:00", "02:00:00", "02:20:00",
                                    "02:50:00", "03:00:00", "03:10:00"}));
    const double t0 = tirevo::test::kMillisAt20261025Utc;
    constexpr double kMinute = 60000;
    const std::vector<double> expected{t0 - 10 * kMinute,  t0,
                                       t0 + 20 * kMinute,  t0 + 50 * kMinute,
                                       t0 + 60 * kMinute,  t0 + 80 * kMinute,
                                       t0 + 110 * kMinute, t0 + 120 * kMinute,
                                       t0 + 130 * kMinute};
    EXPECT_EQ(series.keys, expected);
    EXPECT_EQ(series.skipped, 0u);
}

TEST(ReadLog, ALogStartedInTheSecondPassKeepsItsOrder)
{
    // Only the second pass in the file: the first row can only be taken as
    // summer time, the rows after it still rise.
    const LogSeries series = tirevo::ReadLogSeries(Rows(25, 10, {"02:50:00", "03:00:00", "03:10:00"}));
    ASSERT_EQ(series.keys.size(), 3u);
    EXPECT_TRUE(std::is_sorted(series.keys.begin(), series.keys.end()));
}

TEST(ReadLog, AClockSetBackKeepsEveryRowAtItsTime)
{
    // December: no summer time; the clock went back ten minutes at 06:30.
    const LogSeries series =
        tirevo::ReadLogSeries(Rows(8, 12, {"06:20:00", "06:30:00", "06:20:10", "06:30:10"}));
    const std::vector<double> expected{kStart, kStart + 600000, kStart + 10000, kStart + 610000};
    EXPECT_EQ(series.keys, expected);
    EXPECT_EQ(series.skipped, 0u);
}

TEST(ReadLog, SummerTimeIsTwoHoursAheadOfUtc)
{
    const LogSeries series =
        tirevo::ReadLogSeries(Rows(1, 7, {"12:00:00"}) + Rows(29, 3, {"01:59:59", "03:00:00"}));
    const double july1 = 20635.0 * 86400 * 1000;
    const double march29 = 20541.0 * 86400 * 1000;
    const std::vector<double> expected{july1 + 10 * 3600e3, march29 + 3599e3, march29 + 3600e3};
    EXPECT_EQ(series.keys, expected);
}

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

// 08.12.2026 06:20:00 as civil seconds.
constexpr double kCivil = 20795.0 * 86400 + 6 * 3600 + 20 * 60;

INSTANTIATE_TEST_SUITE_P(
    Times, CivilIso,
    testing::Values(IsoCase{kCivil, "2026-12-08T06:20:00"}, IsoCase{kCivil + 0.25, "2026-12-08T06:20:00.250"},
                    IsoCase{kCivil + 0.0004, "2026-12-08T06:20:00"},
                    IsoCase{kCivil - 0.001, "2026-12-08T06:19:59.999"}, IsoCase{0, "1970-01-01T00:00:00"},
                    IsoCase{-1, "1969-12-31T23:59:59"}, IsoCase{951782400 + 86399, "2000-02-29T23:59:59"}));

struct SerialCase {
    const char* name;
    std::string bytes;
    std::string serial;
};

class HeaderSerial : public testing::TestWithParam<SerialCase> {};

TEST_P(HeaderSerial, IsTheMeterTheHeaderNames)
{
    EXPECT_EQ(LogHeaderSerial(GetParam().bytes), GetParam().serial);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, HeaderSerial,
    testing::Values(SerialCase{"AsWritten", LogHeaderText("1.0.2.7", "QP000001", true, '\t'), "QP000001"},
                    SerialCase{"WindowsLineEnds", "Meter Serial Number   : QP000002  \r\n", "QP000002"},
                    SerialCase{"NoneGiven", LogHeaderText("1.0.2.7", "", true, '\t'), ""},
                    SerialCase{"NoHeader", "2026-12-08 06:20:00\t7.00\n", ""}, SerialCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<SerialCase>& info) { return std::string(info.param.name); });

}  // namespace
