#include "SpoolFolder.h"

#include <cstdlib>

namespace tirevo {

std::string InstalledSpoolFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    return StateSpoolFolder(state ? state : "", home ? home : "");
}

}  // namespace tirevo
