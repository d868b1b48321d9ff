#include "LinkInbox.h"

namespace tirevo {

void LinkInbox::Post(LinkEvent event)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    Wake();
}

std::vector<LinkEvent> LinkInbox::Take()
{
    // The wake-ups first: an event posted after this leaves its wake-up for
    // the next wait.
    ClearWake();
    std::vector<LinkEvent> taken;
    const std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(events_);
    return taken;
}

}  // namespace tirevo
