// What the program and the trend module share: the window the module makes,
// seen through a few virtual calls, and the one function it exports. The
// program loads the module only when the trend is first shown, so that the
// plotting library costs nothing until then.
#pragma once

#include <QDateTime>
#include <QString>

class QWidget;

namespace tirevo {

class TrendSeries;

class TrendView {
public:
    virtual ~TrendView() = default;
    // The top-level window.
    virtual QWidget* Window() = 0;
    // Shows these live points (copied) and follows further ones.
    virtual void ShowLive(const TrendSeries& series) = 0;
    // One more live point; points before oldestKey are gone from the series.
    // stable: the reading was stable (the chart shades stable spans).
    virtual void AddLive(double key, double value, double oldestKey, bool stable) = 0;
    // Loads a log file into the window; a file that cannot be read is
    // reported in the window's own message box.
    virtual void OpenLog(const QString& path) = 0;
};

// Bumped whenever the calls above change, so that a stale module installed
// beside a newer program is refused instead of called wrongly.
inline constexpr int kTrendViewVersion = 2;

// Local civil seconds of a moment: its wall-clock time counted as if it were
// UTC, so live points and log rows (which carry wall-clock times) share one
// time axis, drawn in UTC to show those times unchanged.
inline double CivilSeconds(const QDateTime& moment)
{
    constexpr double kMillisPerSecond = 1000.0;
    return static_cast<double>(moment.toMSecsSinceEpoch()) / kMillisPerSecond + moment.offsetFromUtc();
}

}  // namespace tirevo

extern "C" {
// The module's exports: its interface version, and a new trend window
// (parent: the window it closes with, or none).
using TirevoTrendVersionFn = int (*)();
using TirevoTrendCreateFn = tirevo::TrendView* (*)(QWidget* parent);
}
