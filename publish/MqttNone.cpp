// A build without libmosquitto (the Windows build: Debian has none for
// MinGW). `publish` and `log --mqtt` are refused with "publishing to an
// MQTT broker is not in this build" and exit status 2, before anything is
// connected; the rest of tirevo-cli is the same. The run's classes below are
// never constructed then; they exist so that the program links.
#include "MqttRun.h"

namespace tirevo {

MqttRunConfig MqttRunConfigFor(const MqttOptions&, const std::string&, const std::string&)
{
    MqttRunConfig config;
    config.error = "publishing to an MQTT broker is not in this build";
    config.unavailable = true;
    return config;
}

std::string DefaultClientId(const std::string& serial) { return "tirevo-" + serial; }

MosquittoLink::MosquittoLink() = default;
MosquittoLink::~MosquittoLink() = default;

bool MosquittoLink::Connect(const MqttConnectSettings&)
{
    if (events_)
        events_->LinkLost("not in this build");
    return false;
}

std::optional<int> MosquittoLink::Publish(const MqttMessage&) { return std::nullopt; }
void MosquittoLink::Subscribe(const std::string&) {}
void MosquittoLink::Disconnect() {}
int MosquittoLink::Socket() const { return -1; }
bool MosquittoLink::WantsWrite() const { return false; }
void MosquittoLink::Service() {}

MqttRun::MqttRun(MqttGatewaySetup setup, const MeterIdentity& meter, MeterClock& clock, SignalWatch& endings,
                 int errFd)
    : clock_(clock),
      endings_(endings),
      errFd_(errFd),
      serial_(meter.serial),
      gateway_(std::move(setup), link_, clock, [](const std::string&) {})
{
}

void MqttRun::Start() {}
void MqttRun::MeterAvailable(bool) {}
void MqttRun::ReadingTaken(const Reading&, bool) {}
std::optional<std::string> MqttRun::Failure() const { return std::string("not in this build"); }
void MqttRun::End() {}
bool MqttRun::WaitOnce(int64_t, bool) { return false; }
bool MqttRun::Wait(int64_t timeoutMs) { return endings_.Wait(timeoutMs); }

}  // namespace tirevo
