// "Stable" or "Settling" under the reading, and the Record button with its
// dialog, on the simulated meter with samples.csv in a temporary folder. The
// window's link runs on a virtual clock: a reading a window after another
// is exactly that, however busy the machine.
#include "AuditCheck.h"
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SampleDialog.h"
#include "SampleRecord.h"
#include "SimFixture.h"
#include "TrendHost.h"
#include "VirtualClock.h"
#include "WindowLayout.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace tirevo;

class StabilityWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<VirtualClock> clock;
    std::unique_ptr<TMainForm> form;

    void WriteSettings(const QByteArray& text)
    {
        QFile ini(dir->filePath(QStringLiteral("tirevo.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(text);
    }
    // A window of one second, judged at polls of half a second.
    void Start(const QByteArray& settings = "[System]\r\nInterval=500\r\n[Stability]\r\nWindow=1\r\n")
    {
        WriteSettings(settings);
        form = StartQuietWindow(*dir, clock.get());
        QVERIFY(form->Meter().Connected());
    }
    void ShowLine(const std::string& line)
    {
        sim::InjectRx(line);
        form->Timer2Timer();
    }
    // Two readings a window apart: stable from the second on.
    void Settle(const std::string& line = "pH: 7.02\r")
    {
        ShowLine(line);
        clock->Advance(1000);
        ShowLine(line);
        QCOMPARE(form->lbStability->text(), QStringLiteral("Stable"));
    }
    QString Label() const { return form->lbStability->text(); }
    // The status bar's whole line, also where it is cut to fit.
    QString StatusBarLine() const
    {
        return form->sb1Panel->toolTip().isEmpty() ? form->sb1Panel->text() : form->sb1Panel->toolTip();
    }
    QString Samples() const
    {
        QFile file(dir->filePath(QStringLiteral("samples.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(file.readAll());
    }
    SampleDialog* OpenDialog()
    {
        QTest::mouseClick(form->sbRecord, Qt::LeftButton);
        SampleDialog* dialog = form->RecordDialog();
        if (dialog && !QTest::qWaitFor([&] { return dialog->isVisible(); }))
            return nullptr;
        return dialog;
    }
    void LoseMeter()
    {
        sim::Unplug(0);
        form->Timer2Timer();
        QVERIFY(form->MeterLost());
    }
    void FindMeterAgain()
    {
        sim::Plug(0);
        form->ReopenMeter();
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        BindSimulatedMeter();
        clock = std::make_unique<VirtualClock>();
    }
    void cleanup()
    {
        form.reset();
        clock.reset();
    }

    void controlsInTheFreePartOfTheReadingPage()
    {
        Start();
        QCOMPARE(form->lbStability->parentWidget(), form->tsPH);
        QVERIFY(form->lbStability->font().bold());
        QCOMPARE(form->lbStability->font().pixelSize(), 11);
        QCOMPARE(form->sbRecord->parentWidget(), form->tsPH);
        QCOMPARE(form->sbRecord->toolTip(), QStringLiteral("Record a sample"));
        // Where they are, the layout table says; here: they cover nothing.
        QCOMPARE(windowlayout::Overlaps(*form).join(QStringLiteral(", ")), QString());
    }

    void labelFollowsTheRuleAndTheLink()
    {
        MessageBoxWatcher boxes;
        Start();
        QVERIFY(form->sbRecord->isEnabled());
        QCOMPARE(Label(), QString());
        ShowLine("pH: 7.02\r");
        QCOMPARE(Label(), QStringLiteral("Settling"));
        clock->Advance(1000);
        ShowLine("pH: 7.03\r");
        QCOMPARE(Label(), QStringLiteral("Stable"));
        QVERIFY(!form->Trend->Series().StableSpans().empty());
        ShowLine("pH: 7.10\r");
        QCOMPARE(Label(), QStringLiteral("Settling"));

        LoseMeter();
        QCOMPARE(Label(), QString());
        QVERIFY(!form->sbRecord->isEnabled());
        FindMeterAgain();
        ShowLine("pH: 7.10\r");
        // Judged afresh: the readings before the loss do not count.
        QCOMPARE(Label(), QStringLiteral("Settling"));
        QVERIFY(form->sbRecord->isEnabled());
        QVERIFY(boxes.seen.empty());
    }

    // Polled every 3 s with a window of 2 s, a reading is alone in its
    // window and spans nothing: a meter swinging between 6 and 8 must not
    // look stable, nor flat readings that come closer together by chance.
    void aWindowTooShortForTheIntervalJudgesNothing()
    {
        MessageBoxWatcher boxes;
        Start("[System]\r\nInterval=3000\r\n[Stability]\r\nWindow=2\r\n");
        QCOMPARE(StatusBarLine(),
                 QStringLiteral("Stability is not judged: the 2 s window is shorter than twice "
                                "the 3 s poll interval"));
        for (const char* line : {"pH: 6.00\r", "pH: 8.00\r", "pH: 6.00\r", "pH: 8.00\r"}) {
            ShowLine(line);
            QCOMPARE(Label(), QStringLiteral("Settling"));
            clock->Advance(3000);
        }
        for (int i = 0; i < 4; ++i) {
            ShowLine("pH: 7.00\r");
            QCOMPARE(Label(), QStringLiteral("Settling"));
            clock->Advance(1000);
        }
        // Said once, at connection: the link's own state afterwards.
        LoseMeter();
        FindMeterAgain();
        ShowLine("pH: 7.00\r");
        QCOMPARE(StatusBarLine(), QStringLiteral("USB pH meter S/N QP000001 connected"));
        QCOMPARE(Label(), QStringLiteral("Settling"));
        QVERIFY(boxes.seen.empty());
    }

    void aWindowOfTwoIntervalsSaysNothing()
    {
        Start("[System]\r\nInterval=1000\r\n[Stability]\r\nWindow=2\r\n");
        QCOMPARE(StatusBarLine(), QStringLiteral("USB pH meter S/N QP000001 connected"));
        ShowLine("pH: 7.00\r");
        clock->Advance(1000);
        ShowLine("pH: 7.00\r");
        clock->Advance(1000);
        ShowLine("pH: 7.00\r");
        QCOMPARE(Label(), QStringLiteral("Stable"));
    }

    void recordNowAndTheNextName()
    {
        Start();
        ShowLine("pH: 7.02\r");
        SampleDialog* dialog = OpenDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Record sample"));
        QCOMPARE(dialog->edSample->text(), QString());
        QVERIFY(dialog->btnWhenStable->isDefault());
        QCOMPARE(dialog->btnWhenStable->text(), QStringLiteral("Record when stable"));
        QCOMPARE(dialog->btnNow->text(), QStringLiteral("Record now"));
        QCOMPARE(dialog->btnCancel->text(), QStringLiteral("Cancel"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog->edSample));
        QTest::keyClicks(dialog->edSample, QStringLiteral("S-007"));
        QTest::mouseClick(dialog->btnNow, Qt::LeftButton);
        QTRY_VERIFY(!form->RecordDialog());
        QVERIFY(Samples().startsWith(QStringLiteral("time,sample,ph,stable,serial\r\n")));
        QVERIFY(Samples().endsWith(QStringLiteral(",S-007,7.02,no,QP000001\r\n")));
        QCOMPARE(Label(), QStringLiteral("S-007: ") + LocalNumber("7.02") + QStringLiteral(" recorded"));
        QVERIFY(form->StabilityNote->isActive());
        QCOMPARE(form->StabilityNote->interval(), 5000);
        // Readings meanwhile leave the note.
        ShowLine("pH: 7.02\r");
        QCOMPARE(Label(), QStringLiteral("S-007: ") + LocalNumber("7.02") + QStringLiteral(" recorded"));

        dialog = OpenDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->edSample->text(), QStringLiteral("S-008"));
        QCOMPARE(dialog->edSample->selectedText(), QStringLiteral("S-008"));
        QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
        QTRY_VERIFY(!form->RecordDialog());
        QCOMPARE(Samples().count(QLatin1Char('\n')), 2);
        // The row's event, by the window, after the meter's connected.
        const AuditCheckResult check = CheckAuditFolder(dir->path().toStdString());
        QVERIFY2(check.Intact(), check.Intact() ? "" : AuditProblemText(check.problems.front()).c_str());
        QCOMPARE(check.events, int64_t{2});
        QCOMPARE(check.samples, int64_t{1});
        QFile trail(dir->filePath(QStringLiteral("audit.jsonl")));
        QVERIFY(trail.open(QIODevice::ReadOnly));
        const QByteArray line = trail.readAll();
        QVERIFY2(line.contains("\"program\":\"tirevo ") &&
                     line.contains("\"event\":\"sample\",\"name\":\"S-007\""),
                 line.constData());
    }

    // A name a spreadsheet would run as a formula is kept as text in the
    // file; the window shows it as typed, and offers the next one from it.
    void aFormulaLikeNameIsWrittenAsText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("field");
        QTest::newRow("equals") << QStringLiteral("=1+2") << QStringLiteral("'=1+2");
        QTest::newRow("plus") << QStringLiteral("+41") << QStringLiteral("'+41");
        QTest::newRow("minus") << QStringLiteral("-7") << QStringLiteral("'-7");
        QTest::newRow("at") << QStringLiteral("@A1") << QStringLiteral("'@A1");
        QTest::newRow("quoted") << QStringLiteral("=T(\"a,b\")") << QStringLiteral("\"'=T(\"\"a,b\"\")\"");
    }

    void aFormulaLikeNameIsWrittenAsText()
    {
        QFETCH(QString, name);
        QFETCH(QString, field);
        Start();
        ShowLine("pH: 7.02\r");
        SampleDialog* dialog = OpenDialog();
        QVERIFY(dialog);
        dialog->edSample->setText(name);
        QTest::mouseClick(dialog->btnNow, Qt::LeftButton);
        QTRY_VERIFY(!form->RecordDialog());
        QVERIFY2(Samples().endsWith(QStringLiteral(",") + field + QStringLiteral(",7.02,no,QP000001\r\n")),
                 qPrintable(Samples()));
        QCOMPARE(Label(), name + QStringLiteral(": ") + LocalNumber("7.02") + QStringLiteral(" recorded"));
        dialog = OpenDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->edSample->text(), QString::fromStdString(NextSampleName(name.toStdString())));
    }

    void enterRecordsAtOnceWhenAlreadyStable()
    {
        Start();
        Settle();
        SampleDialog* dialog = OpenDialog();
        QVERIFY(dialog);
        dialog->edSample->setText(QStringLiteral("tap, \"blue\""));
        QTest::keyClick(dialog->edSample, Qt::Key_Return);
        QTRY_VERIFY(!form->RecordDialog());
        QVERIFY(Samples().endsWith(QStringLiteral(",\"tap, \"\"blue\"\"\",7.02,yes,QP000001\r\n")));
    }

    void recordWhenStableWaitsThroughALostMeter()
    {
        Start();
        ShowLine("pH: 6.50\r");
        SampleDialog* dialog = OpenDialog();
        QVERIFY(dialog);
        dialog->edSample->setText(QStringLiteral("S-9"));
        QTest::mouseClick(dialog->btnWhenStable, Qt::LeftButton);
        QVERIFY(dialog->Waiting());
        QCOMPARE(dialog->lbWaiting->text(),
                 QStringLiteral("Waiting for a stable reading…  pH ") + LocalNumber("6.50"));
        ShowLine("pH: 6.80\r");
        QCOMPARE(dialog->lbWaiting->text(),
                 QStringLiteral("Waiting for a stable reading…  pH ") + LocalNumber("6.80"));

        LoseMeter();
        QCOMPARE(dialog->lbWaiting->text(),
                 QStringLiteral("The meter is not responding; waiting for it to come back…"));
        QCOMPARE(form->RecordDialog(), dialog);
        FindMeterAgain();
        ShowLine("pH: 7.00\r");
        QCOMPARE(form->RecordDialog(), dialog);
        QCOMPARE(Samples(), QString());
        clock->Advance(1000);
        ShowLine("pH: 7.01\r");
        QTRY_VERIFY(!form->RecordDialog());
        QVERIFY(Samples().endsWith(QStringLiteral(",S-9,7.01,yes,QP000001\r\n")));
        QCOMPARE(Label(), QStringLiteral("S-9: ") + LocalNumber("7.01") + QStringLiteral(" recorded"));

        // The next one is S-10; Cancel ends its wait with nothing recorded.
        dialog = OpenDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->edSample->text(), QStringLiteral("S-10"));
        ShowLine("pH: 7.50\r");
        QTest::mouseClick(dialog->btnWhenStable, Qt::LeftButton);
        QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
        QTRY_VERIFY(!form->RecordDialog());
        clock->Advance(1000);
        ShowLine("pH: 7.50\r");
        QCOMPARE(Samples().count(QLatin1Char('\n')), 2);
    }

    void refusalsAndFailuresAreShownAndReadingsGoOn()
    {
        MessageBoxWatcher boxes;
        Start();
        ShowLine("pH: 7.02\r");
        SampleDialog* dialog = OpenDialog();
        QVERIFY(dialog);
        dialog->edSample->setText(QStringLiteral("S-1\nS-2"));
        QTest::mouseClick(dialog->btnNow, Qt::LeftButton);
        QTRY_COMPARE(boxes.Texts(), QStringList{QStringLiteral("A sample name cannot contain a line break")});
        QCOMPARE(form->RecordDialog(), dialog);
        QCOMPARE(Samples(), QString());

        // A file that is not ours is left alone.
        const QByteArray foreign = "Sample;pH\r\nA;7.00\r\n";
        {
            QFile file(dir->filePath(QStringLiteral("samples.csv")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(foreign);
        }
        dialog->edSample->setText(QStringLiteral("S-1"));
        QTest::mouseClick(dialog->btnNow, Qt::LeftButton);
        QTRY_COMPARE(boxes.seen.size(), size_t(2));
        QCOMPARE(boxes.seen[1].icon, QMessageBox::Critical);
        QVERIFY(boxes.seen[1].text.contains(QStringLiteral("is not \"time,sample,ph,stable,serial\"")));
        QCOMPARE(Samples().toUtf8(), foreign);
        QVERIFY(!form->RecordDialog());
        ShowLine("pH: 7.04\r");
        QCOMPARE(form->lbpHValue->text(), LocalNumber("7.04"));
        QCOMPARE(Label(), QStringLiteral("Settling"));
    }

    void noReadingYetIsSaid()
    {
        MessageBoxWatcher boxes;
        Start();
        SampleDialog* dialog = OpenDialog();
        QVERIFY(dialog);
        QTest::mouseClick(dialog->btnNow, Qt::LeftButton);
        QTRY_COMPARE(boxes.Texts(), QStringList{QStringLiteral("There is no reading to record yet")});
        QCOMPARE(Samples(), QString());
    }

    void stabilitySettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("band");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("defaults") << QByteArray() << 10 << 2 << QStringList();
        // Numbers as the settings file reads them: with the locale's separator.
        QTest::newRow("both") << "[stability]\r\nwindow=30\r\nband=" + LocalNumber("0.05").toLatin1() + "\r\n"
                              << 30 << 5 << QStringList();
        QTest::newRow("band to the nearest hundredth")
            << "[Stability]\r\nBand=" + LocalNumber("0.034").toLatin1() + "\r\n"
            << 10 << 3 << QStringList();
        QTest::newRow("window not a number")
            << QByteArray("[Stability]\r\nWindow=abc\r\nBand=1\r\n") << 10 << 100
            << QStringList{QStringLiteral("[Stability] Window: 'abc' is not a valid integer value.")};
        QTest::newRow("band not a number")
            << QByteArray("[Stability]\r\nWindow=30\r\nBand=x\r\n") << 30 << 2
            << QStringList{QStringLiteral("[Stability] Band: 'x' is not a valid floating point value.")};
        QTest::newRow("band too large for a number")
            << QByteArray("[Stability]\r\nBand=1E400\r\n") << 10 << 2
            << QStringList{QStringLiteral("[Stability] Band: Floating point overflow.")};
        QTest::newRow("out of range")
            << QByteArray("[Stability]\r\nWindow=601\r\nBand=0\r\n") << 10 << 2
            << QStringList{QStringLiteral("[Stability] Window=601 is out of range (1 to 600 seconds)\n"
                                          "[Stability] Band=0 is out of range (0.01 to 1 pH)")};
    }
    void stabilitySettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, window);
        QFETCH(int, band);
        QFETCH(QStringList, boxes);
        MessageBoxWatcher watcher;
        Start(ini);
        QCOMPARE(form->StabilitySettings.windowS, window);
        QCOMPARE(form->StabilitySettings.bandHundredths, band);
        QCOMPARE(watcher.Texts(), boxes);
        // Read, never written.
        QFile file(dir->filePath(QStringLiteral("tirevo.INI")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        form.reset();
        QVERIFY(file.readAll().startsWith(ini));
    }
};

QTEST_MAIN(StabilityWindowTest)
#include "StabilityWindowTest.moc"
