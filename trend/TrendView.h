// What the program and the trend module share: the window the module makes,
// seen through a few virtual calls, and the one function it exports. The
// program loads the module only when the trend is first shown, so that the
// plotting library costs nothing until then.
#pragma once

#include "TrendSeries.h"

#include <QDateTime>
#include <QString>

#include <optional>

class QWidget;

namespace tirevo {

class TrendView {
public:
    virtual ~TrendView() = default;
    // The top-level window.
    virtual QWidget* Window() = 0;
    // Shows these live points (copied) and follows further ones.
    virtual void ShowLive(const TrendSeries& series) = 0;
    // One more live point, and the one that went from the series to make
    // room for it, if any; stable: the reading was stable (the chart shades
    // stable spans).
    virtual void AddLive(const TrendPoint& point, const std::optional<TrendPoint>& dropped, bool stable) = 0;
    // Loads a log file into the window; a file that cannot be read is
    // reported in the window's own message box.
    virtual void OpenLog(const QString& path) = 0;
    // The folder of samples.csv and calibrations.csv the program uses, for
    // the reports the window writes.
    virtual void SetRecordsFolder(const QString& folder) = 0;
};

// Bumped whenever the calls above change, so that a stale module installed
// beside a newer program is refused instead of called wrongly.
inline constexpr int kTrendViewVersion = 3;

// The key of a moment on the time axis: UTC milliseconds since the epoch, so
// that the end of summer time or a clock set back moves no point onto another
// one's place by its label. The axis labels the keys in local time.
inline double TimeKey(const QDateTime& moment) { return static_cast<double>(moment.toMSecsSinceEpoch()); }

}  // namespace tirevo

extern "C" {
// The module's exports: its interface version, and a new trend window
// (parent: the window it closes with, or none).
using TirevoTrendVersionFn = int (*)();
using TirevoTrendCreateFn = tirevo::TrendView* (*)(QWidget* parent);
}
