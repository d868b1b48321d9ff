#include "MeterRun.h"

#include "AuditedRecord.h"
#include "FdOutput.h"
#include "FolderAccess.h"
#include "ReadingOutput.h"
#include "ReadingText.h"
#include "ReadingTime.h"
#include "SampleRecord.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tirevo {

namespace {

constexpr const char* kProgramName = "tirevo-cli";
// A read run of at most this many readings is over before a status line would
// tell anything.
constexpr uint64_t kShortRunReadings = 10;
constexpr int64_t kStatusRefreshMs = 1000;
constexpr int64_t kDefaultMeasureTimeoutMs = 120000;

bool WantsStatusLine(const MeterRunSetup& setup)
{
    const CliOptions& options = setup.options;
    // One line cannot tell of several meters; their events are lines of
    // their own.
    if (setup.severalMeters || !IsTerminal(setup.errFd))
        return false;
    return options.command == CliCommand::Log || options.command == CliCommand::Measure ||
        options.command == CliCommand::Publish || !options.count || *options.count > kShortRunReadings;
}

}  // namespace

MeterRun::MeterRun(MeterRunSetup setup, MeterClock& clock, RunWait& wait)
    : setup_(std::move(setup)),
      clock_(clock),
      wait_(wait),
      session_(clock),
      scheduler_(session_, clock),
      status_(setup_.errFd, WantsStatusLine(setup_)),
      alarm_(
          setup_.alarm, setup_.options.alarm.onAlarm, setup_.serial, clock,
          [this](const std::string& line) { Say(line); }, [this](const std::string& line) { PassOn(line); }),
      audit_([this](const AuditEvent& event) {
          if (setup_.audit)
              setup_.audit->Append(event);
      }),
      rule_(setup_.settings.stability)
{
    // A log kept on a machine nobody watches is read from its file; readings
    // go to stdout only when someone sees them there.
    printReadings_ = !Keeping() || IsTerminal(setup_.outFd);
    session_.AddListener(this);
    // After this run's own listener: the reading is printed before its alarm.
    session_.AddListener(&alarm_);
    alarm_.SetEventsListener(
        [this](const std::vector<AlarmEvent>& events) { audit_.AlarmsChanged(events, setup_.serial); });
    // Said as the run's other lines are, clearing the status line; a run of
    // several meters has no status line, and the writer it shares says it
    // as the program's other lines.
    if (setup_.audit && !setup_.severalMeters)
        setup_.audit->SetSay([this](const std::string& line) { Say(line); });
    alarm_.NameMeterInLines(setup_.severalMeters);
    if (setup_.publisher) {
        setup_.publisher->SetSay([this](const std::string& line) { Say(line); });
        ReadingPublisher* publisher = setup_.publisher;
        alarm_.SetStateListener([publisher](const std::string& state) { publisher->AlarmState(state); });
    }
}

MeterRun::~MeterRun()
{
    if (setup_.audit && !setup_.severalMeters)
        setup_.audit->SetSay(nullptr);
    if (setup_.publisher)
        setup_.publisher->SetSay(nullptr);
    session_.RemoveListener(&alarm_);
    session_.RemoveListener(this);
}

void MeterRun::Say(const std::string& line)
{
    status_.Clear();
    WriteAll(setup_.errFd, std::string(kProgramName) + ": " + line + "\n");
}

void MeterRun::PassOn(const std::string& line)
{
    status_.Clear();
    WriteAll(setup_.errFd, line + "\n");
}

void MeterRun::Print(const std::string& text)
{
    if (!printReadings_)
        return;
    status_.Clear();
    const int error = WriteAll(setup_.outFd, text);
    if (error == 0)
        return;
    printReadings_ = false;
    if (error == EPIPE) {
        // The reader has gone (read | head -3): a read run has nobody left
        // to read to; a log run goes on into its file.
        if (!Keeping())
            endCode_ = kExitDone;
        return;
    }
    // A full disk or the like under stdout: what was asked for is not being
    // kept, and a script must not take the run for a success.
    Say(StdoutErrorText(error));
    endCode_ = kExitOutput;
}

std::optional<int> MeterRun::LogFolderError() const
{
    return FolderWriteError(setup_.options.dir.value_or("."));
}

int MeterRun::Run()
{
    if (const std::optional<int> failed = Begin())
        return *failed;
    for (;;) {
        const int64_t now = clock_.NowMs();
        if (const std::optional<int> code = Due(now))
            return Finish(*code);
        if (wait_.Wait(NextWakeMs(now) - now))
            return Finish(EndedBySignal());
        if (wait_.TakeResized())
            status_.Refit();
        Step();
    }
}

int MeterRun::EndedBySignal()
{
    if (endCode_)
        return *endCode_;
    // A measure ended before its sample has nothing to show for itself: a
    // script running `measure && ...` must not take it for a recorded one.
    if (Measuring()) {
        Say("ended before the sample was taken; no sample was recorded");
        return kExitNotStable;
    }
    return kExitDone;
}

std::optional<int> MeterRun::Begin(bool sayOpenFailure)
{
    session_.SetPollInterval(setup_.settings.intervalMs);
    // A folder that cannot take the log is found before the meter is greeted.
    if (Logging()) {
        if (const std::optional<int> error = LogFolderError()) {
            Say("cannot create a log file in " + setup_.options.dir.value_or(".") + ": " +
                std::strerror(*error));
            return kExitLogFile;
        }
    }
    const ConnectResult connected = session_.Connect(setup_.serial);
    if (connected != ConnectResult::Connected) {
        if (sayOpenFailure)
            Say("the meter " + setup_.serial + " cannot be opened (is another program using it?)");
        return kExitNoMeter;
    }
    // A converter gone during the setup has been reported lost already.
    if (session_.Status() == LinkStatus::Connected) {
        Say(LinkStatusText(setup_.serial, true));
        if (setup_.publisher)
            setup_.publisher->MeterAvailable(true);
    }

    if (Logging()) {
        DataLogOptions log;
        log.folder = setup_.options.dir.value_or(std::string());
        log.useTimeStamp = setup_.settings.useTimeStamp;
        log.separator = setup_.settings.separator;
        log.serialInName = setup_.severalMeters;
        if (const int error = dataLog_.Start(log, setup_.appVersion, setup_.serial)) {
            Say("cannot create a log file in " + (log.folder.empty() ? std::string(".") : log.folder) + ": " +
                std::strerror(error));
            session_.Close();
            if (setup_.publisher)
                setup_.publisher->End();
            return kExitLogFile;
        }
        Say("logging to " + dataLog_.FileName());
        AuditLog();
    } else if (!Measuring() && !setup_.publisher && !setup_.severalMeters) {
        Print(OutputHeader(setup_.options.format));
    }

    scheduler_.Start(setup_.severalMeters);
    startMs_ = clock_.NowMs();
    ShowStatus(startMs_);
    return std::nullopt;
}

std::optional<int> MeterRun::Due(int64_t now)
{
    if (endCode_)
        return *endCode_;
    if (Finished(now))
        return kExitDone;
    if (Measuring() && now - startMs_ >= MeasureTimeoutMs()) {
        if (!haveReading_) {
            Say("no reading came within " + SecondsText(MeasureTimeoutMs()) + "; nothing was recorded");
            return kExitNotStable;
        }
        Say("no stable reading within " + SecondsText(MeasureTimeoutMs()) + "; the last one is taken");
        return Measured(kExitNotStable);
    }
    if (lostSinceMs_ && setup_.options.giveUpMs && now - *lostSinceMs_ >= *setup_.options.giveUpMs) {
        Say("gave up: the meter " + setup_.serial + " did not come back");
        return kExitGaveUp;
    }
    if (setup_.publisher) {
        if (const std::optional<std::string> failure = setup_.publisher->Failure()) {
            Say(*failure);
            return kExitBroker;
        }
    }
    return std::nullopt;
}

void MeterRun::Step()
{
    scheduler_.RunDue();
    alarm_.Tick(clock_.NowMs());
    ShowStatus(clock_.NowMs());
}

bool MeterRun::Finished(int64_t nowMs) const
{
    const CliOptions& o = setup_.options;
    return (o.count && readings_ >= *o.count) || (o.durationMs && nowMs - startMs_ >= *o.durationMs);
}

int64_t MeterRun::NextWakeMs(int64_t nowMs) const
{
    int64_t wake = scheduler_.NextDueMs();
    if (setup_.options.durationMs)
        wake = std::min(wake, startMs_ + *setup_.options.durationMs);
    if (lostSinceMs_ && setup_.options.giveUpMs)
        wake = std::min(wake, *lostSinceMs_ + *setup_.options.giveUpMs);
    if (Measuring())
        wake = std::min(wake, startMs_ + MeasureTimeoutMs());
    if (const std::optional<int64_t> alarmDue = alarm_.NextDueMs())
        wake = std::min(wake, *alarmDue);
    if (status_.Enabled())
        wake = std::min(wake, nowMs + kStatusRefreshMs - (nowMs - startMs_) % kStatusRefreshMs);
    return std::max(wake, nowMs);
}

void MeterRun::ShowStatus(int64_t nowMs)
{
    if (!status_.Enabled())
        return;
    RunProgress progress;
    progress.serial = setup_.serial;
    progress.lastReading = lastReading_;
    progress.readings = readings_;
    progress.elapsedMs = nowMs - startMs_;
    progress.fileName = Logging() ? dataLog_.FileName() : std::string();
    progress.responding = responding_;
    if (Measuring() && rule_.HasReadings())
        progress.note = rule_.Stable() ? "stable" : "settling";
    status_.Show(StatusText(progress, status_.Columns()));
}

int MeterRun::Finish(int exitCode)
{
    session_.Close();
    if (setup_.publisher)
        setup_.publisher->End();
    if (Logging() && dataLog_.Logging()) {
        const int error = dataLog_.Stop();
        if (error != 0) {
            Say("cannot finish " + dataLog_.FileName() + ": " + std::strerror(error));
            exitCode = kExitLogFile;
        }
        // Even a file whose close failed is closed as far as the trail goes:
        // its hash is of what it holds now, as verify will find it.
        AuditLog();
    }
    // The meter is closed and the log complete; a command an alarm started
    // may still tell how it went. A run of several meters waits for all of
    // theirs at once, at its own end.
    if (!setup_.severalMeters)
        alarm_.EndHooks(AlarmHook::EndDeadline());
    ShowStatus(clock_.NowMs());
    // The last state stays readable above the prompt.
    if (status_.Enabled())
        WriteAll(setup_.errFd, "\n");
    return exitCode;
}

void MeterRun::AuditLog() { audit_.LogChanged(dataLog_, setup_.serial); }

int64_t MeterRun::MeasureTimeoutMs() const
{
    return setup_.options.timeoutMs.value_or(kDefaultMeasureTimeoutMs);
}

int MeterRun::Measured(int codeWhenRecorded)
{
    SampleRow row;
    row.time = IsoLocalTimeText(lastTime_);
    row.name = setup_.options.sample;
    row.readingText = lastReading_;
    row.stable = lastStable_;
    row.serial = setup_.serial;
    // Recorded first: a line printed is a sample kept.
    int code = codeWhenRecorded;
    if (setup_.records.record) {
        const AuditedRecord records(setup_.records.folder, setup_.records.createFolder,
                                    setup_.records.program);
        const AuditedWrite result = records.AppendSample(row);
        if (!result.ok) {
            Say(result.errorText);
            code = kExitLogFile;
        }
    }
    Print(MeasureOutput(setup_.options.format, row, ClockTimeText(lastTime_)));
    // A line that could not be printed (a full disk under stdout) is a
    // failure the script must see, whatever the sample was.
    if (endCode_ == kExitOutput)
        code = kExitOutput;
    return code;
}

void MeterRun::ReadingReceived(const Reading& reading)
{
    if (endCode_ || (setup_.options.count && readings_ >= *setup_.options.count))
        return;
    const bool stable = rule_.Add(reading.atMs, reading.value);
    if (Measuring()) {
        ++readings_;
        lastReading_ = FormatReading(reading.value, '.');
        lastTime_ = ReadingDateTime(reading);
        lastStable_ = stable;
        haveReading_ = true;
        if (stable || setup_.options.now)
            endCode_ = Measured(kExitDone);
        return;
    }
    if (Logging()) {
        // On disk first: a row printed is a row kept, whatever ends the
        // program afterwards.
        const std::string text = FormatReading(reading.value, setup_.decimalSeparator);
        if (const int error = dataLog_.WriteRow(text, setup_.timeSeparator, ReadingLogTime(reading))) {
            Say("cannot write to " + dataLog_.FileName() + ": " + std::strerror(error));
            // The file is closed with the rows it holds.
            AuditLog();
            endCode_ = kExitLogFile;
            return;
        }
    }
    ++readings_;
    if (setup_.publisher)
        setup_.publisher->ReadingTaken(reading, stable);
    lastReading_ = FormatReading(reading.value, '.');
    // The row and the line carry the reading's one stamp, never a second
    // look at the clock.
    Print(OutputLine(Keeping() ? OutputFormat::Text : setup_.options.format, ReadingWallTime(reading),
                     lastReading_, setup_.serial, stable, setup_.severalMeters));
}

void MeterRun::StatusChanged(LinkStatus status)
{
    audit_.LinkChanged(status, setup_.serial);
    // A lost meter, or one found again, starts the rule afresh.
    rule_.Restart();
    if (status == LinkStatus::Connected) {
        lostSinceMs_.reset();
        if (!responding_) {
            responding_ = true;
            if (setup_.publisher)
                setup_.publisher->MeterAvailable(true);
            Say(LinkStatusText(setup_.serial, true));
        }
    } else if (status == LinkStatus::Lost || status == LinkStatus::Reopening) {
        if (!lostSinceMs_)
            lostSinceMs_ = clock_.NowMs();
        if (responding_) {
            responding_ = false;
            if (setup_.publisher)
                setup_.publisher->MeterAvailable(false);
            Say(LinkStatusText(setup_.serial, false));
        }
    }
}

}  // namespace tirevo
