// The trail's system calls on POSIX systems: flock, which every process of
// the folder takes on audit.jsonl itself.
#include "AuditFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tirevo {

namespace {

constexpr mode_t kFileMode = 0666;  // narrowed by the umask

int Fd(intptr_t handle) { return static_cast<int>(handle); }

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
    if (handle_ != kClosed)
        ::close(Fd(handle_));  // lets the flock go with it
    handle_ = kClosed;
}

int AuditFile::Open(const std::string& path, Mode mode)
{
    Close();
    const int flags = mode == Mode::Append ? O_RDWR | O_APPEND | O_CREAT : O_RDONLY;
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, kFileMode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    handle_ = fd;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        Close();
        return error;
    }
    if (!S_ISREG(info.st_mode)) {
        Close();
        return EINVAL;
    }
    int locked;
    do {
        locked = ::flock(fd, mode == Mode::Append ? LOCK_EX : LOCK_SH);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        Close();
        return error;
    }
    return 0;
}

int64_t AuditFile::Size() const
{
    struct stat info {};
    if (handle_ == kClosed || ::fstat(Fd(handle_), &info) != 0)
        return -1;
    return info.st_size;
}

bool AuditFile::ReadAt(int64_t offset, std::size_t count, std::string& bytes) const
{
    bytes.assign(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n =
            ::pread(Fd(handle_), bytes.data() + got, count - got, static_cast<off_t>(offset) + got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
}

int AuditFile::Append(const std::string& bytes)
{
    const int64_t size = Size();
    if (size < 0)
        return errno != 0 ? errno : EBADF;
    const int fd = Fd(handle_);
    ssize_t n;
    do {
        n = ::write(fd, bytes.data(), bytes.size());
    } while (n < 0 && errno == EINTR);
    int error = 0;
    if (n < 0)
        error = errno;
    else if (static_cast<std::size_t>(n) != bytes.size())
        error = ENOSPC;  // a short write: the disk filled up under it
    else if (::fdatasync(fd) != 0 && errno != EINVAL)
        error = errno;
    // Part of a line would be a line no reader can take; its bytes go.
    if (error != 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
        // Nothing more can be done; the first error is reported.
    }
    return error;
}

}  // namespace tirevo
