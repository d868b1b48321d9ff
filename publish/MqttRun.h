// A run's broker: the gateway over libmosquitto for the one meter of the
// run, and the run's waits, which now also serve the broker's socket, so the
// meter's polls and the network share one loop and neither waits on the
// other.
#pragma once

#include "CliOptions.h"
#include "MeterClock.h"
#include "MosquittoLink.h"
#include "MqttGateway.h"
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

// tirevo-<host>-<serial>: the same meter on the same machine keeps its
// session, two meters never share one.
std::string DefaultClientId(const std::string& serial);

class MqttRun final : public ReadingPublisher, public RunWait {
public:
    MqttRun(MqttGatewaySetup setup, const MeterIdentity& meter, MeterClock& clock, SignalWatch& endings,
            int errFd);

    void Start();

    void SetSay(std::function<void(const std::string&)> say) override { say_ = std::move(say); }
    void MeterAvailable(bool available) override;
    void ReadingTaken(const Reading& reading, bool stable) override;
    std::optional<std::string> Failure() const override;
    void End() override;

    bool Wait(int64_t timeoutMs) override;
    bool TakeResized() override { return endings_.TakeResized(); }

private:
    // Waits for the socket (and, when watchSignals, a signal) up to
    // timeoutMs; true when a signal is waiting to be read.
    bool WaitOnce(int64_t timeoutMs, bool watchSignals);

    MeterClock& clock_;
    SignalWatch& endings_;
    int errFd_;
    std::string serial_;
    std::function<void(const std::string&)> say_;
    MosquittoLink link_;
    MqttGateway gateway_;
};

}  // namespace tirevo
