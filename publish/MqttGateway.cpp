#include "MqttGateway.h"

#include <algorithm>

namespace tirevo {

namespace {

// How long the last words of a run (availability, the last readings of the
// queue) may take to reach the broker when nothing is spooled.
constexpr int64_t kGoodbyeMs = 3000;

}  // namespace

MqttGateway::MqttGateway(MqttGatewaySetup setup, MqttLink& link, const MeterClock& clock, Say say)
    : setup_(std::move(setup)),
      link_(link),
      clock_(clock),
      say_(std::move(say)),
      topics_(setup_.prefix, setup_.connect.clientId)
{
    // A process that is killed or loses its network shows as offline; only
    // its own meters go unavailable with it.
    setup_.connect.will = {topics_.Gateway(), kOffline, 1, true};
    link_.SetEvents(this);
}

MqttGateway::~MqttGateway() { link_.SetEvents(nullptr); }

std::string MqttGateway::Where() const
{
    return "the broker at " + setup_.connect.host + ":" + std::to_string(setup_.connect.port);
}

void MqttGateway::AddMeter(const MeterIdentity& meter)
{
    const auto [entry, added] = meters_.try_emplace(
        meter.serial, Meter{meter, false, {}, {}, ReadingQueue(setup_.queueCapacity), {}, {}});
    if (added)
        OpenSpool(entry->second);
    // A meter taken up again (back after it was given up on, or tried again
    // after it could not be opened) is announced already.
    if (added && connected_)
        SendDiscovery(entry->second);
}

void MqttGateway::OpenSpool(Meter& meter)
{
    if (setup_.spoolFolder.empty())
        return;
    const std::string& serial = meter.identity.serial;
    const int64_t now = clock_.NowMs();
    meter.spool =
        std::make_unique<ReadingSpool>(QString::fromStdString(setup_.spoolFolder), serial, setup_.spoolMax);
    switch (meter.spool->Open(now)) {
    case ReadingSpool::OpenResult::Failed:
        say_(meter.spool->Message().toStdString() + "; readings of " + serial + " are kept in memory only");
        meter.spool.reset();
        return;
    case ReadingSpool::OpenResult::Corrupt:
        say_(meter.spool->Message().toStdString());
        break;
    case ReadingSpool::OpenResult::Resumed:
    case ReadingSpool::OpenResult::Repaired:
        if (const uint64_t owed = meter.spool->Pending())
            say_(std::to_string(owed) + " readings of " + serial +
                 " left in the spool by an earlier run go out first");
        break;
    case ReadingSpool::OpenResult::Fresh:
        break;
    }
    ReadingSender& sender = *this;
    meter.delivery = std::make_unique<SpoolDelivery>(*meter.spool, sender, topics_.Reading(serial));
    // The spool keeps the backlog for `reading`; the retained ph is the
    // meter's state, which the newest reading alone sets. Its queue holds
    // that one, not every reading of an outage in memory, nor a burst of
    // old values for Home Assistant when the broker is back.
    meter.queue.SetCapacity(1);
    if (connected_)
        meter.delivery->Connected(now);
}

void MqttGateway::DropSpool(Meter& meter)
{
    // What it holds stays on disk for the next run; from now on the queue
    // in memory is all there is.
    meter.delivery.reset();
    meter.spool->Close();
    meter.spool.reset();
    // What it dropped were outdated states, not readings lost.
    meter.queue.TakeDropped();
    meter.queue.SetCapacity(setup_.queueCapacity);
}

std::optional<int> MqttGateway::SendReading(const std::string& topic, const std::string& payload)
{
    return link_.Publish({topic, payload, 1, false});
}

void MqttGateway::Start() { Attempt(); }

void MqttGateway::Attempt()
{
    nextAttemptMs_.reset();
    connecting_ = true;
    link_.Connect(setup_.connect);
}

void MqttGateway::Tick()
{
    const int64_t now = clock_.NowMs();
    for (auto& [serial, meter] : meters_)
        if (meter.delivery)
            meter.delivery->Tick(now);
    if (!fatal_ && !ended_ && nextAttemptMs_ && clock_.NowMs() >= *nextAttemptMs_)
        Attempt();
}

std::optional<int64_t> MqttGateway::NextDueMs() const { return nextAttemptMs_; }

void MqttGateway::Send(const std::string& topic, const std::string& payload)
{
    if (const std::optional<int> id = link_.Publish({topic, payload, 1, true}))
        inFlight_[*id] = {std::string(), 0};
}

void MqttGateway::SendDiscovery(const Meter& meter)
{
    if (!setup_.discovery)
        return;
    const MeterIdentity& id = meter.identity;
    Send(MqttTopics::SensorConfig(id.serial), topics_.SensorDiscovery(id, setup_.appVersion));
    Send(MqttTopics::StableConfig(id.serial), topics_.StableDiscovery(id, setup_.appVersion));
}

void MqttGateway::SendState(const Meter& meter)
{
    const std::string& serial = meter.identity.serial;
    Send(topics_.Availability(serial), meter.available ? kOnline : kOffline);
    if (meter.stable)
        Send(topics_.Stable(serial), *meter.stable ? "true" : "false");
    if (meter.alarm)
        Send(topics_.Alarm(serial), *meter.alarm);
}

void MqttGateway::SendQueued(Meter& meter)
{
    while (ReadingQueue::Entry* entry = meter.queue.NextUnsent()) {
        const std::optional<int> id =
            link_.Publish({topics_.Ph(meter.identity.serial), entry->payload, 1, true});
        if (!id)
            return;
        entry->sent = true;
        inFlight_[*id] = {meter.identity.serial, entry->id};
    }
}

void MqttGateway::TellDropped(Meter& meter)
{
    if (meter.spool) {
        // The spool keeps the backlog; the queue only feeds the live ph.
        meter.queue.TakeDropped();
        if (const uint64_t dropped = meter.spool->TakeDropped())
            say_(std::to_string(dropped) + " readings of " + meter.identity.serial +
                 " were dropped from the spool (the last " + std::to_string(setup_.spoolMax) + " are kept)");
        return;
    }
    if (const uint64_t dropped = meter.queue.TakeDropped())
        say_(std::to_string(dropped) + " readings of " + meter.identity.serial +
             " were dropped while the broker was away (the last " + std::to_string(setup_.queueCapacity) +
             " are kept)");
}

void MqttGateway::MeterAvailable(const std::string& serial, bool available)
{
    const auto found = meters_.find(serial);
    if (found == meters_.end() || found->second.available == available)
        return;
    found->second.available = available;
    if (connected_)
        Send(topics_.Availability(serial), available ? kOnline : kOffline);
}

void MqttGateway::ReadingTaken(const std::string& serial, double value, std::optional<bool> stable,
                               std::string_view readingJson)
{
    const auto found = meters_.find(serial);
    if (found == meters_.end())
        return;
    Meter& meter = found->second;
    if (meter.delivery && !readingJson.empty() && !meter.delivery->Reading(readingJson, clock_.NowMs())) {
        // The disk is full or failing: the run goes on without the spool.
        say_(meter.spool->Message().toStdString() + "; readings of " + serial + " are kept in memory only");
        DropSpool(meter);
    }
    meter.queue.Push(PhPayload(value));
    ++taken_;
    if (connected_)
        SendQueued(meter);
    if (stable && stable != meter.stable) {
        meter.stable = stable;
        if (connected_)
            Send(topics_.Stable(serial), *stable ? "true" : "false");
    }
}

void MqttGateway::AlarmChanged(const std::string& serial, const std::string& state)
{
    const auto found = meters_.find(serial);
    if (found == meters_.end() || found->second.alarm == state)
        return;
    found->second.alarm = state;
    if (connected_)
        Send(topics_.Alarm(serial), state);
}

void MqttGateway::End()
{
    ended_ = true;
    nextAttemptMs_.reset();
    for (auto& [serial, meter] : meters_) {
        // A meter whose run has ended, or that was lost, has said so already.
        if (connected_ && meter.available)
            Send(topics_.Availability(serial), kOffline);
        meter.available = false;
        TellDropped(meter);
        if (meter.delivery)
            meter.delivery->BeginDrain(clock_.NowMs());
        else if (!meter.queue.Empty() && !connected_ && !fatal_)
            say_(std::to_string(meter.queue.Size()) + " readings of " + serial +
                 " could not be published: the broker is away");
    }
    if (connected_)
        Send(topics_.Gateway(), kOffline);
}

std::optional<std::string> MqttGateway::NothingDelivered() const
{
    if (delivered_ > 0 || (taken_ == 0 && everConnected_))
        return std::nullopt;
    return "no reading reached " + Where();
}

bool MqttGateway::Drained() const
{
    if (!connected_)
        return true;
    const int64_t now = clock_.NowMs();
    return inFlight_.empty() && std::all_of(meters_.begin(), meters_.end(), [now](const auto& entry) {
               return !entry.second.delivery || entry.second.delivery->Drained(now);
           });
}

int64_t MqttGateway::DrainLimitMs() const
{
    const bool spooling = std::any_of(meters_.begin(), meters_.end(),
                                      [](const auto& entry) { return entry.second.delivery != nullptr; });
    // Past the spools' own limit, so that they, not this, cut the wait short.
    return spooling ? SpoolDelivery::kDrainMs + kGoodbyeMs : kGoodbyeMs;
}

void MqttGateway::Close()
{
    if (connected_)
        link_.Disconnect();
    connected_ = false;
    connecting_ = false;
    for (auto& [serial, meter] : meters_) {
        if (!meter.delivery)
            continue;
        const uint64_t kept = meter.delivery->Pending();
        DropSpool(meter);
        if (kept)
            say_(std::to_string(kept) + " readings of " + serial + " kept in the spool for the next run");
    }
}

void MqttGateway::LinkConnected()
{
    connecting_ = false;
    connected_ = true;
    backoff_.Reset();
    // A broker reached only after failed attempts is no reconnection.
    say_((everConnected_ ? "reconnected to " : "connected to ") + Where());
    everConnected_ = true;
    toldAway_ = false;
    Send(topics_.Gateway(), ended_ ? kOffline : kOnline);
    if (setup_.discovery)
        link_.Subscribe(kHomeAssistantStatus);
    for (auto& [serial, meter] : meters_) {
        SendDiscovery(meter);
        SendState(meter);
        TellDropped(meter);
        // The backlog on reading goes out before the live ph.
        if (meter.delivery)
            meter.delivery->Connected(clock_.NowMs());
        SendQueued(meter);
    }
}

void MqttGateway::LinkRefused(MqttRefusal refusal)
{
    connecting_ = false;
    switch (refusal) {
    case MqttRefusal::BadLogin:
        fatal_ = Where() + " refused the login: wrong user name or password";
        return;
    case MqttRefusal::NotAuthorised:
        fatal_ = Where() + " refused the login: not authorised";
        return;
    case MqttRefusal::ClientId:
        fatal_ = Where() + " refused the client id '" + setup_.connect.clientId + "'";
        return;
    default:
        LinkLost("the broker refused the connection");
    }
}

void MqttGateway::LinkUntrusted(const std::string& reason)
{
    connecting_ = false;
    fatal_ = Where() + " is not trusted: " + reason;
}

void MqttGateway::LinkLost(const std::string& reason)
{
    const bool wasConnected = connected_;
    connected_ = false;
    connecting_ = false;
    inFlight_.clear();
    for (auto& [serial, meter] : meters_) {
        meter.queue.ConnectionLost();
        if (meter.delivery)
            meter.delivery->Lost();
    }
    if (ended_ || fatal_)
        return;
    const int64_t delay = backoff_.NextDelayMs();
    nextAttemptMs_ = clock_.NowMs() + delay;
    if (wasConnected || !toldAway_) {
        say_(Where() + " is away (" + reason + "); readings are kept until it is back");
        toldAway_ = true;
    }
}

void MqttGateway::LinkAcknowledged(int messageId)
{
    const int64_t now = clock_.NowMs();
    for (auto& [serial, meter] : meters_) {
        if (meter.delivery && meter.delivery->Acknowledged(messageId, now)) {
            ++delivered_;
            return;
        }
    }
    const auto found = inFlight_.find(messageId);
    if (found == inFlight_.end())
        return;
    const auto [serial, id] = found->second;
    inFlight_.erase(found);
    if (const auto meter = meters_.find(serial); meter != meters_.end()) {
        meter->second.queue.Acknowledged(id);
        ++delivered_;
    }
}

void MqttGateway::LinkMessage(const std::string& topic, const std::string& payload)
{
    // Home Assistant started again and forgot what it was told.
    if (topic == kHomeAssistantStatus && payload == kOnline && connected_ && !ended_)
        for (const auto& [serial, meter] : meters_)
            SendDiscovery(meter);
}

}  // namespace tirevo
