// The data log without a window: where files go, names that never replace
// another file, a failure that leaves nothing open, and rows stamped with
// their readings' times.
#include "DataLog.h"
#include "FileBytes.h"
#include "ReadingTime.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

class DataLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-datalog-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        // An open file keeps its folder on Windows.
        log.Stop();
        fs::remove_all(folder);
    }

    fs::path folder;
    DataLog log{[] { return LogClockTime{2026, 12, 6, 9, 5, 3}; }};
};

TEST_F(DataLogTest, WritesIntoTheFolderAndNumbersATakenName)
{
    const DataLogOptions options{folder.string(), true, ';'};
    ASSERT_EQ(log.Start(options, "1.0.2.7", "QP000001"), 0);
    EXPECT_EQ(fs::path(log.FileName()), folder / "USB_PH_261206_090503.txt");
    // The row's time is its reading's, not the clock of the file's name.
    ASSERT_EQ(log.WriteRow("7.02", ':', LogClockTime{2026, 12, 6, 9, 7, 41}), 0);
    ASSERT_EQ(log.Stop(), 0);
    EXPECT_FALSE(log.Logging());
    const std::string text = ReadFile(folder / "USB_PH_261206_090503.txt");
    EXPECT_EQ(text.substr(text.size() - 40), "DATE;TIME;pH\r\n06.12.2026;09:07:41;7.02\r\n");

    ASSERT_EQ(log.Start(options, "1.0.2.7", "QP000001"), 0);
    EXPECT_EQ(fs::path(log.FileName()), folder / "USB_PH_261206_090503_2.txt");
    EXPECT_EQ(ReadFile(folder / "USB_PH_261206_090503.txt"), text);
}

TEST_F(DataLogTest, AFailedStartLeavesNothingOpen)
{
    const DataLogOptions options{(folder / "missing").string(), false, '\t'};
    EXPECT_EQ(log.Start(options, "1.0.2.7", "QP000001"), ENOENT);
    EXPECT_FALSE(log.Logging());
    EXPECT_EQ(log.WriteRow("7.02", ':', LogClockTime{2026, 12, 6, 9, 5, 4}), EBADF);
    EXPECT_EQ(log.Stop(), 0);
}

struct StampCase {
    const char* name;
    int64_t utcMs;
    int32_t utcOffsetS;
    LogClockTime local;
    int millisecond;
};

class ReadingTimeTest : public testing::TestWithParam<StampCase> {};

// The local time of a stamp follows from the stamp alone, whatever the zone
// of the process: the offset taken with the reading decides.
TEST_P(ReadingTimeTest, LocalTimeByTheOffsetTakenWithTheReading)
{
    const StampCase& c = GetParam();
    Reading reading;
    reading.utcMs = c.utcMs;
    reading.utcOffsetS = c.utcOffsetS;
    const LogClockTime t = ReadingLogTime(reading);
    const LogClockTime& e = c.local;
    EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
              std::vector<int>({e.year, e.month, e.day, e.hour, e.minute, e.second}));
    const QDateTime at = ReadingDateTime(reading);
    EXPECT_EQ(at.toMSecsSinceEpoch(), c.utcMs);
    EXPECT_EQ(at.offsetFromUtc(), c.utcOffsetS);
    EXPECT_EQ(at.time().msec(), c.millisecond);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, ReadingTimeTest,
    testing::Values(StampCase{"NewYearInUtc", 1798761599999, 0, {2026, 12, 31, 23, 59, 59}, 999},
                    StampCase{"NewYearAnHourEast", 1798761599999, 3600, {2027, 1, 1, 0, 59, 59}, 999},
                    StampCase{"FiveHoursWest", 1798761599999, -18000, {2026, 12, 31, 18, 59, 59}, 999},
                    StampCase{"HalfHourZone", 1798761599999, -12600, {2026, 12, 31, 20, 29, 59}, 999},
                    StampCase{"BeforeTheEpoch", -500, 0, {1969, 12, 31, 23, 59, 59}, 500},
                    StampCase{"SummerTimeFirstTwoThirty", 1792888200000, 7200, {2026, 10, 25, 2, 30, 0}, 0},
                    StampCase{"WinterTimeSecondTwoThirty", 1792891800000, 3600, {2026, 10, 25, 2, 30, 0}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
