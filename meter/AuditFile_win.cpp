// The trail's system calls on Windows: LockFileEx on one byte far past any
// line, so that the lock orders the writers without barring a reader from
// the lines themselves.
#include "AuditFile.h"

#include "WideText.h"
#include "WindowsErrors.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

namespace tirevo {

namespace {

constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr std::size_t kLargestRead = 1u << 30;  // one ReadFile takes a DWORD

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

OVERLAPPED At(int64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

OVERLAPPED LockByte() { return At(static_cast<int64_t>(kLockOffsetHigh) << 32); }

}  // namespace

AuditFile::~AuditFile() { Close(); }

AuditFile::AuditFile(AuditFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kClosed; }

AuditFile& AuditFile::operator=(AuditFile&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = kClosed;
    }
    return *this;
}

void AuditFile::Close()
{
    if (handle_ == kClosed)
        return;
    OVERLAPPED at = LockByte();
    UnlockFileEx(Handle(handle_), 0, 1, 0, &at);
    CloseHandle(Handle(handle_));
    handle_ = kClosed;
}

int AuditFile::Open(const std::string& path, Mode mode)
{
    Close();
    const bool append = mode == Mode::Append;
    const HANDLE file = CreateFileW(Wide(path).c_str(), append ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    append ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ErrorNumberOf(GetLastError());
    handle_ = reinterpret_cast<intptr_t>(file);
    if (GetFileType(file) != FILE_TYPE_DISK) {
        Close();
        return EINVAL;
    }
    OVERLAPPED at = LockByte();
    if (!LockFileEx(file, append ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &at)) {
        const int error = ErrorNumberOf(GetLastError());
        CloseHandle(file);
        handle_ = kClosed;
        return error;
    }
    return 0;
}

int64_t AuditFile::Size() const
{
    LARGE_INTEGER length{};
    if (handle_ == kClosed || !GetFileSizeEx(Handle(handle_), &length))
        return -1;
    return length.QuadPart;
}

bool AuditFile::ReadAt(int64_t offset, std::size_t count, std::string& bytes) const
{
    bytes.assign(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        OVERLAPPED at = At(offset + static_cast<int64_t>(got));
        DWORD n = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(count - got, kLargestRead));
        if (!ReadFile(Handle(handle_), bytes.data() + got, part, &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return true;
}

int AuditFile::Append(const std::string& bytes)
{
    const int64_t size = Size();
    if (size < 0)
        return ErrorNumberOf(GetLastError());
    const HANDLE file = Handle(handle_);
    OVERLAPPED at = At(size);
    DWORD n = 0;
    int error = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, &at))
        error = ErrorNumberOf(GetLastError());
    else if (n != bytes.size())
        error = ENOSPC;
    else if (!FlushFileBuffers(file))
        error = ErrorNumberOf(GetLastError());
    if (error != 0) {
        // Part of a line would be a line no reader can take; its bytes go.
        LARGE_INTEGER end;
        end.QuadPart = size;
        if (SetFilePointerEx(file, end, nullptr, FILE_BEGIN))
            SetEndOfFile(file);
    }
    return error;
}

}  // namespace tirevo
