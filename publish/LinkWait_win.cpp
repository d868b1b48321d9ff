#include "LinkWait.h"

#include "HandleNumber.h"

#include <algorithm>
#include <windows.h>

namespace tirevo {

bool WaitForEndingOrLink(int ending, int link, bool /*linkWrite*/, int64_t timeoutMs)
{
    // The link's handle is an event, set while the link has something to
    // hand over, whichever way its own thread waits on the network.
    HANDLE handles[2];
    DWORD count = 0;
    if (ending >= 0)
        handles[count++] = NumberHandle(ending);
    if (link >= 0)
        handles[count++] = NumberHandle(link);
    const DWORD timeout = static_cast<DWORD>(std::clamp<int64_t>(timeoutMs, 0, INFINITE - 1));
    if (count == 0) {
        Sleep(timeout);
        return false;
    }
    // With both set, the first (the ending) is the one reported.
    return WaitForMultipleObjects(count, handles, FALSE, timeout) == WAIT_OBJECT_0 && ending >= 0;
}

}  // namespace tirevo
