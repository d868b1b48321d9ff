// The bench view as the main window offers it: its buttons cover nothing of
// the window, the module is loaded only on the first click (or a message
// says it cannot be), and the main window's own meter shows in the view
// through the main window's session.
#include "BenchHost.h"
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "SimFixture.h"
#include "WindowLayout.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace tirevo;

namespace {

// Whether the bench view module is mapped into this process.
bool ModuleLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libtirevo_bench");
}

// A tile's reading, by its meter's serial number. Found by the widgets'
// names: the module's code, and so its classes' type information, is not
// linked into the test.
QString ReadingOf(QWidget* view, const char* serial)
{
    const QFrame* tile = view->findChild<QFrame*>(QStringLiteral("tile ") + QLatin1String(serial));
    const QLabel* reading = tile ? tile->findChild<QLabel*>(QStringLiteral("lbReading")) : nullptr;
    return reading ? reading->text() : QStringLiteral("<no tile>");
}

int OpensOf(const std::string& serial)
{
    int opens = 0;
    for (const auto& call : sim::CallsNamed("FT_OpenEx"))
        opens += call.data == serial && call.status == FT_OK;
    return opens;
}

}  // namespace

class BenchButtonTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { BindSimulatedMeter(); }
    // First: the module is loaded once per process.
    void missingModuleIsAMessageAndNothingElse();
    void buttonsCoverNoControlAndSayWhatTheyDo();
    void theModuleIsLoadedOnlyWhenTheViewIsOpened();
};

void BenchButtonTest::missingModuleIsAMessageAndNothingElse()
{
    QTemporaryDir dir;
    BenchHost::SetModuleFile(dir.filePath(QStringLiteral("libtirevo_bench.so")));
    TMainForm form(dir.path() + QStringLiteral("/tirevo"));
    form.show();
    MessageBoxWatcher watcher;
    QTest::mouseClick(form.sbBench, Qt::LeftButton);
    QCOMPARE(watcher.seen.size(), size_t(1));
    QVERIFY2(watcher.seen[0].text.contains(QStringLiteral("could not be loaded")),
             qPrintable(watcher.seen[0].text));
    // Each place looked at, and why it was passed over.
    QVERIFY2(watcher.seen[0].text.endsWith(dir.filePath(QStringLiteral("libtirevo_bench.so (not found)"))),
             qPrintable(watcher.seen[0].text));
    QVERIFY(!form.Bench->Window());
    QVERIFY(form.Meter().Connected());
    BenchHost::SetModuleFile(QStringLiteral(TIREVO_BENCH_MODULE));
}

void BenchButtonTest::buttonsCoverNoControlAndSayWhatTheyDo()
{
    QTemporaryDir dir;
    TMainForm form(dir.path() + QStringLiteral("/tirevo"));
    form.show();
    QCOMPARE(form.sbBench->parentWidget(), form.tsPH);
    QCOMPARE(form.sbBenchList->parentWidget(), form.tsConnect);
    for (QToolButton* button : {form.sbBench, form.sbBenchList}) {
        QVERIFY(button->toolTip().startsWith(QStringLiteral("Bench view")));
        QVERIFY(!button->icon().isNull());
    }
    for (const windowlayout::Place& place : windowlayout::Table())
        QVERIFY2(place.control(form)->geometry() == place.geometry, place.name);
    QCOMPARE(windowlayout::Overlaps(form).join(QStringLiteral(", ")), QString());
}

void BenchButtonTest::theModuleIsLoadedOnlyWhenTheViewIsOpened()
{
    qputenv("TIREVO_SIM_METERS", "2");
    qputenv("TIREVO_SIM_METER_READINGS", "7.01,8.02");
    BindSimulatedMeter();
    QTemporaryDir dir;
    TMainForm form(dir.path() + QStringLiteral("/tirevo"));
    form.show();
    // Two meters: the main window connects to the one chosen.
    form.lb1->setCurrentRow(0);
    form.USBConnect();
    QVERIFY(form.Meter().Connected());
    QVERIFY(!ModuleLoaded());
    QTest::mouseClick(form.sbBench, Qt::LeftButton);
    QVERIFY(ModuleLoaded());
    QWidget* view = form.Bench->Window();
    QVERIFY(view);
    QVERIFY(view->isVisible());
    // Both meters: the main window's through its own session, opened once.
    QTRY_COMPARE_WITH_TIMEOUT(ReadingOf(view, "QP000001"), LocalNumber("7.01"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(ReadingOf(view, "QP000002"), LocalNumber("8.02"), 20000);
    QCOMPARE(OpensOf("QP000001"), 1);
    QCOMPARE(OpensOf("QP000002"), 1);
    QCOMPARE(form.lbpHValue->text(), LocalNumber("7.01"));
    // Closed with the main window.
    form.close();
    QVERIFY(!view->isVisible());
    qunsetenv("TIREVO_SIM_METERS");
    qunsetenv("TIREVO_SIM_METER_READINGS");
}

QTEST_MAIN(BenchButtonTest)
#include "BenchButtonTest.moc"
