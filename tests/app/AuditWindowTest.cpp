// The window's audit trail, on the simulated meter and virtual time: a sample
// from the dialog, a calibration from the page, alarm limits set in the
// dialog and raised, a data log started and stopped, a meter lost and found,
// and the settings saved at close all stand in one chain in the records
// folder, which the check of meter/ finds intact.
#include "AlarmDialog.h"
#include "AuditCheck.h"
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SampleDialog.h"
#include "SimFixture.h"
#include "VirtualClock.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace tirevo;

class AuditWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<VirtualClock> clock;  // outlives the window that runs on it
    std::unique_ptr<TMainForm> form;
    QString previousFolder;

    // One reading a second later.
    void Show(const char* value)
    {
        clock->Advance(1000);
        sim::InjectRx(std::string("pH: ") + value + "\r");
        form->Timer2Timer();
    }
    // One poll answered by the simulated meter itself.
    void Poll()
    {
        form->Timer1Timer();
        clock->Advance(1000);
        form->Timer2Timer();
    }
    void SetAlarmLimits()
    {
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<AlarmDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            seen = true;
            dialog->cbHigh->setChecked(true);
            dialog->edHigh->setValue(7.5);
            dialog->edDelay->setValue(0);
            dialog->accept();
        });
        form->sbAlarm->click();
        QVERIFY(seen);
    }
    void RecordSample(const QString& name)
    {
        QTest::mouseClick(form->sbRecord, Qt::LeftButton);
        SampleDialog* dialog = form->RecordDialog();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitFor([&] { return dialog->isVisible(); }));
        QTest::keyClicks(dialog->edSample, name);
        QTest::mouseClick(dialog->btnNow, Qt::LeftButton);
        QTRY_VERIFY(!form->RecordDialog());
    }
    void Calibrate()
    {
        sim::SetAutoReply(true);
        sim::SetSettling(4.08, 4.08, 1000);
        for (int i = 0; i < 12; ++i)
            Poll();
        QVERIFY(form->Stability().Stable());
        form->edPH1->setText(LocalNumber(QStringLiteral("4.01")));
        QTest::mouseClick(form->sbtCAL1, Qt::LeftButton);
        for (int i = 0; i < 60 && form->Check().Waiting(); ++i)
            Poll();
        QVERIFY(!form->Check().Waiting());
        sim::SetAutoReply(false);
    }
    std::vector<QJsonObject> Trail() const
    {
        QFile file(dir->filePath(QStringLiteral("audit.jsonl")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        std::vector<QJsonObject> events;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty())
                events.push_back(QJsonDocument::fromJson(line).object());
        return events;
    }
    static QString Field(const QJsonObject& event, const char* name)
    {
        return event.value(QLatin1String(name)).toString();
    }
    // "meter connected", "sample", "settings Alarm High" ...
    QStringList Summary() const
    {
        QStringList out;
        for (const QJsonObject& event : Trail()) {
            QString text = Field(event, "event");
            for (const char* member : {"what", "section", "key"})
                if (event.contains(QLatin1String(member)))
                    text += QLatin1Char(' ') + Field(event, member);
            out << text;
        }
        return out;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        BindSimulatedMeter();
        clock = std::make_unique<VirtualClock>();
        // The window writes its logs into the current folder.
        previousFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
    }
    void cleanup()
    {
        form.reset();
        clock.reset();
        QDir::setCurrent(previousFolder);
    }

    void theWindowsEventsStandInOneChain()
    {
        MessageBoxWatcher boxes;
        form = StartQuietWindow(*dir, clock.get());
        QVERIFY(form->Meter().Connected());

        SetAlarmLimits();
        Show("7.80");
        Show("7.20");
        RecordSample(QStringLiteral("S-1"));
        QTest::mouseClick(form->sb5, Qt::LeftButton);
        QVERIFY(form->Log().Logging());
        Show("7.21");
        Show("7.22");
        QTest::mouseClick(form->sb6, Qt::LeftButton);
        QVERIFY(!form->Log().Logging());

        sim::Unplug(0);
        form->Timer2Timer();
        QVERIFY(form->MeterLost());
        sim::Plug(0);
        form->ReopenMeter();
        Show("7.23");
        QVERIFY(!form->MeterLost());

        Calibrate();
        QVERIFY(form->close());
        QVERIFY2(boxes.seen.empty(), boxes.seen.empty() ? "" : qPrintable(boxes.seen.front().text));

        QStringList summary = Summary();
        // The window's place is saved at close too, changed or not by the
        // desktop: those lines are no concern of this test.
        summary.removeIf(
            [](const QString& line) { return line.startsWith(QLatin1String("settings Window ")); });
        QCOMPARE(summary.join(QStringLiteral(" | ")),
                 (QStringList{
                     QStringLiteral("meter connected"),
                     QStringLiteral("alarm high"),
                     QStringLiteral("alarm clear"),
                     QStringLiteral("sample"),
                     QStringLiteral("log started"),
                     QStringLiteral("log closed"),
                     QStringLiteral("meter lost"),
                     // The limits watch the meter too, with no delay.
                     QStringLiteral("alarm lost"),
                     QStringLiteral("meter found"),
                     QStringLiteral("alarm clear"),
                     QStringLiteral("calibration"),
                     QStringLiteral("meter closed"),
                     QStringLiteral("settings Alarm High"),
                     QStringLiteral("settings Alarm Delay"),
                     // Written where the file had none: the default, now in
                     // the file.
                     QStringLiteral("settings Alarm Hysteresis"),
                 }
                      .join(QStringLiteral(" | "))));
        const std::vector<QJsonObject> trail = Trail();
        for (const QJsonObject& event : trail) {
            if (Field(event, "event") == QLatin1String("meter") ||
                Field(event, "event") == QLatin1String("alarm"))
                QCOMPARE(Field(event, "serial"), QStringLiteral("QP000001"));
            QVERIFY(Field(event, "program").startsWith(QLatin1String("tirevo ")));
        }
        const auto setting = [&](const char* key) {
            for (const QJsonObject& event : trail)
                if (Field(event, "event") == QLatin1String("settings") &&
                    Field(event, "key") == QLatin1String(key))
                    return event;
            return QJsonObject();
        };
        const QJsonObject high = setting("High");
        QCOMPARE(Field(high, "old"), QString());
        QCOMPARE(Field(high, "new"), LocalNumber(QStringLiteral("7.5")));
        const QJsonObject delay = setting("Delay");
        QCOMPARE(Field(delay, "old"), QString());
        QCOMPARE(Field(delay, "new"), QStringLiteral("0"));
        QCOMPARE(trail[1].value(QLatin1String("limit")).toDouble(), 7.5);
        QCOMPARE(trail[1].value(QLatin1String("ph")).toDouble(), 7.8);
        QVERIFY(QFileInfo(Field(trail[4], "path")).isAbsolute());
        QCOMPARE(trail[5].value(QLatin1String("rows")).toInt(), 2);

        const AuditCheckResult check = CheckAuditFolder(dir->path().toStdString());
        QVERIFY2(check.Intact(), check.Intact() ? "" : AuditProblemText(check.problems.front()).c_str());
        QCOMPARE(check.samples, int64_t{1});
        QCOMPARE(check.calibrations, int64_t{1});
        QCOMPARE(check.logsChecked, int64_t{1});
    }

    // tirevo-cli logging into the same records folder while the window
    // writes its own events: one chain, each side's events whole.
    void aLogOfTirevoCliAtTheSameTimeKeepsOneChain()
    {
        form = StartQuietWindow(*dir, clock.get());
        AlarmSettings limits;
        limits.high = 7.5;
        limits.delayS = 0;
        form->ApplyAlarmSettings(limits);
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), QStringLiteral(TIREVO_SIM_DIR));
        env.insert(QStringLiteral("TIREVO_SIM_READING"), QStringLiteral("7.02"));
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(TIREVO_CLI_PROGRAM),
                  {QStringLiteral("log"), QStringLiteral("--count"), QStringLiteral("30"),
                   QStringLiteral("--interval"), QStringLiteral("20"), QStringLiteral("--high"),
                   QStringLiteral("7"), QStringLiteral("--alarm-delay"), QStringLiteral("0"),
                   QStringLiteral("--dir"), dir->path(), QStringLiteral("--records"), dir->path()});
        QVERIFY(cli.waitForStarted());
        // Alarms from the window while the run goes on (however long the
        // machine makes it take), then the end of the run.
        constexpr int kMostRounds = 500;
        int windowAlarms = 0;
        for (int i = 0; i < kMostRounds && cli.state() != QProcess::NotRunning; ++i, windowAlarms += 2) {
            Show("7.80");
            Show("7.20");
            cli.waitForReadyRead(1);
        }
        // (False for a process that has ended already.)
        if (cli.state() != QProcess::NotRunning)
            QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(form->close());

        int fromCli = 0;
        int fromWindow = 0;
        for (const QJsonObject& event : Trail())
            (Field(event, "program").startsWith(QLatin1String("tirevo-cli ")) ? fromCli : fromWindow) += 1;
        // connected, log started, alarm high, meter closed, log closed
        QCOMPARE(fromCli, 5);
        // connected, the alarms, closed, and the limits saved at close
        QVERIFY2(fromWindow >= 2 + windowAlarms, qPrintable(QString::number(fromWindow)));
        const AuditCheckResult check = CheckAuditFolder(dir->path().toStdString());
        QVERIFY2(check.Intact(), check.Intact() ? "" : AuditProblemText(check.problems.front()).c_str());
        QCOMPARE(check.logsChecked, int64_t{1});
    }

    // A close that saves every value as the file held it has no settings
    // event.
    void aCloseThatChangesNothingLeavesNoSettingsEvent()
    {
        const QByteArray settings = "[Window]\r\nMFTop=0\r\nMFLeft=0\r\n";
        QFile ini(dir->filePath(QStringLiteral("tirevo.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(settings);
        ini.close();
        form = StartQuietWindow(*dir, clock.get());
        QCOMPARE(form->pos(), QPoint(0, 0));
        QVERIFY(form->close());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), settings);
        QCOMPARE(Summary(), (QStringList{QStringLiteral("meter connected"), QStringLiteral("meter closed")}));
    }
};

QTEST_MAIN(AuditWindowTest)
#include "AuditWindowTest.moc"
