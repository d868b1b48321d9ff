#include "SpoolFolder.h"

namespace tirevo {

std::string RecordsSpoolFolder(const std::string& recordsFolder)
{
    if (recordsFolder.empty())
        return "spool";
    const char last = recordsFolder.back();
    return recordsFolder + (last == '/' || last == '\\' ? "" : "/") + "spool";
}

std::string StateSpoolFolder(const std::string& xdgStateHome, const std::string& home)
{
    // A relative XDG_STATE_HOME is invalid and is to be ignored.
    if (!xdgStateHome.empty() && xdgStateHome.front() == '/')
        return xdgStateHome + "/tirevo/spool";
    return home + "/.local/state/tirevo/spool";
}

}  // namespace tirevo
