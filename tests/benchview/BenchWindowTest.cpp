// The bench view on the simulated meters, offscreen, as the program runs it:
// three meters with their own readings, a tile per meter, and each tile's
// sample, alarm and log for its own meter, and their events in the trail.
#include "BenchWindow.h"
#include "AlarmDialog.h"
#include "BenchCalibrationDialog.h"
#include "BenchTile.h"
#include "FileBytes.h"
#include "LocalNumber.h"
#include "MessageBoxWatcher.h"
#include "SampleDialog.h"
#include "SimFixture.h"
#include "TrendHost.h"

#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <string>

using namespace tirevo;

namespace {

constexpr int kWaitMs = 20000;
const std::vector<std::string> kSerials{"QP000001", "QP000002", "QP000003"};

// Three simulated meters, each with its own reading.
void AttachThreeMeters()
{
    qputenv("TIREVO_SIM_METERS", "3");
    qputenv("TIREVO_SIM_METER_READINGS", "7.01,8.02,9.03");
    BindSimulatedMeter();
}

struct Bench {
    QTemporaryDir dir;
    std::unique_ptr<BenchWindow> window;

    // beforeOpen: what the folder holds before the view opens.
    explicit Bench(const std::string& ini = "[System]\nInterval=250\n",
                   const std::function<void(const QDir&)>& beforeOpen = {})
    {
        WriteFile(IniPath(), ini);
        if (beforeOpen)
            beforeOpen(QDir(dir.path()));
        window = std::make_unique<BenchWindow>(Setup());
        window->show();
    }
    ~Bench() { window->close(); }
    std::string IniPath() const
    {
        return QDir(dir.path()).filePath(QStringLiteral("tirevo.INI")).toStdString();
    }
    std::string Folder() const { return dir.path().toStdString(); }
    BenchViewSetup Setup() const
    {
        BenchViewSetup setup;
        setup.iniPath = IniPath();
        setup.recordsFolder = Folder();
        setup.logFolder = Folder();
        return setup;
    }
    BenchTile* Tile(const std::string& serial) const { return window->Tile(serial); }
    QString Reading(const std::string& serial) const
    {
        BenchTile* tile = Tile(serial);
        return tile ? tile->lbReading->text() : QStringLiteral("<no tile>");
    }
};

}  // namespace

class BenchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { AttachThreeMeters(); }
    void cleanupTestCase()
    {
        qunsetenv("TIREVO_SIM_METERS");
        qunsetenv("TIREVO_SIM_METER_READINGS");
    }
    void eachTileShowsItsOwnMetersReading();
    void tilesFitTheWindowAndFollowTheColumnsChosen();
    void aSampleFromTheSecondTileCarriesTheSecondSerial();
    void aPerMeterAlarmTurnsOnlyThatTileRed();
    void alarmLimitsOfATileAreWrittenForItsMeterAlone();
    void logAllWritesOneFilePerMeter();
    void aTrailThatCannotBeWrittenIsSaidOnceAndTheLogsGoOn();
    void aCalibrationFromATileIsRecordedForItsMeter();
    void eachTileShowsTheTrendOfItsOwnMeter();
    void anUnpluggedMeterKeepsItsTileMarkedLost();
    void tabMovesBetweenTilesAndEnterOpensTheMenu();
    void placeAndColumnsAreKeptInTheirOwnSection();
};

void BenchWindowTest::eachTileShowsItsOwnMetersReading()
{
    Bench bench;
    QCOMPARE(bench.window->Tiles().size(), size_t(3));
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000001"), LocalNumber("7.01"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000002"), LocalNumber("8.02"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000003"), LocalNumber("9.03"), kWaitMs);
    for (size_t i = 0; i < kSerials.size(); ++i) {
        BenchTile* tile = bench.window->Tiles()[i];
        QCOMPARE(tile->Serial(), kSerials[i]);
        QCOMPARE(tile->lbSerial->text(), QString::fromStdString(kSerials[i]));
        QCOMPARE(tile->lbDescription->text(), QStringLiteral("QUVA USB pH Meter"));
        // The main window's digits.
        QCOMPARE(tile->lbReading->font().pixelSize(), 48);
        QVERIFY(tile->lbReading->font().bold());
        QCOMPARE(tile->lbReading->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QTRY_COMPARE_WITH_TIMEOUT(tile->lbState->text(), QStringLiteral("Settling"), kWaitMs);
        QVERIFY(!tile->lbDue->isVisible());
    }
    QCOMPARE(bench.window->sbPanel->text(), QStringLiteral("3 meters"));
}

void BenchWindowTest::tilesFitTheWindowAndFollowTheColumnsChosen()
{
    Bench bench;
    bench.window->resize(1000, 400);
    QTRY_COMPARE(bench.window->Columns(), 3);
    bench.window->resize(660, 400);
    QTRY_COMPARE(bench.window->Columns(), 2);
    bench.window->edColumns->setValue(1);
    QCOMPARE(bench.window->Columns(), 1);
    bench.window->resize(1000, 400);
    QTest::qWait(50);
    QCOMPARE(bench.window->Columns(), 1);
}

void BenchWindowTest::aSampleFromTheSecondTileCarriesTheSecondSerial()
{
    Bench bench;
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000002"), LocalNumber("8.02"), kWaitMs);
    QTest::mouseClick(bench.Tile("QP000002")->btnSample, Qt::LeftButton);
    SampleDialog* dialog = bench.window->RecordDialog("QP000002");
    QVERIFY(dialog);
    dialog->edSample->setText(QStringLiteral("Tank 2"));
    QTest::mouseClick(dialog->btnNow, Qt::LeftButton);
    QVERIFY(!bench.window->RecordDialog("QP000002"));
    const std::string samples = ReadFile(bench.dir.filePath(QStringLiteral("samples.csv")).toStdString());
    QVERIFY2(samples.find(",Tank 2,8.02,") != std::string::npos, samples.c_str());
    QVERIFY2(samples.find("QP000002") != std::string::npos, samples.c_str());
    QVERIFY2(samples.find("QP000001") == std::string::npos, samples.c_str());
    QVERIFY2(samples.find("QP000003") == std::string::npos, samples.c_str());
    // The audit trail has the row's event, as for the main window's samples.
    QVERIFY(QFile::exists(bench.dir.filePath(QStringLiteral("audit.jsonl"))));
}

void BenchWindowTest::aPerMeterAlarmTurnsOnlyThatTileRed()
{
    // The file's numbers take the locale's decimal separator.
    Bench bench("[System]\nInterval=250\n[Alarm QP000002]\nHigh=" + LocalNumber("8.00").toStdString() +
                "\nDelay=0\n");
    QTRY_VERIFY_WITH_TIMEOUT(bench.Tile("QP000002")->Alarmed(), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000003"), LocalNumber("9.03"), kWaitMs);
    QVERIFY(!bench.Tile("QP000001")->Alarmed());
    // 9.03 is above 8.00, but the limit is the second meter's.
    QVERIFY(!bench.Tile("QP000003")->Alarmed());
    const QColor red(224, 0, 0);
    QCOMPARE(bench.Tile("QP000002")->lbReading->palette().color(QPalette::WindowText), red);
    QCOMPARE(bench.Tile("QP000002")->lbState->palette().color(QPalette::WindowText), red);
    QVERIFY(
        bench.Tile("QP000002")->lbState->text().startsWith(QStringLiteral("Above ") + LocalNumber("8.00")));
    QCOMPARE(bench.Tile("QP000003")->lbReading->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    // Drawn red: the tile's own pixels.
    const QImage image = bench.Tile("QP000002")->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() / 2, 1), red);
    const QImage plain = bench.Tile("QP000001")->grab().toImage();
    QVERIFY(plain.pixelColor(plain.width() / 2, 1) != red);
}

void BenchWindowTest::alarmLimitsOfATileAreWrittenForItsMeterAlone()
{
    Bench bench("[System]\nInterval=250\n[Alarm]\nHigh=" + LocalNumber("12.00").toStdString() + "\n");
    bool edited = false;
    double shownHigh = 0;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<AlarmDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shownHigh = dialog->edHigh->value();
        dialog->edHigh->setValue(9.0);
        dialog->edDelay->setValue(0);
        edited = true;
        dialog->accept();
    });
    bench.window->Act("QP000003", TileAction::AlarmLimits);
    QVERIFY(edited);
    QCOMPARE(shownHigh, 12.0);
    const std::string ini = ReadFile(bench.IniPath());
    QVERIFY2(ini.find("[Alarm QP000003]\nHigh=9\n") != std::string::npos, ini.c_str());
    QVERIFY2(ini.find("[Alarm]\nHigh=" + LocalNumber("12.00").toStdString() + "\n[") != std::string::npos,
             ini.c_str());
    QTRY_VERIFY_WITH_TIMEOUT(bench.Tile("QP000003")->Alarmed(), kWaitMs);
    QVERIFY(!bench.Tile("QP000002")->Alarmed());
}

void BenchWindowTest::logAllWritesOneFilePerMeter()
{
    Bench bench;
    QTest::mouseClick(bench.window->btnLogAll, Qt::LeftButton);
    QVERIFY(bench.window->LoggingAll());
    QCOMPARE(bench.window->sbPanel->text(),
             QStringLiteral("3 meters logging into ") + QDir::toNativeSeparators(bench.dir.path()));
    QDir dir(bench.dir.path());
    const auto rowsOf = [&](const std::string& serial) {
        const QStringList files = dir.entryList(
            {QStringLiteral("USB_PH_*_") + QString::fromStdString(serial) + QStringLiteral(".txt")});
        return files.size() == 1 ? QString::fromStdString(ReadFile(dir.filePath(files[0]).toStdString()))
                                 : QStringLiteral("%1 files").arg(files.size());
    };
    const QStringList readings{LocalNumber("7.01"), LocalNumber("8.02"), LocalNumber("9.03")};
    for (size_t i = 0; i < kSerials.size(); ++i)
        QTRY_VERIFY_WITH_TIMEOUT(rowsOf(kSerials[i]).count(readings[static_cast<int>(i)]) >= 2, kWaitMs);
    QTest::mouseClick(bench.window->btnLogAll, Qt::LeftButton);
    QVERIFY(!bench.window->LoggingAll());
    QCOMPARE(dir.entryList({QStringLiteral("USB_PH_*.txt")}).size(), 3);
    for (size_t i = 0; i < kSerials.size(); ++i) {
        const QString rows = rowsOf(kSerials[i]);
        QVERIFY2(rows.contains(QString::fromStdString(kSerials[i])), qPrintable(rows));
        for (int other = 0; other < 3; ++other)
            if (other != static_cast<int>(i))
                QVERIFY2(!rows.contains(readings[other]), qPrintable(rows));
    }
}

void BenchWindowTest::aTrailThatCannotBeWrittenIsSaidOnceAndTheLogsGoOn()
{
    MessageBoxWatcher watcher;
    // A folder in the trail's place: it cannot be opened for appending.
    Bench bench("[System]\nInterval=250\n",
                [](const QDir& dir) { QVERIFY(dir.mkdir(QStringLiteral("audit.jsonl"))); });
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000003"), LocalNumber("9.03"), kWaitMs);
    QTest::mouseClick(bench.window->btnLogAll, Qt::LeftButton);
    QVERIFY(bench.window->LoggingAll());
    QDir dir(bench.dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(
        ReadFile(
            dir.filePath(dir.entryList({QStringLiteral("USB_PH_*_QP000001.txt")}).value(0)).toStdString())
                .find(LocalNumber("7.01").toStdString()) != std::string::npos,
        kWaitMs);
    QTest::mouseClick(bench.window->btnLogAll, Qt::LeftButton);
    QVERIFY(!bench.window->LoggingAll());
    bench.window->close();
    QTRY_VERIFY(!watcher.seen.empty());
    QTest::qWait(200);
    QCOMPARE(watcher.seen.size(), size_t(1));
    QVERIFY2(watcher.seen[0].text.contains(QStringLiteral("audit.jsonl")), qPrintable(watcher.seen[0].text));
    QCOMPARE(dir.entryList({QStringLiteral("USB_PH_*.txt")}).size(), 3);
}

void BenchWindowTest::aCalibrationFromATileIsRecordedForItsMeter()
{
    // A short wait for the as-left, so the row is complete within the test.
    Bench bench("[System]\nInterval=250\n[Calibration]\nAsLeftWait=1\n");
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000002"), LocalNumber("8.02"), kWaitMs);
    sim::ClearCalls();
    bench.window->Act("QP000002", TileAction::Calibrate);
    BenchCalibrationDialog* dialog = bench.window->CalibrationDialog("QP000002");
    QVERIFY(dialog);
    QCOMPARE(dialog->edPH1->text(), LocalNumber("4.01"));
    QTest::mouseClick(dialog->sbtCAL1, Qt::LeftButton);
    std::string written;
    for (const auto& call : sim::CallsNamed("FT_Write")) {
        QCOMPARE(call.device, 1);
        written += call.data;
    }
    QVERIFY2(written.find("P10401\r") != std::string::npos, written.c_str());
    const QString path = bench.dir.filePath(QStringLiteral("calibrations.csv"));
    QTRY_VERIFY_WITH_TIMEOUT(
        QString::fromStdString(ReadFile(path.toStdString())).contains(QStringLiteral("P10401")), kWaitMs);
    const std::string rows = ReadFile(path.toStdString());
    QVERIFY2(rows.find(",QP000002,1,4.01,P10401,8.02,") != std::string::npos, rows.c_str());
    QVERIFY2(
        dialog->lbCalibration->text().startsWith(QStringLiteral("Point 1: as found ") + LocalNumber("8.02")),
        qPrintable(dialog->lbCalibration->text()));
}

void BenchWindowTest::eachTileShowsTheTrendOfItsOwnMeter()
{
    TrendHost::SetModuleFile(QStringLiteral(TIREVO_TREND_MODULE));
    Bench bench;
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000003"), LocalNumber("9.03"), kWaitMs);
    QTest::mouseClick(bench.Tile("QP000003")->btnTrend, Qt::LeftButton);
    TrendHost* trend = bench.window->Trend("QP000003");
    QVERIFY(trend->Window());
    QVERIFY(trend->Window()->isVisible());
    QVERIFY(trend->Window()->windowTitle().endsWith(QStringLiteral("QP000003")));
    QVERIFY(trend->Series().Size() >= 1);
    for (size_t i = 0; i < trend->Series().Size(); ++i)
        QCOMPARE(trend->Series().At(i).value, 9.03);
    QVERIFY(!bench.window->Trend("QP000001")->Window());
}

void BenchWindowTest::anUnpluggedMeterKeepsItsTileMarkedLost()
{
    Bench bench;
    QTRY_COMPARE_WITH_TIMEOUT(bench.Reading("QP000002"), LocalNumber("8.02"), kWaitMs);
    sim::Unplug(1);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Tile("QP000002")->lbState->text(), QStringLiteral("reconnecting"),
                              kWaitMs);
    QCOMPARE(bench.window->Tiles().size(), size_t(3));
    // The last reading stays, dimmed.
    QCOMPARE(bench.Reading("QP000002"), LocalNumber("8.02"));
    QVERIFY(bench.Tile("QP000002")->lbReading->palette().color(QPalette::WindowText) != QColor(0, 0, 255));
    sim::Plug(1);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Tile("QP000002")->lbState->text(), QStringLiteral("Settling"), kWaitMs);
    // Removed by the user while lost, it is gone until plugged in again.
    sim::Unplug(1);
    QTRY_COMPARE_WITH_TIMEOUT(bench.Tile("QP000002")->lbState->text(), QStringLiteral("reconnecting"),
                              kWaitMs);
    // From the tile's own menu: the tile goes once the menu is done with it.
    QPointer<BenchTile> lost = bench.Tile("QP000002");
    QAction* remove = lost->Menu()->actions().last();
    QVERIFY(remove->isEnabled());
    remove->trigger();
    QCOMPARE(bench.window->Tiles().size(), size_t(2));
    QVERIFY(!bench.Tile("QP000002"));
    QTRY_VERIFY(!lost);
}

void BenchWindowTest::tabMovesBetweenTilesAndEnterOpensTheMenu()
{
    Bench bench;
    bench.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(bench.window.get()));
    const std::vector<BenchTile*> tiles = bench.window->Tiles();
    tiles[0]->setFocus();
    QVERIFY(tiles[0]->hasFocus());
    QVERIFY2(tiles[0]->btnSample->isVisible(), "buttons show on focus");
    QVERIFY(!tiles[1]->btnSample->isVisible());
    QTest::keyClick(tiles[0], Qt::Key_Tab);
    QVERIFY(tiles[1]->hasFocus());
    QTest::keyClick(tiles[1], Qt::Key_Return);
    QMenu* menu = tiles[1]->Menu();
    QTRY_VERIFY(menu->isVisible());
    QStringList items;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            items << action->text();
    QCOMPARE(items,
             (QStringList{QStringLiteral("Record a sample"), QStringLiteral("Show trend"),
                          QStringLiteral("Calibrate"), QStringLiteral("Alarm limits"),
                          QStringLiteral("Remove tile")}));
    QVERIFY2(!menu->actions().last()->isEnabled(), "only a lost meter's tile can be removed");
    menu->close();
}

void BenchWindowTest::placeAndColumnsAreKeptInTheirOwnSection()
{
    std::string ini;
    {
        Bench bench("[Window]\nMFTop=10\n[System]\nInterval=250\n");
        bench.window->edColumns->setValue(2);
        bench.window->resize(700, 500);
        bench.window->close();
        ini = ReadFile(bench.IniPath());
        QVERIFY2(ini.find("[Window]\nMFTop=10\n[System]\nInterval=250\n[Bench View]\n") == 0, ini.c_str());
        QVERIFY2(ini.find("Columns=2\n") != std::string::npos, ini.c_str());
        QVERIFY2(ini.find("Width=700\n") != std::string::npos, ini.c_str());
        QVERIFY2(ini.find("Height=500\n") != std::string::npos, ini.c_str());
        // Opened again, it comes up as it was left.
        BenchWindow again(bench.Setup());
        QCOMPARE(again.size(), QSize(700, 500));
        QCOMPARE(again.edColumns->value(), 2);
    }
}

QTEST_MAIN(BenchWindowTest)
#include "BenchWindowTest.moc"
