#include "WholeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tirevo {

WholeFileRead ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? WholeFileRead::Missing : WholeFileRead::Failed;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return WholeFileRead::Failed;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return WholeFileRead::Read;
}

}  // namespace tirevo
