#include "CalibrateRun.h"

#include "StatusLine.h"

#include "AuditedRecord.h"
#include "CalibrationRecord.h"
#include "FdOutput.h"
#include "ReadingText.h"
#include "ReadingTime.h"

#include <algorithm>
#include <cerrno>

namespace tirevo {

namespace {

constexpr const char* kProgramName = "tirevo-cli";
constexpr int64_t kStatusRefreshMs = 1000;

}  // namespace

CalibrateRun::CalibrateRun(CalibrateSetup setup, MeterClock& clock, RunWait& wait)
    : setup_(std::move(setup)),
      clock_(clock),
      wait_(wait),
      session_(clock),
      scheduler_(session_, clock),
      status_(setup_.errFd, !setup_.now && IsTerminal(setup_.errFd)),
      audit_([this](const AuditEvent& event) {
          if (writer_)
              writer_->Append(event);
      }),
      rule_(setup_.stability),
      check_(setup_.stability, setup_.timeoutMs, setup_.toleranceHundredths)
{
    // A failed event is said once as the run's other lines are; the point
    // is still sent and its row still tried.
    if (setup_.records.record)
        writer_.emplace(setup_.records.folder, setup_.records.createFolder, setup_.records.program,
                        [this](const std::string& line) { Say(line); });
    session_.AddListener(this);
}

CalibrateRun::~CalibrateRun() { session_.RemoveListener(this); }

void CalibrateRun::Say(const std::string& line)
{
    status_.Clear();
    WriteAll(setup_.errFd, std::string(kProgramName) + ": " + line + "\n");
}

int CalibrateRun::Run()
{
    session_.SetPollInterval(setup_.intervalMs);
    if (session_.Connect(setup_.serial) != ConnectResult::Connected) {
        Say("the meter " + setup_.serial + " cannot be opened (is another program using it?)");
        return kExitNoMeter;
    }
    if (setup_.now) {
        if (!Send(std::nullopt))
            return Finish(kExitNoMeter);
        // Nothing is read: the row says what was sent, and no more.
        return Finish(Recorded(*check_.End()));
    }

    scheduler_.Start();
    phaseStartMs_ = clock_.NowMs();
    ShowStatus(phaseStartMs_);
    for (;;) {
        const int64_t now = clock_.NowMs();
        if (stableAsFound_) {
            const double asFound = *stableAsFound_;
            stableAsFound_.reset();
            if (!Send(asFound)) {
                // Sent, perhaps in part, to a meter that went away: it is
                // recorded, as left unknown.
                return Finish(Recorded(*check_.End()));
            }
            phase_ = Phase::AsLeft;
            phaseStartMs_ = clock_.NowMs();
            continue;
        }
        if (done_)
            return Finish(Recorded(*done_));
        if (phase_ == Phase::AsFound && now - phaseStartMs_ >= setup_.timeoutMs) {
            Say("no stable reading within " + SecondsText(setup_.timeoutMs) + "; " + setup_.command +
                " was not sent");
            return Finish(kExitNotStable);
        }
        if (phase_ == Phase::AsLeft) {
            if (std::optional<CalibrationRow> over = check_.Advance(now)) {
                Say("no stable reading within " + SecondsText(setup_.timeoutMs) + " after " + setup_.command +
                    "; recorded as unknown");
                return Finish(Recorded(*over));
            }
        }
        int64_t wake =
            std::min(scheduler_.NextDueMs(),
                     phase_ == Phase::AsFound ? phaseStartMs_ + setup_.timeoutMs : check_.WaitEndsMs() + 1);
        if (status_.Enabled())
            wake = std::min(wake, now + kStatusRefreshMs - (now - phaseStartMs_) % kStatusRefreshMs);
        if (wait_.Wait(std::max<int64_t>(wake - now, 0))) {
            // Ended by a signal: a point sent keeps its row.
            if (phase_ == Phase::AsLeft) {
                Say("ended during the wait after " + setup_.command + "; recorded as unknown");
                return Finish(Recorded(*check_.End()));
            }
            Say("ended before a stable reading; " + setup_.command + " was not sent");
            return Finish(kExitNotStable);
        }
        if (wait_.TakeResized())
            status_.Refit();
        scheduler_.RunDue();
        ShowStatus(clock_.NowMs());
    }
}

bool CalibrateRun::Send(std::optional<double> asFound)
{
    CalibrationStart start;
    Reading now;
    now.utcMs = clock_.UtcMs();
    now.utcOffsetS = LocalUtcOffsetS(now.utcMs);
    start.time = IsoLocalTimeText(ReadingDateTime(now));
    start.serial = setup_.serial;
    start.point = setup_.point;
    start.bufferHundredths = setup_.bufferHundredths;
    start.command = setup_.command;
    start.asFound = asFound;
    start.asFoundStable = asFound.has_value();
    check_.Start(start, clock_.NowMs());
    session_.SendCommand(setup_.command);
    // A converter gone during the command has not passed it on: no success
    // may be claimed for it.
    if (session_.Status() != LinkStatus::Connected) {
        Say("USB pH meter S/N " + setup_.serial + " not responding; " + setup_.command + " not sent");
        return false;
    }
    Say("sent " + setup_.command + " to USB pH meter S/N " + setup_.serial);
    return true;
}

int CalibrateRun::Recorded(const CalibrationRow& row)
{
    phase_ = Phase::Done;
    int code = kExitDone;
    if (row.result == CalibrationResult::Fail)
        code = kExitCheckFailed;
    else if (row.result == CalibrationResult::Unknown && !setup_.now)
        code = kExitNotStable;
    // Recorded first: a line printed is a row kept.
    if (setup_.records.record) {
        const AuditedRecord records(setup_.records.folder, setup_.records.createFolder,
                                    setup_.records.program);
        const AuditedWrite result = records.AppendCalibration(row);
        if (!result.ok) {
            Say(result.errorText);
            code = kExitLogFile;
        }
    }
    status_.Clear();
    // With --now nothing was read: no check to tell of.
    const int error = WriteAll(
        setup_.outFd,
        (setup_.now ? "Point " + std::to_string(row.point) + ": " + row.command + " sent without a check"
                    : CalibrationLineText(row)) +
            "\n");
    // A reader gone away (| head) changes nothing; a full disk under stdout
    // is a failure the script must see, as a row that cannot be kept is.
    if (error != 0 && error != EPIPE) {
        Say(StdoutErrorText(error));
        code = kExitOutput;
    }
    return code;
}

void CalibrateRun::ShowStatus(int64_t nowMs)
{
    if (!status_.Enabled())
        return;
    RunProgress progress;
    progress.serial = setup_.serial;
    progress.lastReading = lastReading_;
    progress.readings = readings_;
    progress.elapsedMs = nowMs - phaseStartMs_;
    progress.responding = responding_;
    const StabilityRule& rule = phase_ == Phase::AsLeft ? check_.Rule() : rule_;
    progress.note = std::string(phase_ == Phase::AsLeft ? "as left: " : "as found: ") +
        (rule.HasReadings() && rule.Stable() ? "stable" : "settling");
    status_.Show(StatusText(progress, status_.Columns()));
}

int CalibrateRun::Finish(int exitCode)
{
    session_.Close();
    if (status_.Enabled()) {
        status_.Clear();
    }
    return exitCode;
}

void CalibrateRun::ReadingReceived(const Reading& reading)
{
    ++readings_;
    lastReading_ = FormatReading(reading.value, '.');
    if (phase_ == Phase::AsFound) {
        if (rule_.Add(reading.atMs, reading.value) && !stableAsFound_)
            stableAsFound_ = reading.value;
        return;
    }
    if (phase_ == Phase::AsLeft && !done_)
        done_ = check_.Add(reading.atMs, reading.value);
}

void CalibrateRun::StatusChanged(LinkStatus status)
{
    audit_.LinkChanged(status, setup_.serial);
    rule_.Restart();
    if (status == LinkStatus::Connected) {
        if (!responding_)
            Say(LinkStatusText(setup_.serial, true));
        responding_ = true;
        return;
    }
    if (status == LinkStatus::Closed)
        return;
    if (responding_)
        Say(LinkStatusText(setup_.serial, false));
    responding_ = false;
    // A point waiting for its as-left is over when the meter goes.
    if (phase_ == Phase::AsLeft && !done_)
        done_ = check_.End();
}

}  // namespace tirevo
