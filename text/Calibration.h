// Turning a calibration entry into the meter's "P1"/"P2" command argument.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tirevo {

// Decimal text of number with "0" put in front until it is width characters
// long (at most eight zeros); longer text is returned unchanged.
std::string ZeroPad(int32_t number, int width);

enum class HundredthsStatus { Ok, Negative, TooLarge };
struct HundredthsResult {
    HundredthsStatus status = HundredthsStatus::Ok;
    int32_t hundredths = 0;
};

// The value in hundredths, truncated toward zero in decimal: taken from the
// shortest decimal text that reads back as the same double, so an entry of
// 4.01 gives 401 (not the 400 its binary form would give).
HundredthsResult CalibrationHundredths(double value);

enum class CalibrationStatus { Ok, NotANumber, Overflow, Zero, Negative, TooLarge };
struct CalibrationCommandResult {
    CalibrationStatus status = CalibrationStatus::Ok;
    std::string command;     // "P10401" when status is Ok
    std::string errorText;   // what the user is told otherwise (nothing for Zero)
    int32_t hundredths = 0;  // the value sent, when status is Ok
};

// The command for calibration point 1 or 2 from a value as typed, in the
// locale's number format: the one decision the calibration page and the
// command line share. Zero is a status of its own: the page sends nothing
// and says nothing for it.
CalibrationCommandResult CalibrationCommandFromText(int point, std::string_view text, char decimalSeparator);

}  // namespace tirevo
