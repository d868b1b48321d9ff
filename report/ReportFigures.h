// The figures of the readings in a report's period, taken one reading at a
// time so that a week at 1 Hz needs no second copy of its rows, and the
// chart's reduction of a long series to one minimum and maximum per column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tirevo {

struct ReadingFigures {
    int64_t count = 0;
    double firstUtcMs = 0;  // the earliest and latest time, not the file order
    double lastUtcMs = 0;
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    double standardDeviation = 0;  // of the sample (n - 1); 0 for one reading
    double outsideMs = 0;          // time spent above the high or below the low limit
};

class FiguresAccumulator {
public:
    FiguresAccumulator(std::optional<double> high, std::optional<double> low) : high_(high), low_(low) {}

    // A reading of one run of rows (one log). A reading outside the limits
    // counts until the next reading of the same run; the last of a run
    // counts nothing, as nothing says how long it held.
    void Add(double utcMs, double ph);
    // The next reading starts a new run.
    void EndRun() { outsideSince_.reset(); }

    ReadingFigures Figures() const;

private:
    std::optional<double> high_;
    std::optional<double> low_;
    ReadingFigures figures_;
    double sumSquares_ = 0;  // Welford's running sum of squared differences from the mean
    std::optional<double> outsideSince_;
};

struct ChartColumn {
    int column = 0;
    double minimum = 0;
    double maximum = 0;
};

// The readings between fromMs and toMs reduced to columns (0 .. columns - 1,
// each of the same share of the period): the minimum and maximum of each
// column that holds a reading, in column order.
std::vector<ChartColumn> ReduceToColumns(const std::vector<double>& keys, const std::vector<double>& values,
                                         double fromMs, double toMs, int columns);

// Merges b into a column by column (both in column order).
std::vector<ChartColumn> MergeColumns(const std::vector<ChartColumn>& a, const std::vector<ChartColumn>& b);

}  // namespace tirevo
