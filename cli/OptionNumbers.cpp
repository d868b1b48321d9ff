#include "OptionNumbers.h"

#include "NumberText.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace tirevo {

namespace {

// Longer runs than this many seconds are not a meaningful request; the limit
// keeps the millisecond arithmetic far from overflow.
constexpr int kMaxSecondsDigits = 9;
constexpr int kMillisecondsPerSecond = 1000;
constexpr int kCharacterCodes = 256;
constexpr double kHundredths = 100.0;

bool DigitsOnly(std::string_view digits)
{
    for (char c : digits)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

std::optional<uint64_t> ParseWholeOption(const std::string& text, uint64_t max)
{
    if (text.empty() || !DigitsOnly(text))
        return std::nullopt;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

std::optional<double> ParseDecimalOption(const std::string& text, char decimalSeparator)
{
    for (const char separator : {'.', decimalSeparator}) {
        const NumberTextResult number = ParseLocaleNumberText(text, separator);
        if (number.status == NumberTextStatus::Ok)
            return number.value;
    }
    return std::nullopt;
}

std::optional<char> ParseSeparatorOption(const std::string& text)
{
    // A lone "#" is a code left out, as in the settings file.
    if (text.size() == 1 && text[0] != '#')
        return text[0];
    if (text.size() < 2 || text[0] != '#')
        return std::nullopt;
    const std::optional<int32_t> code = ParseIntegerText(std::string_view(text).substr(1));
    if (!code)
        return std::nullopt;
    // The settings file takes the code modulo 256; so does the option.
    const int byte = ((*code % kCharacterCodes) + kCharacterCodes) % kCharacterCodes;
    return static_cast<char>(static_cast<unsigned char>(byte));
}

std::optional<int> ParseBandOption(const std::string& text, char decimalSeparator)
{
    const std::optional<double> band = ParseDecimalOption(text, decimalSeparator);
    // The same range and rounding as the settings file's Band=.
    if (!band || !(*band >= 0.01 && *band <= 1.0))
        return std::nullopt;
    return static_cast<int>(std::lround(*band * kHundredths));
}

std::optional<int64_t> ParseSecondsOption(const std::string& text, char decimalSeparator)
{
    const std::size_t point = text.find_first_of(std::string{'.', decimalSeparator});
    const std::string_view whole = std::string_view(text).substr(0, point);
    const std::string_view fraction =
        point == std::string::npos ? std::string_view() : std::string_view(text).substr(point + 1);
    if (whole.size() > kMaxSecondsDigits || (whole.empty() && fraction.empty()))
        return std::nullopt;
    if (!DigitsOnly(whole) || !DigitsOnly(fraction))
        return std::nullopt;
    int64_t ms = 0;
    for (char c : whole)
        ms = ms * 10 + (c - '0');
    ms *= kMillisecondsPerSecond;
    // Milliseconds are the finest the session's clock knows; further digits
    // are cut, but a non-zero request never becomes zero.
    int scale = kMillisecondsPerSecond / 10;
    bool nonZeroCut = false;
    for (char c : fraction) {
        if (scale > 0)
            ms += (c - '0') * scale;
        else if (c != '0')
            nonZeroCut = true;
        scale /= 10;
    }
    if (ms == 0 && nonZeroCut)
        ms = 1;
    return ms;
}

}  // namespace tirevo
