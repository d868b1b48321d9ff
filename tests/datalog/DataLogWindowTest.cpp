// Data collection through the real window on the simulated meter, with real
// files in a temporary folder that the test makes the current directory.
#include "FixedWallClock.h"
#include "MainFormUnit.h"
#include "MessageBoxWatcher.h"
#include "SimFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tirevo;

namespace {

constexpr const char* kChildFlag = "--collect-until-killed";

bool CommaRun() { return qEnvironmentVariable("LC_ALL").startsWith(QStringLiteral("de_DE")); }

// A reading as the window shows it in the locale of this run.
QByteArray Shown(const char* dotted)
{
    QByteArray text(dotted);
    if (CommaRun())
        text.replace('.', ',');
    return text;
}

const QByteArray kHeaderTop = "QUVA USB pH METER LOG FILE\r\n"
                              "-------------------------------\r\n"
                              "Application Version   : 1.0.2.7\r\n"
                              "Meter Serial Number   : QP000001\r\n"
                              "-------------------------------\r\n"
                              "\r\n";

QDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<cannot read " + path.toLocal8Bit() + ">";
    return file.readAll();
}

QStringList LogFilesIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("USB_PH_*")}, QDir::Files | QDir::System, QDir::Name);
}

// Gives the meter's reply line to the reception timer and lets it take it.
void Receive(TMainForm& form, const char* dotted)
{
    sim::InjectRx(std::string("pH: ") + dotted + "\r");
    form.Timer2Timer();
}

// What the window looked like while the first error box was open.
struct StateAtBox {
    bool seen = false;
    bool sb5Enabled = false;
    bool sb6Enabled = false;
    bool logging = false;
    bool fileOpen = false;
};

class BoxStateRecorder : public QObject {
public:
    explicit BoxStateRecorder(const TMainForm& form) : form_(form)
    {
        timer_.setInterval(2);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (state.seen || !qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                return;
            state = {true, form_.sb5->isEnabled(), form_.sb6->isEnabled(), form_.Log().Logging(),
                     form_.Log().Logging()};
        });
        timer_.start();
    }
    StateAtBox state;

private:
    const TMainForm& form_;
    QTimer timer_;
};

// Changes the meter's reading as soon as a message box is open, and closes
// the box once the window shows the new reading behind it: the readings go
// on while the box waits for the user.
class ReadingBehindBox : public QObject {
public:
    ReadingBehindBox(const TMainForm& form, const char* reading, QByteArray shownText)
        : form_(form), reading_(reading), shownText_(std::move(shownText))
    {
        timer_.setInterval(2);
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
    }
    bool shown = false;

private:
    void Poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || shown)
            return;
        if (!changed_) {
            sim::SetReadingText(reading_);
            changed_ = true;
            return;
        }
        if (form_.lbpHValue->text().toLatin1() != shownText_)
            return;
        shown = true;
        box->done(QMessageBox::Ok);
    }

    const TMainForm& form_;
    const char* reading_;
    QByteArray shownText_;
    bool changed_ = false;
    QTimer timer_;
};

}  // namespace

class DataLogWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString programFolder;
    QString logFolder;
    QString previousFolder;
    // Stamps the readings; set by FixClock().
    FixedWallClock wall;
    std::unique_ptr<TMainForm> form;
    rlimit previousSizeLimit{};
    bool fsuidChanged = false;

    void WriteSettings(const QByteArray& system)
    {
        QFile ini(programFolder + QStringLiteral("/tirevo.INI"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[System]\r\n" + system);
    }

    // The window, connected to the one simulated meter, its timers stopped
    // so that the test hands it each reading itself.
    void StartForm(bool keepTimers = false)
    {
        wall = FixedWallClock();
        wall.SetUtcMs(QDateTime::currentMSecsSinceEpoch());
        form = std::make_unique<TMainForm>(programFolder + QStringLiteral("/tirevo"), nullptr, &wall);
        form->show();
        QVERIFY(form->Meter().Connected());
        if (!keepTimers) {
            form->Timer1->stop();
            form->Timer2->stop();
            // The reply to the connection's "V" command.
            for (int i = 0; i < 5; ++i)
                form->Timer2Timer();
            QVERIFY(form->Meter().ReceiveText().empty());
        }
    }

    // The start of the file's name and the stamp of every reading from now.
    void FixClock(const QDateTime& t)
    {
        form->LogClock = [t] { return t; };
        wall.SetUtcMs(t.toMSecsSinceEpoch());
    }

    void Click(QToolButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    static void VerifyIdle(const TMainForm& f)
    {
        QVERIFY(f.sb5->isEnabled());
        QVERIFY(!f.sb6->isEnabled());
        QVERIFY(!f.Log().Logging());
        QVERIFY(!f.Log().Logging());
    }

    static void VerifyCollecting(const TMainForm& f)
    {
        QVERIFY(!f.sb5->isEnabled());
        QVERIFY(f.sb6->isEnabled());
        QVERIFY(f.Log().Logging());
        QVERIFY(f.Log().Logging());
    }

    QString LogPath(const QString& name) const { return logFolder + QLatin1Char('/') + name; }
    QString CurrentLog() const { return LogPath(QString::fromStdString(form->Log().FileName())); }

private slots:
    void initTestCase()
    {
        if (CommaRun())
            QCOMPARE(tirevo::ReadLocaleSeparators().decimal, ',');
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(getrlimit(RLIMIT_FSIZE, &previousSizeLimit) == 0);
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        programFolder = dir->path() + QStringLiteral("/program");
        logFolder = dir->path() + QStringLiteral("/logs");
        QVERIFY(QDir().mkpath(programFolder));
        QVERIFY(QDir().mkpath(logFolder));
        previousFolder = QDir::currentPath();
        QVERIFY(::chdir(QFile::encodeName(logFolder).constData()) == 0);
        BindSimulatedMeter();
    }

    void cleanup()
    {
        setrlimit(RLIMIT_FSIZE, &previousSizeLimit);
        if (fsuidChanged) {
            setfsuid(0);
            fsuidChanged = false;
        }
        form.reset();
        ::chmod(QFile::encodeName(logFolder).constData(), 0700);
        QVERIFY(::chdir(QFile::encodeName(previousFolder).constData()) == 0);
        dir.reset();
    }

    // ------------------------------------------------------------ the name

    void startNamesTheFileAfterTheStartTime()
    {
        StartForm();
        FixClock(At(2026, 12, 6, 9, 5, 3));
        Click(form->sb5);
        VerifyCollecting(*form);
        QCOMPARE(form->Log().FileName(), std::string("USB_PH_261206_090503.txt"));
        QCOMPARE(LogFilesIn(logFolder), QStringList{QStringLiteral("USB_PH_261206_090503.txt")});
        QVERIFY(LogFilesIn(programFolder).isEmpty());
    }

    void theSystemClockStampsTheName()
    {
        StartForm();
        const QDateTime before = QDateTime::currentDateTime();
        Click(form->sb5);
        const QDateTime after = QDateTime::currentDateTime();
        const QString name = QString::fromStdString(form->Log().FileName());
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^USB_PH_(\\d{6}_\\d{6})\\.txt$")).match(name);
        QVERIFY2(match.hasMatch(), qPrintable(name));
        QDateTime stamp = QDateTime::fromString(match.captured(1), QStringLiteral("yyMMdd_HHmmss"));
        stamp = stamp.addYears(before.date().year() / 100 * 100 - 1900);
        QVERIFY2(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after, qPrintable(name));
        QVERIFY(QFile::exists(LogPath(name)));
    }

    // ----------------------------------------------------- header and rows

    void headerAndRows_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<char>("timeSeparator");
        QTest::addColumn<QByteArray>("afterTop");

        const QByteArray r702 = Shown("7.02");
        const QByteArray r699 = Shown("6.99");
        QTest::newRow("defaults: tab") << QByteArray() << ':'
                                       << "DATE\tTIME\tpH\r\n06.12.2026\t09:05:03\t" + r702 +
                "\r\n06.12.2026\t09:05:03\t" + r699 + "\r\n";
        QTest::newRow("#59: semicolon")
            << QByteArray("Separator=#59\r\n") << ':'
            << "DATE;TIME;pH\r\n06.12.2026;09:05:03;" + r702 + "\r\n06.12.2026;09:05:03;" + r699 + "\r\n";
        QTest::newRow("#0: NUL") << QByteArray("Separator=#0\r\n") << ':'
                                 << QByteArray("DATE\0TIME\0pH\r\n06.12.2026\00009:05:03\0", 34) + r702 +
                QByteArray("\r\n06.12.2026\00009:05:03\0", 22) + r699 + "\r\n";
        QTest::newRow("#167: high byte") << QByteArray("Separator=#167\r\n") << ':'
                                         << "DATE\xA7TIME\xA7pH\r\n06.12.2026\xA7"
                                            "09:05:03\xA7" +
                r702 +
                "\r\n06.12.2026\xA7"
                "09:05:03\xA7" +
                r699 + "\r\n";
        QTest::newRow("locale time separator '.'") << QByteArray() << '.'
                                                   << "DATE\tTIME\tpH\r\n06.12.2026\t09.05.03\t" + r702 +
                "\r\n06.12.2026\t09.05.03\t" + r699 + "\r\n";
        QTest::newRow("no time stamps: six header lines")
            << QByteArray("UseTimeStamp=0\r\nSeparator=#59\r\n") << ':' << r702 + "\r\n" + r699 + "\r\n";
    }

    void headerAndRows()
    {
        QFETCH(QByteArray, settings);
        QFETCH(char, timeSeparator);
        QFETCH(QByteArray, afterTop);
        if (!settings.isEmpty())
            WriteSettings(settings);
        MessageBoxWatcher boxes;
        StartForm();
        QVERIFY2(boxes.seen.empty(), qPrintable(boxes.Texts().join('|')));
        form->Separators.time = timeSeparator;
        FixClock(At(2026, 12, 6, 9, 5, 3));

        Click(form->sb5);
        Receive(*form, "7.02");
        Receive(*form, "6.99");
        QCOMPARE(form->lbpHValue->text().toLatin1(), Shown("6.99"));
        Click(form->sb6);

        VerifyIdle(*form);
        QCOMPARE(ReadAll(CurrentLog()), kHeaderTop + afterTop);
        QVERIFY(boxes.seen.empty());
    }

    void readingsWhileCollectionIsOffAreNotWritten()
    {
        StartForm();
        FixClock(At(2026, 12, 6, 9, 5, 3));
        Receive(*form, "7.01");
        QCOMPARE(form->lbpHValue->text().toLatin1(), Shown("7.01"));
        QVERIFY(LogFilesIn(logFolder).isEmpty());

        Click(form->sb5);
        Receive(*form, "7.02");
        Click(form->sb6);
        Receive(*form, "7.03");
        QCOMPARE(form->lbpHValue->text().toLatin1(), Shown("7.03"));

        QCOMPARE(LogFilesIn(logFolder).size(), 1);
        QCOMPARE(ReadAll(CurrentLog()),
                 kHeaderTop + "DATE\tTIME\tpH\r\n06.12.2026\t09:05:03\t" + Shown("7.02") + "\r\n");
    }

    void buttonsFollowTheCollectionState()
    {
        sim::ClearDevices();
        form = std::make_unique<TMainForm>(programFolder + QStringLiteral("/tirevo"));
        form->show();
        QVERIFY(!form->sb5->isEnabled());
        QVERIFY(!form->sb6->isEnabled());
        QVERIFY(!form->Log().Logging());
        form.reset();

        BindSimulatedMeter();
        StartForm();
        VerifyIdle(*form);
        Click(form->sb6);  // disabled: nothing happens
        VerifyIdle(*form);
        Click(form->sb5);
        VerifyCollecting(*form);
        Click(form->sb5);  // disabled: no second file
        QCOMPARE(LogFilesIn(logFolder).size(), 1);
        Click(form->sb6);
        VerifyIdle(*form);
    }

    // ------------------------------------------------- nothing shown is lost

    void everyRowIsOnDiskAsSoonAsItIsShown()
    {
        StartForm();
        FixClock(At(2026, 12, 6, 9, 5, 3));
        Click(form->sb5);
        QByteArray expected = kHeaderTop + "DATE\tTIME\tpH\r\n";
        QCOMPARE(ReadAll(CurrentLog()), expected);
        for (const char* reading : {"7.01", "7.02", "7.03", "7.04", "7.05", "7.06", "7.07", "7.08"}) {
            Receive(*form, reading);
            expected += "06.12.2026\t09:05:03\t" + Shown(reading) + "\r\n";
            // Another reader, while the program still holds the file open.
            QCOMPARE(ReadAll(CurrentLog()), expected);
        }
        VerifyCollecting(*form);
    }

    void closingWhileCollectingLeavesACompleteFile()
    {
        StartForm();
        FixClock(At(2026, 12, 6, 9, 5, 3));
        Click(form->sb5);
        Receive(*form, "7.01");
        Receive(*form, "7.02");
        const QString path = CurrentLog();
        MessageBoxWatcher boxes;
        QVERIFY(form->close());
        QVERIFY(boxes.seen.empty());
        QVERIFY(!form->Log().Logging());
        QVERIFY(!form->Log().Logging());
        const QByteArray bytes = ReadAll(path);
        QCOMPARE(bytes,
                 kHeaderTop + "DATE\tTIME\tpH\r\n06.12.2026\t09:05:03\t" + Shown("7.01") +
                     "\r\n06.12.2026\t09:05:03\t" + Shown("7.02") + "\r\n");
        QVERIFY(bytes.endsWith(Shown("7.02") + "\r\n"));
    }

    void aKillWhileCollectingLosesNoShownRow()
    {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QString::fromLatin1(kChildFlag), logFolder});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        QVERIFY(child.waitForStarted());

        QList<QByteArray> shown;
        while (shown.size() < 6) {
            if (!child.canReadLine() && !child.waitForReadyRead(10000))
                QFAIL("the collecting child stopped answering");
            while (child.canReadLine())
                shown << child.readLine().trimmed();
        }
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QStringList files = LogFilesIn(logFolder);
        QCOMPARE(files.size(), 1);
        const QByteArray bytes = ReadAll(LogPath(files.first()));
        QVERIFY(bytes.startsWith(kHeaderTop + "DATE\tTIME\tpH\r\n"));
        const QList<QByteArray> rows = bytes.mid(kHeaderTop.size() + 14).split('\n');
        QCOMPARE(rows.size(), shown.size() + 1);  // the last row's line end closes the file
        QVERIFY(rows.last().isEmpty());
        for (qsizetype i = 0; i < shown.size(); ++i) {
            QVERIFY2(rows[i].endsWith('\t' + shown[i] + '\r'), rows[i].constData());
        }
    }

    // ------------------------------------------------- never replace a file

    void aSecondStartInTheSameSecondMakesASecondFile()
    {
        StartForm();
        FixClock(At(2026, 12, 6, 9, 5, 3));
        Click(form->sb5);
        Receive(*form, "7.01");
        Click(form->sb6);
        const QByteArray first = ReadAll(LogPath(QStringLiteral("USB_PH_261206_090503.txt")));

        for (const char* name : {"USB_PH_261206_090503_2.txt", "USB_PH_261206_090503_3.txt"}) {
            Click(form->sb5);
            QCOMPARE(form->Log().FileName(), std::string(name));
            Receive(*form, "7.02");
            Click(form->sb6);
            QCOMPARE(ReadAll(LogPath(QString::fromLatin1(name))),
                     kHeaderTop + "DATE\tTIME\tpH\r\n06.12.2026\t09:05:03\t" + Shown("7.02") + "\r\n");
        }
        QCOMPARE(ReadAll(LogPath(QStringLiteral("USB_PH_261206_090503.txt"))), first);
        QVERIFY(first.endsWith("\t" + Shown("7.01") + "\r\n"));
        QCOMPARE(LogFilesIn(logFolder).size(), 3);
    }

    void aFileOfTheNameIsNeverReplaced_data()
    {
        QTest::addColumn<bool>("danglingLink");
        QTest::newRow("someone's file") << false;
        QTest::newRow("a link to a file not yet there") << true;
    }

    void aFileOfTheNameIsNeverReplaced()
    {
        QFETCH(bool, danglingLink);
        const QString taken = LogPath(QStringLiteral("USB_PH_261206_090503.txt"));
        const QString linkTarget = dir->path() + QStringLiteral("/elsewhere.txt");
        if (danglingLink) {
            QVERIFY(QFile::link(linkTarget, taken));
        } else {
            QFile other(taken);
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("not a log\n");
        }
        StartForm();
        FixClock(At(2026, 12, 6, 9, 5, 3));
        Click(form->sb5);
        QCOMPARE(form->Log().FileName(), std::string("USB_PH_261206_090503_2.txt"));
        Receive(*form, "7.02");
        Click(form->sb6);
        if (danglingLink) {
            QVERIFY(!QFile::exists(linkTarget));
            QCOMPARE(QFileInfo(taken).symLinkTarget(), linkTarget);
        } else {
            QCOMPARE(ReadAll(taken), QByteArray("not a log\n"));
        }
        QVERIFY(
            ReadAll(LogPath(QStringLiteral("USB_PH_261206_090503_2.txt"))).endsWith(Shown("7.02") + "\r\n"));
    }

    // ---------------------------------------------------------------- clock

    // The row's date and time are its reading's one stamp: a stamp a moment
    // before midnight stays on the old day, whatever the clock shows when
    // the row is written.
    void aRowAtMidnightTakesDateAndTimeFromOneStamp()
    {
        StartForm();
        FixClock(At(2026, 12, 31, 23, 59, 59, 999));
        // Each look at the wall clock is one millisecond later than the last.
        wall.TickOnEachLook(1);
        Click(form->sb5);
        QCOMPARE(form->Log().FileName(), std::string("USB_PH_261231_235959.txt"));
        Receive(*form, "7.01");
        Receive(*form, "7.02");
        Receive(*form, "7.03");
        Click(form->sb6);
        QCOMPARE(ReadAll(CurrentLog()),
                 kHeaderTop +
                     "DATE\tTIME\tpH\r\n"
                     "31.12.2026\t23:59:59\t" +
                     Shown("7.01") +
                     "\r\n"
                     "01.01.2027\t00:00:00\t" +
                     Shown("7.02") +
                     "\r\n"
                     "01.01.2027\t00:00:00\t" +
                     Shown("7.03") + "\r\n");
    }

    // ------------------------------------------------------------- failures

    void aFileThatCannotBeCreatedIsReportedOnce_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("text");
        QTest::newRow("folder deleted") << QStringLiteral("deleted") << QStringLiteral("File not found.");
        QTest::newRow("folder not writable")
            << QStringLiteral("read-only") << QStringLiteral("File access denied.");
        QTest::newRow("no room for the header")
            << QStringLiteral("size limit 0") << QStringLiteral("Disk full.");
    }

    void aFileThatCannotBeCreatedIsReportedOnce()
    {
        QFETCH(QString, cause);
        QFETCH(QString, text);
        StartForm();
        FixClock(At(2026, 12, 6, 9, 5, 3));

        const QByteArray folder = QFile::encodeName(logFolder);
        if (cause == QLatin1String("deleted")) {
            QVERIFY(::rmdir(folder.constData()) == 0);
        } else if (cause == QLatin1String("read-only")) {
            QVERIFY(::chmod(folder.constData(), 0555) == 0);
            // An administrator writes anywhere; this thread's file access
            // goes on as an ordinary user instead.
            if (geteuid() == 0) {
                setfsuid(65534);
                fsuidChanged = true;
                QCOMPARE(setfsuid(65534), 65534);
            }
        } else {
            rlimit none = previousSizeLimit;
            none.rlim_cur = 0;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &none) == 0);
        }

        MessageBoxWatcher boxes(50);
        BoxStateRecorder atBox(*form);
        Click(form->sb5);
        QTRY_COMPARE(boxes.seen.size(), size_t(1));
        QCOMPARE(boxes.seen[0].text, text);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("QUVA Tirevo"));
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QVERIFY(atBox.state.seen);
        QVERIFY(atBox.state.sb5Enabled);
        QVERIFY(!atBox.state.sb6Enabled);
        QVERIFY(!atBox.state.logging);
        VerifyIdle(*form);

        // A box for this reading would come and go within Receive().
        Receive(*form, "7.04");
        QCOMPARE(form->lbpHValue->text().toLatin1(), Shown("7.04"));
        QCOMPARE(boxes.seen.size(), size_t(1));

        // The cause mended, the next start works.
        setrlimit(RLIMIT_FSIZE, &previousSizeLimit);
        if (fsuidChanged) {
            setfsuid(0);
            fsuidChanged = false;
        }
        if (cause == QLatin1String("deleted")) {
            QVERIFY(QDir().mkpath(logFolder));
            QVERIFY(::chdir(folder.constData()) == 0);
        }
        ::chmod(folder.constData(), 0700);
        Click(form->sb5);
        VerifyCollecting(*form);
        Receive(*form, "7.03");
        Click(form->sb6);
        QCOMPARE(boxes.seen.size(), size_t(1));
        QVERIFY(ReadAll(CurrentLog())
                    .endsWith("DATE\tTIME\tpH\r\n06.12.2026\t09:05:03\t" + Shown("7.03") + "\r\n"));
    }

    void aRowThatCannotBeWrittenStopsCollectionWithOneBox()
    {
        WriteSettings("Interval=100\r\n");
        sim::SetReadingText("7.02");
        // The limit below would fail the audit trail's lines too, which the
        // window says once in a box of its own: that is said at connection
        // here, with the trail out of the way, so that the log's one box is
        // what this test sees.
        QVERIFY(QDir().mkpath(programFolder + QStringLiteral("/audit.jsonl")));
        {
            MessageBoxWatcher trailBox;
            StartForm(true);
            QTRY_COMPARE(trailBox.seen.size(), size_t(1));
            QVERIFY(trailBox.seen[0].text.contains(QStringLiteral("audit.jsonl")));
        }
        FixClock(At(2026, 12, 6, 9, 5, 3));
        const QByteArray header = kHeaderTop + "DATE\tTIME\tpH\r\n";
        const QByteArray row = "06.12.2026\t09:05:03\t" + Shown("7.02") + "\r\n";

        // Room for the header and two rows exactly: the third row fails.
        rlimit small = previousSizeLimit;
        small.rlim_cur = static_cast<rlim_t>(header.size() + 2 * row.size());
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);

        // The box stays open until a reading taken behind it is shown (the
        // watcher's time is only the outer limit).
        MessageBoxWatcher boxes(20000);
        BoxStateRecorder atBox(*form);
        ReadingBehindBox behind(*form, "7.05", Shown("7.05"));
        Click(form->sb5);
        const QString path = CurrentLog();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), size_t(1), 5000);
        // Closed by now, by the reading or else by the watcher.
        QVERIFY(behind.shown);
        setrlimit(RLIMIT_FSIZE, &previousSizeLimit);

        QCOMPARE(boxes.seen.size(), size_t(1));
        QCOMPARE(boxes.seen[0].text, QStringLiteral("Disk full."));
        QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
        QVERIFY(atBox.state.seen);
        QVERIFY(atBox.state.sb5Enabled);
        QVERIFY(!atBox.state.sb6Enabled);
        QVERIFY(!atBox.state.logging);
        QVERIFY(!atBox.state.fileOpen);
        VerifyIdle(*form);
        QCOMPARE(ReadAll(path), header + row + row);
        QCOMPARE(form->lbpHValue->text().toLatin1(), Shown("7.05"));

        Click(form->sb5);
        VerifyCollecting(*form);
        QCOMPARE(form->Log().FileName(), std::string("USB_PH_261206_090503_2.txt"));
        const QByteArray after = "06.12.2026\t09:05:03\t" + Shown("7.05") + "\r\n";
        QTRY_VERIFY_WITH_TIMEOUT(ReadAll(CurrentLog()).endsWith(after), 3000);
        Click(form->sb6);
        QCOMPARE(boxes.seen.size(), size_t(1));
    }
};

// The child of the kill test: collects readings, says each one it has shown,
// and waits to be killed.
static int CollectUntilKilled(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (::chdir(argv[2]) != 0)
        return 2;
    BindSimulatedMeter();
    TMainForm form(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/tirevo"));
    form.show();
    form.Timer1->stop();
    form.Timer2->stop();
    for (int i = 0; i < 5; ++i)
        form.Timer2Timer();
    form.sb5Click();
    if (!form.Log().Logging())
        return 3;
    for (const char* reading : {"7.01", "6.98", "7.12", "7.05", "6.87", "7.33"}) {
        Receive(form, reading);
        const QByteArray shown = form.lbpHValue->text().toLatin1();
        std::fwrite(shown.constData(), 1, static_cast<size_t>(shown.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return app.exec();
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0)
        return CollectUntilKilled(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    DataLogWindowTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "DataLogWindowTest.moc"
