// Replies of the simulated meter through the real reception timer handler.
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"
#include "TrendHost.h"
#include "VirtualClock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <memory>

using namespace tirevo;

class ReceptionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString previousDir;
    std::unique_ptr<VirtualClock> clock;  // outlives the window that runs on it
    std::unique_ptr<TMainForm> form;

    void Tick() { form->Timer2Timer(); }
    QString Shown() const { return form->lbpHValue->text(); }

    // The rows of the log being written, without the header.
    QStringList LogRows() const
    {
        QFile file(QString::fromStdString(form->Log().FileName()));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeLast();  // nothing after the last line end
        return lines.mid(7);
    }
    // The reading of each row.
    QStringList LoggedReadings() const
    {
        QStringList out;
        for (const QString& row : LogRows())
            out << row.section(QLatin1Char('\t'), -1);
        return out;
    }
    // The moment of a live trend point (keyed on the local civil seconds of
    // the moment, in the offset of `near`).
    static qint64 TrendPointUtcMs(const TrendPoint& point) { return std::llround(point.key); }

private slots:
    void initTestCase() { previousDir = QDir::currentPath(); }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        // Log files go into the test's own folder.
        QVERIFY(QDir::setCurrent(dir->path()));
        BindSimulatedMeter();
        form = StartQuietWindow(*dir);
        QVERIFY(form->Meter().Connected());
    }
    void cleanup()
    {
        form.reset();
        clock.reset();
        QVERIFY(QDir::setCurrent(previousDir));
    }

    void replyLinesAsShown_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");  // with "." for the locale's separator
        QTest::newRow("plain") << QByteArray("pH: 7.02") << "7.02";
        QTest::newRow("integer") << QByteArray("pH: 14") << "14.00";
        QTest::newRow("negative") << QByteArray("pH: -0.5") << "-0.50";
        QTest::newRow("negative zero") << QByteArray("pH: -0.001") << "0.00";
        QTest::newRow("fourth skipped") << QByteArray("pH:7.02") << "0.02";
        QTest::newRow("past tenth ignored") << QByteArray("pH: 6.9876543") << "6.99";
        QTest::newRow("half up") << QByteArray("pH: 7.125") << "7.13";
        QTest::newRow("capitals") << QByteArray("PH: 7.02") << "---";
        QTest::newRow("leading space") << QByteArray(" pH: 7.02") << "---";
        QTest::newRow("version reply") << QByteArray("QUVA pH meter firmware 2.10") << "---";
        QTest::newRow("empty field") << QByteArray("pH: ") << "---";
        QTest::newRow("not a number") << QByteArray("pH: 7.0x") << "---";
    }

    void replyLinesAsShown()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        sim::InjectRx(line.toStdString() + "\r");
        Tick();
        QCOMPARE(Shown(), expected == "---" ? expected : LocalNumber(expected));
        QVERIFY(form->Meter().ReceiveText().empty());
    }

    void aLineSplitOverTwoReadsGivesOneReading()
    {
        sim::InjectRx("pH: 7.");
        Tick();
        QCOMPARE(Shown(), QStringLiteral("---"));
        QTest::qWait(100);
        sim::InjectRx("02\r");
        Tick();
        QCOMPARE(Shown(), LocalNumber("7.02"));
        QCOMPARE(sim::CallsNamed("FT_Read").size(), size_t(2));
    }

    // Every complete line of a tick is taken: each reading is logged and
    // added to the trend in order, and the last one stays shown.
    void severalLinesInOneReadAreAllTakenInOrder()
    {
        form->sb5Click();
        QVERIFY(form->Log().Logging());
        sim::InjectRx("pH: 7.01\rpH: 7.02\rQUVA pH meter firmware 2.10\rpH: 7.03\rpH: 7.0");
        Tick();
        QCOMPARE(Shown(), LocalNumber("7.03"));
        QCOMPARE(form->Meter().ReceiveText(), std::string("pH: 7.0"));
        QCOMPARE(sim::CallsNamed("FT_Read").size(), size_t(1));
        QCOMPARE(LoggedReadings(),
                 QStringList({LocalNumber("7.01"), LocalNumber("7.02"), LocalNumber("7.03")}));
        const TrendSeries& trend = form->Trend->Series();
        QCOMPARE(trend.Size(), size_t(3));
        QCOMPARE(trend.At(0).value, 7.01);
        QCOMPARE(trend.At(2).value, 7.03);
    }

    // The row and the trend point of a reading carry its one stamp, taken
    // when its line came off the converter: the same second, even when the
    // wall clock moves on a whole second at every look.
    void theRowAndTheTrendPointShareTheReadingsStamp()
    {
        form.reset();
        BindSimulatedMeter();
        clock = std::make_unique<VirtualClock>();
        form = StartQuietWindow(*dir, clock.get());
        // 2026-12-08 06:39:59.999 UTC: a moment before the next second.
        constexpr qint64 kStamp = 1796711999999;
        clock->SetUtcMs(kStamp);
        clock->TickOnEachLook(1000);
        form->sb5Click();
        sim::InjectRx("pH: 7.01\rpH: 7.02\r");
        Tick();
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(kStamp);
        const QString rowTime = at.toString(QStringLiteral("dd.MM.yyyy\tHH:mm:ss"))
                                    .replace(QLatin1Char(':'), QLatin1Char(form->Separators.time));
        const QStringList rows = LogRows();
        QCOMPARE(rows.size(), 2);
        for (const QString& row : rows)
            QVERIFY2(row.startsWith(rowTime + QLatin1Char('\t')), qPrintable(row));
        const TrendSeries& trend = form->Trend->Series();
        QCOMPARE(trend.Size(), size_t(2));
        QCOMPARE(TrendPointUtcMs(trend.At(0)), kStamp);
        QCOMPARE(TrendPointUtcMs(trend.At(1)), kStamp);
    }

    void aLineFeedBelongsToTheNextLine()
    {
        sim::InjectRx("pH: 7.01\r\npH: 7.02\r");
        Tick();
        QCOMPARE(Shown(), LocalNumber("7.01"));
        QVERIFY(form->Meter().ReceiveText().empty());
    }

    void aBadReadingKeepsTheLastOne()
    {
        sim::InjectRx("pH: 6.50\rpH: abc\r");
        Tick();
        QCOMPARE(Shown(), LocalNumber("6.50"));
    }

    void aFailedReadTakesNothingNew()
    {
        sim::InjectRx("pH: 6.10\rpH: 6.2");
        Tick();
        QCOMPARE(Shown(), LocalNumber("6.10"));
        sim::InjectRx("0\r");
        sim::FailCalls("FT_Read", FT_IO_ERROR);
        Tick();
        QCOMPARE(Shown(), LocalNumber("6.10"));
        QCOMPARE(form->Meter().ReceiveText(), std::string("pH: 6.2"));
    }

    void receivedTextStaysBounded()
    {
        const std::string chunk(60000, 'x');
        for (int i = 0; i < 20; ++i) {
            sim::InjectRx(chunk);
            Tick();
            QVERIFY(form->Meter().ReceiveText().size() <= 64 * 1024);
        }
        // Still in step with the lines once a carriage return comes.
        sim::InjectRx("\rpH: 7.33\r");
        Tick();
        QCOMPARE(Shown(), LocalNumber("7.33"));
    }

    void pollingShowsTheMetersReadings()
    {
        sim::SetAutoReply(true);
        sim::SetReadingText("7.04");
        form->Timer1->setInterval(200);
        form->Timer1->start();
        form->Timer2->start();
        QTRY_COMPARE_WITH_TIMEOUT(Shown(), LocalNumber("7.04"), 2000);
    }
};

QTEST_MAIN(ReceptionTest)
#include "ReceptionTest.moc"
