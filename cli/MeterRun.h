// `read` and `log`: one connected meter polled on the session's schedule, its
// readings printed and (for log) written to the data log, until a count, a
// duration, a signal or a meter that does not come back ends the run.
#pragma once

#include "AlarmSettings.h"
#include "AuditWriter.h"
#include "CliAlarm.h"
#include "CliOptions.h"
#include "DataLog.h"
#include "ExitCode.h"
#include "MeterClock.h"
#include "MeterSession.h"
#include "ReadingPublisher.h"
#include "RunSettings.h"
#include "RunWait.h"
#include "SessionAudit.h"
#include "StabilityRule.h"
#include "StatusLine.h"

#include <QDateTime>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tirevo {

struct MeterRunSetup {
    CliOptions options;
    RunSettings settings;
    AlarmSettings alarm;  // the file's with the options laid over them
    std::string serial;
    std::string appVersion;
    char decimalSeparator = '.';  // of log rows, as the window writes them
    char timeSeparator = ':';
    int outFd = 1;
    int errFd = 2;
    RecordsChoice records;  // measure
    // Where the run's meter, alarm and log events go: the records folder's
    // trail, one writer for every meter of the run. None with --no-record.
    std::shared_ptr<AuditWriter> audit;
    ReadingPublisher* publisher = nullptr;  // publish, log --mqtt
    // One meter of a run over every attached meter: lines and log file names
    // carry the serial number, no status line, no csv header of its own.
    bool severalMeters = false;
};

class MeterRun final : public MeterListener {
public:
    MeterRun(MeterRunSetup setup, MeterClock& clock, RunWait& wait);
    ~MeterRun() override;
    MeterRun(const MeterRun&) = delete;
    MeterRun& operator=(const MeterRun&) = delete;

    // Connects, runs and closes; returns the exit code.
    int Run();

    // The same in steps, for a loop that runs several meters: Begin()
    // connects (an exit code when it cannot), Due() says whether this run
    // must end now and with which code, NextWakeMs() when it next has
    // something to do, Step() does it after a wait, and Finish() closes.
    std::optional<int> Begin(bool sayOpenFailure = true);
    std::optional<int> Due(int64_t nowMs);
    int64_t NextWakeMs(int64_t nowMs) const;
    void Step();
    int Finish(int exitCode);
    // The --on-alarm commands still running, for a loop that lets this run
    // go before they have ended (a meter that gave its count): it reaps them
    // at HooksDueMs() and waits for them at its end. A run on its own waits
    // in Finish().
    bool HooksRunning() const { return alarm_.HooksRunning(); }
    std::optional<int64_t> HooksDueMs() const { return alarm_.HooksDueMs(); }
    void ReapHooks() { alarm_.ReapHooks(); }
    void EndHooks(AlarmHook::Deadline deadline) { alarm_.EndHooks(deadline); }
    // The count of readings asked for has been reached.
    bool Completed() const { return setup_.options.count && readings_ >= *setup_.options.count; }
    const std::string& Serial() const { return setup_.serial; }

    void ReadingReceived(const Reading& reading) override;
    void StatusChanged(LinkStatus status) override;

private:
    bool Logging() const { return setup_.options.command == CliCommand::Log; }
    bool Measuring() const { return setup_.options.command == CliCommand::Measure; }
    int64_t MeasureTimeoutMs() const;
    // Prints and records the last reading; the exit code.
    int Measured(int codeWhenRecorded);
    // The exit code of a run ended by a signal.
    int EndedBySignal();
    // A run that keeps its readings somewhere (file, broker) shows them
    // only to someone watching.
    bool Keeping() const
    {
        return setup_.options.command == CliCommand::Log || setup_.options.command == CliCommand::Publish;
    }
    bool Finished(int64_t nowMs) const;
    // Tells the trail what became of the log file.
    void AuditLog();
    void Say(const std::string& line);
    // A line an --on-alarm command wrote, as it wrote it.
    void PassOn(const std::string& line);
    void Print(const std::string& text);
    // Why the log folder cannot take a new file (a system error number), if
    // it cannot; creating the file can still fail later for other reasons.
    std::optional<int> LogFolderError() const;
    void ShowStatus(int64_t nowMs);

    MeterRunSetup setup_;
    MeterClock& clock_;
    RunWait& wait_;
    MeterSession session_;
    MeterScheduler scheduler_;
    DataLog dataLog_;
    StatusLine status_;
    CliAlarm alarm_;  // after status_: its lines clear the status line
    SessionAudit audit_;
    bool printReadings_ = true;
    int64_t startMs_ = 0;
    uint64_t readings_ = 0;
    std::string lastReading_;
    bool responding_ = true;
    std::optional<int64_t> lostSinceMs_;
    std::optional<int> endCode_;  // set by a listener call that ends the run
    StabilityRule rule_;
    // The last reading, for measure.
    bool haveReading_ = false;
    bool lastStable_ = false;
    QDateTime lastTime_;
};

}  // namespace tirevo
