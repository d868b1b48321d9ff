#include "LogFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tirevo {

LogFile::~LogFile()
{
    Close();
}

int LogFile::CreateNew(const std::string& name)
{
    if (IsOpen())
        return EBUSY;
    // O_EXCL also refuses a dangling symbolic link of that name, so the
    // program never writes through a link someone left in the folder.
    int fd;
    do {
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    fd_ = fd;
    return 0;
}

int LogFile::Write(std::string_view bytes)
{
    if (!IsOpen())
        return EBADF;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;  // no progress and no reason given: do not spin
        // A short write means the next one reports why (a size limit or a
        // full disk); it can also succeed when space came free meanwhile.
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

int LogFile::Close()
{
    if (!IsOpen())
        return 0;
    const int fd = fd_;
    fd_ = -1;
    // Not retried on EINTR: Linux has released the descriptor by then, and a
    // retry could close one another part of the program just opened. Every
    // byte was handed over by write() already, so nothing is lost to it.
    if (::close(fd) == 0 || errno == EINTR)
        return 0;
    return errno;
}

}  // namespace tirevo
