// The inbox's wake-up on Windows: an event, set while events wait. Its
// handle's number is what the loop waits on (see HandleNumber.h).
#include "LinkInbox.h"

#include "HandleNumber.h"

#include <windows.h>

namespace tirevo {

LinkInbox::LinkInbox()
{
    // Reset by hand, in Take: a wait that wakes for it leaves it set, as a
    // pipe stays readable until it is drained.
    if (HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr))
        readFd_ = writeFd_ = HandleNumber(event);
}

LinkInbox::~LinkInbox()
{
    if (readFd_ >= 0)
        CloseHandle(NumberHandle(readFd_));
}

void LinkInbox::Wake()
{
    if (writeFd_ >= 0)
        SetEvent(NumberHandle(writeFd_));
}

void LinkInbox::ClearWake()
{
    if (readFd_ >= 0)
        ResetEvent(NumberHandle(readFd_));
}

}  // namespace tirevo
