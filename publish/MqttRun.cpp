#include "MqttRun.h"

#include "AuditOrigin.h"
#include "FdOutput.h"
#include "FirstLine.h"
#include "LinkWait.h"
#include "MqttUrl.h"
#include "PlainName.h"
#include "ReadingJson.h"
#include "ReadingTime.h"

#include <algorithm>

namespace tirevo {

namespace {

// The broker's own keep-alive and the gateway's attempts are checked at
// least this often while a connection is open or opening.
constexpr int64_t kServiceMs = 1000;

}  // namespace

std::string DefaultClientId(const std::string& serial)
{
    std::string host = HostName();
    if (host.empty())
        host = "localhost";
    // Only plain characters: a broker takes a client id in UTF-8 alone.
    return "tirevo-" + host + "-" + PlainName(serial);
}

MqttRunConfig MqttRunConfigFor(const MqttOptions& options, const std::string& serial,
                               const std::string& appVersion)
{
    MqttRunConfig config;
    const MqttUrlResult parsed = ParseMqttUrl(options.url.value_or(std::string()));
    if (!parsed.url) {
        config.error = "invalid broker URL '" + options.url.value_or(std::string()) + "': " + parsed.error;
        return config;
    }
    MqttGatewaySetup& g = config.gateway;
    g.connect.host = parsed.url->host;
    g.connect.port = parsed.url->port;
    g.connect.tls = parsed.url->tls;
    if (options.caFile) {
        if (!parsed.url->tls) {
            config.error = "--cafile needs an mqtts:// URL";
            return config;
        }
        std::string first;
        if (const std::optional<std::string> error = ReadFirstLine(*options.caFile, first)) {
            config.error = "cannot read the CA file " + *options.caFile + ": " + *error;
            return config;
        }
        g.connect.caFile = *options.caFile;
    }
    g.connect.clientId = options.clientId.value_or(DefaultClientId(serial));
    if (options.username) {
        g.connect.username = *options.username;
        if (options.passwordFile) {
            // The first line, without its end: an editor's final newline is
            // no part of the password.
            if (const std::optional<std::string> error =
                    ReadFirstLine(*options.passwordFile, g.connect.password)) {
                config.error = "cannot read the password file " + *options.passwordFile + ": " + *error;
                return config;
            }
            if (!g.connect.password.empty() && g.connect.password.back() == '\r')
                g.connect.password.pop_back();
        }
    }
    g.prefix = options.topic.value_or(kDefaultTopicPrefix);
    if (!ValidTopicPrefix(g.prefix)) {
        config.error = "invalid --topic '" + g.prefix + "': not empty, no '+' or '#', no '/' at either end";
        return config;
    }
    g.discovery = options.haDiscovery;
    g.appVersion = appVersion;
    return config;
}

// One meter's side of the shared gateway.
class MqttRun::MeterPublisher final : public ReadingPublisher {
public:
    MeterPublisher(MqttRun& run, std::string serial) : run_(run), serial_(std::move(serial)) {}
    void SetSay(std::function<void(const std::string&)> say) override { run_.SetSay(std::move(say)); }
    void MeterAvailable(bool available) override { run_.gateway_.MeterAvailable(serial_, available); }
    void ReadingTaken(const Reading& reading, bool stable) override
    {
        // The same object as `read --format json` prints, with the moment
        // the reading was taken, however late it reaches the broker.
        run_.gateway_.ReadingTaken(serial_, reading.value, stable,
                                   ReadingJson(IsoLocalTimeText(ReadingDateTime(reading)),
                                               PhPayload(reading.value), stable, serial_));
    }
    void AlarmState(const std::string& state) override { run_.gateway_.AlarmChanged(serial_, state); }
    std::optional<std::string> Failure() const override { return run_.Failure(); }
    void End() override { run_.gateway_.MeterAvailable(serial_, false); }

private:
    MqttRun& run_;
    std::string serial_;
};

MqttRun::MqttRun(MqttGatewaySetup setup, std::unique_ptr<MqttSocketLink> link, MeterClock& clock,
                 SignalWatch& endings, int errFd)
    : clock_(clock),
      endings_(endings),
      errFd_(errFd),
      link_(std::move(link)),
      gateway_(std::move(setup), *link_, clock, [this](const std::string& line) {
          if (say_)
              say_(line);
          else
              WriteAll(errFd_, "tirevo-cli: " + line + "\n");
      })
{
}

void MqttRun::Start() { gateway_.Start(); }

std::unique_ptr<ReadingPublisher> MqttRun::AddMeter(const MeterIdentity& meter)
{
    gateway_.AddMeter(meter);
    return std::make_unique<MeterPublisher>(*this, meter.serial);
}

void MqttRun::End()
{
    if (ended_)
        return;
    ended_ = true;
    gateway_.End();
    const int64_t until = clock_.NowMs() + gateway_.DrainLimitMs();
    while (!gateway_.Drained() && gateway_.Connected()) {
        const int64_t left = until - clock_.NowMs();
        if (left <= 0)
            break;
        // A second signal does not cut the goodbye short; the limit does.
        WaitOnce(std::min(left, kServiceMs), false);
    }
    gateway_.Close();
}

bool MqttRun::WaitOnce(int64_t timeoutMs, bool watchSignals)
{
    const int socket = link_->Socket();
    const bool ending = WaitForEndingOrLink(watchSignals ? endings_.Fd() : -1, socket,
                                            socket >= 0 && link_->WantsWrite(), timeoutMs);
    if (socket >= 0)
        link_->Service();
    gateway_.Tick();
    return ending;
}

bool MqttRun::Wait(int64_t timeoutMs)
{
    gateway_.Tick();
    if (endings_.Wait(0))
        return true;
    int64_t timeout = timeoutMs;
    if (link_->Socket() >= 0)
        timeout = std::min(timeout, kServiceMs);
    if (const std::optional<int64_t> due = gateway_.NextDueMs())
        timeout = std::min(timeout, std::max<int64_t>(*due - clock_.NowMs(), 0));
    if (WaitOnce(timeout, true))
        return endings_.Wait(0);
    // The run's loop checks the gateway's failure before its next wait.
    return false;
}

}  // namespace tirevo
