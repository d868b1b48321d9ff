// The inbox's wake-up on POSIX: a pipe, readable while a byte waits in it.
#include "LinkInbox.h"

#include <fcntl.h>
#include <unistd.h>

namespace tirevo {

LinkInbox::LinkInbox()
{
    int fds[2] = {-1, -1};
    // Never blocking: a full pipe wakes the loop as well as one more byte
    // would, and the thread that posts must not wait for the loop.
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
    }
}

LinkInbox::~LinkInbox()
{
    for (const int fd : {readFd_, writeFd_})
        if (fd >= 0)
            ::close(fd);
}

void LinkInbox::Wake()
{
    if (writeFd_ >= 0) {
        const char wake = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(writeFd_, &wake, 1);
    }
}

void LinkInbox::ClearWake()
{
    if (readFd_ >= 0) {
        char drain[64];
        while (::read(readFd_, drain, sizeof drain) > 0) {}
    }
}

}  // namespace tirevo
