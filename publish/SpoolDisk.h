// The calls of the spool that Qt does not offer: waiting until what was
// written is on the disk, not only in the system's cache.
#pragma once

#include <QFile>
#include <QString>

namespace tirevo {

// True when the file's data is on the disk (or the system cannot say more).
bool SyncToDisk(QFile& file);
// True when the folder's entries (a file renamed into it) are on the disk.
bool SyncFolderToDisk(const QString& folder);

}  // namespace tirevo
