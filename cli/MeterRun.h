// `read` and `log`: one connected meter polled on the session's schedule, its
// readings printed and (for log) written to the data log, until a count, a
// duration, a signal or a meter that does not come back ends the run.
#pragma once

#include "CliOptions.h"
#include "DataLog.h"
#include "ExitCode.h"
#include "MeterClock.h"
#include "MeterSession.h"
#include "ReadingPublisher.h"
#include "RunSettings.h"
#include "RunWait.h"
#include "StatusLine.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

struct MeterRunSetup {
    CliOptions options;
    RunSettings settings;
    std::string serial;
    std::string appVersion;
    char decimalSeparator = '.';  // of log rows, as the window writes them
    char timeSeparator = ':';
    int outFd = 1;
    int errFd = 2;
    ReadingPublisher* publisher = nullptr;  // publish, log --mqtt
};

class MeterRun final : public MeterListener {
public:
    MeterRun(MeterRunSetup setup, MeterClock& clock, RunWait& wait);
    ~MeterRun() override;
    MeterRun(const MeterRun&) = delete;
    MeterRun& operator=(const MeterRun&) = delete;

    // Connects, runs and closes; returns the exit code.
    int Run();

    void ReadingReceived(const Reading& reading) override;
    void StatusChanged(LinkStatus status) override;

private:
    bool Logging() const { return setup_.options.command == CliCommand::Log; }
    // A run that keeps its readings somewhere (file, broker) shows them
    // only to someone watching.
    bool Keeping() const { return setup_.options.command != CliCommand::Read; }
    bool Finished(int64_t nowMs) const;
    int64_t NextWakeMs(int64_t nowMs) const;
    void Say(const std::string& line);
    void Print(const std::string& text);
    // Why the log folder cannot take a new file (a system error number), if
    // it cannot; creating the file can still fail later for other reasons.
    std::optional<int> LogFolderError() const;
    void ShowStatus(int64_t nowMs);
    int Finish(int exitCode);

    MeterRunSetup setup_;
    MeterClock& clock_;
    RunWait& wait_;
    MeterSession session_;
    MeterScheduler scheduler_;
    DataLog dataLog_;
    StatusLine status_;
    bool printReadings_ = true;
    int64_t startMs_ = 0;
    uint64_t readings_ = 0;
    std::string lastReading_;
    bool responding_ = true;
    std::optional<int64_t> lostSinceMs_;
    std::optional<int> endCode_;  // set by a listener call that ends the run
};

}  // namespace tirevo
