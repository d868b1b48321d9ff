// The report's figures, reduction, electrode judgement and pairing as tables,
// and the gathering of a folder of logs and records.
#include "ReportData.h"
#include "AuditTrail.h"
#include "CalibrationRecord.h"
#include "LogText.h"
#include "SampleRecord.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

struct VerdictCase {
    const char* name;
    double slope;
    double offsetMv;
    ElectrodeVerdict verdict;
};

class VerdictTest : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(VerdictTest, BoundsBelongToTheBetterVerdict)
{
    EXPECT_EQ(JudgeElectrode(GetParam().slope, GetParam().offsetMv), GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, VerdictTest,
    ::testing::Values(VerdictCase{"ideal", 100, 0, ElectrodeVerdict::Good},
                      VerdictCase{"slope95", 95.0, 0, ElectrodeVerdict::Good},
                      VerdictCase{"slope94_9", 94.9, 0, ElectrodeVerdict::Clean},
                      VerdictCase{"slope105", 105.0, 0, ElectrodeVerdict::Good},
                      VerdictCase{"slope105_1", 105.1, 0, ElectrodeVerdict::Clean},
                      VerdictCase{"slopeShownAs105", 105.04, 0, ElectrodeVerdict::Good},
                      VerdictCase{"offset30", 100, 30.0, ElectrodeVerdict::Good},
                      VerdictCase{"offsetMinus30", 100, -30.0, ElectrodeVerdict::Good},
                      VerdictCase{"offset30_1", 100, 30.1, ElectrodeVerdict::Clean},
                      VerdictCase{"offsetMinus30_1", 100, -30.1, ElectrodeVerdict::Clean},
                      VerdictCase{"slope90", 90.0, 0, ElectrodeVerdict::Clean},
                      VerdictCase{"slope89_9", 89.9, 0, ElectrodeVerdict::Replace},
                      VerdictCase{"slope110", 110.0, 0, ElectrodeVerdict::Clean},
                      VerdictCase{"slope110_1", 110.1, 0, ElectrodeVerdict::Replace},
                      VerdictCase{"offset60", 100, 60.0, ElectrodeVerdict::Clean},
                      VerdictCase{"offsetMinus60_1", 100, -60.1, ElectrodeVerdict::Replace},
                      VerdictCase{"goodSlopeCleanOffset", 96, 45, ElectrodeVerdict::Clean},
                      VerdictCase{"cleanSlopeReplaceOffset", 92, 61, ElectrodeVerdict::Replace}),
    [](const auto& info) { return std::string(info.param.name); });

struct PointsCase {
    const char* name;
    double buffer1, asFound1, buffer2, asFound2;
    double slope, offsetPh, offsetMv;
    ElectrodeVerdict verdict;
};

class PointsTest : public ::testing::TestWithParam<PointsCase> {};

TEST_P(PointsTest, SlopeAndOffsetOfTheAsFoundLine)
{
    const PointsCase& c = GetParam();
    const auto figures = ElectrodeFromPoints(c.buffer1, c.asFound1, c.buffer2, c.asFound2);
    ASSERT_TRUE(figures);
    EXPECT_NEAR(figures->slopePercent, c.slope, 0.01);
    EXPECT_NEAR(figures->offsetPh, c.offsetPh, 0.0001);
    EXPECT_NEAR(figures->offsetMv, c.offsetMv, 0.01);
    EXPECT_EQ(figures->verdict, c.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PointsTest,
    ::testing::Values(
        PointsCase{"unchanged", 4.01, 4.01, 7.00, 7.00, 100, 0, 0, ElectrodeVerdict::Good},
        PointsCase{"shifted", 4.01, 4.21, 7.00, 7.20, 100, 0.20, 11.832, ElectrodeVerdict::Good},
        PointsCase{"reversedOrderShownAs95", 7.00, 7.00, 4.01, 4.16, 94.983, 0, 0, ElectrodeVerdict::Good},
        PointsCase{"steep", 4.01, 4.01, 7.00, 7.30, 110.033, 0.30, 17.748, ElectrodeVerdict::Clean},
        PointsCase{"alkaline", 7.00, 7.60, 10.01, 10.61, 100, 0.60, 35.496, ElectrodeVerdict::Clean},
        PointsCase{"farOff", 4.01, 4.01, 7.00, 8.20, 140.134, 1.20, 70.992, ElectrodeVerdict::Replace}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ElectrodeFromPoints, OneBufferTwiceGivesNoLine)
{
    EXPECT_FALSE(ElectrodeFromPoints(7.0, 7.1, 7.0, 7.2));
}

struct PairCase {
    const char* name;
    std::vector<PairCandidate> rows;
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
};

constexpr int64_t kMinute = 60 * 1000;

class PairTest : public ::testing::TestWithParam<PairCase> {};

TEST_P(PairTest, PointsOfOneMeterWithinAnHour)
{
    EXPECT_EQ(PairCalibrationPoints(GetParam().rows), GetParam().pairs);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, PairTest,
    ::testing::Values(
        PairCase{"halfAnHour", {{0, "A", 1}, {30 * kMinute, "A", 2}}, {{0, 1}}},
        PairCase{"exactlyAnHour", {{0, "A", 1}, {60 * kMinute, "A", 2}}, {{0, 1}}},
        PairCase{"overAnHour", {{0, "A", 1}, {60 * kMinute + 1, "A", 2}}, {}},
        PairCase{"otherMeter", {{0, "A", 1}, {kMinute, "B", 2}}, {}},
        PairCase{"pointTwoFirst", {{0, "A", 2}, {10 * kMinute, "A", 1}}, {{1, 0}}},
        PairCase{"nearestTaken", {{0, "A", 1}, {50 * kMinute, "A", 2}, {10 * kMinute, "A", 2}}, {{0, 2}}},
        PairCase{"twoMeters",
                 {{0, "A", 1}, {kMinute, "B", 1}, {2 * kMinute, "B", 2}, {3 * kMinute, "A", 2}},
                 {{0, 3}, {1, 2}}},
        PairCase{"eachPointOnce", {{0, "A", 1}, {kMinute, "A", 1}, {2 * kMinute, "A", 2}}, {{0, 2}}},
        PairCase{"twoPointOnes", {{0, "A", 1}, {1, "A", 1}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReduceCase {
    const char* name;
    std::vector<double> keys;
    std::vector<double> values;
    double from, to;
    int columns;
    std::vector<std::pair<int, std::pair<double, double>>> expected;  // column, (min, max)
};

class ReduceTest : public ::testing::TestWithParam<ReduceCase> {};

TEST_P(ReduceTest, MinimumAndMaximumPerColumn)
{
    const ReduceCase& c = GetParam();
    const auto columns = ReduceToColumns(c.keys, c.values, c.from, c.to, c.columns);
    std::vector<std::pair<int, std::pair<double, double>>> got;
    for (const auto& column : columns)
        got.push_back({column.column, {column.minimum, column.maximum}});
    EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, ReduceTest,
    ::testing::Values(
        ReduceCase{"onePerColumn",
                   {0, 1, 2, 3},
                   {7, 8, 6, 9},
                   0,
                   4,
                   4,
                   {{0, {7, 7}}, {1, {8, 8}}, {2, {6, 6}}, {3, {9, 9}}}},
        ReduceCase{"twoPerColumn", {0, 1, 2, 3}, {7, 8, 6, 9}, 0, 4, 2, {{0, {7, 8}}, {1, {6, 9}}}},
        ReduceCase{"lastKeyInLastColumn", {0, 10}, {7, 8}, 0, 10, 5, {{0, {7, 7}}, {4, {8, 8}}}},
        ReduceCase{"outsideLeftOut", {-1, 5, 11}, {1, 7, 14}, 0, 10, 2, {{1, {7, 7}}}},
        ReduceCase{"emptyColumnsLeftOut", {0, 9}, {7, 7.5}, 0, 10, 10, {{0, {7, 7}}, {9, {7.5, 7.5}}}},
        ReduceCase{"keysGoingBack", {8, 1, 9, 2}, {7, 6, 8, 5}, 0, 10, 2, {{0, {5, 6}}, {1, {7, 8}}}},
        ReduceCase{"onePoint", {5}, {7}, 5, 5, 3, {{0, {7, 7}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReduceToColumns, AWeekAtOneHertzFitsTheColumns)
{
    std::vector<double> keys;
    std::vector<double> values;
    constexpr int kRows = 604800;
    for (int i = 0; i < kRows; ++i) {
        keys.push_back(i * 1000.0);
        values.push_back(7.0 + (i % 100) / 100.0);
    }
    const auto columns = ReduceToColumns(keys, values, 0, (kRows - 1) * 1000.0, 1000);
    ASSERT_EQ(columns.size(), 1000u);
    EXPECT_DOUBLE_EQ(columns[0].minimum, 7.0);
    EXPECT_DOUBLE_EQ(columns[0].maximum, 7.99);
}

TEST(MergeColumns, TakesTheWiderRangeWhereBothHaveOne)
{
    const auto merged = MergeColumns({{0, 7, 8}, {2, 6, 6}}, {{1, 5, 5}, {2, 5, 9}});
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[1].column, 1);
    EXPECT_DOUBLE_EQ(merged[2].minimum, 5);
    EXPECT_DOUBLE_EQ(merged[2].maximum, 9);
}

struct FiguresCase {
    const char* name;
    std::vector<std::vector<std::pair<double, double>>> runs;  // (ms, pH) per run
    std::optional<double> high, low;
    int64_t count;
    double first, last, minimum, maximum, mean, deviation, outside;
};

class FiguresTest : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(FiguresTest, FiguresOfTheReadings)
{
    const FiguresCase& c = GetParam();
    FiguresAccumulator acc(c.high, c.low);
    for (const auto& run : c.runs) {
        for (const auto& [t, v] : run)
            acc.Add(t, v);
        acc.EndRun();
    }
    const ReadingFigures f = acc.Figures();
    EXPECT_EQ(f.count, c.count);
    if (c.count == 0)
        return;
    EXPECT_DOUBLE_EQ(f.firstUtcMs, c.first);
    EXPECT_DOUBLE_EQ(f.lastUtcMs, c.last);
    EXPECT_DOUBLE_EQ(f.minimum, c.minimum);
    EXPECT_DOUBLE_EQ(f.maximum, c.maximum);
    EXPECT_NEAR(f.mean, c.mean, 1e-9);
    EXPECT_NEAR(f.standardDeviation, c.deviation, 1e-9);
    EXPECT_DOUBLE_EQ(f.outsideMs, c.outside);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, FiguresTest,
    ::testing::Values(
        FiguresCase{"none", {}, {}, {}, 0, 0, 0, 0, 0, 0, 0, 0},
        FiguresCase{"one", {{{5, 7.0}}}, {}, {}, 1, 5, 5, 7, 7, 7, 0, 0},
        FiguresCase{"three", {{{0, 7}, {1000, 8}, {2000, 9}}}, {}, {}, 3, 0, 2000, 7, 9, 8, 1, 0},
        FiguresCase{"aboveHigh",
                    {{{0, 7}, {1000, 9}, {3000, 8}, {4000, 9}}},
                    8.5,
                    {},
                    4,
                    0,
                    4000,
                    7,
                    9,
                    8.25,
                    0.9574271077563381,
                    2000},
        FiguresCase{"belowLow",
                    {{{0, 5}, {1000, 5}, {2500, 7}}},
                    {},
                    6.0,
                    3,
                    0,
                    2500,
                    5,
                    7,
                    17.0 / 3,
                    1.1547005383792517,
                    2500},
        FiguresCase{"onTheLimitIsInside",
                    {{{0, 8.5}, {1000, 6.0}, {2000, 7}}},
                    8.5,
                    6.0,
                    3,
                    0,
                    2000,
                    6,
                    8.5,
                    7.1666666666666667,
                    1.2583057392117916,
                    0},
        FiguresCase{"runsEndOutside",
                    {{{0, 9}, {1000, 9}}, {{5000, 9}, {6000, 7}}},
                    8.5,
                    {},
                    4,
                    0,
                    6000,
                    7,
                    9,
                    8.5,
                    1,
                    2000},
        FiguresCase{"firstAndLastByTime", {{{5000, 7}}, {{1000, 7}}}, {}, {}, 2, 1000, 5000, 7, 7, 7, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct LogNameCase {
    const char* file;
    const char* serial;
};

class LogNameTest : public ::testing::TestWithParam<LogNameCase> {};

TEST_P(LogNameTest, SerialFromTheName) { EXPECT_EQ(SerialFromLogName(GetParam().file), GetParam().serial); }

INSTANTIATE_TEST_SUITE_P(Names, LogNameTest,
                         ::testing::Values(LogNameCase{"USB_PH_261208_140301.txt", ""},
                                           LogNameCase{"USB_PH_261208_140301_2.txt", ""},
                                           LogNameCase{"USB_PH_261208_140301_QP000001.txt", "QP000001"},
                                           LogNameCase{"USB_PH_261208_140301_QP000001_3.txt", "QP000001"},
                                           LogNameCase{"USB_PH_261208_140301_QP_1.A.txt", "QP_1.A"},
                                           LogNameCase{"notes.txt", ""}));

// A folder of logs of two meters and records around a period.
class GatherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        folder = fs::temp_directory_path() / ("tirevo-report-gather-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        Log("USB_PH_261201_000000.txt", "QP000001", 1, {"7.00", "7.10", "9.00"});
        Log("USB_PH_261201_000000_QP000002.txt", "QP000002", 1, {"4.00", "4.00"});
        Log("USB_PH_261203_000000.txt", "QP000001", 3, {"6.50"});
        Sample("2026-12-01T00:00:01.000+00:00", "S-1", "7.05", "QP000001");
        Sample("2026-12-01T00:00:01.000+00:00", "T-1", "4.00", "QP000002");
        Sample("2026-12-05T00:00:01.000+00:00", "S-2", "7.05", "QP000001");
        Calibration("2026-11-20T10:00:00.000+00:00", 1, "4.01", "4.01", "pass");
        Calibration("2026-11-28T10:00:00.000+00:00", 1, "4.01", "4.05", "pass");
        Calibration("2026-11-29T10:00:00.000+00:00", 1, "4.01", "4.30", "fail");
        Calibration("2026-12-01T09:00:00.000+00:00", 1, "4.01", "4.11", "pass");
        Calibration("2026-12-01T09:20:00.000+00:00", 2, "7.00", "7.00", "pass");
    }
    void TearDown() override { fs::remove_all(folder); }

    void Log(const std::string& name, const std::string& serial, int day,
             const std::vector<std::string>& readings)
    {
        std::ofstream out(folder / name, std::ios::binary);
        out << LogHeaderText("1.0", serial, true, '\t');
        int second = 0;
        for (const auto& r : readings)
            out << LogRowText({2026, 12, day, 0, 0, second++}, ':', true, '\t', r);
    }
    void Sample(const std::string& time, const std::string& name, const std::string& ph,
                const std::string& serial)
    {
        ASSERT_TRUE(
            SamplesFile(folder.string(), false).Append(SampleFields({time, name, ph, true, serial})).Ok());
    }
    void Calibration(const std::string& time, int point, const std::string& buffer,
                     const std::string& asFound, const std::string& result)
    {
        CalibrationRow row;
        row.time = time;
        row.serial = "QP000001";
        row.point = point;
        row.buffer = buffer;
        row.command = "P";
        row.asFound = asFound;
        row.asLeft = buffer;
        row.error = "+0.00";
        row.result = result == "pass" ? CalibrationResult::Pass : CalibrationResult::Fail;
        ASSERT_TRUE(CalibrationsFile(folder.string(), false).Append(CalibrationFields(row)).Ok());
    }
    ReportRequest Request() const
    {
        ReportRequest r;
        r.recordsFolder = folder.string();
        r.logsFolder = folder.string();
        return r;
    }

    fs::path folder;
};

TEST_F(GatherTest, OneMeterInAPeriod)
{
    ReportRequest r = Request();
    r.serial = "QP000001";
    r.fromUtcMs = *RecordTimeUtcMs("2026-12-01T00:00:00.000+00:00");
    r.toUtcMs = *RecordTimeUtcMs("2026-12-02T00:00:00.000+00:00");
    r.highLimit = 8.0;
    const ReportData data = GatherReport(r, 100);
    ASSERT_EQ(data.logs.size(), 1u);
    EXPECT_EQ(data.logs[0].serial, "QP000001");
    EXPECT_EQ(data.figures.count, 3);
    EXPECT_DOUBLE_EQ(data.figures.maximum, 9.0);
    EXPECT_DOUBLE_EQ(data.figures.outsideMs, 0.0);  // the last reading of a log holds for no known time
    ASSERT_EQ(data.samples.size(), 1u);
    EXPECT_EQ(data.samples[0].name, "S-1");
    // The last pass before the period, then the two in it.
    ASSERT_EQ(data.calibrations.size(), 3u);
    EXPECT_TRUE(data.calibrations[0].inForce);
    EXPECT_EQ(data.calibrations[0].asFound, "4.05");
    ASSERT_EQ(data.electrodes.size(), 1u);
    EXPECT_EQ(data.electrodes[0].point1, 1u);
    EXPECT_NEAR(data.electrodes[0].figures.slopePercent, 96.66, 0.01);
    EXPECT_EQ(data.serials, std::vector<std::string>{"QP000001"});
    EXPECT_FALSE(data.chart.empty());
}

TEST_F(GatherTest, WithoutAPeriodTheMeasurementsSpanIt)
{
    const ReportData data = GatherReport(Request(), 100);
    EXPECT_EQ(data.logs.size(), 3u);
    EXPECT_EQ(data.figures.count, 6);
    EXPECT_EQ(data.samples.size(), 3u);
    EXPECT_EQ(data.serials, (std::vector<std::string>{"QP000001", "QP000002"}));
    ASSERT_TRUE(data.hasPeriod);
    EXPECT_EQ(ReportTimeText(data.fromUtcMs), "2026-12-01 00:00:00");
    EXPECT_EQ(ReportTimeText(data.toUtcMs), "2026-12-05 00:00:01");
    // The older calibrations lie before the readings: the last pass of them is in force.
    ASSERT_EQ(data.calibrations.size(), 3u);
    EXPECT_TRUE(data.calibrations[0].inForce);
    EXPECT_EQ(data.calibrations[0].time, "2026-11-28 10:00:00");
}

TEST_F(GatherTest, RecordsAloneGiveTheirOwnPeriod)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".txt" || entry.path().filename() == "samples.csv")
            fs::remove(entry.path());
    const ReportData data = GatherReport(Request(), 100);
    EXPECT_EQ(data.figures.count, 0);
    ASSERT_TRUE(data.hasPeriod);
    EXPECT_EQ(ReportTimeText(data.fromUtcMs), "2026-11-20 10:00:00");
    EXPECT_EQ(data.calibrations.size(), 5u);
    EXPECT_TRUE(data.chart.empty());
}

TEST_F(GatherTest, LogsOfOtherMetersAreLeftOutByNameAndHeader)
{
    ReportRequest r = Request();
    r.serial = "QP000002";
    const ReportData data = GatherReport(r, 100);
    ASSERT_EQ(data.logs.size(), 1u);
    EXPECT_EQ(fs::path(data.logs[0].path).filename(), "USB_PH_261201_000000_QP000002.txt");
    EXPECT_EQ(data.samples.size(), 1u);
    EXPECT_TRUE(data.calibrations.empty());
}

TEST_F(GatherTest, TheTrailNamesTheMeterOfALogThatDoesNot)
{
    Log("USB_PH_261202_000000.txt", "", 2, {"5.00"});
    Log("USB_PH_261202_100000.txt", "", 2, {"5.50"});
    const AuditTrail trail(folder.string(), {"lab", "bench-3", "tirevo 1.0"}, false);
    // Named by its absolute path when it was written, in a folder since moved.
    ASSERT_TRUE(trail.Append(LogStartedEvent("/old/place/USB_PH_261202_000000.txt", "QP000002")).Ok());
    ReportRequest r = Request();
    r.serial = "QP000001";
    const ReportData data = GatherReport(r, 100);
    std::vector<std::string> names;
    for (const auto& log : data.logs)
        names.push_back(fs::path(log.path).filename().string());
    // The one nothing names is kept: it may be of the meter asked for.
    EXPECT_EQ(names,
              (std::vector<std::string>{"USB_PH_261201_000000.txt", "USB_PH_261202_100000.txt",
                                        "USB_PH_261203_000000.txt"}));
}

}  // namespace
