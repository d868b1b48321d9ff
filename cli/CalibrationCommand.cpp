#include "CalibrationCommand.h"

#include "Calibration.h"
#include "NumberText.h"

namespace tirevo {

namespace {

constexpr int kHundredthsWidth = 4;

NumberTextResult ParseValue(const std::string& text, char decimalSeparator)
{
    NumberTextResult number = ParseLocaleNumberText(text, decimalSeparator);
    if (number.status == NumberTextStatus::NotANumber && decimalSeparator != '.')
        number = ParseLocaleNumberText(text, '.');
    return number;
}

}  // namespace

CalibrationCommand CalibrationCommandFor(int point, const std::string& valueText, char decimalSeparator)
{
    CalibrationCommand out;
    const NumberTextResult number = ParseValue(valueText, decimalSeparator);
    if (number.status == NumberTextStatus::NotANumber) {
        out.refusal = InvalidFloatText(valueText);
        return out;
    }
    if (number.status == NumberTextStatus::Overflow) {
        out.refusal = kFloatingPointOverflow;
        return out;
    }
    // The page silently sends nothing for 0; a command that did nothing must
    // not end as if it had calibrated.
    if (number.value == 0) {
        out.refusal = "Calibration value must not be 0";
        return out;
    }
    const HundredthsResult hundredths = CalibrationHundredths(number.value);
    switch (hundredths.status) {
    case HundredthsStatus::Negative:
        out.refusal = "Calibration value must not be negative";
        return out;
    case HundredthsStatus::TooLarge:
        out.refusal = "Calibration value too large";
        return out;
    case HundredthsStatus::Ok:
        break;
    }
    out.command = (point == 1 ? "P1" : "P2") + ZeroPad(hundredths.hundredths, kHundredthsWidth);
    return out;
}

}  // namespace tirevo
