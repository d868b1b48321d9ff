// The window on the simulated meter: start-up, listing, connection, command
// framing and pacing, navigation and shutdown, through the real handlers.
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "Messages.h"
#include "SimFixture.h"
#include "WindowLayout.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace tirevo;

using namespace std::string_literals;

// Stands in for the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    std::unique_ptr<TMainForm> StartForm()
    {
        auto form = std::make_unique<TMainForm>(dir->path() + QStringLiteral("/tirevo"));
        form->show();
        return form;
    }

    static QStringList Rows(const QListWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    static std::vector<std::string> CallNames()
    {
        std::vector<std::string> out;
        for (const auto& c : sim::Calls())
            out.push_back(c.fn);
        return out;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        BindSimulatedMeter();
    }

    void oneMeterConnectsAtStartWithTheExactSetup()
    {
        MessageBoxWatcher boxes;
        auto form = StartForm();

        QCOMPARE(form->pc1->currentIndex(), 0);
        QVERIFY(form->Meter().Connected());
        QVERIFY(form->Meter().DeviceOpen());
        QCOMPARE(form->sb1Panel->text(), QStringLiteral("USB pH meter S/N QP000001 connected"));
        QCOMPARE(form->BitBtn1->text(), QStringLiteral("Show pH"));
        QVERIFY(form->btnCalibrate->isEnabled());
        QVERIFY(form->sb5->isEnabled());
        QVERIFY(!form->sb6->isEnabled());
        QVERIFY(form->Timer1->isActive());
        QVERIFY(form->Timer2->isActive());
        QCOMPARE(form->Timer2->interval(), 100);
        QVERIFY(boxes.seen.empty());

        const std::vector<std::string> expected = {
            "FT_ListDevices",    "FT_ListDevices", "FT_ListDevices",
            "FT_OpenEx",         "FT_SetBaudRate", "FT_SetDataCharacteristics",
            "FT_SetFlowControl", "FT_SetDtr",      "FT_SetRts",
            "FT_SetTimeouts",    "FT_Write",       "FT_Write",
            "FT_Write",          "FT_Write",       "FT_Write",
            "FT_Write"};
        const auto names = CallNames();
        QVERIFY(names.size() >= expected.size());
        QCOMPARE(std::vector<std::string>(names.begin(), names.begin() + expected.size()), expected);

        const auto calls = sim::Calls();
        QCOMPARE(calls[0].args[0], uint64_t(FT_LIST_NUMBER_ONLY));
        QCOMPARE(calls[1].args, (std::vector<uint64_t>{FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, 0}));
        QCOMPARE(calls[2].args, (std::vector<uint64_t>{FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, 0}));
        QCOMPARE(calls[3].data, "QP000001"s);
        QCOMPARE(calls[3].args, (std::vector<uint64_t>{FT_OPEN_BY_SERIAL_NUMBER}));
        QCOMPARE(calls[4].args, (std::vector<uint64_t>{9600}));
        QCOMPARE(calls[5].args, (std::vector<uint64_t>{8, 1, 0}));
        QCOMPARE(calls[6].args, (std::vector<uint64_t>{0, 0x11, 0x13}));
        QCOMPARE(calls[9].args, (std::vector<uint64_t>{1, 100}));
        // One byte per write call: "S20" CR, then "V" CR.
        QCOMPARE(WriteCalls(), (std::vector<std::string>{"S", "2", "0", "\r", "V", "\r"}));
    }

    // The poll timer's interval and kind; when it polls is the session's
    // schedule, tested on virtual time.
    // The program paints its first frame before it lists and connects.
    void theFirstFrameComesBeforeTheConnection()
    {
        struct PaintClock : QObject {
            double firstPaintMs = -1;
            bool eventFilter(QObject*, QEvent* event) override
            {
                if (event->type() == QEvent::Paint && firstPaintMs < 0)
                    firstPaintMs = sim::NowMs();
                return false;
            }
        } paints;
        auto form = std::make_unique<TMainForm>(dir->path() + QStringLiteral("/tirevo"));
        form->installEventFilter(&paints);
        form->SetConnectAfterFirstFrame(true);
        form->show();
        QVERIFY(sim::Calls().empty());
        QTRY_VERIFY(form->Meter().Connected());
        QVERIFY(paints.firstPaintMs >= 0);
        QVERIFY(paints.firstPaintMs <= sim::Calls().front().tMs);
        QCOMPARE(form->sb1Panel->text(), QStringLiteral("USB pH meter S/N QP000001 connected"));
    }

    void thePollTimerIsPreciseAtTheInterval()
    {
        auto form = StartForm();
        QVERIFY(form->Timer1->isActive());
        QCOMPARE(form->Timer1->interval(), 1000);
        QCOMPARE(form->Timer1->timerType(), Qt::PreciseTimer);
    }

    void commandsArePacedCharacterByCharacter()
    {
        auto form = StartForm();
        form->Timer1->stop();
        // Repeated, so that one slow moment of the machine cannot hide a
        // pause after the carriage return.
        double shortestTail = 1e9;
        for (int round = 0; round < 5; ++round) {
            sim::ClearCalls();
            form->SendCommand("PH");
            const double returned = sim::NowMs();
            const auto writes = sim::CallsNamed("FT_Write");
            QCOMPARE(writes.size(), size_t(3));
            QCOMPARE(writes[0].data, "P"s);
            QCOMPARE(writes[1].data, "H"s);
            QCOMPARE(writes[2].data, "\r"s);
            QVERIFY(writes[1].tMs - writes[0].tMs >= 2.0);
            QVERIFY(writes[2].tMs - writes[1].tMs >= 2.0);
            shortestTail = std::min(shortestTail, returned - writes[2].tMs);
        }
        QVERIFY2(shortestTail < 1.0, qPrintable(QString::number(shortestTail)));

        sim::ClearCalls();
        form->SendCommand("");
        QCOMPARE(WriteCalls(), (std::vector<std::string>{"\r"}));
    }

    void writeFailuresDoNotStopTheCommand()
    {
        auto form = StartForm();
        form->Timer1->stop();
        sim::ClearCalls();
        sim::FailCalls("FT_Write", FT_IO_ERROR);
        QVERIFY(!form->WriteUSB("PH"));
        form->SendCommand("PH");
        QCOMPARE(sim::CallsNamed("FT_Write").size(), size_t(5));
        sim::ClearFailures();
        QVERIFY(form->WriteUSB("PH"));
    }

    void aMeterThatCannotBeOpenedLeavesTheAboutPage()
    {
        sim::SetOpenFails(0, true);
        MessageBoxWatcher boxes;
        auto form = StartForm();
        // The attempt is over when show() returns; what it queued runs now.
        QCoreApplication::processEvents();
        QCOMPARE(form->pc1->currentIndex(), 2);
        QVERIFY(!form->Meter().Connected());
        QVERIFY(!form->Meter().DeviceOpen());
        QCOMPARE(form->sb1Panel->text(), QStringLiteral("USB pH Meter not connected"));
        QCOMPARE(form->BitBtn1->text(), QStringLiteral("&Connect"));
        QVERIFY(!form->btnCalibrate->isEnabled());
        // Nothing left running that could bring a box later.
        QVERIFY(!form->Timer1->isActive());
        QVERIFY(!form->Timer2->isActive());
        QVERIFY(boxes.seen.empty());
        QVERIFY(sim::WrittenBytes().empty());
    }

    // Chosen on the selection page, a meter another program holds leaves the
    // page with a fresh list and nothing half connected; once it is free,
    // choosing it again connects it.
    void aChosenMeterThatCannotBeOpenedStaysOnTheSelectionPage()
    {
        sim::SetOpenFails(0, true);
        MessageBoxWatcher boxes;
        auto form = StartForm();
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 1);
        QCOMPARE(Rows(form->lb2), QStringList{QStringLiteral("QP000001")});
        form->lb2->setCurrentRow(0);
        sim::ClearCalls();
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!sim::CallsNamed("FT_OpenEx").empty());
        QCOMPARE(form->pc1->currentIndex(), 1);
        QCOMPARE(Rows(form->lb2), QStringList{QStringLiteral("QP000001")});
        QVERIFY(!form->Meter().Connected());
        QVERIFY(!form->Meter().DeviceOpen());
        QCOMPARE(form->BitBtn1->text(), QStringLiteral("&Connect"));
        QCOMPARE(form->sb1Panel->text(), QStringLiteral("USB pH Meter not connected"));
        QVERIFY(!form->btnCalibrate->isEnabled());
        QVERIFY(!form->sb5->isEnabled());
        QVERIFY(!form->sbRecord->isEnabled());
        QVERIFY(!form->Timer1->isActive());
        QVERIFY(!form->Timer2->isActive());
        QVERIFY(sim::WrittenBytes().empty());
        QVERIFY(boxes.seen.empty());

        sim::SetOpenFails(0, false);
        form->lb2->setCurrentRow(0);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(form->Meter().Connected());
        QCOMPARE(form->pc1->currentIndex(), 0);
        QCOMPARE(form->sb1Panel->text(), QStringLiteral("USB pH meter S/N QP000001 connected"));
        QVERIFY(form->Timer1->isActive());
        QVERIFY(boxes.seen.empty());
    }

    // A meter the system will not let this user open (no udev rule) is
    // named in the status bar, not just missing from an empty list; once
    // the permission is there, a refresh lists it and the bar says so.
    void aConverterWithoutPermissionIsNamedInTheStatusBar()
    {
        sim::SetNoPermission(0, true);
        const int other = sim::AddDevice("QUVA USB pH Meter", "QP000002");
        sim::SetNoPermission(other, true);
        MessageBoxWatcher boxes;
        auto form = StartForm();
        QCOMPARE(form->lb1->count(), 0);
        QVERIFY(!form->Meter().Connected());
        const QString full =
            QStringLiteral("USB converter 0403:6001 at bus 1 device 2: no permission (install "
                           "the package, or see README: USB permissions) (and 1 more)");
        // The whole line is longer than the window is wide: cut with "…",
        // whole in the tooltip.
        QCOMPARE(form->sb1Panel->toolTip(), full);
        const QString shown = form->sb1Panel->text();
        QVERIFY2(shown.endsWith(QChar(0x2026)) && full.startsWith(shown.chopped(1)), qPrintable(shown));
        QVERIFY2(shown.startsWith(QStringLiteral("USB converter 0403:6001 at bus 1 device 2: no permission")),
                 qPrintable(shown));
        QVERIFY(boxes.seen.empty());

        sim::SetNoPermission(0, false);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 1);
        QCOMPARE(Rows(form->lb2), QStringList{QStringLiteral("QP000001")});
        QCOMPARE(form->sb1Panel->text(), QStringLiteral("USB pH Meter not connected"));
        QCOMPARE(form->sb1Panel->toolTip(), QString());
    }

    void noMeterConnectShowsAnEmptySelectionPage()
    {
        sim::ClearDevices();
        MessageBoxWatcher boxes;
        auto form = StartForm();
        QCOMPARE(form->pc1->currentIndex(), 2);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 1);
        QCOMPARE(form->lb1->count(), 0);
        QCOMPARE(form->lb2->count(), 0);
        sim::ClearCalls();
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 1);
        // Listed anew: a number-only call, and no description call.
        QCOMPARE(CallNames(), (std::vector<std::string>{"FT_ListDevices"}));
        // A box would have come within the press; what it queued runs now,
        // and no timer is left to bring one later.
        QCoreApplication::processEvents();
        QVERIFY(!form->Timer1->isActive());
        QVERIFY(!form->Timer2->isActive());
        QVERIFY(boxes.seen.empty());
    }

    void twoMetersNeedAChoice()
    {
        sim::ClearDevices();
        sim::AddDevice("QUVA USB pH Meter", "QP000001");
        sim::AddDevice("QUVA USB pH Meter", "QP000002");
        MessageBoxWatcher boxes(20);
        auto form = StartForm();
        QCOMPARE(form->pc1->currentIndex(), 2);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 1);
        QCOMPARE(Rows(form->lb2), (QStringList{"QP000001", "QP000002"}));
        QCOMPARE(TMainForm::SelectedRow(form->lb1), -1);

        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(boxes.Texts(), QStringList{"Select pH Meter first"});
        QCOMPARE(boxes.seen[0].title, QStringLiteral("QUVA Tirevo"));
        QCOMPARE(boxes.seen[0].icon, QMessageBox::NoIcon);
        QCOMPARE(form->pc1->currentIndex(), 1);
        QCOMPARE(form->lb1->count(), 2);
        QVERIFY(!form->Meter().Connected());

        // A click on the second serial number selects the same row of names.
        const QRect second = form->lb2->visualItemRect(form->lb2->item(1));
        QTest::mouseClick(form->lb2->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(TMainForm::SelectedRow(form->lb1), 1);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(form->Meter().Connected());
        QCOMPARE(form->Meter().Serial(), "QP000002"s);
        QCOMPARE(form->pc1->currentIndex(), 0);
        QCOMPARE(form->sb1Panel->text(), QStringLiteral("USB pH meter S/N QP000002 connected"));
    }

    // Every way the keyboard moves the choice leaves both lists showing the
    // same selected row, and Connect opens exactly that meter.
    void keyboardSelectionIsOneSelection_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("serial");
        QTest::newRow("tab into names") << "tab1"
                                        << "A1";
        QTest::newRow("shift-tab into serials") << "backtab2"
                                                << "A1";
        QTest::newRow("tab, then down") << "tab1 down1"
                                        << "B2";
        QTest::newRow("down in serials") << "tab2 down2 down2"
                                         << "C3";
        QTest::newRow("end, then home") << "tab1 end1 home1"
                                        << "A1";
        QTest::newRow("end in serials") << "tab2 end2"
                                        << "C3";
        QTest::newRow("type-ahead in serials") << "tab2 C2"
                                               << "C3";
        QTest::newRow("names, then serials") << "tab1 down1 tab2 down2"
                                             << "C3";
    }

    void keyboardSelectionIsOneSelection()
    {
        QFETCH(QString, keys);
        QFETCH(QString, serial);
        sim::ClearDevices();
        sim::AddDevice("QUVA USB pH Meter", "A1");
        sim::AddDevice("QUVA USB pH Meter", "B2");
        sim::AddDevice("QUVA USB pH Meter", "C3");
        MessageBoxWatcher boxes(20);
        auto form = StartForm();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 1);
        for (const QString& key : keys.split(' ')) {
            QListWidget* list = key.endsWith('1') ? form->lb1 : form->lb2;
            const QString what = key.chopped(1);
            if (what == "tab")
                list->setFocus(Qt::TabFocusReason);
            else if (what == "backtab")
                list->setFocus(Qt::BacktabFocusReason);
            else if (what == "down")
                QTest::keyClick(list, Qt::Key_Down);
            else if (what == "end")
                QTest::keyClick(list, Qt::Key_End);
            else if (what == "home")
                QTest::keyClick(list, Qt::Key_Home);
            else
                QTest::keyClicks(list, what);
            QCOMPARE(TMainForm::SelectedRow(form->lb1), TMainForm::SelectedRow(form->lb2));
            QCOMPARE(form->lb1->currentRow(), form->lb2->currentRow());
        }
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QVERIFY(boxes.seen.empty());
        QVERIFY(form->Meter().Connected());
        QCOMPARE(QString::fromStdString(form->Meter().Serial()), serial);
    }

    void listingShowsOnlyReadableMeters_data()
    {
        QTest::addColumn<QStringList>("descriptions");
        QTest::addColumn<QList<int>>("failing");  // 1 = description fails, 2 = serial fails
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("serials");
        QTest::newRow("marker and other")
            << QStringList{"QUVA USB pH Meter", "FT232R USB UART"} << QList<int>{0, 0}
            << QStringList{"QUVA USB pH Meter"} << QStringList{"S0"};
        QTest::newRow("other first") << QStringList{"USB Serial", "QUVA USB pH"} << QList<int>{0, 0}
                                     << QStringList{"QUVA USB pH"} << QStringList{"S1"};
        QTest::newRow("full description kept")
            << QStringList{"My QUVA USB pH Meter rev B"} << QList<int>{0}
            << QStringList{"My QUVA USB pH Meter rev B"} << QStringList{"S0"};
        QTest::newRow("case matters") << QStringList{"QUVA USB PH Meter", "quva usb ph"} << QList<int>{0, 0}
                                      << QStringList{} << QStringList{};
        QTest::newRow("unreadable description")
            << QStringList{"QUVA USB pH Meter", "QUVA USB pH Meter"} << QList<int>{0, 1}
            << QStringList{"QUVA USB pH Meter"} << QStringList{"S0"};
        QTest::newRow("unreadable serial")
            << QStringList{"QUVA USB pH Meter", "QUVA USB pH Meter"} << QList<int>{2, 0}
            << QStringList{"QUVA USB pH Meter"} << QStringList{"S1"};
        QTest::newRow("none") << QStringList{} << QList<int>{} << QStringList{} << QStringList{};
    }

    void listingShowsOnlyReadableMeters()
    {
        QFETCH(QStringList, descriptions);
        QFETCH(QList<int>, failing);
        QFETCH(QStringList, names);
        QFETCH(QStringList, serials);
        sim::ClearDevices();
        for (int i = 0; i < descriptions.size(); ++i) {
            const int d =
                sim::AddDevice(descriptions[i].toStdString(), QStringLiteral("S%1").arg(i).toStdString());
            sim::SetDescriptionFails(d, failing[i] == 1);
            sim::SetSerialFails(d, failing[i] == 2);
            sim::SetOpenFails(d, true);
        }
        auto form = StartForm();
        form->ListMeters();
        QCOMPARE(Rows(form->lb1), names);
        QCOMPARE(Rows(form->lb2), serials);
        // Serial numbers are asked only for listed meters.
        int serialCalls = 0;
        for (const auto& c : sim::CallsNamed("FT_ListDevices"))
            serialCalls += c.args[0] == (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
        int meters = 0;
        for (int i = 0; i < descriptions.size(); ++i)
            meters += descriptions[i].contains("QUVA USB pH") && failing[i] != 1;
        QCOMPARE(serialCalls, 2 * meters);  // once at start, once here
    }

    void sendingBeforeConnectionTellsTheUser()
    {
        sim::SetOpenFails(0, true);
        MessageBoxWatcher boxes(10);
        auto form = StartForm();
        sim::ClearCalls();
        form->SendCommand("PH");
        QCOMPARE(boxes.Texts(), QStringList{"Not connected to pH meter"});
        QCOMPARE(boxes.seen[0].title, QStringLiteral("QUVA Tirevo"));
        QVERIFY(sim::WrittenBytes().empty());
    }

    void showPHBringsTheReadingPageBack()
    {
        auto form = StartForm();
        QTest::mouseClick(form->btnAbout, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 2);
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 0);
        QTest::mouseClick(form->btnCalibrate, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 3);
        sim::ClearCalls();
        QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
        QCOMPARE(form->pc1->currentIndex(), 0);
        // Only the page changes: nothing is listed or opened again.
        QVERIFY(sim::CallsNamed("FT_ListDevices").empty());
        QVERIFY(sim::CallsNamed("FT_OpenEx").empty());
    }

    void timersKeepRunningBehindAMessageBox()
    {
        auto form = StartForm();
        form->Timer1->setInterval(100);
        form->Timer1->start();
        sim::ClearCalls();
        MessageBoxWatcher boxes(600);
        ShowMessage(QStringLiteral("behind"));
        QCOMPARE(boxes.seen.size(), size_t(1));
        QVERIFY(sim::WrittenBytes().find("PH\rPH\r") != std::string::npos);
    }

    void closingStopsTimersAndClosesTheDeviceOnce()
    {
        auto form = StartForm();
        QVERIFY(form->close());
        QVERIFY(!form->Timer1->isActive());
        QVERIFY(!form->Timer2->isActive());
        QCOMPARE(sim::CallsNamed("FT_Close").size(), size_t(1));
        QVERIFY(!sim::IsOpen());
        form.reset();
        QCOMPARE(sim::CallsNamed("FT_Close").size(), size_t(1));
    }

    void theAddressAndTheLogoOpenTheBrowser()
    {
        UrlCatcher browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        auto form = StartForm();
        form->btnAboutClick();
        QTest::mouseClick(form->Label3, Qt::LeftButton);
        QTest::mouseClick(form->Image1, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(browser.opened, (QList<QUrl>{QUrl(kMakerAddress), QUrl(kMakerAddress)}));
        QCOMPARE(form->Label3->text(), QString::fromLatin1(kMakerAddress));
        QCOMPARE(form->Label3->cursor().shape(), Qt::PointingHandCursor);
    }

    void separatorsFollowALocaleChange()
    {
        auto form = StartForm();
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QEvent change(QEvent::LocaleChange);
        QApplication::sendEvent(form.get(), &change);
        QCOMPARE(form->Separators.decimal, ',');
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QApplication::sendEvent(form.get(), &change);
        QCOMPARE(form->Separators.decimal, '.');
        QCOMPARE(form->Separators.time, ':');
        QLocale::setDefault(before);
    }

    void theWindowMatchesItsLayout()
    {
        auto form = StartForm();
        QCOMPARE(form->windowTitle(), QStringLiteral("USB pH-Meter"));
        QCOMPARE(form->size(), QSize(434, 136));
        QCOMPARE(form->minimumSize(), form->maximumSize());
        QVERIFY(!(form->windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
        for (const windowlayout::Place& place : windowlayout::Table())
            QVERIFY2(place.control(*form)->geometry() == place.geometry, place.name);
        QCOMPARE(windowlayout::Overlaps(*form).join(QStringLiteral(", ")), QString());
        QCOMPARE(form->lbpHValue->font().pixelSize(), 48);
        QVERIFY(form->lbpHValue->font().bold());
        QCOMPARE(form->lbpHValue->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(form->lbpHValue->alignment() & Qt::AlignRight);
        QCOMPARE(form->sb5->toolTip(), QStringLiteral("Collect pH data to disk"));
        QCOMPARE(form->sb6->toolTip(), QStringLiteral("Stop data collection"));
        QCOMPARE(form->SpeedButton2->toolTip(), QStringLiteral("Refresh"));
        QCOMPARE(form->sbtCAL1->toolTip(), QStringLiteral("Apply"));
        QCOMPARE(form->Label3->pos(), QPoint(6, 56));
        QCOMPARE(form->lbVersion->text(), QStringLiteral("Version: 1.0.2.7"));
        form->btnAboutClick();
        // The logo is decoded just after the About page is first painted.
        QVERIFY(form->Image1->pixmap().isNull());
        form->Image1->grab();
        QTRY_COMPARE(form->Image1->pixmap().size(), QSize(97, 41));
        QCOMPARE(form->font().pixelSize(), 11);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
