// The local zone's rules as the program asks them, on every system the same
// answers for the same zone. Run with TZ=America/New_York (on Windows, Wine
// takes the system's zone from it).
#include "ZoneRules.h"

#include <gtest/gtest.h>

#include <vector>

namespace tirevo {
namespace {

constexpr long long kHour = 3600;

// Seconds since the epoch of a UTC date and time (proleptic Gregorian).
long long Utc(int year, int month, int day, int hour, int minute)
{
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yoe = year - era * 400;
    const long long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (era * 146097 + doe - 719468) * 86400 + hour * kHour + minute * 60LL;
}

struct OffsetCase {
    const char* name;
    long long utc;
    long long offset;
};

class OffsetAt : public testing::TestWithParam<OffsetCase> {};

TEST_P(OffsetAt, IsTheZonesOffsetAtThatMoment)
{
    EXPECT_EQ(LocalOffsetAt(GetParam().utc), GetParam().offset);
}

INSTANTIATE_TEST_SUITE_P(NewYork, OffsetAt,
                         testing::Values(OffsetCase{"Winter", Utc(2026, 1, 15, 12, 0), -5 * kHour},
                                         OffsetCase{"Summer", Utc(2026, 7, 15, 12, 0), -4 * kHour},
                                         // Clocks went forward at 07:00 UTC on 8 March 2026.
                                         OffsetCase{"JustBeforeSpring", Utc(2026, 3, 8, 6, 59), -5 * kHour},
                                         OffsetCase{"JustAfterSpring", Utc(2026, 3, 8, 7, 0), -4 * kHour},
                                         // And back at 06:00 UTC on 1 November 2026.
                                         OffsetCase{"JustBeforeAutumn", Utc(2026, 11, 1, 5, 59), -4 * kHour},
                                         OffsetCase{"JustAfterAutumn", Utc(2026, 11, 1, 6, 0), -5 * kHour}),
                         [](const testing::TestParamInfo<OffsetCase>& info) { return info.param.name; });

struct CivilCase {
    const char* name;
    long long civil;
    std::vector<long long> offsets;
};

class OffsetsOf : public testing::TestWithParam<CivilCase> {};

TEST_P(OffsetsOf, AreTheOffsetsUnderWhichTheClockShowedThatTime)
{
    EXPECT_EQ(LocalOffsetsOf(GetParam().civil), GetParam().offsets);
}

INSTANTIATE_TEST_SUITE_P(
    NewYork, OffsetsOf,
    testing::Values(CivilCase{"Winter", Utc(2026, 1, 15, 9, 30), {-5 * kHour}},
                    CivilCase{"Summer", Utc(2026, 7, 15, 9, 30), {-4 * kHour}},
                    // 01:30 came twice on 1 November: summer time first.
                    CivilCase{"RepeatedHour", Utc(2026, 11, 1, 1, 30), {-4 * kHour, -5 * kHour}},
                    // 02:30 never came on 8 March: read with the winter offset.
                    CivilCase{"SkippedHour", Utc(2026, 3, 8, 2, 30), {-5 * kHour}}),
    [](const testing::TestParamInfo<CivilCase>& info) { return info.param.name; });

}  // namespace
}  // namespace tirevo
