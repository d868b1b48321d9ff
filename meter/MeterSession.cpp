#include "MeterSession.h"

#include "D2XXUnit.h"
#include "ReadingText.h"

#include <algorithm>
#include <limits>

namespace tirevo {

namespace {

constexpr DWORD kBaudRate = 9600;
constexpr DWORD kReadTimeoutMs = 1;
constexpr DWORD kWriteTimeoutMs = 100;
// The meter needs this pause after every character of a command.
constexpr int64_t kCharacterPauseMs = 2;
constexpr char kLineEnd = '\r';

}  // namespace

MeterSession::MeterSession(MeterClock& clock)
    : clock_(clock), FTDeviceState(std::make_unique<TFTDeviceState>())
{
}

MeterSession::~MeterSession() { Close(); }

void MeterSession::AddListener(MeterListener* listener)
{
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void MeterSession::RemoveListener(MeterListener* listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void MeterSession::SetPollInterval(uint32_t ms) { pollIntervalMs_ = ms; }

int MeterSession::ReopenPeriodMs() const { return LinkWatch::ReopenPeriodMs(pollIntervalMs_); }

MeterSession::SetupOutcome MeterSession::OpenAndSetUp()
{
    deviceOpen_ = false;
    TFTDeviceState& device = *FTDeviceState;
    if (Open_USB_Device_By_Serial_Number(device, serial_) != FT_OK)
        return SetupOutcome::OpenFailed;
    deviceOpen_ = true;
    FTPortSettings.BaudRate = kBaudRate;
    FTPortSettings.WordLength = FT_BITS_8;
    FTPortSettings.StopBits = FT_STOP_BITS_1_5;
    FTPortSettings.Parity = FT_PARITY_NONE;
    FTPortSettings.FlowControl = FT_FLOW_NONE;
    // Stops at the first failure: a converter pulled during the setup is
    // lost, and one that refuses a setting is not a usable meter.
    using Step = FT_STATUS (*)(TFTDeviceState&, const TFTPortSettings&);
    const Step steps[] = {SetFTBaudRate,
                          SetFTDataCharacteristics,
                          SetFTFlowControl,
                          [](TFTDeviceState& d, const TFTPortSettings&) { return SetFTDtr(d); },
                          [](TFTDeviceState& d, const TFTPortSettings&) { return SetFTRts(d); },
                          [](TFTDeviceState& d, const TFTPortSettings&) {
                              return SetFTTimeouts(d, kReadTimeoutMs, kWriteTimeoutMs);
                          }};
    for (const Step step : steps) {
        const FT_STATUS status = step(device, FTPortSettings);
        if (status == FT_OK)
            continue;
        if (LinkWatch::MeansGone(status))
            return SetupOutcome::Gone;
        CloseFTDevice(device);
        deviceOpen_ = false;
        return SetupOutcome::Failed;
    }
    return SetupOutcome::Ready;
}

ConnectResult MeterSession::Open(const std::string& serial)
{
    if (deviceOpen_)
        Close();
    serial_ = serial;
    receiveText_.clear();
    taken_.clear();
    switch (OpenAndSetUp()) {
    case SetupOutcome::OpenFailed:
        return ConnectResult::OpenFailed;
    case SetupOutcome::Failed:
        return ConnectResult::SetupFailed;
    case SetupOutcome::Gone:
        everConnected_ = true;
        SetStatus(LinkStatus::Connected);
        MarkLost();
        return ConnectResult::Connected;
    case SetupOutcome::Ready:
        break;
    }
    everConnected_ = true;
    SetStatus(LinkStatus::Connected);
    RestartWatch();
    return ConnectResult::Connected;
}

void MeterSession::Greet()
{
    // A handle already given up gets its greeting when it is reopened.
    if (status_ == LinkStatus::Reopening)
        return;
    SendCommand("S20");
    SendCommand("V");
    RestartWatch();
}

ConnectResult MeterSession::Connect(const std::string& serial)
{
    const ConnectResult result = Open(serial);
    if (result == ConnectResult::Connected)
        Greet();
    return result;
}

void MeterSession::Close()
{
    if (deviceOpen_) {
        CloseFTDevice(*FTDeviceState);
        deviceOpen_ = false;
    }
    if (status_ != LinkStatus::Closed)
        SetStatus(LinkStatus::Closed);
}

bool MeterSession::SendCommand(std::string_view text)
{
    if (!everConnected_)
        return false;
    // A plain sleep keeps everything else out, so two commands never
    // interleave on the line.
    for (const char c : text) {
        WriteUSB(std::string_view(&c, 1));
        clock_.SleepMs(kCharacterPauseMs);
    }
    WriteUSB(std::string_view(&kLineEnd, 1));
    return true;
}

bool MeterSession::WriteUSB(std::string_view text)
{
    bool ok = true;
    for (const char c : text) {
        FTDeviceState->outputBuffer[0] = static_cast<unsigned char>(c);
        if (WriteFTBuffer(*FTDeviceState, 1) != 1) {
            ok = false;
            CheckGone(FTDeviceState->lastIoStatus);
        }
    }
    return ok;
}

void MeterSession::PollTick()
{
    // A handle given up is not written to until the meter is back.
    if (everConnected_ && status_ != LinkStatus::Reopening && status_ != LinkStatus::Closed)
        SendCommand("PH");
}

void MeterSession::ReceiveTick()
{
    if (!deviceOpen_)
        return;
    if (status_ != LinkStatus::Reopening) {
        TFTDeviceState& device = *FTDeviceState;
        const FT_STATUS status = GetFTQueueStatus(device);
        CheckGone(status);
        if (status == FT_OK && device.RxBytes > 0) {
            const DWORD got = ReadFTBuffer(device, device.RxBytes);
            if (got > 0)
                watch_.BytesArrived(clock_.NowMs());
            else
                CheckGone(device.lastIoStatus);
            AppendReceived(receiveText_, {reinterpret_cast<const char*>(device.inputBuffer), got});
        }
        if (status_ != LinkStatus::Reopening && watch_.Silent(clock_.NowMs()))
            MarkLost();
    }
    std::vector<std::string> lines = TakeLines(receiveText_);
    if (!lines.empty()) {
        // Every line of this tick came off the converter now: one look at
        // the clocks stamps them all. Taking them all keeps fast polling from
        // building a backlog that would show and stamp readings late.
        Reading stamp;
        stamp.atMs = clock_.NowMs();
        stamp.utcMs = clock_.UtcMs();
        stamp.utcOffsetS = LocalUtcOffsetS(stamp.utcMs);
        for (std::string& line : lines)
            taken_.push_back({std::move(line), stamp});
    }
    TellTakenLines();
}

void MeterSession::TellTakenLines()
{
    // One line at a time off the queue: a listener that throws (the window
    // reporting a failed log row) leaves the lines after it, with their
    // stamps, to the next tick, and a listener that runs an event loop may
    // meet a nested tick that goes on in the same order.
    while (!taken_.empty()) {
        const TakenLine taken = std::move(taken_.front());
        taken_.pop_front();
        // The meter answers again on its new handle.
        if (status_ == LinkStatus::Lost)
            SetStatus(LinkStatus::Connected);
        // Listeners may come and go while they are told.
        const std::vector<MeterListener*> listeners = listeners_;
        for (MeterListener* listener : listeners)
            listener->LineReceived(taken.text);
        if (!IsReadingLine(taken.text))
            continue;
        const std::optional<double> value = ParseReadingField(ReadingField(taken.text));
        if (!value)
            continue;
        Reading reading = taken.stamp;
        reading.value = *value;
        for (MeterListener* listener : listeners)
            listener->ReadingReceived(reading);
    }
}

void MeterSession::ReopenTick()
{
    if (status_ != LinkStatus::Reopening)
        return;
    if (deviceOpen_) {
        CloseFTDevice(*FTDeviceState);
        deviceOpen_ = false;
    }
    // Only the same meter, with the same line setup.
    if (OpenAndSetUp() != SetupOutcome::Ready)
        return;
    // Half a line from before the loss must not be glued to the first new one.
    receiveText_.clear();
    SetStatus(LinkStatus::Lost);
    Greet();
}

void MeterSession::SetStatus(LinkStatus status)
{
    if (status == status_)
        return;
    status_ = status;
    for (MeterListener* listener : std::vector<MeterListener*>(listeners_))
        listener->StatusChanged(status);
}

void MeterSession::CheckGone(FT_STATUS status)
{
    if (status_ != LinkStatus::Reopening && LinkWatch::MeansGone(status))
        MarkLost();
}

void MeterSession::MarkLost()
{
    // Nothing is shown from here: the user may be away, and the link goes on
    // looking for the meter by itself.
    if (status_ == LinkStatus::Connected || status_ == LinkStatus::Lost)
        SetStatus(LinkStatus::Reopening);
}

void MeterSession::RestartWatch() { watch_.Restart(clock_.NowMs(), pollIntervalMs_, pollIntervalMs_ > 0); }

std::string LinkStatusText(std::string_view serial, bool responding)
{
    return "USB pH meter S/N " + std::string(serial) + (responding ? " connected" : " not responding");
}

MeterScheduler::MeterScheduler(MeterSession& session, MeterClock& clock) : session_(session), clock_(clock) {}

void MeterScheduler::Start(bool onReceptionGrid, bool pollsOnGrid)
{
    const int64_t now = clock_.NowMs();
    started_ = true;
    nextReceiveMs_ = now + kReceiveTickMs;
    if (onReceptionGrid)
        nextReceiveMs_ -= ((now % kReceiveTickMs) + kReceiveTickMs) % kReceiveTickMs;
    const uint32_t interval = session_.PollInterval();
    // An interval of 0 never polls.
    nextPollMs_ = interval > 0 ? now + interval : std::numeric_limits<int64_t>::max();
    // The grid point at or before now, an interval on: later polls keep to
    // the grid as long as the interval is a whole number of ticks.
    if (onReceptionGrid && pollsOnGrid && interval > 0)
        nextPollMs_ = nextReceiveMs_ - kReceiveTickMs + interval;
    reopenArmed_ = false;
    ArmReopen(now);
}

void MeterScheduler::ArmReopen(int64_t nowMs)
{
    if (session_.Status() != LinkStatus::Reopening) {
        reopenArmed_ = false;
        return;
    }
    if (!reopenArmed_) {
        reopenArmed_ = true;
        nextReopenMs_ = nowMs + session_.ReopenPeriodMs();
    }
}

int64_t MeterScheduler::NextDueMs() const
{
    int64_t next = std::min(nextReceiveMs_, nextPollMs_);
    if (reopenArmed_)
        next = std::min(next, nextReopenMs_);
    return next;
}

namespace {

// The next time of a periodic tick after one that was due at dueMs: one
// period on, or one period from now when the ticks fell behind (as a timer
// skips the ticks it missed).
int64_t NextTick(int64_t dueMs, int64_t periodMs, int64_t nowMs)
{
    const int64_t next = dueMs + periodMs;
    return next > nowMs ? next : nowMs + periodMs;
}

}  // namespace

void MeterScheduler::RunDue()
{
    if (!started_)
        return;
    int64_t now = clock_.NowMs();
    if (now >= nextReceiveMs_) {
        nextReceiveMs_ = NextTick(nextReceiveMs_, kReceiveTickMs, now);
        session_.ReceiveTick();
    }
    now = clock_.NowMs();
    if (now >= nextPollMs_) {
        nextPollMs_ = NextTick(nextPollMs_, session_.PollInterval(), now);
        session_.PollTick();
    }
    now = clock_.NowMs();
    ArmReopen(now);
    if (reopenArmed_ && now >= nextReopenMs_) {
        nextReopenMs_ = NextTick(nextReopenMs_, session_.ReopenPeriodMs(), now);
        session_.ReopenTick();
    }
    ArmReopen(clock_.NowMs());
}

void MeterScheduler::RunUntil(int64_t untilMs) { RunDueUntil(clock_, *this, untilMs); }

}  // namespace tirevo
