// The Windows side of the run's seams, on the real system calls (under Wine
// here): the record file, the log folder check and the --on-alarm command.
#include "AlarmHook.h"
#include "FileBytes.h"
#include "FolderAccess.h"
#include "RecordFile.h"
#include "RecordLock.h"
#include "WinTempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

namespace {

using namespace tirevo;
namespace fs = std::filesystem;

// ---- the record file ----------------------------------------------------------------

TEST_F(TempFolder, RecordFileStartsWithItsHeaderAndAppendsWholeRows)
{
    const RecordFile record(Utf8(folder_ / "a" / "b"), "samples.csv", "time,ph", true);
    ASSERT_TRUE(record.Append({"t1", "7.00"}).Ok());
    ASSERT_TRUE(record.Append({"t2", "a,b"}).Ok());
    EXPECT_EQ(ReadFile(folder_ / "a" / "b" / "samples.csv"), "time,ph\r\nt1,7.00\r\nt2,\"a,b\"\r\n");
}

TEST_F(TempFolder, RecordFileMakesFoldersGivenWithBackslashes)
{
    const std::string nested = Utf8(folder_) + "\\x\\y";
    const RecordFile record(nested, "r.csv", "h", true);
    ASSERT_TRUE(record.Append({"1"}).Ok());
    EXPECT_EQ(ReadFile(fs::path(nested) / "r.csv"), "h\r\n1\r\n");
}

TEST_F(TempFolder, RecordFileLeavesAForeignFileAlone)
{
    std::ofstream(folder_ / "r.csv", std::ios::binary) << "other,header\r\n1,2\r\n";
    const RecordFile record(Utf8(folder_), "r.csv", "time,ph", false);
    EXPECT_EQ(record.Append({"t", "7"}).status, RecordStatus::ForeignHeader);
    EXPECT_EQ(ReadFile(folder_ / "r.csv"), "other,header\r\n1,2\r\n");
}

TEST_F(TempFolder, RecordFileEndsALastLineLeftOpenBeforeItsRow)
{
    std::ofstream(folder_ / "r.csv", std::ios::binary) << "time,ph\r\nt1,7";
    const RecordFile record(Utf8(folder_), "r.csv", "time,ph", false);
    ASSERT_TRUE(record.Append({"t2", "8"}).Ok());
    EXPECT_EQ(ReadFile(folder_ / "r.csv"), "time,ph\r\nt1,7\r\nt2,8\r\n");
}

TEST_F(TempFolder, RecordFileInAMissingFolderFailsWithItsReason)
{
    const RecordFile record(Utf8(folder_ / "missing"), "r.csv", "h", false);
    const RecordResult result = record.Append({"1"});
    EXPECT_EQ(result.status, RecordStatus::Failed);
    EXPECT_EQ(result.systemError, ENOENT);
}

// Writers take turns under the file's lock, which keeps no reader out: the
// lock lies on a byte far past the end, and Windows locks bind reads too.
TEST_F(TempFolder, RecordLockHoldsOffAnotherWriterButNoReader)
{
    const RecordFile record(Utf8(folder_), "r.csv", "time,ph", false);
    ASSERT_TRUE(record.Append({"t1", "7"}).Ok());
    RecordLock held(record.Path());
    ASSERT_EQ(held.Error(), 0);
    EXPECT_EQ(ReadFile(folder_ / "r.csv"), "time,ph\r\nt1,7\r\n");
    const HANDLE other = CreateFileW((folder_ / "r.csv").wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    EXPECT_FALSE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
    ASSERT_TRUE(record.AppendLocked(held, {"t2", "8"}).Ok());
    EXPECT_EQ(held.Release(), 0);
    EXPECT_TRUE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
    CloseHandle(other);
    EXPECT_EQ(ReadFile(folder_ / "r.csv"), "time,ph\r\nt1,7\r\nt2,8\r\n");
}

TEST_F(TempFolder, RecordFileTakesAHeaderAfterAByteOrderMark)
{
    std::ofstream(folder_ / "r.csv", std::ios::binary) << "\xEF\xBB\xBFtime,ph\r\n";
    const RecordFile record(Utf8(folder_), "r.csv", "time,ph", false);
    ASSERT_TRUE(record.Append({"t1", "7"}).Ok());
    EXPECT_EQ(ReadFile(folder_ / "r.csv"), "\xEF\xBB\xBFtime,ph\r\nt1,7\r\n");
}

// ---- the log folder check -------------------------------------------------------

TEST_F(TempFolder, FolderWriteErrorNamesWhatIsWrongAndLeavesNothingBehind)
{
    std::ofstream(folder_ / "file.txt") << "x";
    EXPECT_EQ(FolderWriteError(Utf8(folder_)), std::nullopt);
    EXPECT_EQ(FolderWriteError(Utf8(folder_ / "missing")), ENOENT);
    EXPECT_EQ(FolderWriteError(Utf8(folder_ / "file.txt")), ENOTDIR);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"file.txt"});
}

// ---- the --on-alarm command -----------------------------------------------------

// Waits, with a bound that only catches a hang, until the hook has no
// command running.
void WaitForAll(AlarmHook& hook)
{
    for (int i = 0; i < 600 && hook.Running() > 0; ++i) {
        Sleep(50);
        hook.Reap();
    }
}

// What a hook says (its own lines) and passes on (the command's), as the run
// would write them to stderr.
struct HookLines {
    std::vector<std::string> said;
    std::vector<std::string> passed;
};

TEST_F(TempFolder, AlarmHookRunsTheCommandWithTheEventsVariables)
{
    HookLines lines;
    AlarmHook hook(
        "echo %TIREVO_ALARM% %TIREVO_PH%> \"" + Utf8(folder_ / "out.txt") + "\"",
        [&](const std::string& line) { lines.said.push_back(line); },
        [&](const std::string& line) { lines.passed.push_back(line); });
    hook.Run({{"TIREVO_ALARM", "high"}, {"TIREVO_PH", "7.50"}});
    WaitForAll(hook);
    EXPECT_EQ(hook.Running(), 0u);
    EXPECT_EQ(ReadFile(folder_ / "out.txt"), "high 7.50\r\n");
    EXPECT_TRUE(lines.said.empty());
    EXPECT_TRUE(lines.passed.empty());
}

TEST_F(TempFolder, AlarmHookReportsACommandThatFailed)
{
    HookLines lines;
    AlarmHook hook(
        "exit 3", [&](const std::string& line) { lines.said.push_back(line); },
        [&](const std::string& line) { lines.passed.push_back(line); });
    hook.Run({});
    WaitForAll(hook);
    ASSERT_EQ(lines.said.size(), 1u);
    EXPECT_EQ(lines.said[0], "the --on-alarm command ended with status 3");
}

// Its output comes through the hook's pipe, line by line without "\r", and
// the end of the run waits for it and for how the command ended.
TEST_F(TempFolder, AlarmHookPassesTheCommandsOutputAndWaitsForItAtTheEnd)
{
    HookLines lines;
    AlarmHook hook(
        "echo one& echo two>&2& exit 4", [&](const std::string& line) { lines.said.push_back(line); },
        [&](const std::string& line) { lines.passed.push_back(line); });
    hook.Run({});
    hook.Finish(AlarmHook::EndDeadline());
    EXPECT_EQ(hook.Running(), 0u);
    EXPECT_EQ(lines.passed, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(lines.said, std::vector<std::string>{"the --on-alarm command ended with status 4"});
}

}  // namespace
