#include "BenchMeter.h"

#include "CalibrationRecord.h"
#include "SampleRecord.h"

#include <algorithm>
#include <limits>

namespace tirevo {

BenchMeter::BenchMeter(ListedDevice device, MeterClock& clock, const BenchRules& rules, MeterSession* shared,
                       SessionAudit::Sink audit)
    : device_(std::move(device)),
      clock_(clock),
      rules_(rules),
      owned_(shared ? nullptr : std::make_unique<MeterSession>(clock)),
      session_(shared ? shared : owned_.get()),
      stability_(rules.stability),
      check_(rules.stability, rules.calibration),
      audit_([audit = std::move(audit)](const AuditEvent& event) {
          if (audit)
              audit(event);
      })
{
    if (owned_)
        owned_->SetPollInterval(rules.pollIntervalMs);
    session_->AddListener(this);
}

BenchMeter::~BenchMeter()
{
    session_->RemoveListener(this);
    // A shared session stays the main window's; an own one is closed by its
    // destructor, which no longer tells this meter: the trail hears of it
    // here.
    if (owned_)
        audit_.LinkChanged(LinkStatus::Closed, device_.serial);
}

void BenchMeter::End()
{
    TellRow(check_.End());
    if (log_.Logging())
        StopLog();
}

bool BenchMeter::Open()
{
    if (!owned_) {
        CheckCalibrationDue();
        return true;
    }
    if (owned_->Connect(device_.serial) != ConnectResult::Connected)
        return false;
    scheduler_ = std::make_unique<MeterScheduler>(*owned_, clock_);
    // Every meter looks at its converter in the same wake-up of the window,
    // and is polled in it, so each reading reaches its tile within a tick.
    scheduler_->Start(true, true);
    CheckCalibrationDue();
    return true;
}

bool BenchMeter::Lost() const
{
    const LinkStatus status = session_->Status();
    return status == LinkStatus::Lost || status == LinkStatus::Reopening;
}

void BenchMeter::RunDue()
{
    if (scheduler_)
        scheduler_->RunDue();
    const int64_t now = clock_.NowMs();
    if (const std::optional<int64_t> due = alarm_.NextDueMs(); due && now >= *due) {
        AuditAlarms(alarm_.Advance(now));
        Changed();
    }
    if (check_.Waiting() && now >= check_.WaitEndsMs())
        TellRow(check_.Advance(now));
    if (rules_.calibration.dueHours > 0 && now >= nextDueCheckMs_)
        CheckCalibrationDue();
}

int64_t BenchMeter::NextDueMs() const
{
    int64_t next = scheduler_ ? scheduler_->NextDueMs() : std::numeric_limits<int64_t>::max();
    if (const std::optional<int64_t> due = alarm_.NextDueMs())
        next = std::min(next, *due);
    if (check_.Waiting())
        next = std::min(next, check_.WaitEndsMs());
    if (rules_.calibration.dueHours > 0)
        next = std::min(next, nextDueCheckMs_);
    return next;
}

void BenchMeter::SetAlarmSettings(const AlarmSettings& settings)
{
    alarm_.SetSettings(settings);
    Changed();
}

void BenchMeter::CheckCalibrationDue()
{
    nextDueCheckMs_ = clock_.NowMs() + kDueCheckPeriodMs;
    bool due = false;
    if (rules_.calibration.dueHours > 0) {
        const CalibrationsRead read = ReadCalibrations(CalibrationsFile(rules_.recordsFolder, false).Path());
        due = CalibrationDueState(read.rows, Latin1ToUtf8(device_.serial), rules_.calibration.dueHours,
                                  clock_.UtcMs())
                  .due;
    }
    if (due != due_) {
        due_ = due;
        Changed();
    }
}

void BenchMeter::StartCalibration(int point, int64_t bufferHundredths, const std::string& command,
                                  const std::string& timeText)
{
    CalibrationStart start;
    start.time = timeText;
    start.serial = device_.serial;
    start.point = point;
    start.bufferHundredths = bufferHundredths;
    start.command = command;
    if (last_ && session_->Status() == LinkStatus::Connected) {
        start.asFound = last_->value;
        start.asFoundStable = stable_;
    }
    // The point sent before is over, whatever it was waiting for.
    TellRow(check_.Start(start, clock_.NowMs()));
    session_->SendCommand(command);
    // A meter that did not answer the command cannot give its as-left.
    if (session_->Status() != LinkStatus::Connected)
        TellRow(check_.End());
}

void BenchMeter::ReadingReceived(const Reading& reading)
{
    last_ = reading;
    stable_ = stability_.Add(reading.atMs, reading.value);
    AuditAlarms(alarm_.OnReading(reading));
    TellRow(check_.Add(reading.atMs, reading.value));
    if (listener_)
        listener_->BenchReading(*this, reading);
}

void BenchMeter::StatusChanged(LinkStatus status)
{
    // A meter lost or found again is judged afresh from its next reading.
    stability_.Restart();
    stable_ = false;
    last_.reset();
    if (owned_)
        audit_.LinkChanged(status, device_.serial);
    AuditAlarms(alarm_.OnStatus(status, clock_));
    if (status != LinkStatus::Connected)
        TellRow(check_.End());
    Changed();
}

int BenchMeter::StartLog(const DataLogOptions& options, std::string_view appVersion)
{
    const int error = log_.Start(options, appVersion, device_.serial);
    audit_.LogChanged(log_, device_.serial);
    return error;
}

int BenchMeter::StopLog()
{
    const int error = log_.Stop();
    audit_.LogChanged(log_, device_.serial);
    return error;
}

int BenchMeter::WriteLogRow(std::string_view readingText, char timeSeparator, const LogClockTime& at)
{
    const int error = log_.WriteRow(readingText, timeSeparator, at);
    // Only a failed row closes the file.
    if (error != 0)
        audit_.LogChanged(log_, device_.serial);
    return error;
}

void BenchMeter::AuditAlarms(const std::vector<AlarmEvent>& events)
{
    if (!events.empty())
        audit_.AlarmsChanged(events, device_.serial);
}

void BenchMeter::Changed()
{
    if (listener_)
        listener_->BenchChanged(*this);
}

void BenchMeter::TellRow(const std::optional<CalibrationRow>& row)
{
    if (!row)
        return;
    if (listener_)
        listener_->BenchCalibrationRow(*this, *row);
    if (row->result == CalibrationResult::Pass)
        CheckCalibrationDue();
}

}  // namespace tirevo
