// The PDF the report module writes, through the driver as a program would,
// read back with poppler-utils: its text, its PDF/A claim and its fonts.
#include "AuditEvent.h"
#include "AuditTrail.h"
#include "CalibrationRecord.h"
#include "LogText.h"
#include "SampleRecord.h"

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

constexpr int kTimeoutMs = 120000;

struct ProcessRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ProcessRun Execute(const QString& program, const QStringList& args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProcessRun run;
    if (!process.waitForFinished(kTimeoutMs))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class ReportPdfTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-report-pdf-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "logs");
        pdf = QString::fromStdString((folder / "report.pdf").string());
    }
    void TearDown() override { fs::remove_all(folder); }

    static QDateTime At(const char* iso)
    {
        return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
    }

    AuditTrail Trail(const char* at) const
    {
        const QDateTime when = At(at);
        return AuditTrail(folder.string(), {"lab", "bench-3", "tirevo 1.0"}, false, [when] { return when; });
    }

    // A day of readings every 10 s from 2026-12-01 00:00, swinging 6.2 to 8.6,
    // in a log whose meter only the trail names.
    void MakeFolder(int days = 1)
    {
        for (int day = 1; day <= days; ++day) {
            char name[64];
            std::snprintf(name, sizeof name, "USB_PH_2612%02d_000000.txt", day);
            const fs::path path = folder / "logs" / name;
            std::ofstream out(path, std::ios::binary);
            out << LogHeaderText("1.0", "", true, '\t');
            for (int i = 0; i < 8640; ++i) {
                const int s = i * 10;
                const double ph = 7.4 + 1.2 * std::sin(s / 7200.0);
                char reading[16];
                std::snprintf(reading, sizeof reading, "%.2f", ph);
                out << LogRowText({2026, 12, day, s / 3600, s / 60 % 60, s % 60}, ':', true, '\t', reading);
            }
            ASSERT_TRUE(
                Trail("2026-12-01T00:00:00.000Z").Append(LogStartedEvent(path.string(), "QP000001")).Ok());
        }
        for (int i = 0; i < 70; ++i) {
            char time[64];
            std::snprintf(time, sizeof time, "2026-12-01T%02d:%02d:00.000+00:00", i / 3, i % 3 * 20);
            const SampleRow row{time, "Tank-" + std::to_string(i), "7.25", i % 2 == 0, "QP000001"};
            Record(SamplesFile(folder.string(), false), SampleFields(row),
                   SampleEvent(row, kSamplesFileName));
        }
        Calibration("2026-11-30T08:00:00.000+00:00", 1, "4.01", "4.02", CalibrationResult::Pass);
        Calibration("2026-12-01T09:00:00.000+00:00", 1, "4.01", "4.10", CalibrationResult::Pass);
        Calibration("2026-12-01T09:30:00.000+00:00", 2, "7.00", "7.05", CalibrationResult::Pass);
        ASSERT_TRUE(Trail("2026-12-01T03:00:00.000Z")
                        .Append(AlarmAuditEvent(kAlarmHigh, "8.50", "8.52", "QP000001"))
                        .Ok());
        ASSERT_TRUE(Trail("2026-12-01T03:30:00.000Z")
                        .Append(AlarmAuditEvent(kAlarmClear, "8.50", "8.40", "QP000001"))
                        .Ok());
    }

    void Record(const RecordFile& records, const std::vector<std::string>& fields, const AuditEvent& event)
    {
        const AuditTrail trail = Trail("2026-12-01T00:00:00.000Z");
        AuditFile locked;
        ASSERT_EQ(trail.Lock(locked), 0);
        ASSERT_TRUE(records.Append(fields).Ok());
        ASSERT_TRUE(trail.Append(locked, event).written);
    }

    void Calibration(const char* time, int point, const char* buffer, const char* asFound,
                     CalibrationResult result)
    {
        CalibrationRow row;
        row.time = time;
        row.serial = "QP000001";
        row.point = point;
        row.buffer = buffer;
        row.command = std::string("P") + std::to_string(point) + buffer;
        row.asFound = asFound;
        row.asFoundStable = true;
        row.asLeft = buffer;
        row.error = "+0.00";
        row.result = result;
        Record(CalibrationsFile(folder.string(), false), CalibrationFields(row),
               CalibrationEvent(row, kCalibrationsFileName));
    }

    ProcessRun Report(QStringList extra = {})
    {
        QStringList args = {QStringLiteral("--out"),     pdf,
                            QStringLiteral("--records"), QString::fromStdString(folder.string()),
                            QStringLiteral("--logs"),    QString::fromStdString((folder / "logs").string())};
        return Execute(QStringLiteral(TIREVO_REPORT_DRIVER), args + extra);
    }

    QString Text() const
    {
        return Execute(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
            .out;
    }

    fs::path folder;
    QString pdf;
};

TEST_F(ReportPdfTest, EverySectionIsSearchableText)
{
    MakeFolder();
    const ProcessRun run =
        Report({QStringLiteral("--serial"), QStringLiteral("QP000001"), QStringLiteral("--from"),
                QStringLiteral("2026-12-01T00:00:00.000+00:00"), QStringLiteral("--to"),
                QStringLiteral("2026-12-01T23:59:59.999+00:00"), QStringLiteral("--high"),
                QStringLiteral("8.5"), QStringLiteral("--low"), QStringLiteral("6.5")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = Text();
    const QStringList expected = {QStringLiteral("pH measurement report"),
                                  QStringLiteral("Meter: QP000001"),
                                  QStringLiteral("Period: 2026-12-01 00:00:00 to 2026-12-01 23:59:59"),
                                  QStringLiteral("Readings"),
                                  QStringLiteral("8640"),
                                  QStringLiteral("6.20 pH"),
                                  QStringLiteral("8.60 pH"),  // the minimum and maximum
                                  QStringLiteral("Time outside the limits"),
                                  QStringLiteral("Tank-69"),
                                  QStringLiteral("4.01"),
                                  QStringLiteral("pass (in force)"),
                                  QStringLiteral("98.7 %"),
                                  QStringLiteral("+0.05 pH, +3.0 mV"),
                                  QStringLiteral("good"),
                                  QStringLiteral("Offset at pH 7.00"),
                                  QStringLiteral("reports pH only"),
                                  QStringLiteral("raised: high"),
                                  QStringLiteral("cleared"),
                                  QStringLiteral("intact"),
                                  QStringLiteral("Chain head: seq 76"),
                                  QStringLiteral("page 1 of ")};
    for (const QString& piece : expected)
        EXPECT_TRUE(text.contains(piece)) << piece.toStdString() << "\n" << text.toStdString();
    // The sections in order.
    qsizetype at = 0;
    for (const char* heading :
         {"pH over the period", "Figures", "Samples", "Calibrations", "Alarms", "Records check"}) {
        const qsizetype next = text.indexOf(QString::fromLatin1(heading), at);
        EXPECT_GT(next, at - 1) << heading;
        at = std::max(at, next);
    }
    // Seventy samples run onto a second page; each page counts all of them.
    const QRegularExpression pages(QStringLiteral("page (\\d+) of (\\d+)"));
    auto match = pages.globalMatch(text);
    int seen = 0;
    QString total;
    while (match.hasNext()) {
        const auto m = match.next();
        EXPECT_EQ(m.captured(1).toInt(), ++seen);
        if (total.isEmpty())
            total = m.captured(2);
        EXPECT_EQ(m.captured(2), total);
    }
    EXPECT_GE(seen, 2);
    EXPECT_EQ(QString::number(seen), total);
}

TEST_F(ReportPdfTest, AnA4PdfAWithEveryFontEmbedded)
{
    MakeFolder();
    ASSERT_EQ(Report().exitCode, 0);
    const QString info = Execute(QStringLiteral("pdfinfo"), {pdf}).out;
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+pH measurement report"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595.* x 842.*A4"))))
        << info.toStdString();
    const QString meta = Execute(QStringLiteral("pdfinfo"), {QStringLiteral("-meta"), pdf}).out;
    EXPECT_TRUE(meta.contains(QRegularExpression(QStringLiteral("pdfaid:part(>|=\")1"))))
        << meta.toStdString();
    EXPECT_TRUE(meta.contains(QRegularExpression(QStringLiteral("pdfaid:conformance(>|=\")B"))))
        << meta.toStdString();
    EXPECT_TRUE(meta.contains(QRegularExpression(QStringLiteral("<dc:creator>.*@.*</dc:creator>"),
                                                 QRegularExpression::DotMatchesEverythingOption)))
        << meta.toStdString();
    const QString fonts = Execute(QStringLiteral("pdffonts"), {pdf}).out;
    const QStringList lines = fonts.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
    ASSERT_FALSE(lines.isEmpty()) << fonts.toStdString();
    for (const QString& line : lines) {
        // name type encoding emb sub uni object ID: "emb" is the third from the end but two.
        const QStringList cols = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ASSERT_GE(cols.size(), 7) << line.toStdString();
        EXPECT_EQ(cols.at(cols.size() - 5), QStringLiteral("yes")) << line.toStdString();
    }
}

TEST_F(ReportPdfTest, AnEmptyFolderStillGivesAReport)
{
    const ProcessRun run = Report();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString text = Text();
    EXPECT_TRUE(text.contains(QStringLiteral("Period: no data found"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("No samples in the period.")));
    EXPECT_TRUE(text.contains(QStringLiteral("page 1 of 1")));
}

TEST_F(ReportPdfTest, AMissingModuleIsSaidSo)
{
    const ProcessRun run =
        Report({QStringLiteral("--module"), QString::fromStdString((folder / "none.so").string())});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("its module could not be loaded"))) << run.err.toStdString();
    EXPECT_FALSE(fs::exists(pdf.toStdString()));
}

TEST_F(ReportPdfTest, AnUnwritableFileIsSaidSo)
{
    pdf = QString::fromStdString((folder / "no-such-folder" / "report.pdf").string());
    const ProcessRun run = Report();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("could not be written to"))) << run.err.toStdString();
}

}  // namespace
