// Windows: a program without a console (the window, or one started by a
// service) has no handles behind descriptors 0, 1 and 2 of the C library.
#include "StandardDescriptors.h"

#include <fcntl.h>
#include <io.h>

namespace tirevo {

void OpenClosedStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        // -1: nothing open there; -2: open without a handle (no console).
        if (_get_osfhandle(fd) >= 0)
            continue;
        const int opened = _open("NUL", (fd == 0 ? _O_RDONLY : _O_WRONLY) | _O_BINARY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
}

void IgnoreFileSizeSignal() {}

}  // namespace tirevo
