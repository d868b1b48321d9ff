#include "MqttRun.h"

#include "LinkWait.h"
#include "ReadingJson.h"
#include "ReadingTime.h"

#include <algorithm>

namespace tirevo {

namespace {

// The broker's own keep-alive and the gateway's attempts are checked at
// least this often while a connection is open or opening.
constexpr int64_t kServiceMs = 1000;

}  // namespace

std::optional<std::string> MqttUnavailable() { return std::nullopt; }

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
                 EndingWatch& endings, std::function<void(const std::string&)> say)
    : clock_(clock),
      endings_(endings),
      firstSay_(std::move(say)),
      link_(std::move(link)),
      gateway_(std::move(setup), *link_, clock, [this](const std::string& line) {
          if (say_)
              say_(line);
          else if (firstSay_)
              firstSay_(line);
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
