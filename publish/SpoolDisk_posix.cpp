// fdatasync: the data and the length, not the times, which a spool needs not.
#include "SpoolDisk.h"

#include <cerrno>
#include <fcntl.h>
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

bool SyncFolderToDisk(const QString& folder)
{
    // A rename is an entry of the folder: synced with it, not with the file.
    const QByteArray name = QFile::encodeName(folder);
    int fd;
    do {
        fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    int synced;
    do {
        synced = ::fsync(fd);
    } while (synced != 0 && errno == EINTR);
    const bool ok = synced == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

}  // namespace tirevo
