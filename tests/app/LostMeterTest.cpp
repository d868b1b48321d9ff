// A meter unplugged, silent or replaced while connected: the window says so
// and opens the same meter again by itself, without a message box.
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "SimFixture.h"

#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace std::string_literals;

class LostMeterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;

    void start(int intervalMs)
    {
        QFile ini(dir->path() + QStringLiteral("/tirevo.INI"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[System]\nInterval=%1\n").arg(intervalMs).toLatin1());
        ini.close();
        form = std::make_unique<TMainForm>(dir->path() + QStringLiteral("/tirevo"));
        form->show();
        QVERIFY(form->Meter().Connected());
    }

    QString status() const { return form->sb1Panel->text(); }

    static int opensOf(const std::string& serial, bool succeeded)
    {
        int n = 0;
        for (const auto& c : sim::CallsNamed("FT_OpenEx"))
            n += c.data == serial && (c.status == FT_OK) == succeeded;
        return n;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        BindSimulatedMeter();
        sim::SetReadingText("7.02");
    }
    void cleanup() { form.reset(); }

    void unpluggedAndPluggedBack()
    {
        MessageBoxWatcher boxes;
        start(200);
        QTRY_COMPARE_WITH_TIMEOUT(form->lbpHValue->text(), QStringLiteral("7.02"), 2000);

        sim::Unplug(0);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("USB pH meter S/N QP000001 not responding"), 600);
        QTest::qWait(700);
        // Looked for about once per poll interval, never found while unplugged.
        const int attempts = opensOf("QP000001", false);
        QVERIFY2(attempts >= 2 && attempts <= 5, qPrintable(QString::number(attempts)));
        QCOMPARE(form->lbpHValue->text(), QStringLiteral("7.02"));
        QVERIFY(form->Meter().Connected());
        QCOMPARE(form->BitBtn1->text(), QStringLiteral("Show pH"));

        sim::ClearCalls();
        sim::SetReadingText("7.05");
        sim::Plug(0);
        QTRY_COMPARE_WITH_TIMEOUT(opensOf("QP000001", true), 1, 600);
        QTRY_COMPARE_WITH_TIMEOUT(form->lbpHValue->text(), QStringLiteral("7.05"), 1500);
        QCOMPARE(status(), QStringLiteral("USB pH meter S/N QP000001 connected"));
        // Greeted as on connection before polling goes on.
        QVERIFY(sim::WrittenBytes().rfind("S20\rV\r", 0) == 0);
        QCOMPARE(sim::CallsNamed("FT_SetDataCharacteristics").at(0).args, (std::vector<uint64_t>{8, 1, 0}));
        QVERIFY(boxes.seen.empty());
    }

    void aSilentMeterIsReopenedWithoutBusyLooping()
    {
        MessageBoxWatcher boxes;
        sim::SetSilent(0, true);
        start(200);
        QTest::qWait(2500);
        QCOMPARE(status(), QStringLiteral("USB pH meter S/N QP000001 connected"));
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("USB pH meter S/N QP000001 not responding"), 1000);
        sim::ClearCalls();
        QTest::qWait(1000);
        // Reopened once, greeted again, and then left to answer.
        QCOMPARE(sim::CallsNamed("FT_Close").size(), size_t(1));
        QCOMPARE(opensOf("QP000001", true), 1);
        QVERIFY(sim::WrittenBytes().rfind("S20\rV\r", 0) == 0);
        QVERIFY2(sim::Calls().size() < 60, qPrintable(QString::number(sim::Calls().size())));
        QCOMPARE(status(), QStringLiteral("USB pH meter S/N QP000001 not responding"));

        sim::SetSilent(0, false);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("USB pH meter S/N QP000001 connected"), 1500);
        QVERIFY(boxes.seen.empty());
    }

    void anotherMeterIsNotTaken()
    {
        start(200);
        sim::Unplug(0);
        sim::AddDevice("QUVA USB pH Meter", "QP000009");
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("USB pH meter S/N QP000001 not responding"), 600);
        QTest::qWait(600);
        QCOMPARE(opensOf("QP000009", true) + opensOf("QP000009", false), 0);
        QVERIFY(!sim::IsOpen());
        QCOMPARE(form->Meter().Serial(), "QP000001"s);
    }

    void withoutPollingAFailingCallStillCounts()
    {
        start(0);
        QVERIFY(!form->Timer1->isActive());
        sim::Unplug(0);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("USB pH meter S/N QP000001 not responding"), 500);
        sim::ClearCalls();
        QTest::qWait(2200);
        // Once a second when the meter is not polled.
        QCOMPARE(opensOf("QP000001", false), 2);
        sim::Plug(0);
        QTRY_COMPARE_WITH_TIMEOUT(opensOf("QP000001", true), 1, 1500);
    }

    void closingWhileLostClosesOrderly()
    {
        start(200);
        sim::Unplug(0);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("USB pH meter S/N QP000001 not responding"), 600);
        QTest::qWait(300);
        QVERIFY(form->close());
        QTest::qWait(500);
        QVERIFY(sim::CallsNamed("FT_OpenEx").size() <= 4);
        QVERIFY(QFile::exists(dir->path() + QStringLiteral("/tirevo.INI")));
    }
};

QTEST_MAIN(LostMeterTest)
#include "LostMeterTest.moc"
