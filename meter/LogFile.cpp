#include "LogFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tirevo {

LogFile::~LogFile() { Close(); }

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
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // n == 0: no progress and no reason given; do not spin.
            const int error = n < 0 ? errno : EIO;
            TakeBack(written);
            return error;
        }
        // A short write means the next one reports why (a size limit or a
        // full disk); it can also succeed when space came free meanwhile.
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

void LogFile::TakeBack(std::size_t written)
{
    // Half a row left by a full disk would be a line no reader of the file
    // expects; the file is cut back to the end of the last whole row.
    if (written == 0)
        return;
    const off_t end = ::lseek(fd_, 0, SEEK_CUR);
    const off_t rowStart = end - static_cast<off_t>(written);
    if (end >= 0 && rowStart >= 0 && ::ftruncate(fd_, rowStart) == 0)
        ::lseek(fd_, rowStart, SEEK_SET);
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
