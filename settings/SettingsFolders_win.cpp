// Windows: the file beside the .exe for a portable copy, else
// %APPDATA%\tirevo\tirevo.INI (roaming with the user's profile); a lab's
// shared defaults in %ProgramData%\tirevo\tirevo.INI; records beside a
// portable copy, else in %LOCALAPPDATA%\tirevo (they stay on this machine).
#include "SettingsFolders.h"
#include "SettingsLocation.h"

#include "WholeFile.h"
#include "WideText.h"

#include <shlobj.h>
#include <windows.h>

namespace tirevo {

namespace {

constexpr const char* kFolderName = "tirevo";
constexpr const char* kFileName = "tirevo.INI";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "C:\..." or "\\server\share\...": the only forms a folder from the
// environment is taken in.
bool IsAbsolute(const std::string& path)
{
    return (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) ||
        (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]));
}

// Opened, not changed: what the file system and its access lists really
// allow this process, which attribute bits alone do not tell.
bool CanOpen(const std::string& path, DWORD access)
{
    HANDLE file =
        CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// Whether a new file can be made in the folder: a probe file that the system
// removes again when it is closed.
bool CanCreateIn(const std::string& folder)
{
    const std::string probe = folder + "\\tirevo-" + std::to_string(GetCurrentProcessId()) + ".probe";
    HANDLE file = CreateFileW(Wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// The folder the environment variable names when it is an absolute path,
// else the system's known folder of that kind.
std::string AppDataFolder(const wchar_t* variable, REFKNOWNFOLDERID known)
{
    const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
    if (size > 1) {
        std::wstring value(size, L'\0');
        value.resize(GetEnvironmentVariableW(variable, value.data(), size));
        const std::string folder = Utf8(value);
        if (IsAbsolute(folder))
            return folder;
    }
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(known, 0, nullptr, &path)))
        folder = Utf8(path);
    CoTaskMemFree(path);
    return folder;
}

std::string RoamingAppData() { return AppDataFolder(L"APPDATA", FOLDERID_RoamingAppData); }

}  // namespace

namespace settingsfolders {

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos)
        return ".";
    return path.substr(0, slash);
}

bool Exists(const std::string& path)
{
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanRead(const std::string& path) { return CanOpen(path, GENERIC_READ); }

bool CanKeepBeside(const std::string& iniPath)
{
    const DWORD attributes = GetFileAttributesW(Wide(iniPath).c_str());
    // A read-only file is not to be saved over, whoever could open it.
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return !(attributes & FILE_ATTRIBUTE_READONLY) && CanOpen(iniPath, GENERIC_READ | GENERIC_WRITE);
    const DWORD error = GetLastError();
    return (error == ERROR_FILE_NOT_FOUND) && CanCreateIn(FolderOf(iniPath));
}

bool MakeFolders(const std::string& folder)
{
    // From the first separator after the drive or share; those exist or not.
    for (std::size_t end = folder.find_first_of("\\/", 3);; end = folder.find_first_of("\\/", end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!CreateDirectoryW(Wide(part).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        if (end == std::string::npos)
            return true;
    }
}

void CopyIntoNewFile(const std::string& source, const std::string& target)
{
    std::string bytes;
    if (ReadWholeFile(source, bytes) != WholeFileRead::Read)
        return;
    HANDLE out = CreateFileW(Wide(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    const bool ok = WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    if (!CloseHandle(out) || !ok)
        DeleteFileW(Wide(target).c_str());
}

std::string PerUserRecordsFolder()
{
    const std::string local = AppDataFolder(L"LOCALAPPDATA", FOLDERID_LocalAppData);
    if (local.empty())
        return {};
    return local + "\\" + kFolderName;
}

}  // namespace settingsfolders

std::string PerUserSettingsFile()
{
    const std::string appData = RoamingAppData();
    if (appData.empty())
        return {};
    return appData + "\\" + kFolderName + "\\" + kFileName;
}

std::string SharedDefaultsFile()
{
    const std::string programData = AppDataFolder(L"ProgramData", FOLDERID_ProgramData);
    if (programData.empty())
        return {};
    const std::string path = programData + "\\" + kFolderName + "\\" + kFileName;
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        !CanOpen(path, GENERIC_READ))
        return {};
    return path;
}

}  // namespace tirevo
