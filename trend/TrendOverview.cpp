#include "TrendOverview.h"

#include <algorithm>

namespace tirevo {

void TrendOverview::Clear()
{
    buckets_.clear();
    droppedFromFirst_ = 0;
    ordered_ = true;
}

void TrendOverview::Add(double key, double value)
{
    const TrendPoint point{key, value};
    if (!buckets_.empty() && key < buckets_.back().lastKey)
        ordered_ = false;
    if (buckets_.empty() || buckets_.back().count == kPointsPerBucket) {
        buckets_.push_back({point, point, key, 1});
        return;
    }
    Bucket& last = buckets_.back();
    if (value < last.low.value)
        last.low = point;
    if (value > last.high.value)
        last.high = point;
    last.lastKey = std::max(last.lastKey, key);
    ++last.count;
}

void TrendOverview::DropOldest()
{
    if (buckets_.empty())
        return;
    if (++droppedFromFirst_ < buckets_.front().count)
        return;
    buckets_.pop_front();
    droppedFromFirst_ = 0;
    if (buckets_.empty())
        ordered_ = true;
}

std::vector<TrendPoint> TrendOverview::Points() const
{
    std::vector<TrendPoint> out;
    out.reserve(buckets_.size() * 2);
    for (const Bucket& bucket : buckets_) {
        const bool lowFirst = bucket.low.key <= bucket.high.key;
        out.push_back(lowFirst ? bucket.low : bucket.high);
        if (bucket.low.key != bucket.high.key || bucket.low.value != bucket.high.value)
            out.push_back(lowFirst ? bucket.high : bucket.low);
    }
    return out;
}

}  // namespace tirevo
