// Where the readings owed to a broker wait on disk between runs: a folder
// that outlives the run and that the next run on the same machine finds.
#pragma once

#include <string>

namespace tirevo {

// A copy run from its build or unpacked folder: beside the records (the
// same records folder measure and calibrate use), in spool/.
std::string RecordsSpoolFolder(const std::string& recordsFolder);

// An installed copy, on Linux: $XDG_STATE_HOME/tirevo/spool when that is an
// absolute path, else ~/.local/state/tirevo/spool (empty arguments: unset).
std::string StateSpoolFolder(const std::string& xdgStateHome, const std::string& home);

// An installed copy's spool folder, from this user's environment: the rule
// above on Linux, %LOCALAPPDATA%\tirevo\spool on Windows.
std::string InstalledSpoolFolder();

}  // namespace tirevo
