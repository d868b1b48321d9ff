// FlushFileBuffers on the handle behind Qt's C runtime descriptor.
#include "SpoolDisk.h"

#include <io.h>
#include <windows.h>

namespace tirevo {

bool SyncToDisk(QFile& file)
{
    const int fd = file.handle();
    if (fd < 0)
        return false;
    const intptr_t handle = ::_get_osfhandle(fd);
    if (handle == -1)
        return false;
    return ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != 0;
}

bool SyncFolderToDisk(const QString&)
{
    // NTFS logs a rename in its journal; there is no folder to flush.
    return true;
}

}  // namespace tirevo
