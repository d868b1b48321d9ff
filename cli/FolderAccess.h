// Whether a folder can take a new file, asked before the meter is greeted so
// that a run that could not log fails at once.
#pragma once

#include <optional>
#include <string>

namespace tirevo {

// Nothing when the folder exists and this user may create files in it;
// otherwise the system error number (ENOENT, ENOTDIR, EACCES, ...).
std::optional<int> FolderWriteError(const std::string& folder);

}  // namespace tirevo
