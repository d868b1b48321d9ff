// One meter of the bench view: its session (its own, or the main window's
// when the bench view is opened beside it), the session's schedule, and the
// meter's own stability rule, alarm rule, calibration check and log. It
// shows nothing: the view hears of readings and changes through
// BenchMeterListener and asks for the state it draws. What happens to the
// meter (its link, its alarms, its log files) goes to the audit sink it is
// given, as the main window and tirevo-cli write theirs.
#pragma once

#include "AlarmRule.h"
#include "CalibrationCheck.h"
#include "CalibrationSettings.h"
#include "DataLog.h"
#include "MeterList.h"
#include "MeterSession.h"
#include "SessionAudit.h"
#include "StabilityRule.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tirevo {

class BenchMeter;

class BenchMeterListener {
public:
    virtual ~BenchMeterListener() = default;
    // A reading, after the rules have judged it.
    virtual void BenchReading(BenchMeter& /*meter*/, const Reading& /*reading*/) {}
    // The link, the alarm or the calibration state changed.
    virtual void BenchChanged(BenchMeter& /*meter*/) {}
    // A calibration point is complete: its row for calibrations.csv.
    virtual void BenchCalibrationRow(BenchMeter& /*meter*/, const CalibrationRow& /*row*/) {}
};

// What every meter of the bench is judged by.
struct BenchRules {
    uint32_t pollIntervalMs = kDefaultPollIntervalMs;
    StabilityParams stability;
    CalibrationSettings calibration;
    // calibrations.csv is looked for here for "Calibration due".
    std::string recordsFolder;
};

class BenchMeter : private MeterListener {
public:
    // How often calibrations.csv is looked at for "Calibration due".
    static constexpr int64_t kDueCheckPeriodMs = 60 * 1000;

    // shared: the main window's session for this meter, driven by the main
    // window's timers; none: the bench view opens its own. audit: where its
    // events go (none: nowhere). The link of a shared session is the main
    // window's to tell; its own alarms and log are this meter's.
    BenchMeter(ListedDevice device, MeterClock& clock, const BenchRules& rules,
               MeterSession* shared = nullptr, SessionAudit::Sink audit = {});
    ~BenchMeter() override;
    BenchMeter(const BenchMeter&) = delete;
    BenchMeter& operator=(const BenchMeter&) = delete;

    // Opens the meter (a shared session is open already). False when it
    // cannot be opened now (held by another program, gone again).
    bool Open();

    // The meter leaves the view: a point still waiting is told as left
    // unknown, and its log is closed.
    void End();

    // Runs the session's ticks that are due, and the rules' own timing.
    void RunDue();
    // When RunDue() has something to do next, on the clock.
    int64_t NextDueMs() const;

    void SetListener(BenchMeterListener* listener) { listener_ = listener; }

    const std::string& Serial() const { return device_.serial; }
    const std::string& Description() const { return device_.description; }
    MeterSession& Session() { return *session_; }
    const MeterSession& Session() const { return *session_; }
    bool Shared() const { return !owned_; }
    LinkStatus Status() const { return session_->Status(); }
    // Not responding (Lost) or reconnecting (Reopening).
    bool Lost() const;

    // The last reading since the link was (re)made, if any.
    const std::optional<Reading>& LastReading() const { return last_; }
    bool Stable() const { return stable_; }
    const StabilityRule& Stability() const { return stability_; }

    const AlarmRule& Alarm() const { return alarm_; }
    void SetAlarmSettings(const AlarmSettings& settings);

    bool CalibrationDue() const { return due_; }
    // Looks at calibrations.csv now (also at connection, once a minute and
    // after a passed point).
    void CheckCalibrationDue();
    CalibrationCheck& Check() { return check_; }
    // A calibration command goes on the line: the point is checked against
    // the readings that follow (its row comes through the listener).
    void StartCalibration(int point, int64_t bufferHundredths, const std::string& command,
                          const std::string& timeText);

    // The meter's log file, through these so that the trail hears of each
    // file started and closed. They return DataLog's error codes.
    int StartLog(const DataLogOptions& options, std::string_view appVersion);
    int StopLog();
    // A failed row closes the file (see DataLog::WriteRow()).
    int WriteLogRow(std::string_view readingText, char timeSeparator, const LogClockTime& at);
    const DataLog& Log() const { return log_; }

private:
    void ReadingReceived(const Reading& reading) override;
    void StatusChanged(LinkStatus status) override;
    void Changed();
    void TellRow(const std::optional<CalibrationRow>& row);
    void AuditAlarms(const std::vector<AlarmEvent>& events);

    ListedDevice device_;
    MeterClock& clock_;
    BenchRules rules_;
    std::unique_ptr<MeterSession> owned_;
    MeterSession* session_;
    std::unique_ptr<MeterScheduler> scheduler_;
    BenchMeterListener* listener_ = nullptr;
    StabilityRule stability_;
    AlarmRule alarm_;
    CalibrationCheck check_;
    DataLog log_;
    SessionAudit audit_;
    std::optional<Reading> last_;
    bool stable_ = false;
    bool due_ = false;
    int64_t nextDueCheckMs_ = 0;
};

}  // namespace tirevo
