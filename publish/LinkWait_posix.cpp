#include "LinkWait.h"

#include <algorithm>
#include <climits>
#include <poll.h>

namespace tirevo {

bool WaitForEndingOrLink(int ending, int link, bool linkWrite, int64_t timeoutMs)
{
    // A negative descriptor is left out by poll.
    pollfd fds[2] = {{ending, POLLIN, 0}, {link, static_cast<short>(POLLIN | (linkWrite ? POLLOUT : 0)), 0}};
    const int timeout = static_cast<int>(std::clamp<int64_t>(timeoutMs, 0, INT_MAX));
    const int ready = ::poll(fds, 2, timeout);
    return ready > 0 && (fds[0].revents & POLLIN);
}

}  // namespace tirevo
