// Windows: WriteFile on the handle under the descriptor, so that no C runtime
// buffer or text-mode translation stands between the program and the system
// ("\r\n" stays two bytes).
#include "FdOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <io.h>
#include <windows.h>

namespace tirevo {

namespace {

HANDLE Handle(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

int WriteAll(int fd, std::string_view bytes)
{
    const HANDLE handle = Handle(fd);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return EBADF;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(handle, bytes.data() + written, chunk, &n, nullptr)) {
            const DWORD error = GetLastError();
            // A reader that has gone away (read | more).
            return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ? EPIPE : EIO;
        }
        if (n == 0)
            return EIO;
        written += n;
    }
    return 0;
}

bool IsTerminal(int fd)
{
    const HANDLE handle = Handle(fd);
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode) == 0)
        return false;
    // The status line redraws itself with terminal codes; a console takes
    // them only with virtual terminal processing on (Windows 10 and later),
    // which is off by default for a program's own output.
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0)
        SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
}

int TerminalColumns(int fd)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(Handle(fd), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

std::string StdoutErrorText(int error)
{
    return std::string("cannot write to standard output: ") + std::strerror(error);
}

}  // namespace tirevo
