// Faults on the line, in the meter and in the files, each ending with an
// orderly close: position saved, log complete, nothing grown without bound.
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tirevo;

class FaultInjectionTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<MessageBoxWatcher> boxes;
    QString previousDir;

    QString IniPath() const { return dir->path() + QStringLiteral("/tirevo.INI"); }

    void WriteIni(const QByteArray& text)
    {
        QFile f(IniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    void Start()
    {
        form = std::make_unique<TMainForm>(dir->path() + QStringLiteral("/tirevo"));
        form->show();
        QVERIFY(form->Meter().Connected());
    }

    // Collection on, timers left to the test: each Tick() is one reception tick.
    void StartLoggingQuietly()
    {
        form = StartQuietWindow(*dir);
        QVERIFY(form->Meter().Connected());
        form->sb5Click();
        QVERIFY(form->Log().Logging());
    }

    void Tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            form->Timer2Timer();
    }

    QList<QByteArray> LogRows() const
    {
        QFile f(QString::fromStdString(form->Log().FileName()));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> lines = f.readAll().split('\n');
        lines.removeLast();   // nothing after the last line end
        return lines.mid(7);  // after the header
    }

    // Closes the window as the user would and checks what it leaves behind.
    void CloseOrderly()
    {
        const QString log = QString::fromStdString(form->Log().FileName());
        QVERIFY(form->close());
        form.reset();
        QFile ini(IniPath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray settings = ini.readAll();
        QVERIFY(settings.contains("MFTop=") && settings.contains("MFLeft="));
        if (!log.isEmpty()) {
            QFile f(log);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().endsWith("\r\n"));
        }
        QCOMPARE(boxes->seen.size(), size_t(0));
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir->path());
        BindSimulatedMeter();
        boxes = std::make_unique<MessageBoxWatcher>(10);
    }

    void cleanup()
    {
        form.reset();
        boxes.reset();
        QDir::setCurrent(previousDir);
    }

    void unpluggedMidSessionAndBackKeepsOneLog()
    {
        StartLoggingQuietly();
        sim::InjectRx("pH: 7.02\rpH: 7.03\r");
        Tick();
        QCOMPARE(LogRows().size(), qsizetype(2));
        sim::Unplug(0);
        Tick();
        QVERIFY(form->MeterLost());
        form->Timer1Timer();
        form->ReopenMeter();
        Tick(3);
        QCOMPARE(LogRows().size(), qsizetype(2));
        sim::Plug(0);
        form->ReopenMeter();
        sim::InjectRx("pH: 7.09\r");
        Tick();
        QVERIFY(!form->MeterLost());
        const QList<QByteArray> rows = LogRows();
        QCOMPARE(rows.size(), qsizetype(3));
        QVERIFY(rows.first().contains("7.02") || rows.first().contains("7,02"));
        QVERIFY(rows.last().contains("7.09") || rows.last().contains("7,09"));
        CloseOrderly();
    }

    void shortReadsStillGiveWholeLines()
    {
        StartLoggingQuietly();
        sim::SetReadChunkLimit(3);
        sim::InjectRx("pH: 7.21\rpH: 7.22\r");
        Tick(12);
        QCOMPARE(form->lbpHValue->text().replace(',', '.'), QStringLiteral("7.22"));
        QCOMPARE(LogRows().size(), qsizetype(2));
        CloseOrderly();
    }

    void failingReadsAndWritesLoseTheMeterThenFindItAgain_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("read") << "FT_Read";
        QTest::newRow("write") << "FT_Write";
        QTest::newRow("queue status") << "FT_GetStatus";
    }

    void failingReadsAndWritesLoseTheMeterThenFindItAgain()
    {
        QFETCH(QString, call);
        StartLoggingQuietly();
        sim::InjectRx("pH: 7.02\r");
        Tick();
        QCOMPARE(LogRows().size(), qsizetype(1));
        sim::FailCalls(call.toStdString(), FT_IO_ERROR);
        sim::InjectRx("pH: 7.03\r");
        form->Timer1Timer();
        Tick();
        QVERIFY(form->MeterLost());
        sim::ClearFailures();
        form->ReopenMeter();
        sim::InjectRx("pH: 7.04\r");
        Tick();
        QVERIFY(!form->MeterLost());
        QVERIFY(LogRows().last().contains("7.04") || LogRows().last().contains("7,04"));
        CloseOrderly();
    }

    void aWriteRefusedForOtherReasonsChangesNothing()
    {
        form = StartQuietWindow(*dir);
        sim::FailCalls("FT_Write", FT_FAILED_TO_WRITE_DEVICE);
        for (int i = 0; i < 3; ++i) {
            form->Timer1Timer();
            Tick();
        }
        QVERIFY(!form->MeterLost());
        sim::ClearFailures();
        CloseOrderly();
    }

    void aThousandLinesInOneReadAreAllLogged()
    {
        StartLoggingQuietly();
        std::string burst;
        for (int i = 0; i < 1000; ++i)
            burst += "pH: " + std::to_string(4 + i % 6) + ".50\r";
        sim::InjectRx(burst);
        // Every complete line of a read is taken in its tick.
        Tick();
        QCOMPARE(LogRows().size(), qsizetype(1000));
        QVERIFY(form->Meter().ReceiveText().empty());
        CloseOrderly();
    }

    void tenMegabytesWithoutALineEnd()
    {
        StartLoggingQuietly();
        sim::InjectRx(std::string(10 * 1024 * 1024, 'x'));
        for (int i = 0; i < 200 && sim::QueuedRx() > 0; ++i) {
            Tick();
            QVERIFY(form->Meter().ReceiveText().size() <= 64 * 1024);
        }
        QCOMPARE(sim::QueuedRx(), size_t(0));
        sim::InjectRx("\rpH: 7.11\r");
        Tick(3);
        QCOMPARE(form->lbpHValue->text().replace(',', '.'), QStringLiteral("7.11"));
        QCOMPARE(LogRows().size(), qsizetype(1));
        CloseOrderly();
    }

    void aReplyLineOfAHundredKilobytes()
    {
        StartLoggingQuietly();
        sim::InjectRx("pH: 7.01\r");
        Tick();
        sim::InjectRx("pH: " + std::string(100 * 1024, '9') + "\rpH: 7.12\r");
        Tick(4);
        QCOMPARE(form->lbpHValue->text().replace(',', '.'), QStringLiteral("7.12"));
        QCOMPARE(LogRows().size(), qsizetype(2));
        CloseOrderly();
    }

    void hugeSettingsFiles_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("10 MB") << 0;
        QTest::newRow("100000 sections") << 1;
    }

    void hugeSettingsFiles()
    {
        QFETCH(int, kind);
        QByteArray text;
        if (kind == 0) {
            text = "[Other]\nfiller=" + QByteArray(10 * 1024 * 1024, 'f') + "\n";
        } else {
            for (int i = 0; i < 100000; ++i)
                text += "[S" + QByteArray::number(i) + "]\nk=v\n";
        }
        text += "[Window]\nMFTop=60\nMFLeft=61\n";
        WriteIni(text);
        Start();
        QCOMPARE(form->pos(), QPoint(61, 60));
        form->move(70, 71);
        CloseOrderly();
        QFile ini(IniPath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray saved = ini.readAll();
        QCOMPARE(saved.size(), text.size());
        QVERIFY(saved.endsWith("[Window]\nMFTop=71\nMFLeft=70\n"));
    }
};

QTEST_MAIN(FaultInjectionTest)
#include "FaultInjectionTest.moc"
