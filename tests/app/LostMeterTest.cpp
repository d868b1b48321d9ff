// What the window shows of a meter that goes away and comes back: the status
// bar says so, no box opens, the reading stays, and nothing else changes.
// The timers are driven by hand; the session's own timing is tested on
// virtual time with the session.
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"

#include <QFile>
#include <QLabel>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tirevo;

using namespace std::string_literals;

class LostMeterTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;

    QString StatusText() const { return form->sb1Panel->text(); }

    void ShowLine(const std::string& line)
    {
        sim::InjectRx(line);
        form->Timer2Timer();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        BindSimulatedMeter();
    }
    void cleanup() { form.reset(); }

    void unpluggedAndPluggedBack()
    {
        MessageBoxWatcher boxes;
        form = StartQuietWindow(*dir);
        ShowLine("pH: 7.02\r");
        QCOMPARE(form->lbpHValue->text(), LocalNumber("7.02"));

        sim::Unplug(0);
        form->Timer2Timer();
        QCOMPARE(StatusText(), QStringLiteral("USB pH meter S/N QP000001 not responding"));
        QVERIFY(form->MeterLost());
        QCOMPARE(form->lbpHValue->text(), LocalNumber("7.02"));
        QVERIFY(form->Meter().Connected());
        QCOMPARE(form->BitBtn1->text(), QStringLiteral("Show pH"));
        QVERIFY(form->btnCalibrate->isEnabled());
        QCOMPARE(form->pc1->currentIndex(), 0);
        // Nothing is written to a handle given up.
        sim::ClearCalls();
        form->Timer1Timer();
        form->ReopenMeter();
        QVERIFY(sim::CallsNamed("FT_Write").empty());

        sim::Plug(0);
        form->ReopenMeter();
        QCOMPARE(sim::CallsNamed("FT_OpenEx").back().data, "QP000001"s);
        QVERIFY(sim::WrittenBytes().rfind("S20\rV\r", 0) == 0);
        QCOMPARE(StatusText(), QStringLiteral("USB pH meter S/N QP000001 not responding"));
        ShowLine("pH: 7.05\r");
        QCOMPARE(StatusText(), QStringLiteral("USB pH meter S/N QP000001 connected"));
        QCOMPARE(form->lbpHValue->text(), LocalNumber("7.05"));
        QVERIFY(boxes.seen.empty());
    }

    // A converter pulled while the line is set up is a lost meter; one that
    // refuses a setting is left closed, as if it could not be opened.
    void theLineSetupIsChecked_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("connected");
        QTest::newRow("pulled during setup") << "FT_SetDtr" << int(FT_IO_ERROR) << true;
        QTest::newRow("setting refused") << "FT_SetFlowControl" << int(FT_INVALID_PARAMETER) << false;
    }

    void theLineSetupIsChecked()
    {
        QFETCH(QString, call);
        QFETCH(int, status);
        QFETCH(bool, connected);
        MessageBoxWatcher boxes;
        sim::FailCalls(call.toStdString(), static_cast<FT_STATUS>(status));
        form = std::make_unique<TMainForm>(dir->path() + QStringLiteral("/tirevo"));
        form->show();
        QCOMPARE(form->Meter().Connected(), connected);
        if (connected) {
            QCOMPARE(StatusText(), QStringLiteral("USB pH meter S/N QP000001 not responding"));
            QCOMPARE(form->pc1->currentIndex(), 0);
            sim::ClearFailures();
            form->ReopenMeter();
            QVERIFY(sim::IsOpen());
            QVERIFY(sim::WrittenBytes().find("S20\rV\r") != std::string::npos);
        } else {
            QCOMPARE(StatusText(), QStringLiteral("USB pH Meter not connected"));
            QCOMPARE(form->pc1->currentIndex(), 2);
            QVERIFY(!sim::IsOpen());
            QVERIFY(sim::CallsNamed("FT_Write").empty());
        }
        QVERIFY(boxes.seen.empty());
    }

    void closingWhileLostClosesOrderly()
    {
        form = StartQuietWindow(*dir);
        sim::Unplug(0);
        form->Timer2Timer();
        QVERIFY(form->MeterLost());
        QVERIFY(form->close());
        sim::ClearCalls();
        form->ReopenMeter();
        QVERIFY(sim::CallsNamed("FT_OpenEx").empty());
        QVERIFY(QFile::exists(dir->path() + QStringLiteral("/tirevo.INI")));
    }
};

QTEST_MAIN(LostMeterTest)
#include "LostMeterTest.moc"
