// The check of one calibration point: the command goes on the line with the
// reading found before it, and the point waits for the first stable reading
// after it (the as-left) for at most the as-left wait. Its row is complete
// when that reading comes or the wait is over, and is cut short, as left
// unknown, when the link is lost, the program ends or another point is sent.
// The window and tirevo-cli feed it readings on their clocks.
#pragma once

#include "CalibrationRecord.h"
#include "CalibrationSettings.h"
#include "StabilityRule.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

struct CalibrationStart {
    std::string time;    // ISO 8601 local time of the command
    std::string serial;  // the driver's bytes
    int point = 1;
    int64_t bufferHundredths = 0;   // the value sent
    std::string command;            // without the carriage return
    std::optional<double> asFound;  // the last reading before the command
    bool asFoundStable = false;     // the rule's verdict at that reading
};

class CalibrationCheck {
public:
    CalibrationCheck(StabilityParams stability, CalibrationSettings settings);
    // A wait in milliseconds instead of the settings' seconds.
    CalibrationCheck(StabilityParams stability, int64_t asLeftWaitMs, int32_t toleranceHundredths);

    // The command went on the line at atMs. A point still waiting is ended
    // first: its row (as left unknown) is returned.
    std::optional<CalibrationRow> Start(const CalibrationStart& start, int64_t atMs);
    // A reading taken at atMs. Returns the row when it completes the point:
    // the first stable reading since the command, or one past the wait.
    std::optional<CalibrationRow> Add(int64_t atMs, double value);
    // The clock at nowMs: the row when the wait is over without an as-left.
    std::optional<CalibrationRow> Advance(int64_t nowMs);
    // The link was lost, or the program ends: the row of a waiting point.
    std::optional<CalibrationRow> End();

    bool Waiting() const { return waiting_; }
    int Point() const { return row_.point; }
    // When the wait is over, on the clock of Start().
    int64_t WaitEndsMs() const;
    // The rule of the as-left, started afresh at the command.
    const StabilityRule& Rule() const { return rule_; }

private:
    CalibrationRow Finish(std::optional<double> asLeft);

    int64_t waitMs_;
    int32_t toleranceHundredths_;
    StabilityRule rule_;
    bool waiting_ = false;
    int64_t startMs_ = 0;
    int64_t bufferHundredths_ = 0;
    CalibrationRow row_;
};

}  // namespace tirevo
