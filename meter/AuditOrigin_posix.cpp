// The user's name on POSIX systems.
#include "AuditOrigin.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace tirevo {

namespace {

constexpr std::size_t kPasswdBuffer = 16384;

}  // namespace

std::string LoginName()
{
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(kPasswdBuffer);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && found->pw_name[0] != '\0')
        return found->pw_name;
    for (const char* name : {"LOGNAME", "USER"})
        if (const char* value = std::getenv(name); value != nullptr && value[0] != '\0')
            return value;
    return std::to_string(::getuid());
}

}  // namespace tirevo
