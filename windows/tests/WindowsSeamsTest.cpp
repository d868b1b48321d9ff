// The Windows side of the program's seams, on the real system calls (under
// Wine here): the log file, stdout without text mode, the local time, the
// program's own path and where the settings go.
#include "FdOutput.h"
#include "FileBytes.h"
#include "LogFile.h"
#include "ReadingOutput.h"
#include "RunSettings.h"
#include "SettingsLocation.h"
#include "SpoolFolder.h"
#include "WinTempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <io.h>
#include <string>

#include <windows.h>

namespace {

using namespace tirevo;
namespace fs = std::filesystem;

// ---- the log file ------------------------------------------------------------------

TEST_F(TempFolder, LogFileKeepsLineEndsAndRefusesAnExistingName)
{
    const std::string name = (folder_ / "log.txt").string();
    {
        LogFile log;
        ASSERT_EQ(log.CreateNew(name), 0);
        ASSERT_EQ(log.Write("head\r\n"), 0);
        ASSERT_EQ(log.Write("1,00\r\n"), 0);
        // Readable by another program while it is being written, and every
        // byte is there already.
        EXPECT_EQ(ReadFile(name), "head\r\n1,00\r\n");
        EXPECT_EQ(log.Close(), 0);
    }
    LogFile again;
    EXPECT_EQ(again.CreateNew(name), EEXIST);
    EXPECT_EQ(ReadFile(name), "head\r\n1,00\r\n");
}

TEST_F(TempFolder, LogFileInAMissingFolderIsNotFound)
{
    LogFile log;
    EXPECT_EQ(log.CreateNew((folder_ / "missing" / "log.txt").string()), ENOENT);
    EXPECT_EQ(log.Write("x"), EBADF);
}

TEST_F(TempFolder, LogFileNamesInUnicode)
{
    const fs::path file = folder_ / fs::path(u8"Messung \u00e4\u00f6.txt");
    LogFile log;
    ASSERT_EQ(log.CreateNew(Utf8(file)), 0);
    ASSERT_EQ(log.Write("7.00\r\n"), 0);
    log.Close();
    EXPECT_EQ(ReadFile(file), "7.00\r\n");
}

// ---- output without text mode -------------------------------------------------------

TEST_F(TempFolder, WriteAllPassesBytesUntranslated)
{
    const std::string name = (folder_ / "out.txt").string();
    // A descriptor in text mode, as stdout starts: the C runtime would turn
    // "\n" into "\r\n" and "\r\n" into "\r\r\n".
    const int fd = _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_TEXT, _S_IREAD | _S_IWRITE);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(WriteAll(fd, "time,ph\n2026,7.00\r\n"), 0);
    EXPECT_FALSE(IsTerminal(fd));
    _close(fd);
    EXPECT_EQ(ReadFile(name), "time,ph\n2026,7.00\r\n");
}

// ---- time and the program -----------------------------------------------------------

TEST(WallClockWin, LocalTimeMinusItsOffsetIsUtc)
{
    SYSTEMTIME before{};
    GetSystemTime(&before);
    const WallTime local = LocalWallTime();
    EXPECT_EQ(local.utcOffsetSeconds % 60, 0);
    // The local fields less the offset give the UTC time the system reports.
    SYSTEMTIME fields{};
    fields.wYear = static_cast<WORD>(local.year);
    fields.wMonth = static_cast<WORD>(local.month);
    fields.wDay = static_cast<WORD>(local.day);
    fields.wHour = static_cast<WORD>(local.hour);
    fields.wMinute = static_cast<WORD>(local.minute);
    fields.wSecond = static_cast<WORD>(local.second);
    FILETIME localFile{}, utcFile{};
    ASSERT_TRUE(SystemTimeToFileTime(&fields, &localFile));
    ASSERT_TRUE(SystemTimeToFileTime(&before, &utcFile));
    const auto ticks = [](const FILETIME& f) {
        return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                      f.dwLowDateTime);
    };
    const long long seconds = (ticks(localFile) - ticks(utcFile)) / 10000000 - local.utcOffsetSeconds;
    EXPECT_GE(seconds, -1);
    EXPECT_LE(seconds, 5);  // only catches a wrong sign or a wrong zone
}

TEST(ProgramPathWin, IsThisExe)
{
    const std::string path = OwnProgramPath();
    ASSERT_GE(path.size(), 4u);
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
    EXPECT_TRUE(fs::exists(fs::path(std::u8string(path.begin(), path.end()))));
}

// With backslashes the folder was not found: the settings file was taken
// from the current folder instead of beside the programs.
TEST(ProgramPathWin, TheCliFindsTheSettingsBesideItself)
{
    const std::string path = OwnProgramPath();
    ASSERT_NE(path.rfind('/'), std::string::npos);
    EXPECT_EQ(CliSettingsFile(path, SettingsRule::BesideProgram),
              path.substr(0, path.rfind('/') + 1) + "tirevo.INI");
}

// ---- where the settings go -----------------------------------------------------------

class SettingsWin : public TempFolder {
protected:
    void SetUp() override
    {
        TempFolder::SetUp();
        fs::create_directories(folder_ / "program");
        fs::create_directories(folder_ / "appdata");
        program_ = (folder_ / "program" / "tirevo.exe").string();
        appData_ = (folder_ / "appdata").string();
        SetEnvironmentVariableA("APPDATA", appData_.c_str());
    }
    void TearDown() override
    {
        SetFileAttributesW((folder_ / "program" / "tirevo.INI").wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
        TempFolder::TearDown();
    }
    std::string program_;
    std::string appData_;
};

TEST_F(SettingsWin, PerUserFileIsInAppData)
{
    EXPECT_EQ(PerUserSettingsFile(), appData_ + "\\tirevo\\tirevo.INI");
}

TEST_F(SettingsWin, BesideTheProgramWhenTheFolderIsWritable)
{
    const SettingsLocation where = ChooseSettingsFile(program_, true);
    EXPECT_FALSE(where.perUser);
    EXPECT_EQ(fs::path(where.path), folder_ / "program" / "tirevo.INI");
    // The writability probe leaves nothing behind.
    EXPECT_TRUE(fs::is_empty(folder_ / "program"));
}

TEST_F(SettingsWin, AReadOnlyFileBesideIsCopiedToAppData)
{
    const fs::path beside = folder_ / "program" / "tirevo.INI";
    std::ofstream(beside, std::ios::binary) << "[Settings]\r\nInterval=2000\r\n";
    ASSERT_TRUE(SetFileAttributesW(beside.wstring().c_str(), FILE_ATTRIBUTE_READONLY));

    const SettingsLocation reading = ChooseSettingsFile(program_, false);
    EXPECT_FALSE(reading.perUser);  // nothing per user yet: read the one beside
    EXPECT_FALSE(fs::exists(fs::path(appData_) / "tirevo"));

    const SettingsLocation where = ChooseSettingsFile(program_, true);
    EXPECT_TRUE(where.perUser);
    EXPECT_EQ(where.path, appData_ + "\\tirevo\\tirevo.INI");
    EXPECT_EQ(ReadFile(where.path), "[Settings]\r\nInterval=2000\r\n");
}

TEST_F(SettingsWin, RecordsBesideAPortableCopyElseInLocalAppData)
{
    const std::string local = (folder_ / "local").string();
    SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());
    EXPECT_EQ(fs::path(ChooseRecordsFolder(program_).folder), folder_ / "program");
    const RecordsLocation installed = ChooseRecordsFolder(program_, SettingsRule::PerUser);
    EXPECT_TRUE(installed.perUser);
    EXPECT_EQ(installed.folder, local + "\\tirevo");
    // An installed copy's spool for the broker is in it.
    EXPECT_EQ(InstalledSpoolFolder(), local + "\\tirevo\\spool");
    // Without the variable, the system's own folder, never one at a drive's root.
    SetEnvironmentVariableA("LOCALAPPDATA", nullptr);
    EXPECT_TRUE(fs::path(InstalledSpoolFolder()).is_absolute()) << InstalledSpoolFolder();
    EXPECT_EQ(fs::path(InstalledSpoolFolder()).filename(), "spool");
}

TEST_F(SettingsWin, AnInstalledCopyStartsFromTheSharedDefaults)
{
    const fs::path shared = folder_ / "programdata";
    SetEnvironmentVariableA("ProgramData", shared.string().c_str());
    fs::create_directories(shared / "tirevo");
    std::ofstream(shared / "tirevo" / "tirevo.INI", std::ios::binary) << "[System]\r\nInterval=500\r\n";

    const SettingsLocation reading = ChooseSettingsFile(program_, false, SettingsRule::PerUser);
    EXPECT_EQ(fs::path(reading.path), shared / "tirevo" / "tirevo.INI");
    const SettingsLocation where = ChooseSettingsFile(program_, true, SettingsRule::PerUser);
    EXPECT_TRUE(where.perUser);
    EXPECT_EQ(where.path, appData_ + "\\tirevo\\tirevo.INI");
    EXPECT_EQ(ReadFile(where.path), "[System]\r\nInterval=500\r\n");
}

}  // namespace
