// Linux and other POSIX systems: the XDG base directories (configuration in
// $XDG_CONFIG_HOME, shared defaults in $XDG_CONFIG_DIRS, records in
// $XDG_DATA_HOME), the home folder from the account when HOME is unset.
#include "SettingsFolders.h"
#include "SettingsLocation.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tirevo {

namespace {

constexpr const char* kFolderName = "tirevo";
constexpr const char* kFileName = "tirevo.INI";
// Where the shared configuration lives when XDG_CONFIG_DIRS does not say.
constexpr const char* kDefaultConfigDirs = "/etc/xdg";
// The configuration folders are the user's own business: nobody else reads them.
constexpr mode_t kFolderMode = 0700;
// For the account entry when the system does not say how much it needs.
constexpr std::size_t kAccountBufferSize = 16384;

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// Access as this process really has it: its effective (and file system) ids
// and capabilities, not the real user's that plain access() asks about.
bool CanAccess(const std::string& path, int mode)
{
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home))
        return home;
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : kAccountBufferSize);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        IsAbsolute(found->pw_dir)) {
        return found->pw_dir;
    }
    return {};
}

}  // namespace

namespace settingsfolders {

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool CanRead(const std::string& path) { return CanAccess(path, R_OK); }

bool CanKeepBeside(const std::string& iniPath)
{
    struct stat info {};
    if (::stat(iniPath.c_str(), &info) == 0)
        return CanAccess(iniPath, R_OK | W_OK);
    return errno == ENOENT && CanAccess(FolderOf(iniPath), W_OK | X_OK);
}

bool MakeFolders(const std::string& folder)
{
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (::mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST)
            return false;
        if (end == std::string::npos)
            return true;
    }
}

// The copy gets the user's own default mode rather than the source's (a
// read-only shared file must not give a per-user copy that cannot be saved).
void CopyIntoNewFile(const std::string& source, const std::string& target)
{
    std::ifstream in(source, std::ios::binary);
    if (!in)
        return;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return;
    std::FILE* out = std::fopen(target.c_str(), "wbx");
    if (!out)
        return;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (std::fclose(out) != 0 || !written)
        std::remove(target.c_str());
}

std::string PerUserRecordsFolder()
{
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (IsAbsolute(dataHome))
        return std::string(dataHome) + "/" + kFolderName;
    const std::string home = HomeFolder();
    if (home.empty())
        return {};
    return home + "/.local/share/" + kFolderName;
}

}  // namespace settingsfolders

std::string PerUserSettingsFile()
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (IsAbsolute(configHome)) {
        folder = configHome;
    } else {
        const std::string home = HomeFolder();
        if (home.empty())
            return {};
        folder = home + "/.config";
    }
    return folder + "/" + kFolderName + "/" + kFileName;
}

std::string SharedDefaultsFile()
{
    const char* env = std::getenv("XDG_CONFIG_DIRS");
    std::string dirs = env ? env : "";
    // Relative entries are no configuration folders at all; a list with
    // none that counts is as good as no list.
    std::vector<std::string> folders;
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string folder = dirs.substr(start, end - start);
        if (IsAbsolute(folder.c_str()))
            folders.push_back(folder);
        start = end + 1;
    }
    if (folders.empty())
        folders.push_back(kDefaultConfigDirs);
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + kFolderName + "/" + kFileName;
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && CanAccess(path, R_OK))
            return path;
    }
    return {};
}

}  // namespace tirevo
