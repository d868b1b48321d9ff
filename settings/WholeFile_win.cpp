#include "WholeFile.h"

#include "WideText.h"

#include <windows.h>

namespace tirevo {

WholeFileRead ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    // Others may write or replace the file meanwhile (a save renames over it).
    HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? WholeFileRead::Missing
                                                                              : WholeFileRead::Failed;
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            CloseHandle(file);
            return WholeFileRead::Failed;
        }
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    CloseHandle(file);
    return WholeFileRead::Read;
}

}  // namespace tirevo
