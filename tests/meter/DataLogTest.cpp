// The data log without a window: where files go, names that never replace
// another file, and a failure that leaves nothing open.
#include "DataLog.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tirevo;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class DataLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tirevo-datalog-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    DataLog log{[] { return LogClockTime{2026, 12, 6, 9, 5, 3}; }};
};

TEST_F(DataLogTest, WritesIntoTheFolderAndNumbersATakenName)
{
    const DataLogOptions options{folder.string(), true, ';'};
    ASSERT_EQ(log.Start(options, "1.0.2.7", "QP000001"), 0);
    EXPECT_EQ(log.FileName(), (folder / "USB_PH_261206_090503.txt").string());
    ASSERT_EQ(log.WriteRow("7.02", ':'), 0);
    ASSERT_EQ(log.Stop(), 0);
    EXPECT_FALSE(log.Logging());
    const std::string text = ReadFile(folder / "USB_PH_261206_090503.txt");
    EXPECT_EQ(text.substr(text.size() - 40), "DATE;TIME;pH\r\n06.12.2026;09:05:03;7.02\r\n");

    ASSERT_EQ(log.Start(options, "1.0.2.7", "QP000001"), 0);
    EXPECT_EQ(log.FileName(), (folder / "USB_PH_261206_090503_2.txt").string());
    EXPECT_EQ(ReadFile(folder / "USB_PH_261206_090503.txt"), text);
}

TEST_F(DataLogTest, AFailedStartLeavesNothingOpen)
{
    const DataLogOptions options{(folder / "missing").string(), false, '\t'};
    EXPECT_EQ(log.Start(options, "1.0.2.7", "QP000001"), ENOENT);
    EXPECT_FALSE(log.Logging());
    EXPECT_EQ(log.WriteRow("7.02", ':'), EBADF);
    EXPECT_EQ(log.Stop(), 0);
}

}  // namespace
