// `calibrate` as a careful user does it at the bench: wait for a stable
// reading (the as-found), send the point, wait for the first stable reading
// after it (the as-left), record the row and say whether the meter passed.
// With --now the point is sent at once and recorded without readings. The
// records folder's trail hears of the meter connected (lost, found) and
// closed around the row, as it does of a measure run.
#pragma once

#include "AuditWriter.h"
#include "CalibrationCheck.h"
#include "ExitCode.h"
#include "MeterClock.h"
#include "MeterSession.h"
#include "RunSettings.h"
#include "RunWait.h"
#include "SessionAudit.h"
#include "StabilityRule.h"
#include "StatusLine.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

struct CalibrateSetup {
    std::string serial;
    int point = 1;
    int32_t bufferHundredths = 0;
    std::string command;
    bool now = false;
    int64_t timeoutMs = 120000;  // for the as-found, and again for the as-left
    uint32_t intervalMs = 1000;
    StabilityParams stability;
    int32_t toleranceHundredths = 5;
    RecordsChoice records;
    int outFd = 1;
    int errFd = 2;
};

class CalibrateRun final : public MeterListener {
public:
    CalibrateRun(CalibrateSetup setup, MeterClock& clock, RunWait& wait);
    ~CalibrateRun() override;
    CalibrateRun(const CalibrateRun&) = delete;
    CalibrateRun& operator=(const CalibrateRun&) = delete;

    // Connects, calibrates and closes; returns the exit code: 0 passed (or
    // sent, with --now), 3 the row or the line on stdout could not be
    // written, 5 no stable reading in time, 6 failed.
    int Run();

    void ReadingReceived(const Reading& reading) override;
    void StatusChanged(LinkStatus status) override;

private:
    enum class Phase { AsFound, AsLeft, Done };

    // Sends the point; false when the meter did not take it.
    bool Send(std::optional<double> asFound);
    // Records and prints the row; the exit code of the point.
    int Recorded(const CalibrationRow& row);
    void Say(const std::string& line);
    void ShowStatus(int64_t nowMs);
    int Finish(int exitCode);

    CalibrateSetup setup_;
    MeterClock& clock_;
    RunWait& wait_;
    MeterSession session_;
    MeterScheduler scheduler_;
    StatusLine status_;
    std::optional<AuditWriter> writer_;  // none with --no-record
    SessionAudit audit_;
    StabilityRule rule_;
    CalibrationCheck check_;
    Phase phase_ = Phase::AsFound;
    int64_t phaseStartMs_ = 0;
    std::string lastReading_;
    uint64_t readings_ = 0;
    bool responding_ = true;
    std::optional<double> stableAsFound_;  // found; sent from the loop
    std::optional<CalibrationRow> done_;   // the row of the point, once complete
};

}  // namespace tirevo
