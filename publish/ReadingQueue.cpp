#include "ReadingQueue.h"

#include <algorithm>

namespace tirevo {

uint64_t ReadingQueue::Push(std::string payload)
{
    if (entries_.size() >= capacity_) {
        entries_.pop_front();
        ++dropped_;
    }
    entries_.push_back({nextId_, std::move(payload), false});
    return nextId_++;
}

void ReadingQueue::SetCapacity(std::size_t capacity)
{
    capacity_ = std::max<std::size_t>(capacity, 1);
    while (entries_.size() > capacity_) {
        entries_.pop_front();
        ++dropped_;
    }
}

ReadingQueue::Entry* ReadingQueue::NextUnsent()
{
    const auto found = std::find_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.sent; });
    return found == entries_.end() ? nullptr : &*found;
}

void ReadingQueue::Acknowledged(uint64_t id)
{
    // Acknowledgements come in order, so this is nearly always the front.
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (found != entries_.end())
        entries_.erase(found);
}

void ReadingQueue::ConnectionLost()
{
    for (Entry& entry : entries_)
        entry.sent = false;
}

uint64_t ReadingQueue::TakeDropped()
{
    const uint64_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

}  // namespace tirevo
