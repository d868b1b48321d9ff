#include "SpoolDelivery.h"

#include <algorithm>

namespace tirevo {

SpoolDelivery::SpoolDelivery(ReadingSpool& spool, ReadingSender& sender, std::string topic,
                             std::size_t window)
    : spool_(spool), sender_(sender), topic_(std::move(topic)), window_(std::max<std::size_t>(window, 1))
{
    inFlight_.reserve(window_);
}

bool SpoolDelivery::Reading(std::string_view payload, int64_t nowMs)
{
    const bool spooled = spool_.Append(payload);
    Pump(nowMs);
    return spooled;
}

void SpoolDelivery::Connected(int64_t nowMs)
{
    connected_ = true;
    Pump(nowMs);
}

void SpoolDelivery::Lost()
{
    connected_ = false;
    // The ids of a connection mean nothing on the next one.
    inFlight_.clear();
    spool_.ConnectionLost();
}

bool SpoolDelivery::Acknowledged(int messageId, int64_t nowMs)
{
    const auto flight = std::find_if(inFlight_.begin(), inFlight_.end(),
                                     [messageId](const auto& f) { return f.first == messageId; });
    if (flight == inFlight_.end())
        return false;
    spool_.Acknowledged(flight->second);
    inFlight_.erase(flight);
    Pump(nowMs);
    return true;
}

void SpoolDelivery::Tick(int64_t nowMs)
{
    // A send the connection refused is tried again here, even when the link
    // never says it was lost.
    Pump(nowMs);
    spool_.SyncIfDue(nowMs);
}

void SpoolDelivery::BeginDrain(int64_t nowMs)
{
    drainEndMs_ = nowMs + kDrainMs;
    Pump(nowMs);
}

bool SpoolDelivery::Drained(int64_t nowMs) const
{
    return spool_.Pending() == 0 || (drainEndMs_ >= 0 && nowMs >= drainEndMs_);
}

void SpoolDelivery::Pump(int64_t nowMs)
{
    while (connected_ && inFlight_.size() < window_) {
        const std::vector<ReadingSpool::Entry> next = spool_.TakeNext(window_ - inFlight_.size());
        if (next.empty())
            break;
        for (const ReadingSpool::Entry& entry : next) {
            const std::optional<int> messageId = sender_.SendReading(topic_, entry.payload);
            if (!messageId) {
                // Not taken: it and whatever followed it go again, in order,
                // on the next try; those already sent may arrive twice.
                inFlight_.clear();
                spool_.ConnectionLost();
                spool_.SyncIfDue(nowMs);
                return;
            }
            inFlight_.emplace_back(*messageId, entry.id);
        }
    }
    spool_.SyncIfDue(nowMs);
}

}  // namespace tirevo
