// The meter's reply lines: framing of the received text into lines, reading
// lines and the reading as shown and logged.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

// Most text kept while waiting for line ends.
inline constexpr std::size_t kReceiveTextLimit = 64 * 1024;

// Appends received bytes unchanged. When the result would pass the limit the
// oldest text is dropped up to and including a carriage return (all of it
// when there is none), so the text still starts at a line boundary.
// The carriage return chosen is the earliest that makes the rest fit, so no
// more complete lines are lost than needed. The same rule covers bytes that
// alone pass the limit: the old text goes, and of the new bytes what follows
// the earliest carriage return that leaves at most `limit` of them is kept,
// or nothing. Work per call is linear in the text kept plus the new bytes.
// A single line longer than the limit cannot be kept whole: its start goes,
// and the next line taken is only its last part.
void AppendReceived(std::string& receiveText, std::string_view bytes, std::size_t limit = kReceiveTextLimit);

// Removes every complete line from the front of receiveText and returns them
// in order, without their carriage returns; what follows the last carriage
// return stays. Linear in the text, however many lines it holds.
std::vector<std::string> TakeLines(std::string& receiveText);

// First three characters are exactly "pH:".
bool IsReadingLine(std::string_view line);

// Characters five to ten of the line (fewer when the line is shorter).
std::string_view ReadingField(std::string_view line);

// A complete number with "." as the decimal point: optional leading spaces,
// sign, digits, point, digits, exponent. Anything else gives nothing.
// At least one mantissa digit ("7." and ".02" are complete); an exponent
// marker needs at least one digit ("1e" and "1e-" are not complete). Only
// 0x20 counts as a space, and nothing may follow, not even a space.
// Magnitudes too large for a double give nothing; too small give zero.
std::optional<double> ParseReadingField(std::string_view field);

// Two decimals with the given separator, halves away from zero on the value's
// 18-significant-digit decimal form, at most five significant digits, no
// "-0.00"; general notation with five significant digits from 99999.5 on.
// Rounding happens once, at the lower of the fifth significant digit and
// hundredths: 1234.567 -> "1234.60", 999.995 -> "1000.00" (its decimal form
// is 999.995000000000005), 1.005 -> "1.00" (1.00499999999999989).
// General notation drops trailing zeros and writes the exponent as "E" with
// a minus only when negative: 99999.5 -> "1E5", -123456 -> "-1.2346E5".
// Not-a-number and infinities, which the parser never gives, come out as
// "NAN", "INF" and "-INF".
std::string FormatReading(double value, char decimalSeparator);

// The text to show for a reply line, or nothing when the line is not a
// reading line or its field is not a complete number.
std::optional<std::string> ReadingTextFromLine(std::string_view line, char decimalSeparator);

}  // namespace tirevo
