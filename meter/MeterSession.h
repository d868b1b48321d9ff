// One meter link: open by serial number with the fixed line setup, the
// greeting, paced commands, polling, the reception of reply lines and the
// lost-and-found of a meter that goes away. It shows nothing itself: its
// users (the window, the command line, the trend) hear of readings, lines and
// status changes through MeterListener.
//
// The session does not run timers of its own. Its user calls PollTick() once
// per poll interval, ReceiveTick() every kReceiveTickMs and, while the status
// is Reopening, ReopenTick() every ReopenPeriodMs() -- the window with its
// timers, the command line and the tests through MeterScheduler.
#pragma once

#include "D2XXUnit.h"
#include "LinkWatch.h"
#include "MeterClock.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

inline constexpr int kReceiveTickMs = 100;
inline constexpr uint32_t kDefaultPollIntervalMs = 1000;

enum class LinkStatus {
    Closed,     // never connected, or closed at the end
    Connected,  // open and answering
    Lost,       // open again (or still open) but nothing heard yet: "not responding"
    Reopening,  // the handle is given up; the same serial number is tried again
};

// One reading with its one time stamp, taken once when its line was taken
// from the converter: the display, the log row, the printed line and the
// trend point of a reading all show this moment, never a later look at the
// clock.
struct Reading {
    double value = 0;        // as parsed from the reply line
    int64_t atMs = 0;        // the session's monotonic clock when the line was taken from the converter
    int64_t utcMs = 0;       // wall clock at that same moment: milliseconds since the Unix epoch, UTC
    int32_t utcOffsetS = 0;  // the local offset from UTC at that moment, seconds (east positive)
};

class MeterListener {
public:
    virtual ~MeterListener() = default;
    virtual void ReadingReceived(const Reading& /*reading*/) {}
    // Every line taken, reading lines included, without its carriage return.
    virtual void LineReceived(std::string_view /*line*/) {}
    virtual void StatusChanged(LinkStatus /*status*/) {}
};

enum class ConnectResult {
    Connected,    // open, line set up, greeted
    OpenFailed,   // nothing changed; the device is not open
    SetupFailed,  // the line setup failed for another reason: closed again, as a failed open
};

class MeterSession {
public:
    explicit MeterSession(MeterClock& clock);
    ~MeterSession();
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    void AddListener(MeterListener* listener);
    void RemoveListener(MeterListener* listener);

    // 0 means the meter is never polled.
    void SetPollInterval(uint32_t ms);
    uint32_t PollInterval() const { return pollIntervalMs_; }

    // Opens the meter by serial number, sets up the line and sends "S20" and
    // "V". A converter that goes away during the setup still counts as
    // connected, and is then lost (status Reopening) at once.
    ConnectResult Connect(const std::string& serial);
    // The two halves of Connect(), for a user that shows the connection
    // before the greeting goes out.
    ConnectResult Open(const std::string& serial);
    void Greet();
    // Closes the device if it is open; the status becomes Closed.
    void Close();

    // Sends one command: each character in its own write, a pause of 2 ms
    // after each, then a carriage return. False (nothing written) when no
    // meter was ever connected.
    bool SendCommand(std::string_view text);

    // The bytes of text, each in a write call of its own; true when every
    // call wrote its byte.
    bool WriteUSB(std::string_view text);

    void PollTick();     // "PH", unless the handle is given up
    void ReceiveTick();  // collect bytes, take every complete line in order
    void ReopenTick();   // one attempt to open the lost meter again

    LinkStatus Status() const { return status_; }
    bool Connected() const { return everConnected_; }  // set on connection, kept until the end
    bool DeviceOpen() const { return deviceOpen_; }
    const std::string& Serial() const { return serial_; }
    // How often ReopenTick() is due while Reopening.
    int ReopenPeriodMs() const;
    // The device layer's state of this session (its handle), for a
    // benchmark's floor that writes through the same handle.
    TFTDeviceState& DeviceState() { return *FTDeviceState; }
    // Received text not yet taken as lines.
    const std::string& ReceiveText() const { return receiveText_; }

private:
    enum class SetupOutcome { Ready, OpenFailed, Gone, Failed };
    SetupOutcome OpenAndSetUp();
    void SetStatus(LinkStatus status);
    void CheckGone(FT_STATUS status);
    void MarkLost();
    void RestartWatch();
    void TellTakenLines();

    // A line taken from the received text and not yet told to the listeners.
    struct TakenLine {
        std::string text;
        Reading stamp;  // the moment it was taken; the value is filled in for readings
    };

    MeterClock& clock_;
    // This session's own handle and buffers, and its line setup: several
    // sessions in one process each work on their own meter.
    std::unique_ptr<TFTDeviceState> FTDeviceState;
    TFTPortSettings FTPortSettings;
    LinkWatch watch_;
    std::vector<MeterListener*> listeners_;
    uint32_t pollIntervalMs_ = kDefaultPollIntervalMs;
    LinkStatus status_ = LinkStatus::Closed;
    bool everConnected_ = false;
    bool deviceOpen_ = false;
    std::string serial_;
    std::string receiveText_;
    std::deque<TakenLine> taken_;
};

// What the user is told of the link to the meter with this serial number:
// "USB pH meter S/N <serial> connected", or "... not responding".
std::string LinkStatusText(std::string_view serial, bool responding);

// Runs a session's ticks on its clock for users without timers of their own
// (the command line, the tests): receive every kReceiveTickMs, poll once per
// interval from one interval after Start(), reopen while Reopening.
class MeterScheduler {
public:
    MeterScheduler(MeterSession& session, MeterClock& clock);
    // Call right after a successful Connect(). onReceptionGrid: the
    // reception ticks fall on multiples of kReceiveTickMs of the clock, so
    // that the sessions of a run over several meters look at their
    // converters in one wake-up instead of one each. pollsOnGrid: the polls
    // fall on that grid too, just after its reception tick, so that a reply
    // arrives early in a tick's period and is taken at the next tick, within
    // one period of its arrival (the first poll then comes up to one tick
    // sooner than an interval after the start).
    void Start(bool onReceptionGrid = false, bool pollsOnGrid = false);
    // When the next tick is due, on the session clock.
    int64_t NextDueMs() const;
    // Runs every tick that is due now.
    void RunDue();
    // Sleeps on the clock from tick to tick, running each, until untilMs;
    // for tests and simple loops.
    void RunUntil(int64_t untilMs);

private:
    void ArmReopen(int64_t nowMs);

    MeterSession& session_;
    MeterClock& clock_;
    int64_t nextReceiveMs_ = 0;
    int64_t nextPollMs_ = 0;
    int64_t nextReopenMs_ = 0;
    bool reopenArmed_ = false;
    bool started_ = false;
};

}  // namespace tirevo
