// The live readings of this connection, bounded: the last 7 days at one
// reading a second, whatever the poll interval, so that a meter left polling
// for weeks cannot fill the memory.
#pragma once

#include <cstddef>
#include <deque>

namespace tirevo {

struct TrendPoint {
    double key = 0;  // local civil seconds
    double value = 0;
};

// A stretch of time over which the reading was stable: from the first stable
// reading to the reading that ended it (or the last one, while it lasts).
struct TrendSpan {
    double from = 0;
    double to = 0;
};

class TrendSeries {
public:
    static constexpr double kMaxAgeSeconds = 7 * 24 * 3600.0;
    static constexpr std::size_t kMaxPoints = 604800;  // 7 days at 1 Hz

    // Adds a point at the end and drops the points older than kMaxAgeSeconds
    // before it, and the oldest beyond kMaxPoints; stable: the reading was.
    void Add(double key, double value, bool stable = false);

    std::size_t Size() const { return points_.size(); }
    bool Empty() const { return points_.empty(); }
    const TrendPoint& At(std::size_t i) const { return points_[i]; }
    // The key before which the view drops points too.
    double OldestKey() const { return points_.empty() ? 0 : points_.front().key; }
    // The stable spans of the points kept, oldest first.
    const std::deque<TrendSpan>& StableSpans() const { return spans_; }
    bool LastStable() const { return lastStable_; }

private:
    // A deque gives its blocks back as old points go, and never holds twice
    // the points as a growing vector would.
    std::deque<TrendPoint> points_;
    std::deque<TrendSpan> spans_;
    bool lastStable_ = false;
};

}  // namespace tirevo
