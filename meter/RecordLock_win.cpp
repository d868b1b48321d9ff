// The lock on Windows: LockFileEx on one byte far past the end of the file.
// Windows locks are binding on every handle, reads included; a byte no row
// ever reaches keeps readers of the file (and its own writes) out of it.
#include "RecordLock.h"

#include "WideText.h"
#include "WindowsErrors.h"

#include <windows.h>

namespace tirevo {

namespace {

// 2^63 - 2^32: no record file comes near it, and the byte after it still
// lies within a signed 64-bit offset, which file servers may hold offsets in.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0;
constexpr DWORD kLockBytes = 1;
// A program that opened the file without sharing its writes (an editor, a
// spreadsheet) is waited for a moment.
constexpr int kBusyTries = 50;
constexpr DWORD kBusyPauseMs = 20;

HANDLE OpenWaiting(const std::string& path)
{
    const std::wstring name = Wide(path);
    for (int attempt = 0;; ++attempt) {
        const HANDLE handle =
            CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
            attempt + 1 >= kBusyTries)
            return handle;
        Sleep(kBusyPauseMs);
    }
}

OVERLAPPED LockRange()
{
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    return at;
}

// A share that keeps no locks still takes the row, as before writers locked.
bool LocksUnsupported(DWORD error) { return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION; }

}  // namespace

RecordLock::RecordLock(const std::string& path) : file_(OpenWaiting(path))
{
    if (file_ == INVALID_HANDLE_VALUE) {
        error_ = ErrorNumberOf(GetLastError());
        return;
    }
    OVERLAPPED at = LockRange();
    // Waits while another writer holds it.
    if (!LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK, 0, kLockBytes, 0, &at)) {
        const DWORD error = GetLastError();
        if (!LocksUnsupported(error)) {
            error_ = ErrorNumberOf(error);
            Release();
        }
    }
}

RecordLock::~RecordLock() { Release(); }

int RecordLock::Release()
{
    if (file_ == INVALID_HANDLE_VALUE)
        return 0;
    const HANDLE handle = file_;
    file_ = INVALID_HANDLE_VALUE;
    OVERLAPPED at = LockRange();
    UnlockFileEx(handle, 0, kLockBytes, 0, &at);
    return CloseHandle(handle) ? 0 : ErrorNumberOf(GetLastError());
}

}  // namespace tirevo
