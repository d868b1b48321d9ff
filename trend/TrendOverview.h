// A thinned copy of a long series for drawing it whole: each bucket of a few
// dozen points is kept as its lowest and its highest point. Drawn instead of
// the series when far more points are in view than the chart has pixels, it
// shows the same line (every extreme is still there) for a sixteenth of the
// drawing work, and is kept up to date point by point as live readings come.
#pragma once

#include "TrendSeries.h"

#include <cstddef>
#include <deque>
#include <vector>

namespace tirevo {

class TrendOverview {
public:
    static constexpr std::size_t kPointsPerBucket = 32;

    void Clear();
    // Points come in key order; one that does not still goes in the last
    // bucket, and Ordered() turns false.
    void Add(double key, double value);
    // The oldest point added has gone from the series: its bucket goes once
    // every point of it has gone.
    void DropOldest();
    // The buckets' lowest and highest points, one when they are the same.
    std::vector<TrendPoint> Points() const;
    std::size_t Buckets() const { return buckets_.size(); }
    bool Ordered() const { return ordered_; }

private:
    struct Bucket {
        TrendPoint low;
        TrendPoint high;
        double lastKey = 0;
        std::size_t count = 0;
    };
    std::deque<Bucket> buckets_;
    std::size_t droppedFromFirst_ = 0;
    bool ordered_ = true;
};

}  // namespace tirevo
