// Conversions between text and numbers shared by the settings file and the
// window: integer text, locale number text and number display text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tirevo {

// Integer text: leading spaces, an optional sign, then hexadecimal digits after
// "$", "x", "X", "0x" or "0X" (up to eight, read as 32-bit two's complement)
// or decimal digits within the signed 32-bit range; nothing may follow.
std::optional<int32_t> ParseIntegerText(std::string_view text);
// "'<text>' is not a valid integer value"
std::string InvalidIntegerText(std::string_view text);

enum class NumberTextStatus { Ok, NotANumber, Overflow };
struct NumberTextResult {
    NumberTextStatus status = NumberTextStatus::NotANumber;
    double value = 0.0;
};

// Locale number text: blanks around, optional sign, digits with the given
// decimal separator, optional exponent; no thousands separators.
NumberTextResult ParseLocaleNumberText(std::string_view text, char decimalSeparator);
// "'<text>' is not a valid floating point value"
std::string InvalidFloatText(std::string_view text);
inline constexpr const char* kFloatingPointOverflow = "Floating point overflow";

// General notation with up to 15 significant digits, trailing zeros dropped,
// with the given decimal separator: 4.01 -> "4.01", 7.0 -> "7".
std::string NumberDisplayText(double value, char decimalSeparator);

}  // namespace tirevo
