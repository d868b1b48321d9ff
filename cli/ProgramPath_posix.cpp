#include "RunSettings.h"

#include <climits>
#include <unistd.h>

namespace tirevo {

std::string OwnProgramPath()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace tirevo
