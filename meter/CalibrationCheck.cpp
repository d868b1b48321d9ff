#include "CalibrationCheck.h"

#include "ReadingText.h"

#include <cstdlib>

namespace tirevo {

namespace {

constexpr int64_t kMsPerSecond = 1000;

}  // namespace

CalibrationCheck::CalibrationCheck(StabilityParams stability, CalibrationSettings settings)
    : CalibrationCheck(stability, static_cast<int64_t>(settings.asLeftWaitS) * kMsPerSecond,
                       settings.toleranceHundredths)
{
}

CalibrationCheck::CalibrationCheck(StabilityParams stability, int64_t asLeftWaitMs,
                                   int32_t toleranceHundredths)
    : waitMs_(asLeftWaitMs), toleranceHundredths_(toleranceHundredths), rule_(stability)
{
}

int64_t CalibrationCheck::WaitEndsMs() const { return startMs_ + waitMs_; }

std::optional<CalibrationRow> CalibrationCheck::Start(const CalibrationStart& start, int64_t atMs)
{
    std::optional<CalibrationRow> ended = End();
    row_ = CalibrationRow();
    row_.time = start.time;
    row_.serial = start.serial;
    row_.point = start.point;
    row_.buffer = HundredthsText(start.bufferHundredths);
    row_.command = start.command;
    if (start.asFound) {
        row_.asFound = FormatReading(*start.asFound, '.');
        row_.asFoundStable = start.asFoundStable;
    }
    bufferHundredths_ = start.bufferHundredths;
    startMs_ = atMs;
    // A reading that was stable in the buffer before the meter took the
    // point says nothing of how it reads after: the rule starts again here.
    rule_.Restart();
    waiting_ = true;
    return ended;
}

std::optional<CalibrationRow> CalibrationCheck::Add(int64_t atMs, double value)
{
    if (!waiting_ || atMs < startMs_)
        return std::nullopt;
    if (atMs > WaitEndsMs())
        return Finish(std::nullopt);
    if (rule_.Add(atMs, value))
        return Finish(value);
    return std::nullopt;
}

std::optional<CalibrationRow> CalibrationCheck::Advance(int64_t nowMs)
{
    if (!waiting_ || nowMs <= WaitEndsMs())
        return std::nullopt;
    return Finish(std::nullopt);
}

std::optional<CalibrationRow> CalibrationCheck::End()
{
    if (!waiting_)
        return std::nullopt;
    return Finish(std::nullopt);
}

CalibrationRow CalibrationCheck::Finish(std::optional<double> asLeft)
{
    waiting_ = false;
    rule_.Restart();
    CalibrationRow row = row_;
    if (!asLeft)
        return row;
    row.asLeft = FormatReading(*asLeft, '.');
    // In hundredths as shown, so a tolerance of 0.05 takes an error of
    // exactly 0.05 and nothing of binary fractions decides.
    const int64_t error = ReadingHundredths(*asLeft) - bufferHundredths_;
    row.error = SignedHundredthsText(error);
    row.result =
        std::llabs(error) <= toleranceHundredths_ ? CalibrationResult::Pass : CalibrationResult::Fail;
    return row;
}

}  // namespace tirevo
