#include "ReportFigures.h"

#include <algorithm>
#include <cmath>

namespace tirevo {

void FiguresAccumulator::Add(double utcMs, double ph)
{
    ReadingFigures& f = figures_;
    if (outsideSince_ && utcMs > *outsideSince_)
        f.outsideMs += utcMs - *outsideSince_;
    outsideSince_.reset();
    if ((high_ && ph > *high_) || (low_ && ph < *low_))
        outsideSince_ = utcMs;

    ++f.count;
    if (f.count == 1) {
        f.firstUtcMs = f.lastUtcMs = utcMs;
        f.minimum = f.maximum = ph;
    } else {
        f.firstUtcMs = std::min(f.firstUtcMs, utcMs);
        f.lastUtcMs = std::max(f.lastUtcMs, utcMs);
        f.minimum = std::min(f.minimum, ph);
        f.maximum = std::max(f.maximum, ph);
    }
    const double delta = ph - f.mean;
    f.mean += delta / static_cast<double>(f.count);
    sumSquares_ += delta * (ph - f.mean);
}

ReadingFigures FiguresAccumulator::Figures() const
{
    ReadingFigures out = figures_;
    out.standardDeviation = out.count > 1 ? std::sqrt(sumSquares_ / static_cast<double>(out.count - 1)) : 0.0;
    return out;
}

std::vector<ChartColumn> ReduceToColumns(const std::vector<double>& keys, const std::vector<double>& values,
                                         double fromMs, double toMs, int columns)
{
    std::vector<ChartColumn> out;
    if (columns <= 0 || !(toMs >= fromMs))
        return out;
    std::vector<int> at(static_cast<std::size_t>(columns), -1);  // index into out
    const double span = toMs - fromMs;
    const std::size_t n = std::min(keys.size(), values.size());
    for (std::size_t i = 0; i < n; ++i) {
        const double t = keys[i];
        const double v = values[i];
        if (t < fromMs || t > toMs || !std::isfinite(v))
            continue;
        int column = span > 0 ? static_cast<int>((t - fromMs) / span * columns) : 0;
        column = std::clamp(column, 0, columns - 1);
        int& slot = at[static_cast<std::size_t>(column)];
        if (slot < 0) {
            slot = static_cast<int>(out.size());
            out.push_back({column, v, v});
        } else {
            ChartColumn& c = out[static_cast<std::size_t>(slot)];
            c.minimum = std::min(c.minimum, v);
            c.maximum = std::max(c.maximum, v);
        }
    }
    std::sort(out.begin(), out.end(),
              [](const ChartColumn& a, const ChartColumn& b) { return a.column < b.column; });
    return out;
}

std::vector<ChartColumn> MergeColumns(const std::vector<ChartColumn>& a, const std::vector<ChartColumn>& b)
{
    std::vector<ChartColumn> out;
    out.reserve(a.size() + b.size());
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i].column < b[j].column)) {
            out.push_back(a[i++]);
        } else if (i == a.size() || b[j].column < a[i].column) {
            out.push_back(b[j++]);
        } else {
            out.push_back(
                {a[i].column, std::min(a[i].minimum, b[j].minimum), std::max(a[i].maximum, b[j].maximum)});
            ++i;
            ++j;
        }
    }
    return out;
}

}  // namespace tirevo
