// The lock on POSIX systems: flock() on the open file.
#include "RecordLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tirevo {

namespace {

constexpr mode_t kFileMode = 0666;  // narrowed by the umask

int OpenRetrying(const std::string& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, kFileMode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// A file system that keeps no locks (some network shares) still takes the
// row, as it did before writers locked: refusing every sample there would
// lose more than the rare collision the lock guards against.
bool LocksUnsupported(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS; }

}  // namespace

RecordLock::RecordLock(const std::string& path) : file_(OpenRetrying(path))
{
    if (file_ < 0) {
        error_ = errno;
        return;
    }
    int result;
    do {
        result = ::flock(file_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && !LocksUnsupported(errno)) {
        error_ = errno;
        Release();
    }
}

RecordLock::~RecordLock() { Release(); }

int RecordLock::Release()
{
    if (file_ < 0)
        return 0;
    const int fd = file_;
    file_ = -1;
    // Let go first: a child started meanwhile shares the open file, and the
    // lock with it, until its exec closes the descriptor.
    ::flock(fd, LOCK_UN);
    // Not retried on EINTR: Linux has released the descriptor by then.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

}  // namespace tirevo
