#include "Calibration.h"

#include "NumberText.h"

#include <charconv>
#include <cstddef>
#include <limits>
#include <system_error>

namespace tirevo {

std::string ZeroPad(int32_t number, int width)
{
    constexpr int kMaxZeros = 8;
    std::string digits = std::to_string(number);
    const int length = static_cast<int>(digits.size());
    if (length >= width)
        return digits;
    const int zeros = width - length < kMaxZeros ? width - length : kMaxZeros;
    return std::string(static_cast<std::size_t>(zeros), '0') + digits;
}

HundredthsResult CalibrationHundredths(double value)
{
    if (value != value)
        return {HundredthsStatus::TooLarge, 0};
    if (value == 0.0)
        return {HundredthsStatus::Ok, 0};
    if (value < 0.0)
        return {HundredthsStatus::Negative, 0};
    if (value > 1e10)
        return {HundredthsStatus::TooLarge, 0};  // also infinity

    // The shortest text that reads back as the same double is what the user
    // typed (or what a display of the value shows); its digits are cut after
    // the second decimal, so no binary rounding can take a hundredth away.
    char buffer[64];
    const auto [ptr, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (ec != std::errc())
        return {HundredthsStatus::TooLarge, 0};
    const std::string_view text(buffer, static_cast<std::size_t>(ptr - buffer));

    // text is "d.ddde+XX" (or "de+XX"): value = 0.dddd x 10^(XX + 1).
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (std::size_t k = 0; k < ePos; ++k) {
        if (text[k] != '.')
            digits += text[k];
    }
    int exponent = 0;
    std::string_view exponentText = text.substr(ePos + 1);
    if (!exponentText.empty() && exponentText[0] == '+')
        exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // Digits in front of the point once the value is multiplied by 100.
    const int integerDigits = exponent + 3;
    if (integerDigits <= 0)
        return {HundredthsStatus::Ok, 0};
    uint64_t hundredths = 0;
    for (int k = 0; k < integerDigits; ++k) {
        const int digit = k < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(k)] - '0' : 0;
        hundredths = hundredths * 10 + static_cast<uint64_t>(digit);
    }
    if (hundredths > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        return {HundredthsStatus::TooLarge, 0};
    }
    return {HundredthsStatus::Ok, static_cast<int32_t>(hundredths)};
}

CalibrationCommandResult CalibrationCommandFromText(int point, std::string_view text, char decimalSeparator)
{
    constexpr int kHundredthsWidth = 4;
    const NumberTextResult number = ParseLocaleNumberText(text, decimalSeparator);
    switch (number.status) {
    case NumberTextStatus::NotANumber:
        return {CalibrationStatus::NotANumber, {}, InvalidFloatText(text)};
    case NumberTextStatus::Overflow:
        return {CalibrationStatus::Overflow, {}, kFloatingPointOverflow};
    case NumberTextStatus::Ok:
        break;
    }
    if (number.value == 0)
        return {CalibrationStatus::Zero, {}, {}};
    const HundredthsResult hundredths = CalibrationHundredths(number.value);
    switch (hundredths.status) {
    case HundredthsStatus::Negative:
        // A minus sign inside the padded digits would be a malformed command.
        return {CalibrationStatus::Negative, {}, "Calibration value must not be negative"};
    case HundredthsStatus::TooLarge:
        return {CalibrationStatus::TooLarge, {}, "Calibration value too large"};
    case HundredthsStatus::Ok:
        break;
    }
    return {CalibrationStatus::Ok,
            (point == 1 ? "P1" : "P2") + ZeroPad(hundredths.hundredths, kHundredthsWidth),
            {},
            hundredths.hundredths};
}

}  // namespace tirevo
