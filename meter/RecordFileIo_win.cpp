// The file's system calls on Windows. Another program appending to the same
// file (the window and tirevo-cli both record samples) waits for the one
// writing: see RecordLock.
#include "RecordFile.h"

#include "WideText.h"
#include "WindowsErrors.h"

#include <cerrno>
#include <windows.h>

namespace tirevo {

namespace {

constexpr const char* kLineEnd = "\r\n";

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

// The first `count` bytes of the file (fewer when it is shorter).
std::string FirstBytes(HANDLE file, std::size_t count)
{
    std::string text(count, '\0');
    DWORD got = 0;
    ReadAt(file, 0, text.data(), static_cast<DWORD>(text.size()), got);
    text.resize(got);
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

RecordResult RecordFile::AppendLocked(const RecordLock& lock, const std::vector<std::string>& fields) const
{
    const HANDLE file = lock.File();
    if (GetFileType(file) != FILE_TYPE_DISK)
        return {RecordStatus::Failed, EINVAL};
    // Looked at only under the lock: another writer may have written the
    // header, or a row, since the file was opened.
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file, &length))
        return {RecordStatus::Failed, ErrorNumberOf(GetLastError())};
    const long long size = length.QuadPart;

    std::string bytes;
    if (size == 0) {
        bytes = header_ + kLineEnd;
    } else {
        if (!StartsWithHeader(FirstBytes(file, HeaderBytes())))
            return {RecordStatus::ForeignHeader, 0};
        // A file edited by hand may have lost its last line end; the row
        // must not run on from the last line.
        char last = '\n';
        DWORD got = 0;
        if (ReadAt(file, size - 1, &last, 1, got) && got == 1 && last != '\n')
            bytes = kLineEnd;
    }
    bytes += RowText(fields);
    if (const int error = WriteAllOrCut(file, size, bytes))
        return {RecordStatus::Failed, error};
    return {RecordStatus::Written, 0, size};
}

int RecordFile::TakeBackLocked(const RecordLock& lock, const RecordResult& result)
{
    LARGE_INTEGER end;
    end.QuadPart = result.sizeBefore;
    if (!SetFilePointerEx(lock.File(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(lock.File()) ||
        !FlushFileBuffers(lock.File()))
        return ErrorNumberOf(GetLastError());
    return 0;
}

}  // namespace tirevo
