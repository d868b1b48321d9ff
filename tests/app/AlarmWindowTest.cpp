// The alarm limits in the window, on the simulated meter: red digits while an
// alarm is raised, its text where the stability label is, the limits set in
// the dialog kept in the settings file, and the desktop notification on a
// private session bus with a stand-in notification service.
//
// With TIREVO_TEST_NO_BUS set there is no bus at all: the window must show
// the alarm all the same.
#include "AlarmDialog.h"
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"
#include "WindowLayout.h"

#include <QCheckBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace tirevo;

// What the desktop's notification service would be: records every Notify.
class NotificationStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app;
        QString icon;
        QString summary;
        QString body;
        int urgency = -1;
        int imageWidth = 0;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        Call call{app, icon, summary, body, hints.value(QStringLiteral("urgency")).toInt(), 0};
        const QVariant image = hints.value(QStringLiteral("image-data"));
        if (image.canConvert<QDBusArgument>()) {
            const QDBusArgument argument = image.value<QDBusArgument>();
            argument.beginStructure();
            argument >> call.imageWidth;
            // Ends the reader that beginStructure() made, and its hold on the message.
            argument.endStructure();
        }
        calls.append(call);
        return static_cast<uint>(calls.size());
    }
};

class AlarmWindowTest : public QObject {
    Q_OBJECT

    bool noBus = qEnvironmentVariableIsSet("TIREVO_TEST_NO_BUS");
    QProcess busDaemon;
    NotificationStandIn standIn;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;

    QString Program() const { return dir->path() + QStringLiteral("/tirevo"); }
    QString IniPath() const { return dir->path() + QStringLiteral("/tirevo.INI"); }

    QByteArray ReadIni() const
    {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void ShowLine(const std::string& line)
    {
        sim::InjectRx(line);
        form->Timer2Timer();
    }

    QColor DigitColour() const { return form->lbpHValue->palette().color(QPalette::WindowText); }

    static AlarmSettings High(double limit)
    {
        AlarmSettings settings;
        settings.high = limit;
        settings.delayS = 0;
        return settings;
    }

    // Opens the dialog with the button and lets fill() set it, then presses
    // OK, while the dialog's own event loop runs.
    void SetInDialog(const std::function<void(AlarmDialog*)>& fill)
    {
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<AlarmDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            seen = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Alarm limits"));
            fill(dialog);
            dialog->accept();
        });
        form->sbAlarm->click();
        QVERIFY(seen);
    }

private slots:
    void initTestCase()
    {
        if (noBus) {
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tirevo-test-bus");
            return;
        }
        // A bus of the test's own, gone with it.
        busDaemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        QVERIFY2(busDaemon.waitForStarted(), "dbus-daemon (package dbus-daemon) is needed");
        QVERIFY(busDaemon.waitForReadyRead(30000));
        const QString address = QString::fromUtf8(busDaemon.readLine()).trimmed();
        QVERIFY(!address.isEmpty());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("stand-in"));
        QVERIFY(service.isConnected());
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("stand-in"));
        if (busDaemon.state() != QProcess::NotRunning) {
            busDaemon.terminate();
            busDaemon.waitForFinished(30000);
        }
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        BindSimulatedMeter();
        standIn.calls.clear();
    }
    void cleanup() { form.reset(); }

    void digitsTurnRedAndBackToBlue()
    {
        form = StartQuietWindow(*dir);
        QVERIFY(form->lbStability);
        QCOMPARE(form->sbAlarm->parentWidget(), form->tsPH);
        QCOMPARE(form->sbAlarm->toolTip(), QStringLiteral("Alarm limits"));
        // Where it is, the layout table says; here: it covers nothing.
        QCOMPARE(windowlayout::Overlaps(*form).join(QStringLiteral(", ")), QString());

        form->ApplyAlarmSettings(High(7.50));
        ShowLine("pH: 7.40\r");
        QCOMPARE(DigitColour(), QColor(0, 0, 255));
        // No alarm: the line says how the reading settles.
        QCOMPARE(form->lbStability->text(), QStringLiteral("Settling"));
        ShowLine("pH: 7.80\r");
        QCOMPARE(form->lbpHValue->text(), LocalNumber("7.80"));
        QVERIFY(DigitColour() != QColor(0, 0, 255));
        QCOMPARE(DigitColour().red(), 224);
        QVERIFY2(form->lbStability->text().startsWith(LocalNumber("Above 7.50 since ")),
                 qPrintable(form->lbStability->text()));
        QCOMPARE(form->lbStability->text().size(), QStringLiteral("Above 7.50 since 10:02:45").size());
        // Whole in its place, never cut off.
        QVERIFY(QFontMetrics(form->lbStability->font()).horizontalAdvance(form->lbStability->text()) <=
                form->lbStability->width());
        // Inside the hysteresis the alarm stays.
        ShowLine("pH: 7.46\r");
        QCOMPARE(DigitColour().red(), 224);
        ShowLine("pH: 7.45\r");
        QCOMPARE(DigitColour(), QColor(0, 0, 255));
        QCOMPARE(form->lbStability->text(), QStringLiteral("Settling"));
    }

    void aLostMeterIsShownUntilItAnswers()
    {
        form = StartQuietWindow(*dir);
        form->ApplyAlarmSettings(High(7.50));
        ShowLine("pH: 7.02\r");
        sim::Unplug(0);
        form->Timer2Timer();
        QVERIFY(form->MeterLost());
        QVERIFY2(form->lbStability->text().startsWith(QStringLiteral("Not responding since ")),
                 qPrintable(form->lbStability->text()));
        QVERIFY(QFontMetrics(form->lbStability->font()).horizontalAdvance(form->lbStability->text()) <=
                form->lbStability->width());
        QCOMPARE(DigitColour().red(), 224);
        sim::Plug(0);
        form->ReopenMeter();
        ShowLine("pH: 7.05\r");
        QCOMPARE(DigitColour(), QColor(0, 0, 255));
        // Judged afresh after the reconnection.
        QCOMPARE(form->lbStability->text(), QStringLiteral("Settling"));
    }

    void theStabilityTextComesBackAfterAnAlarm()
    {
        form = StartQuietWindow(*dir);
        form->ApplyAlarmSettings(High(7.50));
        ShowLine("pH: 7.80\r");
        QVERIFY(form->lbStability->text().startsWith(QStringLiteral("Above")));
        ShowLine("pH: 7.00\r");
        QCOMPARE(form->lbStability->text(), QStringLiteral("Settling"));
    }

    void dialogValuesSurviveARestartAndOtherLinesStay()
    {
        const QByteArray before =
            "; kept as it is\r\n[Window]\r\nMFTop=50\r\nMFLeft=50\r\n[Lab]\r\nTank=3\r\n";
        {
            QFile f(IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(before);
        }
        form = StartQuietWindow(*dir);
        SetInDialog([](AlarmDialog* dialog) {
            QVERIFY(!dialog->cbHigh->isChecked());
            QVERIFY(!dialog->edHigh->isEnabled());
            QVERIFY(!dialog->lbMeterLimits->isVisible());
            QCOMPARE(dialog->edDelay->value(), 5);
            QCOMPARE(dialog->edHysteresis->value(), 0.05);
            dialog->cbHigh->setChecked(true);
            dialog->edHigh->setValue(7.25);
            dialog->cbLow->setChecked(true);
            dialog->edLow->setValue(5.5);
            dialog->edDelay->setValue(12);
            dialog->edHysteresis->setValue(0.1);
        });
        // Applied at once.
        QCOMPARE(form->Alarm().Settings().high, 7.25);
        QCOMPARE(form->Alarm().Settings().low, 5.5);
        QCOMPARE(form->Alarm().Settings().delayS, 12);
        QCOMPARE(form->Alarm().Settings().hysteresis, 0.1);
        QCOMPARE(ReadIni(), before);
        form.reset();

        const QByteArray after = ReadIni();
        for (const char* kept : {"; kept as it is\r\n", "[Lab]\r\nTank=3\r\n"})
            QVERIFY2(after.contains(kept), after.constData());
        QVERIFY2(
            after.contains(
                LocalNumber("[Alarm]\r\nHigh=7.25\r\nLow=5.5\r\nDelay=12\r\nHysteresis=0.1\r\n").toLatin1()),
            after.constData());

        form = StartQuietWindow(*dir);
        QCOMPARE(form->Alarm().Settings().high, 7.25);
        QCOMPARE(form->Alarm().Settings().low, 5.5);
        SetInDialog([](AlarmDialog* dialog) {
            QVERIFY(dialog->cbHigh->isChecked());
            QCOMPARE(dialog->edHigh->text(), LocalNumber("7.25"));
            QCOMPARE(dialog->edLow->text(), LocalNumber("5.50"));
            QCOMPARE(dialog->edDelay->value(), 12);
            // Turned off, and written so.
            dialog->cbLow->setChecked(false);
        });
        form.reset();
        QVERIFY2(ReadIni().contains("\r\nLow=\r\n"), ReadIni().constData());
        form = StartQuietWindow(*dir);
        QVERIFY(!form->Alarm().Settings().low);
    }

    // The open meter's own [Alarm SERIAL] over [Alarm]: the dialog still
    // sets [Alarm], says which keys the meter keeps, and only [Alarm] is
    // written at close.
    void aMetersOwnSectionIsInForceAndTheDialogSaysSo()
    {
        // In the locale's decimal form, as the window reads it.
        const QByteArray own =
            LocalNumber("[Alarm QP000001]\r\n; tank 2\r\nHigh=7.5\r\nHysteresis=\r\n").toLatin1();
        {
            QFile f(IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(LocalNumber("[Alarm]\r\nHigh=8\r\nDelay=0\r\nHysteresis=0.2\r\n").toLatin1() + own);
        }
        form = StartQuietWindow(*dir);
        QTRY_VERIFY(form->Meter().Connected());
        QCOMPARE(form->Alarm().Settings().high, 7.5);
        QCOMPARE(form->Alarm().Settings().delayS, 0);
        QCOMPARE(form->Alarm().Settings().hysteresis, kAlarmHysteresisDefault);
        ShowLine("pH: 7.80\r");
        QCOMPARE(DigitColour().red(), 224);

        SetInDialog([](AlarmDialog* dialog) {
            // [Alarm]'s values, not the meter's.
            QCOMPARE(dialog->edHigh->text(), LocalNumber("8.00"));
            QCOMPARE(dialog->edHysteresis->value(), 0.2);
            QVERIFY(dialog->lbMeterLimits->isVisible());
            QCOMPARE(dialog->lbMeterLimits->text(),
                     QStringLiteral("This meter has its own limits in [Alarm QP000001]: High, Hysteresis."));
            dialog->edHigh->setValue(9);
            dialog->cbLow->setChecked(true);
            dialog->edLow->setValue(6);
        });
        // The meter keeps its own high limit; the low one comes from [Alarm].
        QCOMPARE(form->Alarm().Settings().high, 7.5);
        QCOMPARE(form->Alarm().Settings().low, 6.0);
        QCOMPARE(DigitColour().red(), 224);
        form.reset();
        // [Alarm] changed where it was; the meter's section as it was; the
        // window's own keys after them.
        const QByteArray after = ReadIni();
        QVERIFY2(after.startsWith(
                     LocalNumber("[Alarm]\r\nHigh=9\r\nDelay=0\r\nHysteresis=0.2\r\nLow=6\r\n").toLatin1() +
                     own + "[Window]\r\n"),
                 after.constData());
    }

    void aMetersSectionsProblemsAreTold()
    {
        MessageBoxWatcher boxes;
        {
            QFile f(IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Alarm]\nHigh=8\n[Alarm QP000002]\nHigh=7\n[Alarm QP000001]\nLow=six\n");
        }
        form = StartQuietWindow(*dir);
        QTRY_VERIFY(form->Meter().Connected());
        QTRY_COMPARE(
            boxes.Texts(),
            QStringList{QStringLiteral("[Alarm QP000001] Low: 'six' is not a valid floating point value.")});
        QCOMPARE(form->Alarm().Settings().high, 8.0);
        QVERIFY(!form->Alarm().Settings().low);
        SetInDialog([](AlarmDialog* dialog) {
            // The section holds Low, though it could not be used.
            QVERIFY(dialog->lbMeterLimits->isVisible());
        });
    }

    void limitsTheWrongWayRoundAreRefused()
    {
        MessageBoxWatcher boxes;
        form = StartQuietWindow(*dir);
        bool refused = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<AlarmDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->cbHigh->setChecked(true);
            dialog->edHigh->setValue(6);
            dialog->cbLow->setChecked(true);
            dialog->edLow->setValue(6);
            dialog->accept();
            refused = dialog->isVisible();
            dialog->reject();
        });
        form->sbAlarm->click();
        QVERIFY(refused);
        QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("High must be above Low")});
        QVERIFY(!form->Alarm().Settings().high);
    }

    void anUnreadableLimitIsReported()
    {
        {
            QFile f(IniPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Alarm]\nHigh=seven\nLow=6\n");
        }
        MessageBoxWatcher boxes;
        form = std::make_unique<TMainForm>(Program());
        QCOMPARE(boxes.Texts(),
                 QStringList{QStringLiteral("[Alarm] High: 'seven' is not a valid floating point value.")});
        QVERIFY(!form->Alarm().Settings().high);
        QCOMPARE(form->Alarm().Settings().low, 6.0);
        // Nothing else of the start is cut short.
        QCOMPARE(form->pc1->currentIndex(), 2);
    }

    void notificationsReachTheDesktop()
    {
        form = StartQuietWindow(*dir);
        form->ApplyAlarmSettings(High(7.50));
        ShowLine("pH: 7.80\r");
        // Shown in the window whether or not a bus is there.
        QCOMPARE(DigitColour().red(), 224);
        if (noBus) {
            ShowLine("pH: 7.30\r");
            QCOMPARE(DigitColour(), QColor(0, 0, 255));
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(standIn.calls.size(), 1, 30000);
        const NotificationStandIn::Call raised = standIn.calls[0];
        QCOMPARE(raised.app, QStringLiteral("tirevo"));
        QCOMPARE(raised.icon, QStringLiteral("tirevo"));
        QCOMPARE(raised.summary, LocalNumber("pH 7.80 above 7.50"));
        QCOMPARE(raised.urgency, 2);
        QCOMPARE(raised.imageWidth, 64);
        ShowLine("pH: 7.30\r");
        QTRY_COMPARE_WITH_TIMEOUT(standIn.calls.size(), 2, 30000);
        QCOMPARE(standIn.calls[1].summary, LocalNumber("pH back in range: 7.30"));
        QCOMPARE(standIn.calls[1].urgency, 1);

        sim::Unplug(0);
        form->Timer2Timer();
        QTRY_COMPARE_WITH_TIMEOUT(standIn.calls.size(), 3, 30000);
        QCOMPARE(standIn.calls[2].summary, QStringLiteral("pH meter QP000001 not responding"));
        QCOMPARE(standIn.calls[2].urgency, 2);
    }
};

QTEST_MAIN(AlarmWindowTest)
#include "AlarmWindowTest.moc"
