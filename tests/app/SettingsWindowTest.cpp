// The settings file as the window uses it: read at creation, position saved
// at close, and the errors that cut creation short.
#include "FileOverride.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "SimFixture.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tirevo;

class SettingsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString Program() const { return dir->path() + QStringLiteral("/tirevo"); }
    QString IniPath() const { return dir->path() + QStringLiteral("/tirevo.INI"); }

    void WriteIni(const QByteArray& text)
    {
        QFile f(IniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    QByteArray ReadIni()
    {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString ConfigHome() const { return dir->path() + QStringLiteral("/config"); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        // A program that cannot keep its settings beside itself keeps them
        // here, never in the home folder of whoever runs the tests.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome()));
        BindSimulatedMeter();
    }

    void cleanup()
    {
        qunsetenv("XDG_CONFIG_DIRS");
        QVERIFY(SetFileOverride(true));
        for (const QString& folder : {QStringLiteral("/usr/bin"), QString()})
            QFile::setPermissions(dir->path() + folder,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        dir.reset();
    }

    void settingsReachTheWindow()
    {
        // Settings are written in the user's own number format.
        const QByteArray point = QLocale::system().decimalPoint().toLatin1();
        WriteIni("[Calibration]\nph1=4" + point +
                 "5\nph2=10\n[System]\nInterval=$1F4\nUseTimeStamp=0\nSeparator=#59\n");
        TMainForm form(Program());
        QCOMPARE(form.Timer1->interval(), 500);
        QCOMPARE(form.Settings.UseTimeStamp, false);
        QCOMPARE(form.Settings.Separator, ';');
        form.show();
        QCOMPARE(form.edPH1->text(),
                 QString(QStringLiteral("4.5")).replace('.', QLocale::system().decimalPoint()));
        QCOMPARE(form.edPH2->text(), QStringLiteral("10"));
    }

    void creationErrorsAreReportedAndCutCreationShort_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("message");
        QTest::addColumn<char>("separator");
        QTest::newRow("separator not an integer")
            << QByteArray("[Window]\nMFTop=70\n[System]\nInterval=300\nSeparator=#x\n")
            << "'x' is not a valid integer value." << '\0';
        QTest::newRow("separator alone")
            << QByteArray("[Window]\nMFTop=70\n[System]\nInterval=300\nSeparator=#\n")
            << "'' is not a valid integer value." << '\0';
        QTest::newRow("overflow")
            << QByteArray("[Window]\nMFTop=70\n[Calibration]\nph2=1E400\n[System]\nInterval=300\n")
            << "Floating point overflow." << '\0';
    }

    void creationErrorsAreReportedAndCutCreationShort()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, message);
        QFETCH(char, separator);
        WriteIni(ini);
        MessageBoxWatcher boxes(10);
        sim::SetOpenFails(0, true);
        TMainForm form(Program());
        QCOMPARE(boxes.Texts(), QStringList{message});
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("QUVA Tirevo"));
        QCOMPARE(form.pc1->currentIndex(), 3);
        QCOMPARE(form.Settings.Separator, separator);
        QCOMPARE(form.Settings.top, 70);
        form.show();
        QCOMPARE(form.pos().y(), 70);
    }

    // A key that stops the loading must not leave the poll timer at an
    // interval other than the one read (or the default, when the error
    // comes before it): a zero timer would send "PH" back to back.
    void pollIntervalSurvivesACreationError_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("interval");
        QTest::newRow("ph1, before Interval")
            << QByteArray("[Calibration]\nph1=1E400\n[System]\nInterval=2000\n") << 1000;
        QTest::newRow("ph2, before Interval")
            << QByteArray("[Calibration]\nph2=1E400\n[System]\nInterval=500\n") << 1000;
        QTest::newRow("Separator, after Interval")
            << QByteArray("[System]\nInterval=2000\nSeparator=#x\n") << 2000;
    }

    void pollIntervalSurvivesACreationError()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, interval);
        WriteIni(ini);
        MessageBoxWatcher boxes(20);
        TMainForm form(Program());
        form.show();
        QCOMPARE(boxes.seen.size(), size_t(1));
        QVERIFY(form.Meter().Connected());
        QVERIFY(form.Timer1->isActive());
        // The timer and the session alike: neither polls back to back.
        QCOMPARE(form.Timer1->interval(), interval);
        QCOMPARE(form.Meter().PollInterval(), static_cast<uint32_t>(interval));
    }

    void positionRoundTripsThroughTheFile()
    {
        WriteIni("; kept as it is\r\n[Other]\r\nkey = value\r\n[Window]\r\nMFTop=1\r\nMFLeft=2\r\n");
        {
            TMainForm form(Program());
            form.show();
            QCOMPARE(form.pos(), QPoint(2, 1));
            form.move(-874, 280);
            QVERIFY(form.close());
        }
        QCOMPARE(
            ReadIni(),
            QByteArray(
                "; kept as it is\r\n[Other]\r\nkey = value\r\n[Window]\r\nMFTop=280\r\nMFLeft=-874\r\n"));
        TMainForm again(Program());
        again.show();
        QCOMPARE(again.pos(), QPoint(-874, 280));
    }

    void appliedCalibrationIsNotSaved()
    {
        {
            TMainForm form(Program());
            form.show();
            form.edPH1->setText(QStringLiteral("5"));
            form.sbtCAL1Click();
            form.close();
        }
        const QByteArray saved = ReadIni();
        QVERIFY(saved.contains("MFTop=50"));
        QVERIFY(!saved.contains("ph1"));
        QVERIFY(!saved.contains("Calibration"));
    }

    // A program installed where its user cannot write keeps the settings in
    // the user's configuration folder: no box at close, the next start opens
    // where the window was left, and a lab's shared file beside the program
    // gives the first settings.
    void anUnwritableProgramFolderUsesTheUserFile_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("sharedDefaults");
        QTest::newRow("read-only folder") << QStringLiteral("read-only") << false;
        QTest::newRow("read-only folder, shared defaults") << QStringLiteral("read-only") << true;
        QTest::newRow("folder that cannot exist") << QStringLiteral("under a file") << false;
    }

    void anUnwritableProgramFolderUsesTheUserFile()
    {
        QFETCH(QString, folder);
        QFETCH(bool, sharedDefaults);
        QString programFolder = dir->path() + QStringLiteral("/usr/bin");
        if (folder == QLatin1String("under a file")) {
            QFile plain(dir->path() + QStringLiteral("/usr"));
            QVERIFY(plain.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkpath(programFolder));
            if (sharedDefaults) {
                QFile shared(programFolder + QStringLiteral("/tirevo.INI"));
                QVERIFY(shared.open(QIODevice::WriteOnly));
                shared.write("[Window]\nMFTop=33\nMFLeft=44\n[System]\nSeparator=;\n");
                shared.close();
                QVERIFY(shared.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            }
            QVERIFY(QFile::setPermissions(programFolder, QFile::ReadOwner | QFile::ExeOwner));
            QVERIFY(SetFileOverride(false));
        }
        const QString program = programFolder + QStringLiteral("/tirevo");
        const QString userFile = ConfigHome() + QStringLiteral("/tirevo/tirevo.INI");

        MessageBoxWatcher boxes(10);
        {
            TMainForm form(program);
            QCOMPARE(form.Settings.Separator, sharedDefaults ? ';' : '\t');
            form.show();
            QCOMPARE(form.pos(), sharedDefaults ? QPoint(44, 33) : QPoint(50, 50));
            form.move(-874, 280);
            QVERIFY(form.close());
        }
        QCOMPARE(boxes.Texts(), QStringList());
        QFile saved(userFile);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray position("[Window]\nMFTop=280\nMFLeft=-874\n");
        QCOMPARE(saved.readAll(), sharedDefaults ? position + "[System]\nSeparator=;\n" : position);
        QVERIFY(!QFile::exists(programFolder + QStringLiteral("/tirevo.INI")) || sharedDefaults);

        TMainForm again(program);
        again.show();
        QCOMPARE(again.pos(), QPoint(-874, 280));
        QVERIFY(again.close());
        QCOMPARE(boxes.Texts(), QStringList());
    }

    // An installed copy run by root: the program's folder can be written,
    // yet nothing is kept there; the user's file starts from the lab's shared
    // defaults in $XDG_CONFIG_DIRS, not from a file beside the program.
    void anInstalledCopyNeverKeepsItsSettingsBesideItself_data()
    {
        QTest::addColumn<bool>("fileBeside");
        QTest::newRow("writable folder") << false;
        QTest::newRow("writable folder, root's old file beside") << true;
    }

    void anInstalledCopyNeverKeepsItsSettingsBesideItself()
    {
        QFETCH(bool, fileBeside);
        const QByteArray besideText("[Window]\nMFTop=1\nMFLeft=2\n");
        if (fileBeside)
            WriteIni(besideText);
        const QString shared = dir->path() + QStringLiteral("/xdg/tirevo/tirevo.INI");
        QVERIFY(QDir().mkpath(dir->path() + QStringLiteral("/xdg/tirevo")));
        {
            QFile f(shared);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Window]\nMFTop=33\nMFLeft=44\n[System]\nSeparator=;\n");
        }
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir->path() + QStringLiteral("/xdg")));
        const QString userFile = ConfigHome() + QStringLiteral("/tirevo/tirevo.INI");

        MessageBoxWatcher boxes(10);
        {
            TMainForm form(Program(), nullptr, nullptr, SettingsRule::PerUser);
            QCOMPARE(form.Settings.Separator, ';');
            form.show();
            QCOMPARE(form.pos(), QPoint(44, 33));
            form.move(120, 90);
            QVERIFY(form.close());
        }
        QCOMPARE(boxes.Texts(), QStringList());
        QCOMPARE(QFile::exists(IniPath()), fileBeside);
        if (fileBeside)
            QCOMPARE(ReadIni(), besideText);
        QFile saved(userFile);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("[Window]\nMFTop=90\nMFLeft=120\n[System]\nSeparator=;\n"));
    }

    // With neither the program's folder nor the user's configuration folder
    // writable, the failed save is reported, and the window still closes.
    void anUnwritableFolderIsReportedAndTheWindowStillCloses()
    {
        QFile plain(dir->path() + QStringLiteral("/plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(plain.fileName() + QStringLiteral("/config")));
        const QString missing = dir->path() + QStringLiteral("/gone/tirevo");
        MessageBoxWatcher boxes(10);
        auto form = std::make_unique<TMainForm>(missing);
        form->show();
        QVERIFY(form->close());
        QCOMPARE(boxes.Texts(),
                 QStringList{QStringLiteral("Unable to write to ") + plain.fileName() +
                             QStringLiteral("/config/tirevo/tirevo.INI.")});
        QVERIFY(!form->isVisible());
        QCOMPARE(sim::CallsNamed("FT_Close").size(), size_t(1));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
