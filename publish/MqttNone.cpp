// A build without libmosquitto (the Windows build: Debian has none for
// MinGW). `publish` and `log --mqtt` are refused with "publishing to an
// MQTT broker is not in this build" and exit status 2, before anything is
// loaded or connected; the rest of tirevo-cli is the same. The run below is
// never constructed then; it exists so that the program links.
#include "MqttModuleLoader.h"
#include "MqttRun.h"

namespace tirevo {

std::optional<std::string> MqttUnavailable() { return "publishing to an MQTT broker is not in this build"; }

MqttLinkLoad LoadMqttLink(const std::string&)
{
    MqttLinkLoad load;
    load.error = "publishing to an MQTT broker is not in this build";
    return load;
}

MqttRun::MqttRun(MqttGatewaySetup setup, std::unique_ptr<MqttSocketLink> link, MeterClock& clock,
                 EndingWatch& endings, std::function<void(const std::string&)> say)
    : clock_(clock),
      endings_(endings),
      firstSay_(std::move(say)),
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
