// The file's system calls on Windows. Another program appending to the same
// file (the window and tirevo-cli both record samples) waits for the one
// writing: the file is opened without sharing its writes, and a busy file is
// tried again for a moment.
#include "RecordFile.h"

#include "WideText.h"
#include "WindowsErrors.h"

#include <cerrno>
#include <windows.h>

namespace tirevo {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr int kBusyTries = 50;
constexpr DWORD kBusyPauseMs = 20;

class File {
public:
    explicit File(HANDLE handle) : handle_(handle) {}
    ~File()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    HANDLE Get() const { return handle_; }
    // The close reports what a deferred write-back could not do.
    int Close()
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) ? 0 : ErrorNumberOf(GetLastError());
    }

private:
    HANDLE handle_;
};

HANDLE OpenWaiting(const std::string& path)
{
    const std::wstring name = Wide(path);
    for (int attempt = 0;; ++attempt) {
        const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
            attempt + 1 >= kBusyTries)
            return handle;
        Sleep(kBusyPauseMs);
    }
}

bool ReadAt(HANDLE file, long long offset, char* bytes, DWORD count, DWORD& got)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    got = 0;
    return ReadFile(file, bytes, count, &got, &at) != 0;
}

void CutBack(HANDLE file, long long size)
{
    LARGE_INTEGER end;
    end.QuadPart = size;
    // Nothing more can be done when this fails; the first error is reported.
    if (SetFilePointerEx(file, end, nullptr, FILE_BEGIN))
        SetEndOfFile(file);
}

// Writes all of bytes at the end (size); on failure returns the error, with
// nothing of bytes left past `size`.
int WriteAllOrCut(HANDLE file, long long size, const std::string& bytes)
{
    LARGE_INTEGER end;
    end.QuadPart = size;
    if (!SetFilePointerEx(file, end, nullptr, FILE_BEGIN))
        return ErrorNumberOf(GetLastError());
    std::size_t written = 0;
    while (written < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(file, bytes.data() + written, static_cast<DWORD>(bytes.size() - written), &n,
                       nullptr) ||
            n == 0) {
            const int error = n == 0 && GetLastError() == ERROR_SUCCESS ? EIO : ErrorNumberOf(GetLastError());
            // Half a row would be a line no reader of the file expects.
            if (written > 0)
                CutBack(file, size);
            return error;
        }
        written += n;
    }
    if (!FlushFileBuffers(file)) {
        const int error = ErrorNumberOf(GetLastError());
        CutBack(file, size);
        return error;
    }
    return 0;
}

// The first line of the file (without its line end), read from the start.
std::string FirstLine(HANDLE file, std::size_t longest)
{
    std::string text(longest + 2, '\0');
    DWORD got = 0;
    ReadAt(file, 0, text.data(), static_cast<DWORD>(text.size()), got);
    text.resize(got);
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos)
        text.resize(end);
    return text;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

bool MakeFolderPath(const std::string& folder)
{
    if (folder.empty())
        return true;
    // A drive ("C:") or a share ("\\server\share") is there or not; only the
    // folders after it are made.
    std::size_t from = 1;
    if (folder.size() >= 2 && folder[1] == ':')
        from = 3;
    else if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1]))
        from = folder.find_first_of("/\\", folder.find_first_of("/\\", 2) + 1);
    for (std::size_t end = folder.find_first_of("/\\", std::min(from, folder.size()));;
         end = folder.find_first_of("/\\", end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!part.empty() && !IsSeparator(part.back()) && part.size() >= from &&
            !CreateDirectoryW(Wide(part).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = ErrorNumberOf(GetLastError());
            return false;
        }
        if (end == std::string::npos)
            return true;
    }
}

RecordResult RecordFile::Append(const std::vector<std::string>& fields) const
{
    if (createFolder_ && !MakeFolderPath(folder_))
        return {RecordStatus::Failed, errno};
    File file(OpenWaiting(path_));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return {RecordStatus::Failed, ErrorNumberOf(GetLastError())};
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return {RecordStatus::Failed, EINVAL};
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file.Get(), &length))
        return {RecordStatus::Failed, ErrorNumberOf(GetLastError())};
    const long long size = length.QuadPart;

    std::string bytes;
    if (size == 0) {
        bytes = header_ + kLineEnd;
    } else {
        if (FirstLine(file.Get(), header_.size()) != header_)
            return {RecordStatus::ForeignHeader, 0};
        // A file edited by hand may have lost its last line end; the row
        // must not run on from the last line.
        char last = '\n';
        DWORD got = 0;
        if (ReadAt(file.Get(), size - 1, &last, 1, got) && got == 1 && last != '\n')
            bytes = kLineEnd;
    }
    bytes += RowText(fields);
    if (const int error = WriteAllOrCut(file.Get(), size, bytes))
        return {RecordStatus::Failed, error};
    if (const int error = file.Close())
        return {RecordStatus::Failed, error};
    return {};
}

}  // namespace tirevo
