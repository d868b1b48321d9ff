// A run's broker: the gateway, over the MQTT module's link, for the meters
// of the run, and the run's waits, which now also wake for what the link's
// network thread hands over, so the gateway runs on the meters' loop while
// nothing on that loop waits for the network.
#pragma once

#include "CliOptions.h"
#include "MeterClock.h"
#include "MqttGateway.h"
#include "MqttModule.h"
#include "ReadingPublisher.h"
#include "SignalWatch.h"

#include <memory>
#include <optional>
#include <string>

namespace tirevo {

struct MqttRunConfig {
    MqttGatewaySetup gateway;
    std::string error;         // why the options cannot be used (a usage error)
    bool unavailable = false;  // no broker support in this build at all
};

// The gateway's setup from the command line: the URL, the password file
// (only its first line), the client id. The error is set when any of it
// cannot be used; nothing is connected yet.
MqttRunConfig MqttRunConfigFor(const MqttOptions& options, const std::string& serial,
                               const std::string& appVersion);

// tirevo-<host>-<serial> (the serial's plain form, "all" for a run over
// every meter): the same meter on the same machine keeps its session, two
// processes never share one, nor their availability topics.
std::string DefaultClientId(const std::string& serial);

class MqttRun final : public RunWait {
public:
    // link: from the MQTT module (LoadMqttLink), not yet connected.
    MqttRun(MqttGatewaySetup setup, std::unique_ptr<MqttSocketLink> link, MeterClock& clock,
            SignalWatch& endings, int errFd);

    void Start();

    // A meter of the run, announced at once (again after every reconnect);
    // its run tells the broker through the publisher returned.
    std::unique_ptr<ReadingPublisher> AddMeter(const MeterIdentity& meter);
    // How the broker's lines reach the user (nothing: straight to stderr).
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
    SignalWatch& endings_;
    int errFd_;
    std::function<void(const std::string&)> say_;
    // Before the gateway, which holds on to it until its own end.
    std::unique_ptr<MqttSocketLink> link_;
    MqttGateway gateway_;
    bool ended_ = false;
};

}  // namespace tirevo
