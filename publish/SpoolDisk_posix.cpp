// fdatasync: the data and the length, not the times, which a spool needs not.
#include "SpoolDisk.h"

#include <cerrno>
#include <unistd.h>

namespace tirevo {

bool SyncToDisk(QFile& file)
{
    const int fd = file.handle();
    if (fd < 0)
        return false;
    int synced;
    do {
        synced = ::fdatasync(fd);
    } while (synced != 0 && errno == EINTR);
    // EINVAL: a file system that cannot sync (a pipe, some special file).
    return synced == 0 || errno == EINVAL;
}

}  // namespace tirevo
