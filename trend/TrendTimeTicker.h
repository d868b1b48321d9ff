// The time axis of the trend: keys are UTC milliseconds since the epoch, the
// labels local times. QCustomPlot's date and time ticker counts in seconds;
// this one hands it seconds and scales its ticks back to milliseconds. Across
// the end of summer time the repeated hour is labelled twice, in its place.
#pragma once

#include <qcustomplot.h>

namespace tirevo {

class TrendTimeTicker : public QCPAxisTickerDateTime {
public:
    static constexpr double kMillisPerSecond = 1000.0;

protected:
    double getTickStep(const QCPRange& range) override;
    int getSubTickCount(double tickStep) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision) override;
    QVector<double> createTickVector(double tickStep, const QCPRange& range) override;
};

}  // namespace tirevo
