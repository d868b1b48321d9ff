// The gateway's side of the broker: what it publishes for each meter and
// when, the readings kept while the broker is away, and the attempts to
// reach it again. The connection itself is an MqttLink; time comes from the
// session's clock, so tests run it on virtual time against a stand-in link.
#pragma once

#include "MeterClock.h"
#include "MqttLink.h"
#include "MqttTopics.h"
#include "ReadingQueue.h"
#include "ReadingSender.h"
#include "ReadingSpool.h"
#include "ReconnectBackoff.h"
#include "SpoolDelivery.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tirevo {

struct MqttGatewaySetup {
    MqttConnectSettings connect;  // the last will is filled in by the gateway
    std::string prefix = kDefaultTopicPrefix;
    bool discovery = false;  // Home Assistant discovery
    std::string appVersion;
    std::size_t queueCapacity = ReadingQueue::kCapacity;
    // Where each meter's readings wait for the broker on disk (the
    // `reading` topic); empty: no spool, only the in-memory queue.
    std::string spoolFolder;
    uint64_t spoolMax = ReadingSpool::kDefaultMax;
};

class MqttGateway final : public MqttLinkEvents, private ReadingSender {
public:
    using Say = std::function<void(const std::string&)>;

    MqttGateway(MqttGatewaySetup setup, MqttLink& link, const MeterClock& clock, Say say);
    ~MqttGateway() override;
    MqttGateway(const MqttGateway&) = delete;
    MqttGateway& operator=(const MqttGateway&) = delete;

    void AddMeter(const MeterIdentity& meter);
    // The first attempt to connect.
    void Start();
    // Tries again when an attempt is due.
    void Tick();
    // When Tick has something to do; nothing while connected or connecting.
    std::optional<int64_t> NextDueMs() const;

    void MeterAvailable(const std::string& serial, bool available);
    // stable: nothing while no stability judgement is made for the meter.
    // readingJson: the reading with its time for the `reading` topic, which
    // goes through the meter's spool (nothing is spooled when empty).
    void ReadingTaken(const std::string& serial, double value, std::optional<bool> stable = std::nullopt,
                      std::string_view readingJson = {});
    // "none", "high", "low" or "lost", once alarms are set for the meter.
    void AlarmChanged(const std::string& serial, const std::string& state);

    // The run ends: every meter and the gateway go offline, the spools
    // begin to drain. Then wait for Drained() (within DrainLimitMs()) and
    // call Close(), which says how many readings stay spooled.
    void End();
    bool Drained() const;
    int64_t DrainLimitMs() const;
    void Close();

    bool Connected() const { return connected_; }
    // Set when the broker refused the login or its certificate is not
    // trusted: the run cannot go on, and trying again would not help.
    const std::optional<std::string>& Fatal() const { return fatal_; }
    // Why the run published nothing, when no reading taken reached the
    // broker (or the broker was never reached at all).
    std::optional<std::string> NothingDelivered() const;

    void LinkConnected() override;
    void LinkRefused(MqttRefusal refusal) override;
    void LinkUntrusted(const std::string& reason) override;
    void LinkLost(const std::string& reason) override;
    void LinkAcknowledged(int messageId) override;
    void LinkMessage(const std::string& topic, const std::string& payload) override;

private:
    struct Meter {
        MeterIdentity identity;
        bool available = false;
        std::optional<bool> stable;
        std::optional<std::string> alarm;
        ReadingQueue queue;
        // Both or neither: a meter without a spool has the queue alone.
        std::unique_ptr<ReadingSpool> spool;
        std::unique_ptr<SpoolDelivery> delivery;
    };

    void Attempt();
    void Send(const std::string& topic, const std::string& payload);
    void SendDiscovery(const Meter& meter);
    void SendState(const Meter& meter);
    void SendQueued(Meter& meter);
    void TellDropped(Meter& meter);
    void OpenSpool(Meter& meter);
    void DropSpool(Meter& meter);
    std::optional<int> SendReading(const std::string& topic, const std::string& payload) override;
    std::string Where() const;

    MqttGatewaySetup setup_;
    MqttLink& link_;
    const MeterClock& clock_;
    Say say_;
    MqttTopics topics_;
    ReconnectBackoff backoff_;
    std::map<std::string, Meter> meters_;
    bool connecting_ = false;
    bool connected_ = false;
    bool ended_ = false;
    bool toldAway_ = false;
    bool everConnected_ = false;
    uint64_t taken_ = 0;      // readings handed to the gateway
    uint64_t delivered_ = 0;  // readings the broker acknowledged
    std::optional<int64_t> nextAttemptMs_;
    // Message id -> the reading it carries (serial, queue id); state messages
    // map to an empty serial.
    std::map<int, std::pair<std::string, uint64_t>> inFlight_;
    std::optional<std::string> fatal_;
};

}  // namespace tirevo
