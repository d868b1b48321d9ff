// The live trend through the program's side, with the real module: readings
// stamped across the end of summer time in Berlin and across a clock set back
// ten minutes are all kept, in their places on the time axis, which is
// labelled in local time.
#include "TrendHost.h"
#include "TimeZone.h"

#include <qcustomplot.h>

#include <QDateTime>
#include <QLabel>
#include <QTest>

#include <vector>

using namespace tirevo;

namespace {

[[maybe_unused]] const bool kInBerlin = tirevo::test::UseTimeZone(tirevo::test::kBerlin);

constexpr qint64 kMinute = 60000;

// Readings every 10 s from startUtc (UTC ms) for the given minutes, rising
// 0.001 pH a minute of the reading's own time.
struct Run {
    qint64 startUtc;
    int minutes;
};

QCustomPlot* PlotOf(QWidget* window) { return window->findChild<QCustomPlot*>(QStringLiteral("plot")); }

QString Figures(QWidget* window) { return window->findChild<QLabel*>(QStringLiteral("figures"))->text(); }

}  // namespace

class TrendHostTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyReadingStays_data();
    void everyReadingStays();
    void axisLabelsAreLocalTimes();
};

void TrendHostTest::initTestCase() { TrendHost::SetModuleFile(QStringLiteral(TIREVO_TREND_MODULE)); }

void TrendHostTest::everyReadingStays_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("restart");
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<QString>("drift");
    const qint64 utc0 = qint64(tirevo::test::kMillisAt20261025Utc);
    // From 02:50 summer time, on past 03:00 summer time, which is 02:00
    // standard time: the wall clock goes back an hour, time does not.
    QTest::newRow("end of summer time, open")
        << utc0 + 50 * kMinute << utc0 + 60 * kMinute << true << "+0.0010";
    QTest::newRow("end of summer time, opened after")
        << utc0 + 50 * kMinute << utc0 + 60 * kMinute << false << "+0.0010";
    // The clock set back ten minutes five minutes after the first reading:
    // the later readings lie before all the earlier ones.
    const qint64 morning = qint64((20795.0 * 86400 + 5 * 3600) * 1000);
    QTest::newRow("clock set back, open") << morning << morning + 5 * kMinute - 10 * kMinute << true << "";
    QTest::newRow("clock set back, opened after")
        << morning << morning + 5 * kMinute - 10 * kMinute << false << "";
}

void TrendHostTest::everyReadingStays()
{
    QFETCH(qint64, start);
    QFETCH(qint64, restart);
    QFETCH(bool, openFirst);
    QFETCH(QString, drift);
    TrendHost host(nullptr);
    if (openFirst)
        QVERIFY(!host.Show());
    std::vector<qint64> keys;
    for (const qint64 from : {start, restart}) {
        for (int i = 0; i < 30; ++i) {
            const qint64 at = from + i * 10000;
            // A local time, as the reading's own stamp is.
            const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(at);
            host.AddReading(7.0 + 0.001 * double(at - start) / double(kMinute), stamp);
            keys.push_back(at);
            if (openFirst) {
                QCustomPlot* plot = PlotOf(host.Window());
                QCOMPARE(plot->graph(0)->dataCount(), int(keys.size()));
                QVERIFY(plot->xAxis->range().contains(double(at)));
            }
        }
    }
    if (!openFirst)
        QVERIFY(!host.Show());
    QCOMPARE(host.Series().Size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        QCOMPARE(host.Series().At(i).key, double(keys[i]));
    QCustomPlot* plot = PlotOf(host.Window());
    QCOMPARE(plot->graph(0)->dataCount(), int(keys.size()));
    const QString figures = Figures(host.Window());
    QVERIFY2(figures.startsWith(QStringLiteral("n 60 ")), qPrintable(figures));
    if (!drift.isEmpty())
        QVERIFY2(figures.contains(QStringLiteral("drift %1 pH/min").arg(drift)), qPrintable(figures));
}

void TrendHostTest::axisLabelsAreLocalTimes()
{
    TrendHost host(nullptr);
    const qint64 utc0 = qint64(tirevo::test::kMillisAt20261025Utc);
    for (qint64 at = utc0 - 20 * kMinute; at <= utc0 + 100 * kMinute; at += kMinute)
        host.AddReading(7.0, QDateTime::fromMSecsSinceEpoch(at));
    QVERIFY(!host.Show());
    QCustomPlot* plot = PlotOf(host.Window());
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const QVector<double> ticks = plot->xAxis->tickVector();
    const QVector<QString> labels = plot->xAxis->tickVectorLabels();
    QVERIFY(ticks.size() >= 4);
    QCOMPARE(labels.size(), ticks.size());
    QStringList seen;
    for (qsizetype i = 0; i < ticks.size(); ++i) {
        QCOMPARE(labels[i],
                 QDateTime::fromMSecsSinceEpoch(qint64(ticks[i])).toString(QStringLiteral("HH:mm")));
        seen << labels[i];
        if (i > 0)
            QVERIFY(ticks[i] > ticks[i - 1]);
    }
    // The repeated hour is on the axis twice: some 02:xx label comes again.
    const QString all = seen.join(QLatin1Char(' '));
    QVERIFY2(seen.removeDuplicates() > 0, qPrintable(all));
}

QTEST_MAIN(TrendHostTest)
#include "TrendHostTest.moc"
