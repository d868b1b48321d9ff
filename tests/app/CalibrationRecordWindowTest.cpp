// The calibration record in the window, on the simulated meter and virtual
// time: the line under the two rows of the calibration page, the row each
// point leaves in calibrations.csv, and "Calibration due" on the reading page.
#include "AuditCheck.h"
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"
#include "VirtualClock.h"
#include "WindowLayout.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace tirevo;

namespace {

const QString kIsoTime = QStringLiteral(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
const QString kWaiting = QStringLiteral("Point 1: waiting for a stable reading\u2026");
// 2026-01-05T09:00:00+01:00
constexpr qint64 kPassedUtcMs = 1767600000000LL;
constexpr qint64 kHourMs = 3600LL * 1000;

}  // namespace

class CalibrationRecordWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<VirtualClock> clock;  // outlives the window that runs on it
    std::unique_ptr<TMainForm> form;

    void Start(const QByteArray& settings = QByteArray())
    {
        QFile ini(dir->filePath(QStringLiteral("tirevo.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(settings);
        ini.close();
        form = StartQuietWindow(*dir, clock.get());
        QVERIFY(form->Meter().Connected());
    }
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
    void Apply(const QString& value)
    {
        form->edPH1->setText(LocalNumber(value));
        QTest::mouseClick(form->sbtCAL1, Qt::LeftButton);
    }
    QStringList Rows() const
    {
        QFile file(dir->filePath(QStringLiteral("calibrations.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        if (!lines.isEmpty() && lines.first() == QLatin1String(kCalibrationsHeader))
            lines.removeFirst();
        else if (!lines.isEmpty())
            lines.prepend(QStringLiteral("no header"));
        return lines;
    }
    static bool Matches(const QString& row, const QString& rest)
    {
        return QRegularExpression(QRegularExpression::anchoredPattern(kIsoTime + rest)).match(row).hasMatch();
    }
    QString Line() const { return form->lbCalibration->text(); }

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

    void theLineAndTheMarkMoveOrCoverNothing()
    {
        Start();
        QCOMPARE(form->lbCalibration->parentWidget(), form->tsCal);
        QVERIFY(form->tsCal->rect().contains(form->lbCalibration->geometry()));
        QCOMPARE(form->lbCalibrationDue->parentWidget(), form->tsPH);
        QCOMPARE(form->lbCalibrationDue->text(), QStringLiteral("Calibration due"));
        QVERIFY(form->tsPH->rect().contains(form->lbCalibrationDue->geometry()));
        // Where they are, the layout table says; here: they cover nothing.
        QCOMPARE(windowlayout::Overlaps(*form).join(QStringLiteral(", ")), QString());
    }

    // The simulated meter reads the buffer once it has taken the point, as a
    // meter does: the demo and this test see an as-left.
    void aPointFromThePageIsCheckedAndRecorded()
    {
        MessageBoxWatcher boxes;
        Start();
        sim::SetAutoReply(true);
        sim::SetSettling(4.08, 4.08, 1000);
        for (int i = 0; i < 12; ++i)
            Poll();
        QVERIFY(form->Stability().Stable());
        Apply(QStringLiteral("4.01"));
        QCOMPARE(Line(), kWaiting);
        QVERIFY(sim::WrittenBytes().find("P10401\r") != std::string::npos);
        for (int i = 0; i < 60 && form->Check().Waiting(); ++i)
            Poll();
        QCOMPARE(Line(), LocalNumber(QStringLiteral("Point 1: as found 4.08, as left 4.01, pass")));
        const QStringList rows = Rows();
        QCOMPARE(rows.size(), 1);
        QVERIFY2(Matches(rows[0], QStringLiteral(",QP000001,1,4.01,P10401,4.08,yes,4.01,yes,\\+0.00,pass")),
                 qPrintable(rows[0]));
        QVERIFY(boxes.seen.empty());
        // The row's event, by the window, after the meter's own.
        const AuditCheckResult check = CheckAuditFolder(dir->path().toStdString());
        QVERIFY2(check.Intact(), check.Intact() ? "" : AuditProblemText(check.problems.front()).c_str());
        QCOMPARE(check.events, int64_t{2});
        QCOMPARE(check.calibrations, int64_t{1});
    }

    void anAsLeftOutsideTheToleranceFails()
    {
        Start("[Calibration]\r\nTolerance=" + LocalNumber(QStringLiteral("0.1")).toUtf8() + "\r\n");
        Show("4.08");
        Apply(QStringLiteral("4.01"));
        for (int i = 0; i < 11; ++i)
            Show("4.12");
        QCOMPARE(Line(), LocalNumber(QStringLiteral("Point 1: as found 4.08, as left 4.12, fail (+0.11)")));
        const QStringList rows = Rows();
        QCOMPARE(rows.size(), 1);
        QVERIFY2(Matches(rows[0], QStringLiteral(",QP000001,1,4.01,P10401,4.08,no,4.12,yes,\\+0.11,fail")),
                 qPrintable(rows[0]));
    }

    void aPointCutShortIsRecordedAsUnknown_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("rows");
        QTest::newRow("wait over") << QStringLiteral("wait") << 1;
        QTest::newRow("link lost") << QStringLiteral("lost") << 1;
        QTest::newRow("second point") << QStringLiteral("second") << 1;
        QTest::newRow("window closed") << QStringLiteral("close") << 1;
    }
    void aPointCutShortIsRecordedAsUnknown()
    {
        QFETCH(QString, ending);
        QFETCH(int, rows);
        Start("[Calibration]\r\nAsLeftWait=30\r\n");
        Show("4.08");
        Apply(QStringLiteral("4.01"));
        Show("4.05");
        QCOMPARE(Line(), kWaiting);
        QVERIFY(Rows().isEmpty());
        if (ending == QLatin1String("wait")) {
            // A meter that answers, but never settles.
            for (int i = 0; i < 27; ++i)
                Show(i % 2 ? "4.50" : "4.30");
            QVERIFY(Rows().isEmpty());
            for (int i = 0; i < 3; ++i)
                Show("4.01");
        } else if (ending == QLatin1String("lost")) {
            sim::Unplug(0);
            form->Timer2Timer();
        } else if (ending == QLatin1String("second")) {
            form->edPH2->setText(QStringLiteral("7"));
            QTest::mouseClick(form->sbtCAL2, Qt::LeftButton);
            QCOMPARE(Line(), QStringLiteral("Point 2: waiting for a stable reading\u2026"));
        } else {
            form->close();
        }
        const QStringList written = Rows();
        QCOMPARE(written.size(), rows);
        QVERIFY2(Matches(written[0], QStringLiteral(",QP000001,1,4.01,P10401,4.08,no,,no,,unknown")),
                 qPrintable(written[0]));
        if (ending == QLatin1String("wait") || ending == QLatin1String("lost"))
            QCOMPARE(Line(), LocalNumber(QStringLiteral("Point 1: as found 4.08, no stable reading")));
    }

    void dueMarkAtConnectionAndOnceAMinute()
    {
        QFile csv(dir->filePath(QStringLiteral("calibrations.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(QByteArray(kCalibrationsHeader) + "\r\n" +
                  "2026-01-05T09:00:00.000+01:00,QP000001,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n"
                  "2026-01-05T10:00:00.000+01:00,QP000002,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n");
        csv.close();
        clock->SetUtcMs(kPassedUtcMs + 24 * kHourMs - 30 * 1000);
        Start("[Calibration]\r\nDueHours=24\r\n");
        QVERIFY(!form->lbCalibrationDue->isVisibleTo(form.get()));
        QVERIFY2(form->btnCalibrate->toolTip().startsWith(QStringLiteral("Next calibration due ")),
                 qPrintable(form->btnCalibrate->toolTip()));
        // Past the 24 hours, but the next look is a minute after connection.
        clock->Advance(59 * 1000);
        form->Timer2Timer();
        QVERIFY(!form->lbCalibrationDue->isVisibleTo(form.get()));
        clock->Advance(1000);
        form->Timer2Timer();
        QVERIFY(form->lbCalibrationDue->isVisibleTo(form.get()));
        QVERIFY2(form->btnCalibrate->toolTip().startsWith(QStringLiteral("Calibration due since ")),
                 qPrintable(form->btnCalibrate->toolTip()));
    }

    void dueWithoutAPassedRowAndOffWithoutTheKey_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("due");
        QTest::newRow("DueHours set") << QByteArray("[Calibration]\r\nDueHours=1\r\n") << true;
        QTest::newRow("DueHours=0") << QByteArray("[Calibration]\r\nDueHours=0\r\n") << false;
        QTest::newRow("no key") << QByteArray() << false;
    }
    void dueWithoutAPassedRowAndOffWithoutTheKey()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, due);
        Start(settings);
        QCOMPARE(form->lbCalibrationDue->isVisibleTo(form.get()), due);
        QCOMPARE(form->btnCalibrate->toolTip(),
                 due ? QStringLiteral("Calibration due: no passed calibration recorded") : QString());
        if (!due)
            return;
        // A point that passes clears the mark at once.
        Apply(QStringLiteral("4.01"));
        for (int i = 0; i < 11; ++i)
            Show("4.02");
        QCOMPARE(Line(), LocalNumber(QStringLiteral("Point 1: as found ---, as left 4.02, pass")));
        QVERIFY(!form->lbCalibrationDue->isVisibleTo(form.get()));
    }
};

QTEST_MAIN(CalibrationRecordWindowTest)
#include "CalibrationRecordWindowTest.moc"
