#include "CalibrationCommand.h"

#include "Calibration.h"

#include <algorithm>

namespace tirevo {

namespace {

// The buffers a pH meter is calibrated with lie within the pH scale. The
// page sends whatever it is given; a script's typo (100 for 10.0) must not
// reach the meter as a calibration point.
constexpr int32_t kLowestBufferHundredths = 1;
constexpr int32_t kHighestBufferHundredths = 1400;

std::string BufferText(int32_t hundredths, char decimalSeparator)
{
    std::string text = std::to_string(hundredths / 100) + "." + std::to_string(hundredths % 100 / 10) +
        std::to_string(hundredths % 10);
    std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

}  // namespace

CalibrationCommand CalibrationCommandFor(int point, const std::string& valueText, char decimalSeparator)
{
    CalibrationCommandResult result = CalibrationCommandFromText(point, valueText, decimalSeparator);
    if (result.status == CalibrationStatus::NotANumber && decimalSeparator != '.')
        result = CalibrationCommandFromText(point, valueText, '.');
    CalibrationCommand out;
    switch (result.status) {
    case CalibrationStatus::Ok:
        if (result.hundredths < kLowestBufferHundredths || result.hundredths > kHighestBufferHundredths) {
            out.refusal = "Calibration value must be from " +
                BufferText(kLowestBufferHundredths, decimalSeparator) + " to " +
                BufferText(kHighestBufferHundredths, decimalSeparator) + " pH";
            break;
        }
        out.command = result.command;
        out.hundredths = result.hundredths;
        break;
    case CalibrationStatus::Zero:
        // The page silently sends nothing for 0; a command that did nothing
        // must not end as if it had calibrated.
        out.refusal = "Calibration value must not be 0";
        break;
    default:
        out.refusal = result.errorText;
        break;
    }
    return out;
}

}  // namespace tirevo
