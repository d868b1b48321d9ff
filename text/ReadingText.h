// The meter's reply lines: framing of the received text into lines, reading
// lines and the reading as shown and logged.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tirevo {

// Most text kept while waiting for line ends.
inline constexpr std::size_t kReceiveTextLimit = 64 * 1024;

// Appends received bytes unchanged. When the result would pass the limit the
// oldest text is dropped up to and including a carriage return (all of it
// when there is none), so the text still starts at a line boundary.
void AppendReceived(std::string& receiveText, std::string_view bytes,
                    std::size_t limit = kReceiveTextLimit);

// Removes the first complete line (ended by a carriage return) from the front
// of receiveText and returns it without its carriage return.
std::optional<std::string> TakeLine(std::string& receiveText);

// First three characters are exactly "pH:".
bool IsReadingLine(std::string_view line);

// Characters five to ten of the line (fewer when the line is shorter).
std::string_view ReadingField(std::string_view line);

// A complete number with "." as the decimal point: optional leading spaces,
// sign, digits, point, digits, exponent. Anything else gives nothing.
std::optional<double> ParseReadingField(std::string_view field);

// Two decimals with the given separator, halves away from zero on the value's
// 18-significant-digit decimal form, at most five significant digits, no
// "-0.00"; general notation with five significant digits from 99999.5 on.
std::string FormatReading(double value, char decimalSeparator);

// The text to show for a reply line, or nothing when the line is not a
// reading line or its field is not a complete number.
std::optional<std::string> ReadingTextFromLine(std::string_view line, char decimalSeparator);

}  // namespace tirevo
