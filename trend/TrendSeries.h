// The live readings of this connection, bounded: the last 604,800 readings
// (7 days at one reading a second), so that a meter left polling for weeks
// cannot fill the memory. Nothing else is ever dropped: a reading whose time
// lies before the one before it (the clock was set back) is kept too.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>

namespace tirevo {

struct TrendPoint {
    double key = 0;  // UTC milliseconds since the epoch (live, and logs with time stamps)
    double value = 0;
};

class TrendSeries {
public:
    static constexpr std::size_t kMaxPoints = 604800;  // 7 days at 1 Hz

    // Adds a point at the end, in the order the readings came, whatever its
    // key; gives the oldest point when it had to go to keep the bound.
    std::optional<TrendPoint> Add(double key, double value);

    std::size_t Size() const { return points_.size(); }
    bool Empty() const { return points_.empty(); }
    // In the order the points were added.
    const TrendPoint& At(std::size_t i) const { return points_[i]; }

private:
    // A deque gives its blocks back as old points go, and never holds twice
    // the points as a growing vector would.
    std::deque<TrendPoint> points_;
};

}  // namespace tirevo
