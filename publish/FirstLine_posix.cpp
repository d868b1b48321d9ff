#include "FirstLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tirevo {

std::optional<std::string> ReadFirstLine(const std::string& path, std::string& line)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string(std::strerror(errno));
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return std::string(std::strerror(error));
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.find('\n') != std::string::npos)
            break;
    }
    ::close(fd);
    line = text.substr(0, text.find('\n'));
    return std::nullopt;
}

}  // namespace tirevo
