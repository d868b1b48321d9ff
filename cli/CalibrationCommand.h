// The calibration command for one point and a value as typed: the same
// rounding and the same refusals as the calibration page, and buffers only
// from 0.01 to 14.00 pH once cut to hundredths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

struct CalibrationCommand {
    std::string command;                 // "P10401", when the value can be sent
    int32_t hundredths = 0;              // the value sent, 401
    std::optional<std::string> refusal;  // why not, for stderr (exit 2)
};

// The command for point (1 or 2) and the value as typed. The value is read as
// the calibration page reads its field, in the locale's decimal separator;
// "." is also taken, so scripts work in every locale.
CalibrationCommand CalibrationCommandFor(int point, const std::string& valueText, char decimalSeparator);

}  // namespace tirevo
