// Windows: the file is created with CREATE_NEW (never over an existing file or
// through a link of that name) and written with WriteFile, which hands the
// bytes to the system at once; readers may open it while it is written.
#include "LogFile.h"

#include "WideText.h"
#include "WindowsErrors.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tirevo {

namespace {

int ErrorNumber(DWORD error) { return ErrorNumberOf(error); }

HANDLE Handle(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

LogFile::~LogFile() { Close(); }

int LogFile::CreateNew(const std::string& name)
{
    if (IsOpen())
        return EBUSY;
    HANDLE file = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ErrorNumber(GetLastError());
    // A descriptor for the handle, so that the class keeps one kind of handle
    // on every system; all writing still goes through the handle.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        DeleteFileW(Wide(name).c_str());
        return EMFILE;
    }
    fd_ = fd;
    return 0;
}

int LogFile::Write(std::string_view bytes)
{
    if (!IsOpen())
        return EBADF;
    std::size_t written = 0;
    while (written < bytes.size()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        if (!WriteFile(Handle(fd_), bytes.data() + written, chunk, &n, nullptr) || n == 0) {
            const int error = n == 0 && GetLastError() == ERROR_SUCCESS ? EIO : ErrorNumber(GetLastError());
            TakeBack(written);
            return error;
        }
        written += n;
    }
    return 0;
}

void LogFile::TakeBack(std::size_t written)
{
    // Half a row left by a full disk would be a line no reader of the file
    // expects; the file is cut back to the end of the last whole row.
    if (written == 0)
        return;
    LARGE_INTEGER back;
    back.QuadPart = -static_cast<LONGLONG>(written);
    if (SetFilePointerEx(Handle(fd_), back, nullptr, FILE_CURRENT))
        SetEndOfFile(Handle(fd_));
}

int LogFile::Close()
{
    if (!IsOpen())
        return 0;
    const int fd = fd_;
    fd_ = -1;
    // Closing the descriptor closes the handle under it.
    return _close(fd) == 0 ? 0 : EIO;
}

}  // namespace tirevo
