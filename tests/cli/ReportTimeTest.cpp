// The ends of a report's period as typed, in a zone with summer time: the
// whole of what was typed lies inside the period, the hour that repeats
// included, and anything that is not a local ISO date or time is refused.
#include "ReportTime.h"
#include "TimeZone.h"

#include <gtest/gtest.h>

#include <chrono>

namespace tirevo {
namespace {

const bool kInBerlin = test::UseTimeZone(test::kBerlin);

// UTC ms of a UTC date and time.
int64_t Utc(int year, unsigned month, unsigned day, int hour, int minute, int second = 0, int ms = 0)
{
    using namespace std::chrono;
    const auto days =
        sys_days(year_month_day(std::chrono::year(year), std::chrono::month(month), std::chrono::day(day)))
            .time_since_epoch()
            .count();
    return ((static_cast<int64_t>(days) * 24 + hour) * 60 + minute) * 60000 + second * 1000 + ms;
}

struct TimeCase {
    const char* name;
    const char* text;
    PeriodEnd end;
    int64_t utcMs;
};

class ReportTimeRead : public testing::TestWithParam<TimeCase> {};

TEST_P(ReportTimeRead, IsTheInstantTheWallClockShowed)
{
    ASSERT_TRUE(kInBerlin);
    EXPECT_EQ(ReportTimeUtcMs(GetParam().text, GetParam().end), GetParam().utcMs);
}

INSTANTIATE_TEST_SUITE_P(
    Berlin, ReportTimeRead,
    testing::Values(TimeCase{"DateFromIsItsMidnight", "2026-12-08", PeriodEnd::From, Utc(2026, 12, 7, 23, 0)},
                    TimeCase{"DateToIsItsLastMillisecond", "2026-12-08", PeriodEnd::To,
                             Utc(2026, 12, 8, 22, 59, 59, 999)},
                    TimeCase{"SummerDate", "2026-07-01", PeriodEnd::From, Utc(2026, 6, 30, 22, 0)},
                    TimeCase{"MinuteFrom", "2026-12-08T14:30", PeriodEnd::From, Utc(2026, 12, 8, 13, 30)},
                    TimeCase{"MinuteToTakesTheWholeMinute", "2026-12-08T14:30", PeriodEnd::To,
                             Utc(2026, 12, 8, 13, 30, 59, 999)},
                    TimeCase{"SecondWithASpace", "2026-12-08 14:30:15", PeriodEnd::From,
                             Utc(2026, 12, 8, 13, 30, 15)},
                    TimeCase{"SecondToTakesTheWholeSecond", "2026-12-08T14:30:15", PeriodEnd::To,
                             Utc(2026, 12, 8, 13, 30, 15, 999)},
                    TimeCase{"RepeatedHourFromIsTheEarlier", "2026-10-25T02:30", PeriodEnd::From,
                             Utc(2026, 10, 25, 0, 30)},
                    TimeCase{"RepeatedHourToIsTheLater", "2026-10-25T02:30", PeriodEnd::To,
                             Utc(2026, 10, 25, 1, 30, 59, 999)},
                    // The day summer time ends has 25 hours, all of them in the period.
                    TimeCase{"LongDayTo", "2026-10-25", PeriodEnd::To, Utc(2026, 10, 25, 22, 59, 59, 999)},
                    TimeCase{"LeapDay", "2028-02-29", PeriodEnd::From, Utc(2028, 2, 28, 23, 0)}),
    [](const testing::TestParamInfo<TimeCase>& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    const char* text;
};

class ReportTimeRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(ReportTimeRefused, IsNoTime)
{
    EXPECT_EQ(ReportTimeUtcMs(GetParam().text, PeriodEnd::From), std::nullopt);
    EXPECT_EQ(ReportTimeUtcMs(GetParam().text, PeriodEnd::To), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReportTimeRefused,
    testing::Values(RefusedCase{"Empty", ""}, RefusedCase{"NoSuchDay", "2026-02-30"},
                    RefusedCase{"NoSuchMonth", "2026-13-01"}, RefusedCase{"Hour24", "2026-12-08T24:00"},
                    RefusedCase{"Minute60", "2026-12-08T14:60"}, RefusedCase{"HourAlone", "2026-12-08T14"},
                    RefusedCase{"GermanOrder", "08.12.2026"}, RefusedCase{"ShortDay", "2026-12-8"},
                    RefusedCase{"AnOffset", "2026-12-08T14:30+01:00"}, RefusedCase{"Word", "yesterday"},
                    RefusedCase{"TrailingSpace", "2026-12-08 "}, RefusedCase{"SignedYear", "+026-12-08"},
                    RefusedCase{"OtherSeparator", "2026-12-08_14:30"},
                    RefusedCase{"Second60", "2026-12-08T14:30:60"},
                    RefusedCase{"LetterInTheSeconds", "2026-12-08T14:30:1x"},
                    RefusedCase{"FractionOfASecond", "2026-12-08T14:30:15.5"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tirevo
