#include "SpoolFolder.h"

#include "SettingsFolders.h"

namespace tirevo {

std::string InstalledSpoolFolder()
{
    // In the per-user records folder (%LOCALAPPDATA%\tirevo, else the
    // system's own local application data folder), as a copy whose records
    // are there keeps it: never a folder at the root of the current drive
    // when the variable is not set.
    const std::string records = settingsfolders::PerUserRecordsFolder();
    return records.empty() ? std::string() : records + "\\spool";
}

}  // namespace tirevo
