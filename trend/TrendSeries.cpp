#include "TrendSeries.h"

namespace tirevo {

std::optional<TrendPoint> TrendSeries::Add(double key, double value, bool stable)
{
    points_.push_back({key, value});
    // A span runs on to the reading that ends it, so that even one stable
    // reading has a width on the chart.
    if (lastStable_)
        spans_.back().to = std::max(spans_.back().to, key);
    else if (stable)
        spans_.push_back({key, key});
    lastStable_ = stable;
    if (points_.size() <= kMaxPoints)
        return std::nullopt;
    const TrendPoint dropped = points_.front();
    points_.pop_front();
    while (!spans_.empty() && spans_.front().to < points_.front().key)
        spans_.pop_front();
    return dropped;
}

}  // namespace tirevo
