// The one call of the spool that Qt does not offer: waiting until what was
// written to an open file is on the disk, not only in the system's cache.
#pragma once

#include <QFile>

namespace tirevo {

// True when the file's data is on the disk (or the system cannot say more).
bool SyncToDisk(QFile& file);

}  // namespace tirevo
