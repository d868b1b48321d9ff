#include "MqttRun.h"

#include "FdOutput.h"
#include "MqttUrl.h"
#include "PlainName.h"
#include "ReadingJson.h"
#include "ReadingTime.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tirevo {

namespace {

// The broker's own keep-alive and the gateway's attempts are checked at
// least this often while a connection is open or opening.
constexpr int64_t kServiceMs = 1000;

}  // namespace

std::string DefaultClientId(const std::string& serial)
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        std::strcpy(host, "localhost");
    // Only plain characters: a broker takes a client id in UTF-8 alone.
    return "tirevo-" + std::string(host) + "-" + PlainName(serial);
}

namespace {

// Why a file named on the command line cannot be read (a directory cannot
// either), or nothing; its first line when it can.
std::optional<std::string> ReadFirstLine(const std::string& path, std::string& line)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string(std::strerror(errno));
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return std::string(std::strerror(error));
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.find('\n') != std::string::npos)
            break;
    }
    ::close(fd);
    line = text.substr(0, text.find('\n'));
    return std::nullopt;
}

}  // namespace

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
    pollfd fds[2] = {{-1, 0, 0}, {-1, 0, 0}};
    // A negative descriptor is left out by poll.
    fds[0] = {watchSignals ? endings_.Fd() : -1, POLLIN, 0};
    const int socket = link_->Socket();
    int count = 1;
    if (socket >= 0) {
        fds[1] = {socket, static_cast<short>(POLLIN | (link_->WantsWrite() ? POLLOUT : 0)), 0};
        count = 2;
    }
    const int timeout = static_cast<int>(std::clamp<int64_t>(timeoutMs, 0, INT_MAX));
    const int ready = ::poll(fds, static_cast<nfds_t>(count), timeout);
    if (count == 2)
        link_->Service();
    gateway_.Tick();
    return ready > 0 && (fds[0].revents & POLLIN);
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
