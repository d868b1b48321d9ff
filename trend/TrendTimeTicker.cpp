#include "TrendTimeTicker.h"

namespace tirevo {

namespace {

QCPRange InSeconds(const QCPRange& range)
{
    return {range.lower / TrendTimeTicker::kMillisPerSecond, range.upper / TrendTimeTicker::kMillisPerSecond};
}

}  // namespace

double TrendTimeTicker::getTickStep(const QCPRange& range)
{
    return QCPAxisTickerDateTime::getTickStep(InSeconds(range)) * kMillisPerSecond;
}

int TrendTimeTicker::getSubTickCount(double tickStep)
{
    return QCPAxisTickerDateTime::getSubTickCount(tickStep / kMillisPerSecond);
}

QString TrendTimeTicker::getTickLabel(double tick, const QLocale& locale, QChar formatChar, int precision)
{
    return QCPAxisTickerDateTime::getTickLabel(tick / kMillisPerSecond, locale, formatChar, precision);
}

QVector<double> TrendTimeTicker::createTickVector(double tickStep, const QCPRange& range)
{
    QVector<double> ticks =
        QCPAxisTickerDateTime::createTickVector(tickStep / kMillisPerSecond, InSeconds(range));
    for (double& tick : ticks)
        tick *= kMillisPerSecond;
    return ticks;
}

}  // namespace tirevo
