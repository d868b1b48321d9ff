// A run's broker: the gateway, over the MQTT module's link, for the meters
// of the run, and the run's waits, which now also wake for what the link's
// network thread hands over, so the gateway runs on the meters' loop while
// nothing on that loop waits for the network.
#pragma once

#include "EndingWatch.h"
#include "MeterClock.h"
#include "MqttGateway.h"
#include "MqttModule.h"
#include "ReadingPublisher.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tirevo {

// Why this build cannot publish at all (it has no MQTT client library), or
// nothing: asked before any broker option is looked at.
std::optional<std::string> MqttUnavailable();

class MqttRun final : public RunWait {
public:
    // link: from the MQTT module (LoadMqttLink), not yet connected. endings:
    // what ends the run, waited on together with the broker's socket. say:
    // how the broker's lines reach the user until a run takes them over
    // (SetSay).
    MqttRun(MqttGatewaySetup setup, std::unique_ptr<MqttSocketLink> link, MeterClock& clock,
            EndingWatch& endings, std::function<void(const std::string&)> say);

    void Start();

    // A meter of the run, announced at once (again after every reconnect);
    // its run tells the broker through the publisher returned.
    std::unique_ptr<ReadingPublisher> AddMeter(const MeterIdentity& meter);
    // How the broker's lines reach the user (nothing: as said at the start).
    void SetSay(std::function<void(const std::string&)> say) { say_ = std::move(say); }
    std::optional<std::string> Failure() const { return gateway_.Fatal(); }
    // After End: why no reading of the run reached the broker, if none did.
    std::optional<std::string> NothingDelivered() const { return gateway_.NothingDelivered(); }
    // Every meter and the gateway go offline; the last words go out within
    // a short limit.
    void End();

    bool Wait(int64_t timeoutMs) override;
    bool TakeResized() override { return endings_.TakeResized(); }

private:
    class MeterPublisher;

    // Waits for the socket (and, when watchSignals, a signal) up to
    // timeoutMs; true when a signal is waiting to be read.
    bool WaitOnce(int64_t timeoutMs, bool watchSignals);

    MeterClock& clock_;
    EndingWatch& endings_;
    std::function<void(const std::string&)> firstSay_;
    std::function<void(const std::string&)> say_;
    // Before the gateway, which holds on to it until its own end.
    std::unique_ptr<MqttSocketLink> link_;
    MqttGateway gateway_;
    bool ended_ = false;
};

}  // namespace tirevo
