// The trend's texts: the figures under the chart for the points in view
// (count, extremes, mean, standard deviation, drift) with the one line that
// shows them, and the points in view as CSV.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

namespace tirevo {

struct TrendFigures {
    std::size_t n = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
    // Sample standard deviation (divided by n - 1): the points are a sample
    // of the electrode's readings, not the whole of them. 0 for one point.
    double sd = 0;
    // Least-squares slope of value over key, per unit of key; 0 when the keys
    // do not spread (one point, or all at the same key).
    double slope = 0;
};

// Two passes over the points (mean first, then deviations from it), so that
// keys of about 1.8e9 seconds and values near 7 keep their precision. Works
// on any range of points; key(point) and value(point) read one.
template <typename Iterator, typename KeyOf, typename ValueOf>
TrendFigures ComputeTrendFigures(Iterator begin, Iterator end, KeyOf key, ValueOf value)
{
    TrendFigures out;
    if (begin == end)
        return out;
    double keySum = 0;
    double valueSum = 0;
    out.min = value(*begin);
    out.max = out.min;
    for (Iterator it = begin; it != end; ++it) {
        const double v = value(*it);
        keySum += key(*it);
        valueSum += v;
        out.min = std::min(out.min, v);
        out.max = std::max(out.max, v);
        ++out.n;
    }
    const double n = static_cast<double>(out.n);
    const double keyMean = keySum / n;
    out.mean = valueSum / n;
    double keySquares = 0;
    double valueSquares = 0;
    double products = 0;
    for (Iterator it = begin; it != end; ++it) {
        const double dk = key(*it) - keyMean;
        const double dv = value(*it) - out.mean;
        keySquares += dk * dk;
        valueSquares += dv * dv;
        products += dk * dv;
    }
    if (out.n > 1)
        out.sd = std::sqrt(valueSquares / (n - 1));
    if (keySquares > 0)
        out.slope = products / keySquares;
    return out;
}

// A number with two decimals and the given separator, no "-0.00".
std::string TwoDecimals(double value, char decimalSeparator);

// A drift with its sign: two decimals, more for a slow one up to six, so
// that it shows at least two significant digits ("+0.0042"); no "-0".
std::string DriftText(double value, char decimalSeparator);

// "n 3600   min 6.50   max 7.50   mean 7.00   sd 0.35   drift +0.0042 pH/min":
// slopePerUnit scales the slope to the unit named (60000 for keys in
// milliseconds and a drift per minute). Without points the numbers read "--".
std::string TrendFiguresLine(const TrendFigures& figures, char decimalSeparator, double slopePerUnit,
                             std::string_view unit);

// The CSV of the points in view: "time,ph" with ISO 8601 local times and
// their UTC offsets (keys in UTC milliseconds), or
// "row,ph" with row numbers for a log without time stamps; "." decimals and
// the shortest text that reads back as the same double.
std::string TrendCsvHeader(bool timeKeys);
void AppendTrendCsvRow(std::string& out, double key, double value, bool timeKeys);

}  // namespace tirevo
