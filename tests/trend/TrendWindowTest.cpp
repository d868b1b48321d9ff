// The trend window itself, without the module loader: log files from a
// temporary folder, the figures of the span in view, zoom and Fit, the pH
// axis, live points, and what it saves.
#include "TrendWindow.h"
#include "LocalNumber.h"
#include "LogText.h"
#include "MessageBoxWatcher.h"
#include "ReportLoader.h"
#include "TimeZone.h"
#include "TrendSeries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <string>
#include <vector>

using namespace tirevo;

using tirevo::TrendWindow;

namespace {

[[maybe_unused]] const bool kInBerlin = tirevo::test::UseTimeZone(tirevo::test::kBerlin);

// 08.12.2026 06:20:00 CET in UTC milliseconds.
constexpr double kStart = (20795.0 * 86400 + 5 * 3600 + 20 * 60) * 1000;

// A log as the program writes it: readings a second apart from 06:20:00.
QByteArray LogBytes(const std::vector<const char*>& readings, bool stamps = true, char separator = '\t')
{
    std::string out = tirevo::LogHeaderText("1.0.2.7", "QP000001", stamps, separator);
    int second = 0;
    for (const char* reading : readings) {
        const tirevo::LogClockTime at{2026, 12, 8, 6, 20 + second / 60, second % 60};
        out += tirevo::LogRowText(at, ':', stamps, separator, reading);
        ++second;
    }
    return QByteArray(out.data(), qsizetype(out.size()));
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void Wheel(QWidget* widget, int steps)
{
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

class TrendWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensLogFiles_data();
    void opensLogFiles();
    void unreadableFileIsReportedAndChangesNothing();
    void phAxisSpansAtLeastAFifth();
    void wheelZoomsTimeAndFitShowsAllAgain();
    void savesThePointsInViewAsCsv();
    void savesTheChartAsPng();
    void savesAReportOfTheMeterAndSpanInView();
    void followsLivePointsAndDropsOldOnes();
    void liveButtonReturnsFromALog();
    void livePointsBeforeAllOthersStay();
    void dropsTheOldestPointWhereverItsKey();
    void shadesTheStableSpansOfTheLiveReadings();
    void denseViewsDrawTheThinnedCopyButCountEveryPoint();
};

void TrendWindowTest::opensLogFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("figures");
    QTest::addColumn<bool>("timeKeys");

    QTest::newRow("time stamps") << LogBytes({"7.00", "7.02", "7.04", "7.06"}) << "log.txt"
                                 << "n 4   min 7.00   max 7.06   mean 7.03   sd 0.03   drift +1.20 pH/min"
                                 << true;
    QTest::newRow("comma decimals, semicolons")
        << LogBytes({"7,00", "7,02", "7,04", "7,06"}, true, ';') << "log.txt"
        << "n 4   min 7.00   max 7.06   mean 7.03   sd 0.03   drift "
           "+1.20 pH/min"
        << true;
    QTest::newRow("no time stamps") << LogBytes({"7", "8", "6", "7"}, false) << "log.txt"
                                    << "n 4   min 6.00   max 8.00   mean 7.00   sd 0.82   drift -0.20 pH/row"
                                    << false;
    QTest::newRow("two rows skipped, cut off")
        << LogBytes({"7.00", "x", "7.02", "", "7.04"}) + "08.12.2026\t06:20:05\t7.0"
        << "log.txt, 3 rows skipped"
        << "n 3   min 7.00   max 7.04   mean 7.02   sd 0.02   drift +0.60 pH/min" << true;
    QTest::newRow("one row skipped") << LogBytes({"7.00", "bad", "7.00"}) << "log.txt, 1 row skipped"
                                     << "n 2   min 7.00   max 7.00   mean 7.00   sd 0.00   drift +0.00 pH/min"
                                     << true;
    QTest::newRow("no readings") << LogBytes({}) << "log.txt, no readings"
                                 << "n 0   min --   max --   mean --   sd --   drift -- pH/min" << true;
}

void TrendWindowTest::opensLogFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, source);
    QFETCH(QString, figures);
    QFETCH(bool, timeKeys);
    QTemporaryDir dir;
    TrendWindow window(nullptr);
    window.show();
    window.OpenLog(WriteFile(dir, QStringLiteral("log.txt"), bytes));
    QCOMPARE(window.SourceText(), source);
    QCOMPARE(window.FiguresText(), LocalNumber(figures));
    QCOMPARE(window.TimeKeys(), timeKeys);
}

void TrendWindowTest::unreadableFileIsReportedAndChangesNothing()
{
    QTemporaryDir dir;
    TrendWindow window(nullptr);
    window.show();
    window.OpenLog(WriteFile(dir, QStringLiteral("log.txt"), LogBytes({"7.00", "7.10"})));
    const QString figures = window.FiguresText();
    MessageBoxWatcher watcher;
    window.OpenLog(dir.filePath(QStringLiteral("missing.txt")));
    QCOMPARE(watcher.seen.size(), size_t(1));
    QVERIFY2(watcher.seen[0].text.contains(QStringLiteral("missing.txt")), qPrintable(watcher.seen[0].text));
    QCOMPARE(window.FiguresText(), figures);
    QCOMPARE(window.SourceText(), QStringLiteral("log.txt"));
}

void TrendWindowTest::phAxisSpansAtLeastAFifth()
{
    QTemporaryDir dir;
    TrendWindow window(nullptr);
    window.show();
    // A steady 7.00: the noise-free line sits in the middle of 0.2 pH.
    window.OpenLog(WriteFile(dir, QStringLiteral("flat.txt"), LogBytes({"7.00", "7.00", "7.01", "7.00"})));
    const QCPRange flat = window.Plot()->yAxis->range();
    QVERIFY2(qAbs(flat.size() - 0.2) < 1e-9, qPrintable(QString::number(flat.size())));
    QVERIFY(flat.lower < 7.0 && flat.upper > 7.01);
    // A titration from 4 to 9 is shown whole.
    window.OpenLog(WriteFile(dir, QStringLiteral("wide.txt"), LogBytes({"4.00", "6.50", "9.00"})));
    const QCPRange wide = window.Plot()->yAxis->range();
    QVERIFY(wide.lower <= 4.0 && wide.upper >= 9.0 && wide.size() < 6.0);
}

void TrendWindowTest::wheelZoomsTimeAndFitShowsAllAgain()
{
    QTemporaryDir dir;
    std::vector<std::string> texts;
    for (int i = 0; i < 600; ++i)
        texts.push_back(i < 300 ? "7.00" : "8.00");
    std::vector<const char*> readings;
    for (const auto& t : texts)
        readings.push_back(t.c_str());
    TrendWindow window(nullptr);
    window.show();
    window.OpenLog(WriteFile(dir, QStringLiteral("log.txt"), LogBytes(readings)));
    QCOMPARE(window.Figures().n, size_t(600));
    const QCPRange all = window.Plot()->xAxis->range();
    QCOMPARE(all.lower, kStart);
    QCOMPARE(all.upper, kStart + 599000);

    Wheel(window.Plot(), 5);  // towards the user: zoom in
    const QCPRange zoomed = window.Plot()->xAxis->range();
    QVERIFY(!window.Following());
    QVERIFY2(zoomed.size() < all.size() * 0.6, qPrintable(QString::number(zoomed.size())));
    QVERIFY(window.Figures().n < 600 && window.Figures().n > 0);

    // Dragged to the right by a quarter of the chart: earlier readings come
    // into view, the span stays.
    const QCPRange beforeDrag = window.Plot()->xAxis->range();
    const QRect area = window.Plot()->axisRect()->rect();
    QTest::mousePress(window.Plot(), Qt::LeftButton, {}, area.center());
    QTest::mouseMove(window.Plot(), area.center() + QPoint(area.width() / 4, 0));
    QTest::mouseRelease(window.Plot(), Qt::LeftButton, {}, area.center() + QPoint(area.width() / 4, 0));
    const QCPRange dragged = window.Plot()->xAxis->range();
    QVERIFY2(dragged.lower < beforeDrag.lower - beforeDrag.size() / 8,
             qPrintable(QString::number(dragged.lower - beforeDrag.lower)));
    QVERIFY(qAbs(dragged.size() - beforeDrag.size()) < 1e-6);

    // Panned to the first half only: the figures and the pH axis follow.
    window.Plot()->xAxis->setRange(kStart, kStart + 100000);
    QCOMPARE(window.Figures().n, size_t(101));
    QCOMPARE(window.Figures().max, 7.0);
    QVERIFY(window.Plot()->yAxis->range().upper < 7.2);

    QTest::mouseClick(window.FitButton(), Qt::LeftButton);
    QVERIFY(window.Following());
    QCOMPARE(window.Plot()->xAxis->range().lower, all.lower);
    QCOMPARE(window.Plot()->xAxis->range().upper, all.upper);
    QCOMPARE(window.Figures().n, size_t(600));
}

void TrendWindowTest::savesThePointsInViewAsCsv()
{
    QTemporaryDir dir;
    TrendWindow window(nullptr);
    window.show();
    window.OpenLog(WriteFile(dir, QStringLiteral("log.txt"), LogBytes({"7,00", "7,02", "7,04", "7,06"})));
    window.Plot()->xAxis->setRange(kStart + 1000, kStart + 2000);
    QString error;
    const QString csv = dir.filePath(QStringLiteral("view.csv"));
    QVERIFY2(window.SaveData(csv, error), qPrintable(error));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("time,ph\n2026-12-08T06:20:01+01:00,7.02\n2026-12-08T06:20:02+01:00,7.04\n"));

    // Closed first: Windows does not replace a file that is open.
    file.close();
    window.OpenLog(WriteFile(dir, QStringLiteral("rows.txt"), LogBytes({"7,00", "7,5"}, false)));
    QVERIFY2(window.SaveData(csv, error), qPrintable(error));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("row,ph\n1,7\n2,7.5\n"));

    QVERIFY(!window.SaveData(dir.filePath(QStringLiteral("no/such/folder/view.csv")), error));
    QVERIFY(error.contains(QStringLiteral("view.csv")));
}

void TrendWindowTest::savesTheChartAsPng()
{
    QTemporaryDir dir;
    TrendWindow window(nullptr);
    window.show();
    window.OpenLog(WriteFile(dir, QStringLiteral("log.txt"), LogBytes({"7.00", "7.10", "7.05"})));
    QString error;
    const QString png = dir.filePath(QStringLiteral("trend.png"));
    QVERIFY2(window.SaveImage(png, error), qPrintable(error));
    QImage image;
    QVERIFY(image.load(png, "PNG"));
    QCOMPARE(image.size(), window.Plot()->size());
    QVERIFY(!window.SaveImage(dir.filePath(QStringLiteral("no/such/folder/trend.png")), error));
}

// "Save report…" with its file dialog bypassed: the report module, loaded
// from the build tree, writes the PDF of the log's meter and the span in view,
// and pdftotext reads it back.
void TrendWindowTest::savesAReportOfTheMeterAndSpanInView()
{
    tirevo::SetReportModuleFile(QStringLiteral(TIREVO_REPORT_MODULE));
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("records")));
    WriteFile(dir, QStringLiteral("records/samples.csv"),
              "time,sample,ph,stable,serial\r\n2026-12-08T06:20:02.000+01:00,Brine A,7.04,yes,QP000001\r\n");
    // Another meter's log in the same folder stays out of the report.
    const std::string other = tirevo::LogHeaderText("1.0.2.7", "QP000007", true, '\t') +
        tirevo::LogRowText({2026, 12, 8, 6, 20, 2}, ':', true, '\t', "9.00");
    WriteFile(dir, QStringLiteral("USB_PH_261208_062000_2.txt"), QByteArray::fromStdString(other));
    TrendWindow window(nullptr);
    window.show();
    QCOMPARE(window.SaveReportButton()->text(), QStringLiteral("Save report…"));
    window.SetRecordsFolder(dir.filePath(QStringLiteral("records")));
    window.OpenLog(WriteFile(dir, QStringLiteral("USB_PH_261208_062000.txt"),
                             LogBytes({"7.00", "7.02", "7.04", "7.06", "7.08"})));
    window.Plot()->xAxis->setRange(kStart + 1000, kStart + 3000);
    QString error;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QVERIFY2(window.SaveReport(pdf, error), qPrintable(error));
#ifdef Q_OS_WIN
    // Under Wine there is no pdftotext to read it back: written is all.
    QVERIFY(QFileInfo(pdf).size() > 0);
    QSKIP("no pdftotext on Windows to read the report back");
#endif
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(60000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("Meter: QP000001")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Period: 2026-12-08 06:20:01 to 2026-12-08 06:20:03")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Brine A")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("QP000007")), qPrintable(text));

    QVERIFY(!window.SaveReport(dir.filePath(QStringLiteral("no/such/folder/report.pdf")), error));
    QVERIFY2(error.contains(QStringLiteral("report.pdf")), qPrintable(error));
}

void TrendWindowTest::followsLivePointsAndDropsOldOnes()
{
    TrendWindow window(nullptr);
    tirevo::TrendSeries series;
    series.Add(kStart, 7.00);
    series.Add(kStart + 1000, 7.02);
    window.ShowLive(series);
    window.show();
    QCOMPARE(window.SourceText(), QStringLiteral("Live readings"));
    QCOMPARE(window.Figures().n, size_t(2));
    window.AddLive({kStart + 2000, 7.04}, std::nullopt, false);
    window.AddLive({kStart + 3000, 7.06}, std::nullopt, false);
    QCOMPARE(window.FiguresText(),
             LocalNumber("n 4   min 7.00   max 7.06   mean 7.03   sd 0.03   drift +1.20 pH/min"));
    QVERIFY(window.Following());
    QVERIFY(window.Plot()->xAxis->range().contains(kStart + 3000));
    // The series dropped its oldest point; the window drops it too.
    window.AddLive({kStart + 4000, 7.08}, TrendPoint{kStart, 7.00}, false);
    QCOMPARE(window.Plot()->graph(0)->dataCount(), 4);
    QCOMPARE(window.Figures().min, 7.02);

    // Zoomed by the user: the view stays where it is, new points beyond it do
    // not move it.
    Wheel(window.Plot(), 2);
    const QCPRange held = window.Plot()->xAxis->range();
    window.AddLive({kStart + 60000, 7.10}, std::nullopt, false);
    QCOMPARE(window.Plot()->xAxis->range().lower, held.lower);
    QCOMPARE(window.Plot()->xAxis->range().upper, held.upper);
}

void TrendWindowTest::shadesTheStableSpansOfTheLiveReadings()
{
    TrendWindow window(nullptr);
    tirevo::TrendSeries series;
    series.Add(kStart, 6.90, false);
    series.Add(kStart + 1000, 7.00, true);
    series.Add(kStart + 2000, 7.00, true);
    window.ShowLive(series);
    window.show();
    QCPGraph* shading = window.StableShading();
    QVERIFY(shading->visible());
    // Each span: its start and end at the top of a hidden 0..1 axis, and a gap.
    QCOMPARE(shading->dataCount(), 3);
    QCOMPARE(shading->data()->at(0)->key, kStart + 1000);
    QCOMPARE(shading->data()->at(1)->key, kStart + 2000);
    window.AddLive({kStart + 3000, 7.00}, std::nullopt, true);
    QCOMPARE(shading->dataCount(), 3);
    // The open span grows.
    QCOMPARE(shading->data()->at(1)->key, kStart + 3000);
    window.AddLive({kStart + 4000, 7.20}, std::nullopt, false);
    window.AddLive({kStart + 5000, 7.10}, std::nullopt, false);
    // It ends at the reading that ended it.
    QCOMPARE(shading->data()->at(1)->key, kStart + 4000);
    window.AddLive({kStart + 6000, 7.10}, std::nullopt, true);
    QCOMPARE(shading->dataCount(), 6);
    QVERIFY(qIsNaN(shading->data()->at(2)->value));
    // A log has no stability to show.
    QTemporaryDir dir;
    window.OpenLog(WriteFile(dir, QStringLiteral("log.txt"), LogBytes({"7.00", "7.10"})));
    QVERIFY(!shading->visible());
}

void TrendWindowTest::liveButtonReturnsFromALog()
{
    QTemporaryDir dir;
    TrendWindow window(nullptr);
    tirevo::TrendSeries series;
    series.Add(kStart, 6.50);
    window.ShowLive(series);
    window.show();
    QVERIFY(window.LiveButton()->isHidden());
    window.OpenLog(WriteFile(dir, QStringLiteral("log.txt"), LogBytes({"7.00", "7.10"})));
    QVERIFY(!window.LiveButton()->isHidden());
    // Live points go on arriving while the log is shown, and are there on return.
    window.AddLive({kStart + 1000, 6.60}, std::nullopt, false);
    QCOMPARE(window.Figures().n, size_t(2));
    QCOMPARE(window.Figures().min, 7.00);
    QTest::mouseClick(window.LiveButton(), Qt::LeftButton);
    QCOMPARE(window.SourceText(), QStringLiteral("Live readings"));
    QCOMPARE(window.Figures().n, size_t(2));
    QCOMPARE(window.Figures().max, 6.60);
    QVERIFY(window.LiveButton()->isHidden());
}

void TrendWindowTest::livePointsBeforeAllOthersStay()
{
    // Five minutes of readings, then the clock set back ten minutes: every
    // new point lies before all the earlier ones, and each is drawn, counted
    // and in view.
    TrendWindow window(nullptr);
    tirevo::TrendSeries series;
    for (int i = 0; i < 30; ++i)
        series.Add(kStart + i * 10000, 7.00);
    window.ShowLive(series);
    window.show();
    const double back = kStart + 300000 - 600000;
    for (int i = 0; i < 30; ++i) {
        const double key = back + i * 10000;
        window.AddLive({key, 7.10}, std::nullopt, false);
        QCOMPARE(window.Figures().n, size_t(31 + i));
        QCOMPARE(window.Plot()->graph(0)->dataCount(), 31 + i);
        QVERIFY(window.Plot()->xAxis->range().contains(key));
    }
    QVERIFY(window.Following());
    QCOMPARE(window.Figures().max, 7.10);
    QVERIFY(qAbs(window.Figures().mean - 7.05) < 1e-9);
}

void TrendWindowTest::dropsTheOldestPointWhereverItsKey()
{
    TrendWindow window(nullptr);
    tirevo::TrendSeries series;
    series.Add(kStart + 100000, 7.00);
    series.Add(kStart + 200000, 7.10);
    window.ShowLive(series);
    window.show();
    // Set back before both: the oldest reading goes, not the earliest key.
    window.AddLive({kStart + 50000, 7.20}, TrendPoint{kStart + 100000, 7.00}, false);
    window.AddLive({kStart + 50000, 7.30}, TrendPoint{kStart + 200000, 7.10}, false);
    // Two readings at one key: the one that goes is the one with its value.
    window.AddLive({kStart + 60000, 7.40}, TrendPoint{kStart + 50000, 7.20}, false);
    const QCPGraphDataContainer& data = *window.Plot()->graph(0)->data();
    QCOMPARE(data.size(), 2);
    QCOMPARE(data.at(0)->key, kStart + 50000);
    QCOMPARE(data.at(0)->value, 7.30);
    QCOMPARE(data.at(1)->key, kStart + 60000);
    QCOMPARE(window.Figures().n, size_t(2));
}

void TrendWindowTest::denseViewsDrawTheThinnedCopyButCountEveryPoint()
{
    // 30,000 rows, a second apart, far more than the chart has pixels.
    std::string text = tirevo::LogHeaderText("1.0.2.7", "QP000001", true, '\t');
    constexpr int kRows = 30000;
    for (int i = 0; i < kRows; ++i) {
        const tirevo::LogClockTime at{2026, 12, 8, 6 + i / 3600, i / 60 % 60, i % 60};
        text += tirevo::LogRowText(at, ':', true, '\t', i == 12345 ? "9.99" : (i % 2 ? "7.00" : "7.02"));
    }
    QTemporaryDir dir;
    TrendWindow window(nullptr);
    window.show();
    window.OpenLog(
        WriteFile(dir, QStringLiteral("long.txt"), QByteArray(text.data(), qsizetype(text.size()))));
    QVERIFY(window.DrawingOverview());
    QVERIFY(window.Plot()->graph(0)->dataCount() < kRows / 8);
    QCOMPARE(window.Figures().n, size_t(kRows));
    QCOMPARE(window.Figures().max, 9.99);  // the one spike is drawn and counted
    QVERIFY(window.Plot()->yAxis->range().upper >= 9.99);

    QString error;
    const QString csv = dir.filePath(QStringLiteral("all.csv"));
    QVERIFY2(window.SaveData(csv, error), qPrintable(error));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count('\n'), qsizetype(kRows + 1));

    // Zoomed in to a few minutes: every point is drawn again.
    const double start = (20795.0 * 86400 + 5 * 3600) * 1000;
    window.Plot()->xAxis->setRange(start + 12300e3, start + 12400e3);
    QVERIFY(!window.DrawingOverview());
    QCOMPARE(window.Figures().n, size_t(101));
    QCOMPARE(window.Figures().max, 9.99);
}

QTEST_MAIN(TrendWindowTest)
#include "TrendWindowTest.moc"
