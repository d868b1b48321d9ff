// The file's system calls on POSIX systems.
#include "RecordFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tirevo {

namespace {

constexpr mode_t kFolderMode = 0777;  // narrowed by the umask
constexpr mode_t kFileMode = 0666;
constexpr const char* kLineEnd = "\r\n";

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    // The close reports what a deferred write-back could not do.
    int Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int fd_;
};

int OpenRetrying(const std::string& path, int flags)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, kFileMode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

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

// The first line of the file (without its line end), read from the start.
std::string FirstLine(int fd, std::size_t longest)
{
    std::string text(longest + 2, '\0');
    const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos)
        text.resize(end);
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

RecordResult RecordFile::Append(const std::vector<std::string>& fields) const
{
    if (createFolder_ && !MakeFolderPath(folder_))
        return {RecordStatus::Failed, errno};
    const int fd = OpenRetrying(path_, O_RDWR | O_APPEND | O_CREAT);
    if (fd < 0)
        return {RecordStatus::Failed, errno};
    Fd file(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {RecordStatus::Failed, errno};
    if (!S_ISREG(info.st_mode))
        return {RecordStatus::Failed, EINVAL};

    std::string bytes;
    if (info.st_size == 0) {
        bytes = header_ + kLineEnd;
    } else {
        if (FirstLine(fd, header_.size()) != header_)
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
    if (const int error = file.Close())
        return {RecordStatus::Failed, error};
    return {};
}

}  // namespace tirevo
