// The check of a calibration point as a table on virtual time: each row is a
// point sent with or without an as-found reading, the readings and events
// after it, and the row it leaves; then the due rule, the record's fields
// and the reading of calibrations.csv back.
#include "CalibrationCheck.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

using namespace tirevo;

namespace {

enum class Event { Reading, Tick, LinkLost, Close, SecondPoint };

struct Step {
    double atS;
    Event event;
    double value = 0;
};

struct CheckCase {
    const char* what;
    std::optional<double> asFound;
    bool asFoundStable;
    int32_t toleranceHundredths;
    std::vector<Step> steps;
    double rowAtS;       // when the row is complete; < 0: never
    const char* fields;  // as_found..result, comma separated
};

class CalibrationCheckTable : public testing::TestWithParam<CheckCase> {};

// One reading a second from `from` to `to` s at value.
std::vector<Step> Readings(int from, int to, double value, std::vector<Step> after = {})
{
    std::vector<Step> steps;
    for (int s = from; s <= to; ++s)
        steps.push_back({static_cast<double>(s), Event::Reading, value});
    steps.insert(steps.end(), after.begin(), after.end());
    return steps;
}

// Never within the band: 4.50 and 4.30 a second apart.
std::vector<Step> Alternating(int from, int to, std::vector<Step> after = {})
{
    std::vector<Step> steps;
    for (int s = from; s <= to; ++s)
        steps.push_back({static_cast<double>(s), Event::Reading, s % 2 ? 4.50 : 4.30});
    steps.insert(steps.end(), after.begin(), after.end());
    return steps;
}

std::string Joined(const std::vector<std::string>& fields, std::size_t from)
{
    std::string out;
    for (std::size_t i = from; i < fields.size(); ++i)
        out += (i > from ? "," : "") + fields[i];
    return out;
}

TEST_P(CalibrationCheckTable, RowAndWhenItIsComplete)
{
    const CheckCase& c = GetParam();
    StabilityParams stability;
    stability.windowS = 10;
    stability.bandHundredths = 2;
    CalibrationSettings settings;
    settings.asLeftWaitS = 120;
    settings.toleranceHundredths = c.toleranceHundredths;
    CalibrationCheck check(stability, settings);

    CalibrationStart start;
    start.time = "2026-12-08T14:03:01.250+01:00";
    start.serial = "QP000001";
    start.point = 1;
    start.bufferHundredths = 401;
    start.command = "P10401";
    start.asFound = c.asFound;
    start.asFoundStable = c.asFoundStable;
    EXPECT_FALSE(check.Start(start, 0));
    EXPECT_TRUE(check.Waiting());

    std::optional<CalibrationRow> row;
    double rowAtS = -1;
    for (const Step& step : c.steps) {
        const auto atMs = static_cast<int64_t>(step.atS * 1000);
        std::optional<CalibrationRow> now;
        switch (step.event) {
        case Event::Reading:
            now = check.Add(atMs, step.value);
            break;
        case Event::Tick:
            now = check.Advance(atMs);
            break;
        case Event::LinkLost:
        case Event::Close:
            now = check.End();
            break;
        case Event::SecondPoint: {
            CalibrationStart second = start;
            second.point = 2;
            now = check.Start(second, atMs);
            break;
        }
        }
        if (now) {
            ASSERT_FALSE(row) << "a second row at " << step.atS << " s";
            row = now;
            rowAtS = step.atS;
        }
    }
    EXPECT_EQ(rowAtS, c.rowAtS);
    if (!row)
        return;
    const std::vector<std::string> fields = CalibrationFields(*row);
    ASSERT_EQ(fields.size(), 11u);
    EXPECT_EQ(Joined(fields, 0).substr(0, 52), "2026-12-08T14:03:01.250+01:00,QP000001,1,4.01,P10401");
    EXPECT_EQ(Joined(fields, 5), c.fields);
}

const CheckCase kCheckCases[] = {
    {"AsFoundStableAsLeftFoundPass", 4.08, true, 5, Readings(1, 11, 4.01), 11,
     "4.08,yes,4.01,yes,+0.00,pass"},
    {"AsFoundUnstable", 4.30, false, 5, Readings(1, 11, 4.02), 11, "4.30,no,4.02,yes,+0.01,pass"},
    {"NoReadingBeforeTheCommand", std::nullopt, false, 5, Readings(1, 11, 4.01), 11,
     ",no,4.01,yes,+0.00,pass"},
    // The first stable reading counts, even when a later one would pass.
    {"AsLeftOutsideToleranceFails", 4.08, true, 5, Readings(1, 12, 4.20), 11, "4.08,yes,4.20,yes,+0.19,fail"},
    {"ErrorOfExactlyTheTolerancePasses", 4.08, true, 5, Readings(1, 11, 3.96), 11,
     "4.08,yes,3.96,yes,-0.05,pass"},
    {"OneHundredthPastTheToleranceFails", 4.08, true, 5, Readings(1, 11, 4.07), 11,
     "4.08,yes,4.07,yes,+0.06,fail"},
    {"ZeroToleranceTakesOnlyTheBuffer", 4.08, true, 0, Readings(1, 11, 4.02), 11,
     "4.08,yes,4.02,yes,+0.01,fail"},
    // Stable in the buffer before the command: the rule starts again, so
    // the first reading after it is never the as-left.
    {"ReadingsBeforeTheCommandDoNotCount",
     4.01,
     true,
     5,
     {{-20, Event::Reading, 4.01},
      {-1, Event::Reading, 4.01},
      {1, Event::Reading, 4.01},
      {9, Event::Reading, 4.01},
      {11, Event::Reading, 4.01}},
     11,
     "4.01,yes,4.01,yes,+0.00,pass"},
    {"NoStableReadingWithinTheWait", 4.08, true, 5,
     Alternating(1, 119, {{120, Event::Tick}, {120.001, Event::Tick}}), 120.001, "4.08,yes,,no,,unknown"},
    {"StableOnlyAfterTheWait", 4.08, true, 5, Readings(115, 131, 4.01), 121, "4.08,yes,,no,,unknown"},
    {"StableAtTheLastMomentOfTheWait", 4.08, true, 5, Readings(110, 120, 4.01), 120,
     "4.08,yes,4.01,yes,+0.00,pass"},
    {"EndedByALostMeter", 4.08, true, 5, Readings(1, 5, 4.01, {{6, Event::LinkLost}, {7, Event::Close}}), 6,
     "4.08,yes,,no,,unknown"},
    {"EndedByTheWindowClosing", 4.08, true, 5, Readings(1, 5, 4.01, {{6, Event::Close}}), 6,
     "4.08,yes,,no,,unknown"},
    {"EndedByTheSecondPoint", 4.08, true, 5, Readings(1, 5, 4.01, {{6, Event::SecondPoint}}), 6,
     "4.08,yes,,no,,unknown"},
};

INSTANTIATE_TEST_SUITE_P(Calibration, CalibrationCheckTable, testing::ValuesIn(kCheckCases), CaseName());

TEST(CalibrationCheck, SecondPointWaitsOnItsOwn)
{
    CalibrationCheck check(StabilityParams{}, CalibrationSettings{});
    CalibrationStart start;
    start.bufferHundredths = 700;
    start.command = "P20700";
    start.point = 2;
    check.Start(start, 0);
    EXPECT_FALSE(check.Add(1000, 7.0));
    EXPECT_FALSE(check.Add(4000, 7.0));
    ASSERT_TRUE(check.Start(start, 5000));
    EXPECT_TRUE(check.Waiting());
    EXPECT_FALSE(check.Add(11000, 7.0)) << "its own rule: the readings of the first point do not count";
    const std::optional<CalibrationRow> row = check.Add(21000, 7.0);
    ASSERT_TRUE(row);
    EXPECT_EQ(CalibrationLineText(*row), "Point 2: as found ---, as left 7.00, pass");
    EXPECT_FALSE(check.End()) << "one row per point";
}

TEST(CalibrationText, LinesOfThePage)
{
    CalibrationRow row;
    row.point = 1;
    row.asFound = "4.08";
    EXPECT_EQ(CalibrationWaitingText(1), "Point 1: waiting for a stable reading\u2026");
    EXPECT_EQ(CalibrationLineText(row), "Point 1: as found 4.08, no stable reading");
    row.asLeft = "4.20";
    row.error = "+0.19";
    row.result = CalibrationResult::Fail;
    EXPECT_EQ(CalibrationLineText(row), "Point 1: as found 4.08, as left 4.20, fail (+0.19)");
    EXPECT_EQ(SignedHundredthsText(0), "+0.00");
    EXPECT_EQ(SignedHundredthsText(-3), "-0.03");
    EXPECT_EQ(SignedHundredthsText(-1234), "-12.34");
}

// Rows of a file: the newest pass of the serial decides.
std::vector<CsvRecord> Rows(const std::string& body)
{
    std::vector<CsvRecord> records = ParseCsv(std::string(kCalibrationsHeader) + "\r\n" + body);
    records.erase(records.begin());
    return records;
}

constexpr int64_t kHour = 3600LL * 1000;
// 2026-01-05T09:00:00+01:00
constexpr int64_t kPassedUtcMs = 1767600000000LL;

TEST(CalibrationDue, AtExactlyNHoursNotYetThenDue)
{
    const std::vector<CsvRecord> rows =
        Rows("2026-01-05T09:00:00.000+01:00,QP1,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n");
    EXPECT_FALSE(CalibrationDueState(rows, "QP1", 24, kPassedUtcMs + 24 * kHour).due);
    const CalibrationDue after = CalibrationDueState(rows, "QP1", 24, kPassedUtcMs + 24 * kHour + 1);
    EXPECT_TRUE(after.due);
    EXPECT_EQ(after.lastPassUtcMs, kPassedUtcMs);
    EXPECT_EQ(after.dueSinceUtcMs, kPassedUtcMs + 24 * kHour);
    EXPECT_FALSE(CalibrationDueState(rows, "QP1", 0, kPassedUtcMs + 1000 * kHour).due) << "0 means off";
}

TEST(CalibrationDue, OnlyPassedRowsOfThatMeterCount)
{
    const std::vector<CsvRecord> rows =
        Rows("2026-01-05T09:00:00.000+01:00,QP1,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n"
             "2026-01-06T09:00:00.000+01:00,QP1,1,4.01,P10401,,no,4.20,yes,+0.19,fail\r\n"
             "2026-01-06T09:00:00.000+01:00,QP1,1,4.01,P10401,,no,,no,,unknown\r\n"
             "2026-01-07T09:00:00.000+01:00,QP2,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n"
             // Another zone, but a later moment: it is the newest.
             "2026-01-05T09:30:00.000+00:00,QP1,2,7.00,P20700,,no,7.00,yes,+0.00,pass\r\n");
    const CalibrationDue state = CalibrationDueState(rows, "QP1", 48, kPassedUtcMs + 49 * kHour);
    EXPECT_EQ(state.lastPassUtcMs, kPassedUtcMs + 90 * 60 * 1000);
    EXPECT_FALSE(state.due);
    const CalibrationDue none = CalibrationDueState(rows, "QP3", 48, kPassedUtcMs);
    EXPECT_TRUE(none.due);
    EXPECT_FALSE(none.lastPassUtcMs);
}

TEST(CalibrationsFile, WrittenRowsReadBackQuotedFieldsIncluded)
{
    QTemporaryDir dir;
    const RecordFile file = CalibrationsFile(dir.path().toStdString(), false);
    CalibrationRow row;
    row.time = "2026-01-05T09:00:00.000+01:00";
    row.serial = "A,\"B\"\xE9";  // the driver's bytes, Latin-1
    row.buffer = "4.01";
    row.command = "P10401";
    ASSERT_TRUE(file.Append(CalibrationFields(row)).Ok());
    ASSERT_TRUE(file.Append(CalibrationFields(row)).Ok());
    const CalibrationsRead read = ReadCalibrations(file.Path());
    ASSERT_EQ(read.status, CalibrationsReadStatus::Read);
    EXPECT_EQ(read.headerText, std::string(kCalibrationsHeader) + "\r\n");
    ASSERT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(read.rows[0].fields[1], "A,\"B\"\xC3\xA9");
    EXPECT_EQ(read.rows[1].text,
              "2026-01-05T09:00:00.000+01:00,\"A,\"\"B\"\"\xC3\xA9\",1,4.01,P10401,,no,,no,,unknown\r\n");
    EXPECT_EQ(ReadCalibrations(dir.filePath(QStringLiteral("none.csv")).toStdString()).status,
              CalibrationsReadStatus::Missing);
}

// A serial number a spreadsheet would run is written with an apostrophe,
// and read back as the meter reported it: the due check still finds it.
TEST(CalibrationsFile, AGuardedSerialReadsBackAsGiven)
{
    QTemporaryDir dir;
    const RecordFile file = CalibrationsFile(dir.path().toStdString(), false);
    CalibrationRow row;
    row.time = "2026-01-05T09:00:00.000+01:00";
    row.serial = "=QP1";
    row.buffer = "4.01";
    row.command = "P10401";
    row.asLeft = "4.01";
    row.error = "+0.00";
    row.result = CalibrationResult::Pass;
    ASSERT_TRUE(file.Append(CalibrationFields(row)).Ok());
    const CalibrationsRead read = ReadCalibrations(file.Path());
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(read.rows[0].text,
              "2026-01-05T09:00:00.000+01:00,'=QP1,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n");
    EXPECT_EQ(read.rows[0].fields[1], "=QP1");
    EXPECT_EQ(read.rows[0].fields[9], "+0.00") << "the program's own numbers are left as they are";
    EXPECT_EQ(CalibrationDueState(read.rows, "=QP1", 1, kPassedUtcMs).lastPassUtcMs, kPassedUtcMs);
}

TEST(CalibrationsFile, AByteOrderMarkInFrontOfTheHeaderIsTaken)
{
    QTemporaryDir dir;
    const RecordFile file = CalibrationsFile(dir.path().toStdString(), false);
    const std::string saved = "\xEF\xBB\xBF" + std::string(kCalibrationsHeader) +
        "\r\n2026-01-05T09:00:00.000+01:00,QP1,1,4.01,P10401,,no,4.01,yes,+0.00,pass\r\n";
    {
        QFile out(QString::fromStdString(file.Path()));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(saved.data(), static_cast<qint64>(saved.size()));
    }
    const CalibrationsRead read = ReadCalibrations(file.Path());
    ASSERT_EQ(read.status, CalibrationsReadStatus::Read);
    EXPECT_EQ(read.headerText, std::string(kCalibrationsHeader) + "\r\n");
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(read.rows[0].fields[0], "2026-01-05T09:00:00.000+01:00");
    CalibrationRow row;
    row.time = "2026-01-06T09:00:00.000+01:00";
    row.serial = "QP1";
    row.buffer = "7.00";
    row.command = "P20700";
    EXPECT_TRUE(file.Append(CalibrationFields(row)).Ok());
    EXPECT_EQ(ReadCalibrations(file.Path()).rows.size(), 2u);
}

}  // namespace
