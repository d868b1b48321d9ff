#include "FirstLine.h"

#include "WideText.h"
#include "WindowsErrors.h"

#include <cstring>
#include <windows.h>

namespace tirevo {

namespace {

std::string SystemReason() { return std::strerror(ErrorNumberOf(GetLastError())); }

}  // namespace

std::optional<std::string> ReadFirstLine(const std::string& path, std::string& line)
{
    // The name is UTF-8, as everything on the command line; a folder is
    // refused here already (access denied), as reading one fails on POSIX.
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SystemReason();
    std::string text;
    char buffer[4096];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            std::string reason = SystemReason();
            CloseHandle(file);
            return reason;
        }
        if (n == 0)
            break;
        text.append(buffer, n);
        if (text.find('\n') != std::string::npos)
            break;
    }
    CloseHandle(file);
    line = text.substr(0, text.find('\n'));
    return std::nullopt;
}

}  // namespace tirevo
