// The thinned copy drawn for dense views: every bucket keeps its true extremes
// in key order, and old buckets go only when all their points have gone.
#include "TrendOverview.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace tirevo;

using tirevo::TrendOverview;
using tirevo::TrendPoint;

namespace {

constexpr std::size_t kBucket = TrendOverview::kPointsPerBucket;

struct ShapeCase {
    const char* what;
    std::vector<double> values;  // at keys 0, 1, 2, ...
    std::vector<TrendPoint> points;
};

class Shapes : public testing::TestWithParam<ShapeCase> {};

TEST_P(Shapes, KeepTheExtremesInKeyOrder)
{
    TrendOverview overview;
    for (std::size_t i = 0; i < GetParam().values.size(); ++i)
        overview.Add(double(i), GetParam().values[i]);
    const std::vector<TrendPoint> points = overview.Points();
    ASSERT_EQ(points.size(), GetParam().points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].key, GetParam().points[i].key) << i;
        EXPECT_EQ(points[i].value, GetParam().points[i].value) << i;
    }
    EXPECT_TRUE(overview.Ordered());
}

std::vector<double> Ramp(std::size_t n, double from, double step)
{
    std::vector<double> out;
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(from + step * double(i));
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Buckets, Shapes,
    testing::Values(ShapeCase{"one point", {7.0}, {{0, 7.0}}},
                    ShapeCase{"rising bucket", Ramp(kBucket, 7.0, 0.01), {{0, 7.0}, {31, 7.31}}},
                    ShapeCase{"falling bucket", Ramp(kBucket, 7.0, -0.01), {{0, 7.0}, {31, 6.69}}},
                    ShapeCase{"flat bucket", std::vector<double>(kBucket, 7.0), {{0, 7.0}}},
                    ShapeCase{"spike in the middle then a second bucket",
                              [] {
                                  std::vector<double> v(kBucket + 2, 7.0);
                                  v[10] = 9.0;
                                  v[20] = 5.0;
                                  v[kBucket + 1] = 6.0;
                                  return v;
                              }(),
                              {{10, 9.0}, {20, 5.0}, {32, 7.0}, {33, 6.0}}}),
    CaseName());

TEST(Overview, EveryBucketHoldsTheTrueMinimumAndMaximum)
{
    std::mt19937 random(15);
    std::normal_distribution<double> noise(7.0, 0.3);
    std::vector<double> values(10000);
    TrendOverview overview;
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = noise(random);
        overview.Add(double(i), values[i]);
    }
    const std::vector<TrendPoint> points = overview.Points();
    EXPECT_EQ(overview.Buckets(), (values.size() + kBucket - 1) / kBucket);
    for (std::size_t bucket = 0; bucket < overview.Buckets(); ++bucket) {
        const auto begin = values.begin() + long(bucket * kBucket);
        const auto end = values.begin() + long(std::min(values.size(), (bucket + 1) * kBucket));
        const double low = *std::min_element(begin, end), high = *std::max_element(begin, end);
        std::vector<double> kept;
        for (const TrendPoint& p : points)
            if (p.key >= double(bucket * kBucket) && p.key < double((bucket + 1) * kBucket))
                kept.push_back(p.value);
        ASSERT_EQ(kept.size(), 2u) << bucket;
        EXPECT_EQ(std::min(kept[0], kept[1]), low);
        EXPECT_EQ(std::max(kept[0], kept[1]), high);
    }
    EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                               [](const TrendPoint& a, const TrendPoint& b) { return a.key < b.key; }));
}

TEST(Overview, DropsOnlyBucketsThatAreWhollyOld)
{
    TrendOverview overview;
    for (std::size_t i = 0; i < 3 * kBucket; ++i)
        overview.Add(double(i), 7.0);
    for (std::size_t i = 0; i < kBucket; ++i)
        overview.DropOldest();  // exactly the first bucket
    EXPECT_EQ(overview.Buckets(), 2u);
    for (std::size_t i = 0; i < 5; ++i)
        overview.DropOldest();  // part of the second: it stays
    EXPECT_EQ(overview.Buckets(), 2u);
    EXPECT_EQ(overview.Points().front().key, double(kBucket));
    for (std::size_t i = 0; i < 3 * kBucket; ++i)
        overview.DropOldest();
    EXPECT_EQ(overview.Buckets(), 0u);
}

TEST(Overview, AClockSetBackIsNotedAsOutOfOrderAndDropsInArrivalOrder)
{
    TrendOverview overview;
    for (std::size_t i = 0; i < kBucket; ++i)
        overview.Add(1000 + double(i), 7.0);
    EXPECT_TRUE(overview.Ordered());
    // Set back before every point so far: the new bucket's keys are the
    // smallest, but its points are the newest and go last.
    overview.Add(50, 7.2);
    EXPECT_FALSE(overview.Ordered());
    for (std::size_t i = 0; i < kBucket; ++i)
        overview.DropOldest();
    ASSERT_EQ(overview.Buckets(), 1u);
    EXPECT_EQ(overview.Points().front().key, 50);
    overview.DropOldest();
    EXPECT_EQ(overview.Buckets(), 0u);
    EXPECT_TRUE(overview.Ordered());
}

}  // namespace
