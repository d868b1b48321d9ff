// The alarm rule as a table on virtual time: each row feeds readings, changes
// of the link and the passing of time, and lists the events that must come,
// in order, and nothing else.
#include "AlarmRule.h"
#include "AlarmText.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace tirevo;

namespace {

// 2026-12-08 10:02:40 UTC at t = 0 of the rows, one hour east of UTC.
constexpr int64_t kUtcAtZero = 1796724160000;
constexpr int32_t kOffset = 3600;

AlarmTime At(int64_t ms) { return {ms, kUtcAtZero + ms, kOffset}; }

struct RuleCase {
    const char* what;
    std::optional<double> high;
    std::optional<double> low;
    int delayS;
    double hysteresis;
    // "r VALUE MS" a reading, "s lost|reopening|connected|closed MS" the
    // link, "a MS" time passes, "set high|low VALUE|off" new settings.
    std::vector<std::string> steps;
    // "raise high 7.60 @5000 since 0", "clear high 7.45 @9000",
    // "raise lost @8000 since 3000", "clear lost @9000"
    std::vector<std::string> events;
    bool watchLostAlways = false;
};

std::string Describe(const AlarmEvent& e)
{
    std::ostringstream out;
    out << (e.raised ? "raise " : "clear ") << AlarmKindName(e.kind);
    if (e.hasValue)
        out << ' ' << AlarmNumberText(e.value, '.');
    out << " @" << e.at.atMs;
    if (e.raised)
        out << " since " << e.since.atMs;
    return out.str();
}

LinkStatus StatusNamed(const std::string& name)
{
    if (name == "lost")
        return LinkStatus::Lost;
    if (name == "reopening")
        return LinkStatus::Reopening;
    if (name == "connected")
        return LinkStatus::Connected;
    return LinkStatus::Closed;
}

class AlarmRuleTable : public ::testing::TestWithParam<RuleCase> {};

TEST_P(AlarmRuleTable, EventsAsTheRuleSays)
{
    const RuleCase& c = GetParam();
    AlarmSettings settings;
    settings.high = c.high;
    settings.low = c.low;
    settings.delayS = c.delayS;
    settings.hysteresis = c.hysteresis;
    AlarmRule rule(settings);
    rule.SetWatchLostAlways(c.watchLostAlways);

    std::vector<std::string> seen;
    auto note = [&](const std::vector<AlarmEvent>& events) {
        for (const AlarmEvent& e : events)
            seen.push_back(Describe(e));
    };
    for (const std::string& step : c.steps) {
        std::istringstream in(step);
        std::string kind;
        in >> kind;
        if (kind == "r") {
            double value = 0;
            int64_t ms = 0;
            in >> value >> ms;
            note(rule.OnReading(value, At(ms)));
        } else if (kind == "s") {
            std::string status;
            int64_t ms = 0;
            in >> status >> ms;
            note(rule.OnStatus(StatusNamed(status), At(ms)));
        } else if (kind == "a") {
            int64_t ms = 0;
            in >> ms;
            // Nothing is due before NextDueMs(): advancing to just before it
            // must stay quiet.
            if (const auto due = rule.NextDueMs(); due && *due > ms)
                EXPECT_TRUE(rule.Advance(ms).empty()) << step;
            else
                note(rule.Advance(ms));
        } else if (kind == "set") {
            std::string which, value;
            in >> which >> value;
            AlarmSettings changed = rule.Settings();
            std::optional<double>& limit = which == "high" ? changed.high : changed.low;
            limit = value == "off" ? std::nullopt : std::optional<double>(std::stod(value));
            rule.SetSettings(changed);
        } else {
            FAIL() << "bad step " << step;
        }
    }
    EXPECT_EQ(seen, c.events);
}

const RuleCase kRuleCases[] = {
    {"delay exactly reached",
     7.50,
     std::nullopt,
     5,
     0.05,
     {"r 7.60 0", "r 7.60 1000", "r 7.60 2000", "r 7.60 3000", "r 7.60 4000", "r 7.61 5000", "r 7.70 6000"},
     {"raise high 7.61 @5000 since 0"}},
    {"delay missed by one reading",
     7.50,
     std::nullopt,
     5,
     0.05,
     {"r 7.60 0", "r 7.60 1000", "r 7.60 2000", "r 7.60 3000", "r 7.60 4000", "r 7.50 5000", "r 7.60 6000",
      "r 7.60 10999"},
     {}},
    {"a new run counts from its own first reading",
     7.50,
     std::nullopt,
     5,
     0.05,
     {"r 7.60 0", "r 7.40 4000", "r 7.60 4500", "r 7.60 9000", "r 7.60 9500"},
     {"raise high 7.60 @9500 since 4500"}},
    {"wobbling inside the hysteresis",
     7.50,
     std::nullopt,
     0,
     0.05,
     {"r 7.52 0", "r 7.48 1000", "r 7.52 2000", "r 7.49 3000", "r 7.51 4000", "r 7.46 5000", "r 7.45 6000"},
     {"raise high 7.52 @0 since 0", "clear high 7.45 @6000"}},
    {"high then low",
     7.50,
     6.00,
     2,
     0.05,
     {"r 7.80 0", "r 7.80 2000", "r 5.90 3000", "r 5.90 4000", "r 5.80 5000", "r 6.04 6000", "r 6.05 7000"},
     {"raise high 7.80 @2000 since 0", "clear high 5.90 @3000", "raise low 5.80 @5000 since 3000",
      "clear low 6.05 @7000"}},
    {"at the low limit is not below it",
     std::nullopt,
     6.00,
     0,
     0.05,
     {"r 6.00 0", "r 5.99 1000", "r 6.00 2000"},
     {"raise low 5.99 @1000 since 1000"}},
    {"compared in hundredths as shown",
     7.50,
     std::nullopt,
     0,
     0.05,
     // 7.504 is shown as 7.50, at the limit; 7.505 is 7.50499... and also
     // shown as 7.50; 7.506 is 7.51.
     {"r 7.504 0", "r 7.505 1000", "r 7.506 2000", "r 7.454 3000", "r 7.449 4000"},
     {"raise high 7.51 @2000 since 2000", "clear high 7.45 @3000"}},
    {"lost and found",
     7.50,
     std::nullopt,
     5,
     0.05,
     {"s reopening 1000", "a 5999", "a 6000", "a 7000", "s lost 7500", "s reopening 7600", "s connected 8000",
      "a 20000"},
     {"raise lost @6000 since 1000", "clear lost @8000"}},
    {"found before the delay",
     std::nullopt,
     6.00,
     5,
     0.05,
     {"s reopening 1000", "s lost 3000", "s connected 5999", "a 6000", "a 60000"},
     {}},
    {"D = 0 raises at the first reading and at once when lost",
     7.50,
     std::nullopt,
     0,
     0.05,
     {"r 7.51 0", "r 7.51 100", "s reopening 200", "s connected 300", "r 7.40 400"},
     {"raise high 7.51 @0 since 0", "raise lost @200 since 200", "clear lost @300", "clear high 7.40 @400"}},
    {"high stays raised while the meter is lost",
     7.50,
     std::nullopt,
     0,
     0.05,
     {"r 7.60 0", "s reopening 1000", "s connected 2000", "r 7.60 3000", "r 7.00 4000"},
     {"raise high 7.60 @0 since 0", "raise lost @1000 since 1000", "clear lost @2000",
      "clear high 7.00 @4000"}},
    {"no limits, no lost alarm",
     std::nullopt,
     std::nullopt,
     0,
     0.05,
     {"s reopening 1000", "a 9000", "s connected 10000", "r 99 11000"},
     {}},
    {"lost watched without limits when asked",
     std::nullopt,
     std::nullopt,
     1,
     0.05,
     {"s reopening 1000", "a 2000", "s connected 10000"},
     {"raise lost @2000 since 1000", "clear lost @10000"},
     true},
    {"a limit turned off clears at the next reading",
     7.50,
     std::nullopt,
     0,
     0.05,
     {"r 7.80 0", "set high off", "r 7.80 1000", "r 7.90 2000"},
     {"raise high 7.80 @0 since 0", "clear high 7.80 @1000"}},
    {"a limit raised past the reading clears at the next reading",
     7.50,
     std::nullopt,
     0,
     0.05,
     {"r 7.80 0", "set high 8.00", "r 7.80 1000", "r 8.10 2000"},
     {"raise high 7.80 @0 since 0", "clear high 7.80 @1000", "raise high 8.10 @2000 since 2000"}},
    {"closing ends the watch without events",
     7.50,
     std::nullopt,
     1,
     0.05,
     {"r 7.80 0", "r 7.80 1000", "s closed 1500", "r 7.80 2000", "r 7.80 2500", "r 7.80 3000"},
     {"raise high 7.80 @1000 since 0", "raise high 7.80 @3000 since 2000"}},
    {"zero hysteresis clears at the limit",
     7.50,
     std::nullopt,
     0,
     0,
     {"r 7.51 0", "r 7.50 1000"},
     {"raise high 7.51 @0 since 0", "clear high 7.50 @1000"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, AlarmRuleTable, ::testing::ValuesIn(kRuleCases), CaseName());

TEST(AlarmRule, EventsCarryTheirTimes)
{
    AlarmSettings settings;
    settings.high = 7.5;
    settings.delayS = 3;
    AlarmRule rule(settings);
    EXPECT_TRUE(rule.OnReading(7.8, At(0)).empty());
    const std::vector<AlarmEvent> raised = rule.OnReading(7.8, At(3000));
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_EQ(raised[0].at.utcMs, kUtcAtZero + 3000);
    EXPECT_EQ(AlarmClockText(raised[0].since), "11:02:40");
    EXPECT_EQ(AlarmClockText(raised[0].at), "11:02:43");
    ASSERT_TRUE(rule.Shown());
    EXPECT_EQ(AlarmStateText(*rule.Shown(), '.'), "Above 7.50 since 11:02:40");
    EXPECT_EQ(AlarmStateText(*rule.Shown(), ','), "Above 7,50 since 11:02:40");

    // A lost meter's raise is on the wall clock of the moment it is raised.
    EXPECT_TRUE(rule.OnStatus(LinkStatus::Reopening, At(10000)).empty());
    EXPECT_EQ(rule.NextDueMs(), 13000);
    const std::vector<AlarmEvent> lost = rule.Advance(13250);
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].at.utcMs, kUtcAtZero + 13250);
    EXPECT_EQ(lost[0].since.utcMs, kUtcAtZero + 10000);
    EXPECT_FALSE(rule.NextDueMs());
    // Lost is shown before high.
    EXPECT_EQ(AlarmStateText(*rule.Shown(), '.'), "Not responding since 11:02:50");
    EXPECT_TRUE(rule.Raised(AlarmKind::High));
}

struct TextCase {
    const char* what;
    AlarmEvent event;
    const char* text;
};

class AlarmEventTexts : public ::testing::TestWithParam<TextCase> {};

TEST_P(AlarmEventTexts, AsTheUserReadsThem)
{
    EXPECT_EQ(AlarmEventText(GetParam().event, "A1B2C3", '.'), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AlarmEventTexts,
    ::testing::Values(
        TextCase{"high", {AlarmKind::High, true, true, 7.8, 7.5, At(0), At(0)}, "pH 7.80 above 7.50"},
        TextCase{"low", {AlarmKind::Low, true, true, 5.9, 6, At(0), At(0)}, "pH 5.90 below 6.00"},
        TextCase{
            "lost", {AlarmKind::Lost, true, false, 0, 0, At(0), At(0)}, "pH meter A1B2C3 not responding"},
        TextCase{"cleared", {AlarmKind::High, false, true, 7.3, 7.5, At(0), At(0)}, "pH back in range: 7.30"},
        TextCase{"found",
                 {AlarmKind::Lost, false, false, 0, 0, At(0), At(0)},
                 "pH meter A1B2C3 responding again"}),
    CaseName());

}  // namespace
