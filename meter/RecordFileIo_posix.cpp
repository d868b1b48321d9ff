// The file's system calls on POSIX systems.
#include "RecordFile.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tirevo {

namespace {

constexpr mode_t kFolderMode = 0777;  // narrowed by the umask
constexpr const char* kLineEnd = "\r\n";

// Writes all of bytes; on failure returns the error, with nothing of bytes
// left past `size`.
int WriteAllOrCut(int fd, off_t size, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            // Half a row would be a line no reader of the file expects.
            if (written > 0 && ::ftruncate(fd, size) != 0) {
                // Nothing more can be done; the error below is reported.
            }
            return error;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fdatasync(fd) != 0 && errno != EINVAL) {
        const int error = errno;
        if (::ftruncate(fd, size) != 0) {
            // As above.
        }
        return error;
    }
    return 0;
}

// The first `count` bytes of the file (fewer when it is shorter).
std::string FirstBytes(int fd, std::size_t count)
{
    std::string text(count, '\0');
    const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}

}  // namespace

bool MakeFolderPath(const std::string& folder)
{
    if (folder.empty())
        return true;
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST)
            return false;
        if (end == std::string::npos)
            return true;
    }
}

RecordResult RecordFile::AppendLocked(const RecordLock& lock, const std::vector<std::string>& fields) const
{
    const int fd = lock.File();
    // Looked at only under the lock: another writer may have written the
    // header, or a row, since the file was opened.
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {RecordStatus::Failed, errno};
    if (!S_ISREG(info.st_mode))
        return {RecordStatus::Failed, EINVAL};

    std::string bytes;
    if (info.st_size == 0) {
        bytes = header_ + kLineEnd;
    } else {
        if (!StartsWithHeader(FirstBytes(fd, HeaderBytes())))
            return {RecordStatus::ForeignHeader, 0};
        // A file edited by hand may have lost its last line end; the row
        // must not run on from the last line.
        char last = '\n';
        if (::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n')
            bytes = kLineEnd;
    }
    bytes += RowText(fields);
    if (const int error = WriteAllOrCut(fd, info.st_size, bytes))
        return {RecordStatus::Failed, error};
    return {RecordStatus::Written, 0, static_cast<long long>(info.st_size)};
}

int RecordFile::TakeBackLocked(const RecordLock& lock, const RecordResult& result)
{
    if (::ftruncate(lock.File(), static_cast<off_t>(result.sizeBefore)) != 0)
        return errno;
    if (::fdatasync(lock.File()) != 0 && errno != EINVAL)
        return errno;
    return 0;
}

}  // namespace tirevo
