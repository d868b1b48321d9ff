// Where the settings file is chosen, with real folders and file modes. Each
// choice runs in a child process without root's capabilities, so the modes
// count as they do for the ordinary user who starts an installed program.
#include "SettingsLocation.h"
#include "FileOverride.h"
#include "SettingsFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace tirevo;

namespace fs = std::filesystem;

namespace {

constexpr const char* kSharedDefaults = "[System]\nSeparator=;\n";
constexpr const char* kUserSettings = "[Window]\nMFTop=5\nMFLeft=6\n";
constexpr const char* kChildFailed = "child failed";

// Runs work in a forked child that has given up every capability, and returns
// what work returned (kChildFailed when the child did not finish).
std::string InChildAsUser(const std::function<std::string()>& work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return kChildFailed;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        int code = 1;
        if (DropAllCapabilities()) {
            const std::string out = work();
            code = ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size()) ? 0 : 1;
        }
        ::_exit(code);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return kChildFailed;
    return out;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

mode_t ModeOf(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

ino_t InodeOf(const fs::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// A scratch folder per test; modes are opened up again before it goes.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tirevo-location-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override
    {
        for (const auto& entry : fs::recursive_directory_iterator(root_))
            ::chmod(entry.path().c_str(), 0700);
        fs::remove_all(root_);
    }
    fs::path root_;
};

enum class Folder { Writable, ReadOnly, CannotExist };
enum class Beside { None, ReadWrite, ReadOnly, WriteOnly };
enum class Chosen { BesideFile, PerUserFile };

struct LocationCase {
    const char* name;
    Folder folder;
    Beside beside;
    bool userFileBefore;
    bool prepare;
    Chosen chosen;
    const char* userFileAfter;  // nullptr: there is none
    bool configFolderAfter;
};

std::ostream& operator<<(std::ostream& out, const LocationCase& c) { return out << c.name; }

class ChooseSettingsFileTest : public ScratchFolder, public ::testing::WithParamInterface<LocationCase> {};

TEST_P(ChooseSettingsFileTest, ChoosesAndPreparesTheFile)
{
    const LocationCase& c = GetParam();
    const fs::path programFolder = root_ / (c.folder == Folder::CannotExist ? "plain-file/bin" : "bin");
    const fs::path program = programFolder / "tirevo";
    const fs::path beside = programFolder / "tirevo.INI";
    const fs::path config = root_ / "config";
    const fs::path userFile = config / "tirevo" / "tirevo.INI";

    if (c.folder == Folder::CannotExist) {
        WriteAll(root_ / "plain-file", "not a folder");
    } else {
        fs::create_directories(programFolder);
        if (c.beside != Beside::None)
            WriteAll(beside, kSharedDefaults);
        const mode_t fileMode = c.beside == Beside::ReadWrite ? 0644
            : c.beside == Beside::ReadOnly                    ? 0444
                                                              : 0200;
        if (c.beside != Beside::None) {
            ASSERT_EQ(::chmod(beside.c_str(), fileMode), 0);
        }
        ASSERT_EQ(::chmod(programFolder.c_str(), c.folder == Folder::Writable ? 0755 : 0555), 0);
    }
    if (c.userFileBefore) {
        fs::create_directories(userFile.parent_path());
        WriteAll(userFile, kUserSettings);
    }

    const std::string result = InChildAsUser([&] {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        const SettingsLocation location = ChooseSettingsFile(program.string(), c.prepare);
        return location.path + (location.perUser ? " per-user" : " beside");
    });

    const std::string expected =
        c.chosen == Chosen::BesideFile ? beside.string() + " beside" : userFile.string() + " per-user";
    EXPECT_EQ(result, expected);
    if (c.userFileAfter) {
        EXPECT_EQ(ReadAll(userFile), c.userFileAfter);
        // The user's copy of shared defaults is the user's to save, whatever
        // the mode of the file it came from.
        EXPECT_TRUE(ModeOf(userFile) & S_IWUSR);
    } else {
        EXPECT_FALSE(fs::exists(userFile));
    }
    EXPECT_EQ(fs::exists(config), c.configFolderAfter);
    if (c.configFolderAfter && !c.userFileBefore) {
        EXPECT_EQ(ModeOf(config / "tirevo"), 0700u);
    }
    if (c.beside != Beside::None && c.folder != Folder::CannotExist) {
        ::chmod(beside.c_str(), 0600);
        EXPECT_EQ(ReadAll(beside), kSharedDefaults);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Branches, ChooseSettingsFileTest,
    ::testing::Values(
        // name, folder, beside, user file before, prepare, chosen, user file after, config folder after
        LocationCase{"PortableNewFile", Folder::Writable, Beside::None, false, true, Chosen::BesideFile,
                     nullptr, false},
        LocationCase{"PortableFile", Folder::Writable, Beside::ReadWrite, false, true, Chosen::BesideFile,
                     nullptr, false},
        LocationCase{"PortableFileWinsOverUserFile", Folder::Writable, Beside::ReadWrite, true, true,
                     Chosen::BesideFile, kUserSettings, true},
        LocationCase{"WritableFileInReadOnlyFolder", Folder::ReadOnly, Beside::ReadWrite, false, true,
                     Chosen::BesideFile, nullptr, false},
        LocationCase{"InstalledWithoutDefaults", Folder::ReadOnly, Beside::None, false, true,
                     Chosen::PerUserFile, nullptr, true},
        LocationCase{"SharedDefaultsSeedTheUserFile", Folder::ReadOnly, Beside::ReadOnly, false, true,
                     Chosen::PerUserFile, kSharedDefaults, true},
        LocationCase{"UserFileIsKept", Folder::ReadOnly, Beside::ReadOnly, true, true, Chosen::PerUserFile,
                     kUserSettings, true},
        LocationCase{"ReadOnlyFileInWritableFolder", Folder::Writable, Beside::ReadOnly, false, true,
                     Chosen::PerUserFile, kSharedDefaults, true},
        LocationCase{"UnreadableFileSeedsNothing", Folder::ReadOnly, Beside::WriteOnly, false, true,
                     Chosen::PerUserFile, nullptr, true},
        LocationCase{"FolderThatCannotExist", Folder::CannotExist, Beside::None, false, true,
                     Chosen::PerUserFile, nullptr, true},
        LocationCase{"ReaderTakesSharedDefaults", Folder::ReadOnly, Beside::ReadOnly, false, false,
                     Chosen::BesideFile, nullptr, false},
        LocationCase{"ReaderTakesUserFile", Folder::ReadOnly, Beside::ReadOnly, true, false,
                     Chosen::PerUserFile, kUserSettings, true},
        LocationCase{"ReaderWithNothingYet", Folder::ReadOnly, Beside::None, false, false,
                     Chosen::PerUserFile, nullptr, false},
        LocationCase{"ReaderOfPortableCopy", Folder::Writable, Beside::ReadWrite, true, false,
                     Chosen::BesideFile, kUserSettings, true}),
    [](const ::testing::TestParamInfo<LocationCase>& info) { return std::string(info.param.name); });

// An installed copy: never beside the program, even where the program's
// folder can be written (root running /usr/bin/tirevo); the per-user file is
// seeded from the first readable tirevo/tirevo.INI of $XDG_CONFIG_DIRS.
enum class Shared { None, First, Second, FirstUnreadable };

struct InstalledCase {
    const char* name;
    bool besideFile;  // a writable tirevo.INI beside the program already
    Shared shared;
    bool userFileBefore;
    bool prepare;
    Chosen chosen;              // BesideFile here means the shared defaults
    const char* userFileAfter;  // nullptr: there is none
};

std::ostream& operator<<(std::ostream& out, const InstalledCase& c) { return out << c.name; }

class InstalledSettingsFileTest : public ScratchFolder,
                                  public ::testing::WithParamInterface<InstalledCase> {};

constexpr const char* kSecondDefaults = "[System]\nSeparator=,\n";

TEST_P(InstalledSettingsFileTest, NeverBesideTheProgram)
{
    const InstalledCase& c = GetParam();
    const fs::path programFolder = root_ / "bin";
    const fs::path program = programFolder / "tirevo";
    const fs::path config = root_ / "config";
    const fs::path userFile = config / "tirevo" / "tirevo.INI";
    const fs::path first = root_ / "site" / "tirevo" / "tirevo.INI";
    const fs::path second = root_ / "xdg" / "tirevo" / "tirevo.INI";
    fs::create_directories(programFolder);
    fs::create_directories(first.parent_path());
    fs::create_directories(second.parent_path());
    if (c.besideFile)
        WriteAll(programFolder / "tirevo.INI", kUserSettings);
    if (c.shared == Shared::First || c.shared == Shared::FirstUnreadable)
        WriteAll(first, kSharedDefaults);
    if (c.shared != Shared::None && c.shared != Shared::First)
        WriteAll(second, kSecondDefaults);
    if (c.shared == Shared::FirstUnreadable) {
        ASSERT_EQ(::chmod(first.c_str(), 0200), 0);
    }
    if (c.userFileBefore) {
        fs::create_directories(userFile.parent_path());
        WriteAll(userFile, kUserSettings);
    }

    // This user can write the program's folder, as root can write /usr/bin.
    const std::string result = InChildAsUser([&] {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        // A relative entry is skipped; an empty one as well.
        const std::string dirs = "relative::" + (root_ / "site").string() + ":" + (root_ / "xdg").string();
        ::setenv("XDG_CONFIG_DIRS", dirs.c_str(), 1);
        const SettingsLocation location =
            ChooseSettingsFile(program.string(), c.prepare, SettingsRule::PerUser);
        return location.path + (location.perUser ? " per-user" : " shared");
    });

    const fs::path shared = c.shared == Shared::First ? first : second;
    EXPECT_EQ(result,
              c.chosen == Chosen::BesideFile ? shared.string() + " shared" : userFile.string() + " per-user");
    if (c.userFileAfter) {
        EXPECT_EQ(ReadAll(userFile), c.userFileAfter);
    } else {
        EXPECT_FALSE(fs::exists(userFile));
    }
    // Nothing new beside the program, and what was there is untouched.
    EXPECT_EQ(std::distance(fs::directory_iterator(programFolder), fs::directory_iterator()),
              c.besideFile ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Branches, InstalledSettingsFileTest,
    ::testing::Values(
        // name, beside file, shared, user file before, prepare, chosen, user file after
        InstalledCase{"WritableFolderIsNotUsed", false, Shared::None, false, true, Chosen::PerUserFile,
                      nullptr},
        InstalledCase{"FileBesideIsIgnored", true, Shared::None, false, true, Chosen::PerUserFile, nullptr},
        InstalledCase{"FirstSharedSeeds", true, Shared::First, false, true, Chosen::PerUserFile,
                      kSharedDefaults},
        InstalledCase{"UnreadableSharedIsSkipped", false, Shared::FirstUnreadable, false, true,
                      Chosen::PerUserFile, kSecondDefaults},
        InstalledCase{"UserFileIsKept", false, Shared::First, true, true, Chosen::PerUserFile, kUserSettings},
        InstalledCase{"ReaderTakesSharedDefaults", true, Shared::Second, false, false, Chosen::BesideFile,
                      nullptr},
        InstalledCase{"ReaderTakesUserFile", false, Shared::First, true, false, Chosen::PerUserFile,
                      kUserSettings},
        InstalledCase{"ReaderWithNothing", true, Shared::None, false, false, Chosen::PerUserFile, nullptr}),
    [](const ::testing::TestParamInfo<InstalledCase>& info) { return std::string(info.param.name); });

// The per-user file's folder follows the XDG rule; a relative setting is no
// setting at all.
struct ConfigHomeCase {
    const char* name;
    const char* xdgConfigHome;  // nullptr: unset
    const char* home;           // nullptr: unset
    const char* expected;       // nullptr: the account's home folder + "/.config/tirevo/tirevo.INI"
};

std::ostream& operator<<(std::ostream& out, const ConfigHomeCase& c) { return out << c.name; }

class PerUserSettingsFileTest : public ::testing::TestWithParam<ConfigHomeCase> {};

TEST_P(PerUserSettingsFileTest, FollowsTheEnvironment)
{
    const ConfigHomeCase& c = GetParam();
    const std::string result = InChildAsUser([&] {
        auto set = [](const char* name, const char* value) {
            value ? ::setenv(name, value, 1) : ::unsetenv(name);
        };
        set("XDG_CONFIG_HOME", c.xdgConfigHome);
        set("HOME", c.home);
        return PerUserSettingsFile();
    });
    if (c.expected) {
        EXPECT_EQ(result, c.expected);
    } else {
        const passwd* account = ::getpwuid(::geteuid());
        ASSERT_NE(account, nullptr);
        EXPECT_EQ(result, std::string(account->pw_dir) + "/.config/tirevo/tirevo.INI");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Environment, PerUserSettingsFileTest,
    ::testing::Values(ConfigHomeCase{"XdgConfigHome", "/x/conf", "/home/u", "/x/conf/tirevo/tirevo.INI"},
                      ConfigHomeCase{"XdgUnset", nullptr, "/home/u", "/home/u/.config/tirevo/tirevo.INI"},
                      ConfigHomeCase{"XdgEmpty", "", "/home/u", "/home/u/.config/tirevo/tirevo.INI"},
                      ConfigHomeCase{"XdgRelative", "conf", "/home/u", "/home/u/.config/tirevo/tirevo.INI"},
                      ConfigHomeCase{"HomeRelative", nullptr, "u", nullptr},
                      ConfigHomeCase{"HomeUnset", nullptr, nullptr, nullptr}),
    [](const ::testing::TestParamInfo<ConfigHomeCase>& info) { return std::string(info.param.name); });

// Saving the position into a file whose folder cannot be written: in place
// when the file itself can be, refused (and the file untouched) when not.
struct SaveCase {
    const char* name;
    mode_t folderMode;
    mode_t fileMode;
    bool saved;
    bool sameFile;  // rewritten in place rather than replaced
};

std::ostream& operator<<(std::ostream& out, const SaveCase& c) { return out << c.name; }

class SaveWithoutFolderTest : public ScratchFolder, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveWithoutFolderTest, WritesInPlaceOrRefuses)
{
    const SaveCase& c = GetParam();
    const fs::path folder = root_ / "bin";
    const fs::path ini = folder / "tirevo.INI";
    fs::create_directories(folder);
    const std::string before =
        "; lab defaults\r\n[Window]\r\nMFTop=1\r\nMFLeft=2\r\n[System]\r\nSeparator=;\r\n";
    WriteAll(ini, before);
    ASSERT_EQ(::chmod(ini.c_str(), c.fileMode), 0);
    ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
    const ino_t inode = InodeOf(ini);

    const std::string result = InChildAsUser([&] {
        const auto error = SaveWindowPosition(ini.string(), 300, -40);
        return error ? *error : std::string("saved");
    });

    ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(ini.c_str(), 0600), 0);
    if (c.saved) {
        EXPECT_EQ(result, "saved");
        EXPECT_EQ(ReadAll(ini),
                  "; lab defaults\r\n[Window]\r\nMFTop=300\r\nMFLeft=-40\r\n[System]\r\nSeparator=;\r\n");
        EXPECT_EQ(InodeOf(ini) == inode, c.sameFile);
    } else {
        EXPECT_EQ(result, "Unable to write to " + ini.string());
        EXPECT_EQ(ReadAll(ini), before);
    }
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SaveWithoutFolderTest,
    ::testing::Values(SaveCase{"WritableFolderReplacesTheFile", 0755, 0644, true, false},
                      SaveCase{"ReadOnlyFolderWritesInPlace", 0555, 0644, true, true},
                      SaveCase{"ReadOnlyFolderAndFileRefuse", 0555, 0444, false, false},
                      SaveCase{"WritableFolderReadOnlyFileRefuses", 0755, 0444, false, false}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

}  // namespace
