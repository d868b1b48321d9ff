// Windows: the rights on a folder come from its access list, which only an
// attempt answers for sure; a hidden file that the system deletes as it is
// closed makes that attempt.
#include "FolderAccess.h"

#include "WideText.h"

#include <cerrno>
#include <windows.h>

namespace tirevo {

std::optional<int> FolderWriteError(const std::string& folder)
{
    const std::wstring path = Wide(folder);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ENOTDIR;
    const std::wstring probe = path +
        (path.empty() || path.back() == L'\\' || path.back() == L'/' ? L"" : L"\\") + L".tirevo-" +
        std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const HANDLE file =
        CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
            return EACCES;
        if (error == ERROR_DISK_FULL)
            return ENOSPC;
        // Taken already (a probe of a run before) says nothing against it.
        return error == ERROR_FILE_EXISTS ? std::nullopt : std::optional<int>(EIO);
    }
    CloseHandle(file);
    return std::nullopt;
}

}  // namespace tirevo
