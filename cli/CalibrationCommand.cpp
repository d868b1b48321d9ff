#include "CalibrationCommand.h"

#include "Calibration.h"

namespace tirevo {

CalibrationCommand CalibrationCommandFor(int point, const std::string& valueText, char decimalSeparator)
{
    CalibrationCommandResult result = CalibrationCommandFromText(point, valueText, decimalSeparator);
    if (result.status == CalibrationStatus::NotANumber && decimalSeparator != '.')
        result = CalibrationCommandFromText(point, valueText, '.');
    CalibrationCommand out;
    switch (result.status) {
    case CalibrationStatus::Ok:
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
