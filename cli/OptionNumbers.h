// The numbers of the command line. A fraction is taken with a point, as
// scripts write it, or with the locale's decimal separator, as a person
// types it; nothing else is a decimal point, so "1,5" is never 1.5 where the
// comma groups thousands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tirevo {

// Decimal digits only, up to max; no sign, no blanks.
std::optional<uint64_t> ParseWholeOption(const std::string& text, uint64_t max);

// A number with "." or decimalSeparator as its decimal point (blanks around,
// a sign and an exponent allowed); nothing for anything else.
std::optional<double> ParseDecimalOption(const std::string& text, char decimalSeparator);

// "CHAR" or "#CODE" (integer text, taken modulo 256), as the settings file's
// Separator; exactly one character or a "#" with a valid code.
std::optional<char> ParseSeparatorOption(const std::string& text);

// A band of the stability rule in pH, 0.01 to 1, as hundredths (taken to
// the nearest); nothing for anything else.
std::optional<int> ParseBandOption(const std::string& text, char decimalSeparator);

// A whole number of seconds or a decimal fraction ("2", "0.5", "0,5" with a
// comma locale), as milliseconds; nothing for anything else, negative values
// included.
std::optional<int64_t> ParseSecondsOption(const std::string& text, char decimalSeparator);

}  // namespace tirevo
