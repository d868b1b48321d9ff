// The readings of one meter not yet acknowledged by the broker, oldest
// first. While the broker is away it holds up to its capacity; beyond that
// the oldest go, and are counted so the user can be told.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace tirevo {

class ReadingQueue {
public:
    static constexpr std::size_t kCapacity = 10000;

    struct Entry {
        uint64_t id = 0;
        std::string payload;
        bool sent = false;  // handed to the connection now open, not yet acknowledged
    };

    explicit ReadingQueue(std::size_t capacity = kCapacity) : capacity_(capacity) {}

    // Returns the entry's id.
    uint64_t Push(std::string payload);
    // The oldest entry not yet handed over, if any.
    Entry* NextUnsent();
    // The broker has it: it leaves the queue.
    void Acknowledged(uint64_t id);
    // The connection is gone: whatever it had not acknowledged goes again.
    void ConnectionLost();

    // From now on it holds up to capacity (1 or more), the oldest going
    // first, and counted as dropped, when it holds more.
    void SetCapacity(std::size_t capacity);

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    // Dropped since the last call.
    uint64_t TakeDropped();

private:
    std::size_t capacity_;
    std::deque<Entry> entries_;
    uint64_t nextId_ = 1;
    uint64_t dropped_ = 0;
};

}  // namespace tirevo
