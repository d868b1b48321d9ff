#include "TrendSeries.h"

namespace tirevo {

std::optional<TrendPoint> TrendSeries::Add(double key, double value)
{
    points_.push_back({key, value});
    if (points_.size() <= kMaxPoints)
        return std::nullopt;
    const TrendPoint dropped = points_.front();
    points_.pop_front();
    return dropped;
}

}  // namespace tirevo
