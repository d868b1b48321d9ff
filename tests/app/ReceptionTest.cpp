// Replies of the simulated meter through the real reception timer handler.
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"

#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tirevo;

class ReceptionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;

    void Tick() { form->Timer2Timer(); }
    QString Shown() const { return form->lbpHValue->text(); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        BindSimulatedMeter();
        form = StartQuietWindow(*dir);
        QVERIFY(form->Meter().Connected());
    }
    void cleanup() { form.reset(); }

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

    void twoLinesInOneReadShowOnConsecutiveTicks()
    {
        sim::InjectRx("pH: 7.01\rpH: 7.02\r");
        Tick();
        QCOMPARE(Shown(), LocalNumber("7.01"));
        Tick();
        QCOMPARE(Shown(), LocalNumber("7.02"));
        QCOMPARE(sim::CallsNamed("FT_Read").size(), size_t(1));
    }

    void aLineFeedBelongsToTheNextLine()
    {
        sim::InjectRx("pH: 7.01\r\npH: 7.02\r");
        Tick();
        Tick();
        QCOMPARE(Shown(), LocalNumber("7.01"));
    }

    void aBadReadingKeepsTheLastOne()
    {
        sim::InjectRx("pH: 6.50\rpH: abc\r");
        Tick();
        Tick();
        QCOMPARE(Shown(), LocalNumber("6.50"));
    }

    void aFailedReadStillTakesAPendingLine()
    {
        sim::InjectRx("pH: 6.10\rpH: 6.20\r");
        Tick();
        sim::InjectRx("pH: 6.30\r");
        sim::FailCalls("FT_Read", FT_IO_ERROR);
        Tick();
        QCOMPARE(Shown(), LocalNumber("6.20"));
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
