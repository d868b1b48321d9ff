// The trend as the main window offers it: the button on the reading page, the
// module loaded on the first click (or a message when it cannot be), and the
// readings shown reaching the trend window, on the simulated meter.
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"
#include "TrendHost.h"
#include "VirtualClock.h"
#include "WindowLayout.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <string>

using namespace tirevo;

namespace {

void Receive(TMainForm& form, const char* dotted)
{
    sim::InjectRx(std::string("pH: ") + dotted + "\r");
    form.Timer2Timer();
}

QString Figures(QWidget* trend)
{
    auto* label = trend->findChild<QLabel*>(QStringLiteral("figures"));
    return label ? label->text() : QStringLiteral("<no figures label>");
}

QPushButton* Button(QWidget* trend, const QString& text)
{
    for (QPushButton* button : trend->findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

}  // namespace

class TrendButtonTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    // First: the module is loaded once per process.
    void missingModuleIsAMessageAndNothingElse();
    void buttonSitsLeftOfCollection_data();
    void buttonSitsLeftOfCollection();
    void clickOpensOneTrendWindow();
    void readingsShownReachTheTrend();
    void anHourOfReadingsOnAVirtualClock();
    void closesWithTheMainWindow();
};

void TrendButtonTest::initTestCase() { BindSimulatedMeter(); }

void TrendButtonTest::missingModuleIsAMessageAndNothingElse()
{
    QTemporaryDir dir;
    tirevo::TrendHost::SetModuleFile(dir.filePath(QStringLiteral("libtirevo_trend.so")));
    auto form = StartQuietWindow(dir);
    MessageBoxWatcher watcher;
    QTest::mouseClick(form->sbTrend, Qt::LeftButton);
    QCOMPARE(watcher.seen.size(), size_t(1));
    QVERIFY2(watcher.seen[0].text.contains(QStringLiteral("could not be loaded")),
             qPrintable(watcher.seen[0].text));
    QCOMPARE(watcher.seen[0].title, QStringLiteral("QUVA Tirevo"));
    QVERIFY(!form->Trend->Window());
    // The window goes on as before.
    Receive(*form, "7.02");
    QCOMPARE(form->lbpHValue->text(), LocalNumber("7.02"));
    QCOMPARE(form->Trend->Series().Size(), size_t(1));
    tirevo::TrendHost::SetModuleFile(QStringLiteral(TIREVO_TREND_MODULE));
}

void TrendButtonTest::buttonSitsLeftOfCollection_data()
{
    QTest::addColumn<int>("meters");
    QTest::newRow("no meter") << 0;
    QTest::newRow("connected") << 1;
}

void TrendButtonTest::buttonSitsLeftOfCollection()
{
    QFETCH(int, meters);
    BindSimulatedMeter();
    if (meters == 0)
        sim::ClearDevices();
    QTemporaryDir dir;
    TMainForm form(dir.path() + QStringLiteral("/tirevo"));
    form.show();
    QCOMPARE(form.Meter().Connected(), meters == 1);
    QCOMPARE(form.sbTrend->parentWidget(), form.tsPH);
    QCOMPARE(form.sbTrend->toolTip(), QStringLiteral("Show pH trend"));
    QVERIFY(form.sbTrend->isEnabled());
    QVERIFY(!form.sbTrend->icon().isNull());
    // Where it is, the layout table says; here: it covers nothing.
    QCOMPARE(windowlayout::Overlaps(form).join(QStringLiteral(", ")), QString());
}

void TrendButtonTest::clickOpensOneTrendWindow()
{
    BindSimulatedMeter();
    QTemporaryDir dir;
    auto form = StartQuietWindow(dir);
    QVERIFY(!form->Trend->Window());
    QTest::mouseClick(form->sbTrend, Qt::LeftButton);
    QWidget* trend = form->Trend->Window();
    QVERIFY(trend);
    QVERIFY(trend->isVisible());
    QVERIFY(trend->isWindow());
    QVERIFY(!trend->isModal());
    QCOMPARE(trend->windowTitle(), QStringLiteral("pH trend"));
    QCOMPARE(trend->size(), QSize(640, 400));
    QVERIFY(trend->minimumSize().width() < 640 && trend->maximumSize().width() > 640);
    for (const char* text : {"Open log…", "Save image…", "Save data…", "Fit"})
        QVERIFY2(Button(trend, QString::fromUtf8(text)), text);
    // The main window still takes input: the trend window is not modal.
    QVERIFY(form->isEnabled());
    trend->hide();
    QTest::mouseClick(form->sbTrend, Qt::LeftButton);
    QCOMPARE(form->Trend->Window(), trend);
    QVERIFY(trend->isVisible());
}

void TrendButtonTest::readingsShownReachTheTrend()
{
    BindSimulatedMeter();
    QTemporaryDir dir;
    VirtualClock clock;
    auto form = StartQuietWindow(dir, &clock);
    clock.SetUtcMs(QDateTime(QDate(2026, 12, 8), QTime(6, 20, 0)).toMSecsSinceEpoch());
    // Readings before the window is opened are in it too.
    for (const char* reading : {"7.00", "7.02"}) {
        Receive(*form, reading);
        clock.Advance(60000);
    }
    QTest::mouseClick(form->sbTrend, Qt::LeftButton);
    QWidget* trend = form->Trend->Window();
    QCOMPARE(Figures(trend),
             LocalNumber("n 2   min 7.00   max 7.02   mean 7.01   sd 0.01   drift +0.020 pH/min"));
    for (const char* reading : {"7.04", "7.06"}) {
        Receive(*form, reading);
        clock.Advance(60000);
    }
    QCOMPARE(Figures(trend),
             LocalNumber("n 4   min 7.00   max 7.06   mean 7.03   sd 0.03   drift +0.020 pH/min"));
    // A line that is not a reading adds nothing.
    sim::InjectRx("V1.0\r");
    form->Timer2Timer();
    QCOMPARE(form->Trend->Series().Size(), size_t(4));
}

void TrendButtonTest::anHourOfReadingsOnAVirtualClock()
{
    BindSimulatedMeter();
    QTemporaryDir dir;
    VirtualClock clock;
    auto form = StartQuietWindow(dir, &clock);
    clock.SetUtcMs(QDateTime(QDate(2026, 12, 8), QTime(6, 0, 0)).toMSecsSinceEpoch());
    QTest::mouseClick(form->sbTrend, Qt::LeftButton);
    // A rise of 0.01 pH a minute in steps, 7.00 to 7.60 with the middle
    // step (7.30) at the half hour: mean 7.30, sd 0.173 by hand.
    for (int second = 0; second < 3600; ++second) {
        const std::string reading = std::to_string(700 + (second + 30) / 60);
        Receive(*form, (reading.substr(0, 1) + "." + reading.substr(1)).c_str());
        clock.Advance(1000);
    }
    QCOMPARE(Figures(form->Trend->Window()),
             LocalNumber("n 3600   min 7.00   max 7.60   mean 7.30   sd 0.17   drift +0.010 pH/min"));
}

void TrendButtonTest::closesWithTheMainWindow()
{
    BindSimulatedMeter();
    QTemporaryDir dir;
    auto form = StartQuietWindow(dir);
    QTest::mouseClick(form->sbTrend, Qt::LeftButton);
    QWidget* trend = form->Trend->Window();
    QVERIFY(trend->isVisible());
    form->close();
    QVERIFY(!trend->isVisible());
}

QTEST_MAIN(TrendButtonTest)
#include "TrendButtonTest.moc"
