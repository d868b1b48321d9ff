// The stability rule as a table on virtual time: each row is a run of
// readings (seconds, value) and whether the last one is stable.
#include "StabilityRule.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tirevo;

namespace {

struct Step {
    double atS;
    double value;
    bool restartBefore = false;  // the link was lost before this reading
};

struct RuleCase {
    const char* what;
    StabilityParams params;
    std::vector<Step> steps;
    std::vector<bool> stable;  // after each step
};

class StabilityTable : public ::testing::TestWithParam<RuleCase> {};

// One reading a second from 0 to `last` s, all at value.
std::vector<Step> Flat(int last, double value)
{
    std::vector<Step> steps;
    for (int s = 0; s <= last; ++s)
        steps.push_back({static_cast<double>(s), value});
    return steps;
}

std::vector<bool> StableFrom(int from, int count)
{
    std::vector<bool> stable(static_cast<std::size_t>(count), false);
    for (int i = from; i < count; ++i)
        stable[static_cast<std::size_t>(i)] = true;
    return stable;
}

TEST_P(StabilityTable, StableAfterEachReading)
{
    const RuleCase& c = GetParam();
    StabilityRule rule(c.params);
    ASSERT_EQ(c.steps.size(), c.stable.size());
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        if (c.steps[i].restartBefore)
            rule.Restart();
        const bool stable = rule.Add(static_cast<int64_t>(c.steps[i].atS * 1000), c.steps[i].value);
        EXPECT_EQ(stable, c.stable[i]) << "reading " << i << " at " << c.steps[i].atS << " s";
        EXPECT_EQ(rule.Stable(), stable);
    }
}

// Values whose binary forms make a plain difference of doubles exceed the
// band: 7.03 - 7.01 is 0.020000000000000462.
const StabilityParams kTwoSeconds{2, 2};

INSTANTIATE_TEST_SUITE_P(
    Rule, StabilityTable,
    ::testing::Values(RuleCase{"NothingStableInTheFirstWindow", {}, Flat(11, 7.00), StableFrom(10, 12)},
                      RuleCase{"SpanOfExactlyTheBandIsStable",
                               kTwoSeconds,
                               {{0, 7.01}, {1, 7.03}, {2, 7.02}, {3, 7.01}},
                               {false, false, true, true}},
                      RuleCase{"SpanOfBandPlusAHundredthIsNot",
                               kTwoSeconds,
                               {{0, 7.01}, {1, 7.04}, {2, 7.02}, {3, 7.02}},
                               {false, false, false, true}},
                      RuleCase{"TheReadingAtExactlyNowMinusWCounts",
                               kTwoSeconds,
                               {{0, 6.98}, {1, 7.01}, {2, 7.01}, {2.001, 7.01}},
                               {false, false, false, true}},
                      RuleCase{"ComparedAsShownInHundredths",
                               kTwoSeconds,
                               {{0, 7.004}, {1, 7.0249}, {2, 7.015}},
                               {false, false, true}},
                      RuleCase{"ShownHalvesRoundAwayFromZero",
                               kTwoSeconds,
                               {{0, 7.125}, {1, 7.15}, {2, 7.15}},
                               {false, false, true}},
                      RuleCase{"NegativeReadings",
                               {1, 1},
                               {{0, -0.01}, {1, 0.00}, {2, 0.01}, {3, 0.01}},
                               {false, true, true, true}},
                      RuleCase{"ALostMeterStartsAgain",
                               kTwoSeconds,
                               {{0, 7.00}, {1, 7.00}, {2, 7.00}, {3, 7.00, true}, {4, 7.00}, {5, 7.00}},
                               {false, false, true, false, false, true}},
                      RuleCase{"AClockSteppingBackStartsAgain",
                               kTwoSeconds,
                               {{10, 7.00}, {11, 7.00}, {12, 7.00}, {5, 7.00}, {6, 7.00}, {7, 7.00}},
                               {false, false, true, false, false, true}},
                      RuleCase{"TheSameTimeTwiceIsNoStepBack",
                               kTwoSeconds,
                               {{0, 7.00}, {2, 7.00}, {2, 7.00}},
                               {false, true, true}},
                      RuleCase{"AnOutlierLeavesAfterW",
                               kTwoSeconds,
                               {{0, 7.00}, {1, 7.00}, {2, 7.00}, {3, 7.50}, {4, 7.50}, {5, 7.50}, {6, 7.50}},
                               {false, false, true, false, false, true, true}},
                      RuleCase{"AWideBand",
                               {1, 100},
                               {{0, 6.00}, {1, 7.00}, {2, 8.01}, {3, 8.01}},
                               {false, true, false, true}},
                      // Polled more slowly than the window is long: one
                      // reading in the window spans nothing, however the
                      // meter swings.
                      RuleCase{"OneReadingInTheWindowIsNeverStable",
                               kTwoSeconds,
                               {{0, 6.00}, {3, 8.00}, {6, 6.00}, {9, 8.00}},
                               {false, false, false, false}},
                      RuleCase{"ALateReadingLeavesOneInTheWindow",
                               {1, 2},
                               {{0, 7.00}, {1, 7.00}, {2.05, 7.00}, {3, 7.00}, {4.2, 7.00}},
                               {false, true, false, true, false}},
                      RuleCase{"AWindowOfTwoIntervalsJudges",
                               {2, 2, 1000},
                               {{0, 7.00}, {1, 7.00}, {2, 7.00}, {3, 7.00}},
                               {false, false, true, true}},
                      RuleCase{"AWindowUnderTwoIntervalsJudgesNothing",
                               {2, 2, 1001},
                               {{0, 7.00}, {1, 7.00}, {2, 7.00}, {3, 7.00}},
                               {false, false, false, false}}),
    CaseName());

struct JudgedCase {
    const char* what;
    StabilityParams params;
    bool judged;
};

class StabilityJudged : public ::testing::TestWithParam<JudgedCase> {};

TEST_P(StabilityJudged, AtTheInterval) { EXPECT_EQ(GetParam().params.Judged(), GetParam().judged); }

INSTANTIATE_TEST_SUITE_P(Interval, StabilityJudged,
                         ::testing::Values(JudgedCase{"IntervalNotKnown", {1, 2, 0}, true},
                                           JudgedCase{"ExactlyTwice", {2, 2, 1000}, true},
                                           JudgedCase{"JustUnderTwice", {2, 2, 1001}, false},
                                           JudgedCase{"AMinuteWithTheDefaultWindow", {10, 2, 60000}, false},
                                           JudgedCase{"TheLongestInterval", {600, 2, 4294967295u}, false}),
                         CaseName());

TEST(StabilityTexts, NameTheWindowAndTheInterval)
{
    EXPECT_EQ(StabilityWindowRefusal({2, 2, 3000}),
              "the stability window (2 s) must be at least twice the poll interval (3 s)");
    EXPECT_EQ(StabilityNotJudgedText({10, 2, 60000}),
              "stability is not judged: the 10 s window is shorter than twice the 60 s poll interval");
    EXPECT_EQ(StabilityNotJudgedText({1, 2, 1500}),
              "stability is not judged: the 1 s window is shorter than twice the 1.5 s poll interval");
    EXPECT_EQ(StabilitySecondsText(250), "0.25 s");
}

TEST(StabilityRule, ExtremesLeaveInTheirTurnOverAThousandReadings)
{
    // A saw tooth: the window's highest and lowest change at every reading;
    // the answer must match a plain scan of the window.
    StabilityRule rule({3, 5});
    std::vector<std::pair<int64_t, int>> seen;
    for (int i = 0; i < 1000; ++i) {
        const int64_t at = i * 250;
        const int hundredths = 700 + (i * 7) % 11 - (i % 13 == 0 ? 6 : 0);
        seen.push_back({at, hundredths});
        int lo = 100000;
        int hi = -100000;
        for (const auto& [t, h] : seen)
            if (t >= at - 3000) {
                lo = std::min(lo, h);
                hi = std::max(hi, h);
            }
        const bool expected = at >= 3000 && hi - lo <= 5;
        ASSERT_EQ(rule.Add(at, hundredths / 100.0), expected) << "reading " << i;
    }
}

TEST(ReadingHundredths, AsShown)
{
    EXPECT_EQ(ReadingHundredths(7.125), 713);
    EXPECT_EQ(ReadingHundredths(1.005), 100);
    EXPECT_EQ(ReadingHundredths(-0.001), 0);
    EXPECT_EQ(ReadingHundredths(-0.5), -50);
    EXPECT_EQ(ReadingHundredths(14), 1400);
    EXPECT_EQ(ReadingHundredths(123456.0), 12345600);
}

}  // namespace
