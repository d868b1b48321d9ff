#include "TrendSeries.h"

namespace tirevo {

void TrendSeries::Add(double key, double value)
{
    points_.push_back({key, value});
    const double oldestKept = key - kMaxAgeSeconds;
    while (points_.size() > kMaxPoints || points_.front().key < oldestKept)
        points_.pop_front();
}

}  // namespace tirevo
