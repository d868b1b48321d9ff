// Windows: the C runtime's own calls on the UTF-16 path, so that the reasons
// are the same errno texts as on the other systems (a folder: "Permission
// denied").
#include "FirstLine.h"

#include "WideText.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace tirevo {

std::optional<std::string> ReadFirstLine(const std::string& path, std::string& line)
{
    const int fd = _wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0)
        return std::string(std::strerror(errno));
    std::string text;
    char buffer[4096];
    for (;;) {
        const int n = _read(fd, buffer, sizeof buffer);
        if (n < 0) {
            const int error = errno;
            _close(fd);
            return std::string(std::strerror(error));
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.find('\n') != std::string::npos)
            break;
    }
    _close(fd);
    line = text.substr(0, text.find('\n'));
    return std::nullopt;
}

}  // namespace tirevo
