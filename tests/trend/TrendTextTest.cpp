// The figures under the chart against values worked out by hand, the line
// that shows them, and the CSV of the points in view.
#include "TrendText.h"
#include "CaseName.h"
#include "TimeZone.h"
#include "TrendSeries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tirevo;

using tirevo::TrendFigures;

namespace {

[[maybe_unused]] const bool kInBerlin = tirevo::test::UseTimeZone(tirevo::test::kBerlin);

TrendFigures Figures(const std::vector<double>& keys, const std::vector<double>& values)
{
    std::vector<std::size_t> index(keys.size());
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = i;
    return tirevo::ComputeTrendFigures(
        index.begin(), index.end(), [&](std::size_t i) { return keys[i]; },
        [&](std::size_t i) { return values[i]; });
}

struct FigureCase {
    const char* what;
    std::vector<double> keys;
    std::vector<double> values;
    double perUnit;
    const char* unit;
    char decimal;
    std::string line;
};

class FiguresLine : public testing::TestWithParam<FigureCase> {};

TEST_P(FiguresLine, MatchesTheHandWorkedFigures)
{
    const FigureCase& c = GetParam();
    EXPECT_EQ(tirevo::TrendFiguresLine(Figures(c.keys, c.values), c.decimal, c.perUnit, c.unit), c.line);
}

// By hand:
// - a minute apart, 7.00 7.02 7.04 7.06: mean 7.03; deviations -.03 -.01 .01 .03
//   give 0.002 / 3, sd 0.0258; slope 0.02 pH a minute.
// - rows 1..4, 7 8 6 7: mean 7, sd sqrt(2/3) = 0.816; row deviations -1.5 -.5 .5 1.5
//   against 0 1 -1 0 give -1 / 5 = -0.2 pH a row.
// - 6.5 and 7.5 an hour apart: sd sqrt(0.5) = 0.707, drift 1 / 60 = 0.0167 pH/min.
INSTANTIATE_TEST_SUITE_P(
    ByHand, FiguresLine,
    testing::Values(
        FigureCase{"rising",
                   {0, 60, 120, 180},
                   {7.00, 7.02, 7.04, 7.06},
                   60,
                   "pH/min",
                   '.',
                   "n 4   min 7.00   max 7.06   mean 7.03   sd 0.03   drift +0.020 pH/min"},
        FigureCase{"rising, comma",
                   {0, 60, 120, 180},
                   {7.00, 7.02, 7.04, 7.06},
                   60,
                   "pH/min",
                   ',',
                   "n 4   min 7,00   max 7,06   mean 7,03   sd 0,03   drift +0,020 pH/min"},
        FigureCase{"rows",
                   {1, 2, 3, 4},
                   {7, 8, 6, 7},
                   1,
                   "pH/row",
                   '.',
                   "n 4   min 6.00   max 8.00   mean 7.00   sd 0.82   drift -0.20 pH/row"},
        FigureCase{"an hour apart",
                   {1.8e9, 1.8e9 + 3600},
                   {6.5, 7.5},
                   60,
                   "pH/min",
                   ',',
                   "n 2   min 6,50   max 7,50   mean 7,00   sd 0,71   drift +0,017 pH/min"},
        FigureCase{"one point",
                   {1.8e9},
                   {6.98},
                   60,
                   "pH/min",
                   '.',
                   "n 1   min 6.98   max 6.98   mean 6.98   sd 0.00   drift +0.00 pH/min"},
        FigureCase{"same second twice",
                   {5, 5},
                   {7.0, 7.2},
                   60,
                   "pH/min",
                   '.',
                   "n 2   min 7.00   max 7.20   mean 7.10   sd 0.14   drift +0.00 pH/min"},
        FigureCase{"falling to below zero",
                   {0, 60},
                   {0.004, -0.004},
                   60,
                   "pH/min",
                   '.',
                   "n 2   min 0.00   max 0.00   mean 0.00   sd 0.01   drift -0.0080 pH/min"},
        // A slow drift keeps two significant digits: 0.0042 pH a minute
        // over keys in milliseconds, as the live trend has them.
        FigureCase{"slow, milliseconds",
                   {1.8e12, 1.8e12 + 600000},
                   {7.0, 7.042},
                   60000,
                   "pH/min",
                   '.',
                   "n 2   min 7.00   max 7.04   mean 7.02   sd 0.03   drift +0.0042 pH/min"},
        FigureCase{"slow rows",
                   {1, 2, 3},
                   {7.0, 7.0003, 7.0006},
                   1,
                   "pH/row",
                   ',',
                   "n 3   min 7,00   max 7,00   mean 7,00   sd 0,00   drift +0,00030 pH/row"},
        FigureCase{
            "none", {}, {}, 60, "pH/min", '.', "n 0   min --   max --   mean --   sd --   drift -- pH/min"}));

struct DriftCase {
    const char* what;
    double value;
    const char* text;
};

class Drift : public testing::TestWithParam<DriftCase> {};

TEST_P(Drift, ShowsTwoSignificantDigitsUpToSixDecimals)
{
    EXPECT_EQ(tirevo::DriftText(GetParam().value, '.'), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, Drift,
                         testing::Values(DriftCase{"zero", 0, "+0.00"}, DriftCase{"fast", 1.2, "+1.20"},
                                         DriftCase{"faster", -12.5, "-12.50"},
                                         DriftCase{"tenths", 0.42, "+0.42"},
                                         DriftCase{"hundredths", -0.042, "-0.042"},
                                         DriftCase{"thousandths", 0.0042, "+0.0042"},
                                         DriftCase{"rounds up a place", 0.00996, "+0.010"},
                                         DriftCase{"rounds to tenths", 0.0999, "+0.10"},
                                         DriftCase{"millionths", 0.0000042, "+0.000004"},
                                         DriftCase{"six decimals at most", 1.2e-6, "+0.000001"},
                                         DriftCase{"below them, no minus", -4e-8, "+0.000000"}),
                         CaseName());

TEST(Figures, KeepPrecisionWithKeysOfToday)
{
    // 1000 s of a steady rise of 0.001 pH/s at keys near 1.8e9: sums of raw
    // squares would lose the slope entirely.
    std::vector<double> keys, values;
    for (int i = 0; i < 1000; ++i) {
        keys.push_back(1.8e9 + i);
        values.push_back(7.0 + 0.001 * i);
    }
    const TrendFigures f = Figures(keys, values);
    EXPECT_EQ(f.n, 1000u);
    EXPECT_NEAR(f.slope, 0.001, 1e-12);
    EXPECT_NEAR(f.mean, 7.4995, 1e-12);
    // The sample sd of 0..999 is sqrt(1000 * 1001 / 12) ≈ 288.82 steps of 0.001.
    EXPECT_NEAR(f.sd, 0.28882, 1e-5);
    EXPECT_DOUBLE_EQ(f.min, 7.0);
    EXPECT_DOUBLE_EQ(f.max, 7.0 + 0.999);
}

// ---------------------------------------------------------------------- CSV

TEST(TrendCsv, TimeRowsAreIsoLocalTimeWithOffsetAndPointDecimals)
{
    std::string csv = tirevo::TrendCsvHeader(true);
    const double start = (20795.0 * 86400 + 5 * 3600 + 20 * 60) * 1000;  // 08.12.2026 06:20:00 CET
    tirevo::AppendTrendCsvRow(csv, start, 7.02, true);
    tirevo::AppendTrendCsvRow(csv, start + 1500, -0.5, true);
    EXPECT_EQ(csv, "time,ph\n2026-12-08T06:20:00+01:00,7.02\n2026-12-08T06:20:01.500+01:00,-0.5\n");
}

TEST(TrendCsv, TheRepeatedHourIsToldApartByItsOffset)
{
    const double utc0030 = tirevo::test::kMillisAt20261025Utc + 30 * 60000;
    std::string csv;
    tirevo::AppendTrendCsvRow(csv, utc0030, 7.0, true);
    tirevo::AppendTrendCsvRow(csv, utc0030 + 3600000, 7.1, true);
    tirevo::AppendTrendCsvRow(csv, utc0030 + 2 * 3600000, 7.2, true);
    EXPECT_EQ(csv,
              "2026-10-25T02:30:00+02:00,7\n2026-10-25T02:30:00+01:00,7.1\n2026-10-25T03:30:00+01:00,7.2\n");
}

TEST(TrendCsv, RowNumbersWithoutTimeStamps)
{
    std::string csv = tirevo::TrendCsvHeader(false);
    tirevo::AppendTrendCsvRow(csv, 1, 7.1, false);
    tirevo::AppendTrendCsvRow(csv, 12, 14, false);
    EXPECT_EQ(csv, "row,ph\n1,7.1\n12,14\n");
}

// ------------------------------------------------------------- live bound

struct BoundCase {
    const char* what;
    double step;  // milliseconds between readings
    std::size_t count;
    std::size_t kept;
};

class LiveBound : public testing::TestWithParam<BoundCase> {};

TEST_P(LiveBound, KeepsTheLast604800Readings)
{
    const BoundCase& c = GetParam();
    tirevo::TrendSeries series;
    std::size_t dropped = 0;
    for (std::size_t i = 0; i < c.count; ++i)
        dropped += series.Add(1.8e12 + c.step * double(i), 7.0) ? 1 : 0;
    EXPECT_EQ(series.Size(), c.kept);
    EXPECT_EQ(dropped, c.count - c.kept);
    EXPECT_EQ(series.At(0).key, 1.8e12 + c.step * double(c.count - c.kept));
    EXPECT_EQ(series.At(series.Size() - 1).key, 1.8e12 + c.step * double(c.count - 1));
}

INSTANTIATE_TEST_SUITE_P(Rates, LiveBound,
                         testing::Values(BoundCase{"1 Hz, just full", 1000, 604800, 604800},
                                         BoundCase{"1 Hz, 10 past full", 1000, 604810, 604800},
                                         // Faster polling: the count bounds the memory, the span shrinks.
                                         BoundCase{"10 Hz", 100, 700000, 604800},
                                         // Slower polling: eight days of readings are all kept.
                                         BoundCase{"every 10 s, 8 days", 10000, 8 * 8640, 8 * 8640}),
                         CaseName());

struct JumpCase {
    const char* what;
    double jump;  // milliseconds the clock moved between the second and third reading
};

class ClockJump : public testing::TestWithParam<JumpCase> {};

TEST_P(ClockJump, DropsNoReading)
{
    tirevo::TrendSeries series;
    EXPECT_FALSE(series.Add(1.8e12, 7.0));
    EXPECT_FALSE(series.Add(1.8e12 + 1000, 7.1));
    EXPECT_FALSE(series.Add(1.8e12 + 2000 + GetParam().jump, 7.2));
    ASSERT_EQ(series.Size(), 3u);
    EXPECT_EQ(series.At(2).key, 1.8e12 + 2000 + GetParam().jump);
    EXPECT_EQ(series.At(2).value, 7.2);
}

INSTANTIATE_TEST_SUITE_P(Jumps, ClockJump,
                         testing::Values(JumpCase{"ahead 8 days", 8 * 86400e3},
                                         JumpCase{"back 10 minutes", -600e3},
                                         JumpCase{"back a year", -365 * 86400e3}),
                         CaseName());

}  // namespace
