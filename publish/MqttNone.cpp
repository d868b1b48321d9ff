// A build without libmosquitto (the Windows build: Debian has none for
// MinGW). `publish` and `log --mqtt` are refused with "publishing to an
// MQTT broker is not in this build" and exit status 2, before anything is
// loaded or connected; the rest of tirevo-cli is the same. The run below is
// never constructed then; it exists so that the program links.
#include "MqttModuleLoader.h"
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

MqttLinkLoad LoadMqttLink(const std::string&)
{
    MqttLinkLoad load;
    load.error = "publishing to an MQTT broker is not in this build";
    return load;
}

MqttRun::MqttRun(MqttGatewaySetup setup, std::unique_ptr<MqttSocketLink> link, MeterClock& clock,
                 SignalWatch& endings, int errFd)
    : clock_(clock),
      endings_(endings),
      errFd_(errFd),
      link_(std::move(link)),
      gateway_(std::move(setup), *link_, clock, [](const std::string&) {})
{
}

void MqttRun::Start() {}
std::unique_ptr<ReadingPublisher> MqttRun::AddMeter(const MeterIdentity&) { return nullptr; }
void MqttRun::End() {}
bool MqttRun::WaitOnce(int64_t, bool) { return false; }
bool MqttRun::Wait(int64_t timeoutMs) { return endings_.Wait(timeoutMs); }

}  // namespace tirevo
