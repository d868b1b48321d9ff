// The calibration page through its real handlers: the bytes on the line.
#include "LocalNumber.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "QuietWindow.h"
#include "SimFixture.h"

#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace tirevo;

class CalibrationTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TMainForm> form;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        BindSimulatedMeter();
        form = StartQuietWindow(*dir);
        QVERIFY(form->Meter().Connected());
        sim::ClearCalls();
    }
    void cleanup() { form.reset(); }

    void fieldsStartWithTheSettings()
    {
        QCOMPARE(form->edPH1->text(), LocalNumber("4.01"));
        QCOMPARE(form->edPH2->text(), QStringLiteral("7"));
    }

    void appliedValueOnTheLine_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<QString>("entry");  // "." stands for the locale's separator
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("box");
        QTest::newRow("7.00") << 2 << "7.00"
                              << "P20700"
                              << "";
        QTest::newRow("4.01") << 1 << "4.01"
                              << "P10401"
                              << "";
        QTest::newRow("9.18") << 1 << "9.18"
                              << "P10918"
                              << "";
        QTest::newRow("1.15") << 1 << "1.15"
                              << "P10115"
                              << "";
        QTest::newRow("0.03") << 1 << "0.03"
                              << "P10003"
                              << "";
        QTest::newRow("4.017 truncated") << 1 << "4.017"
                                         << "P10401"
                                         << "";
        QTest::newRow("7.999 truncated") << 1 << "7.999"
                                         << "P10799"
                                         << "";
        QTest::newRow("12.5") << 2 << "12.5"
                              << "P21250"
                              << "";
        QTest::newRow("0.5") << 1 << "0.5"
                             << "P10050"
                             << "";
        QTest::newRow("100") << 1 << "100"
                             << "P110000"
                             << "";
        QTest::newRow("blanks around") << 2 << " 6.86 "
                                       << "P20686"
                                       << "";
        QTest::newRow("zero") << 1 << "0"
                              << ""
                              << "";
        QTest::newRow("zero with decimals") << 2 << "0.00"
                                            << ""
                                            << "";
        QTest::newRow("negative") << 1 << "-0.05"
                                  << ""
                                  << "Calibration value must not be negative";
        QTest::newRow("too large") << 1 << "21474836.48"
                                   << ""
                                   << "Calibration value too large";
        QTest::newRow("largest") << 1 << "21474836.47"
                                 << "P12147483647"
                                 << "";
        QTest::newRow("not a number") << 1 << "abc"
                                      << ""
                                      << "'abc' is not a valid floating point value.";
        QTest::newRow("overflow") << 2 << "1E400"
                                  << ""
                                  << "Floating point overflow.";
    }

    void appliedValueOnTheLine()
    {
        QFETCH(int, point);
        QFETCH(QString, entry);
        QFETCH(QString, command);
        QFETCH(QString, box);
        MessageBoxWatcher boxes(10);
        QLineEdit* field = point == 1 ? form->edPH1 : form->edPH2;
        field->setText(LocalNumber(entry));
        QTest::mouseClick(point == 1 ? form->sbtCAL1 : form->sbtCAL2, Qt::LeftButton);
        QTest::qWait(20);

        std::vector<std::string> expected;
        for (QChar c : command)
            expected.push_back(QString(c).toStdString());
        if (!command.isEmpty())
            expected.push_back(QStringLiteral("\r").toStdString());
        QCOMPARE(WriteCalls(), expected);
        QCOMPARE(boxes.Texts(), box.isEmpty() ? QStringList{} : QStringList{box});
        if (box.endsWith('.'))
            QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
    }

    void nothingIsSentBeforeConnection()
    {
        form.reset();
        sim::SetOpenFails(0, true);
        form = std::make_unique<TMainForm>(dir->path() + QStringLiteral("/tirevo"));
        form->show();
        sim::ClearCalls();
        MessageBoxWatcher boxes(10);
        form->sbtCAL1Click();
        QCOMPARE(boxes.Texts(), QStringList{"Not connected to pH meter"});
        QVERIFY(sim::WrittenBytes().empty());
    }
};

QTEST_MAIN(CalibrationTest)
#include "CalibrationTest.moc"
