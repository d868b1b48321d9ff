#include "NumberText.h"

#include <charconv>
#include <cstddef>
#include <system_error>

namespace tirevo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Quoted(std::string_view text, std::string_view tail)
{
    std::string message;
    message.reserve(text.size() + tail.size() + 2);
    message += '\'';
    message += text;
    message += '\'';
    message += tail;
    return message;
}

}  // namespace

std::optional<int32_t> ParseIntegerText(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view rest = text.substr(i);
    std::string_view hexDigits;
    bool hex = false;
    if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
        hex = true;
        hexDigits = rest.substr(1);
    } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        hex = true;
        hexDigits = rest.substr(2);
    }

    if (hex) {
        if (hexDigits.empty() || hexDigits.size() > 8)
            return std::nullopt;
        uint32_t bits = 0;
        for (char c : hexDigits) {
            const int digit = HexDigitValue(c);
            if (digit < 0)
                return std::nullopt;
            bits = (bits << 4) | static_cast<uint32_t>(digit);
        }
        // Negation in unsigned arithmetic: "-$80000000" wraps to itself
        // instead of overflowing.
        if (negative)
            bits = 0u - bits;
        return static_cast<int32_t>(bits);
    }

    if (rest.empty())
        return std::nullopt;
    // One past the largest magnitude, so the bound check cannot overflow even
    // with thousands of leading zeros.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    for (char c : rest) {
        if (!IsDigit(c))
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::string InvalidIntegerText(std::string_view text)
{
    return Quoted(text, " is not a valid integer value");
}

NumberTextResult ParseLocaleNumberText(std::string_view text, char decimalSeparator)
{
    const NumberTextResult invalid{NumberTextStatus::NotANumber, 0.0};
    std::size_t i = 0;
    std::size_t end = text.size();
    while (i < end && text[i] == ' ')
        ++i;
    while (end > i && text[end - 1] == ' ')
        --end;

    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t intBegin = i;
    while (i < end && IsDigit(text[i]))
        ++i;
    const std::string_view intDigits = text.substr(intBegin, i - intBegin);
    bool hasSeparator = false;
    std::string_view fracDigits;
    if (i < end && text[i] == decimalSeparator) {
        hasSeparator = true;
        const std::size_t fracBegin = ++i;
        while (i < end && IsDigit(text[i]))
            ++i;
        fracDigits = text.substr(fracBegin, i - fracBegin);
    }
    if (intDigits.empty() && fracDigits.empty() && !hasSeparator)
        return invalid;

    // The exponent is clamped far outside double's range so that any number
    // of exponent digits is read without overflow and still means the same.
    constexpr int64_t kExponentClamp = 1'000'000'000'000LL;
    int64_t exponent = 0;
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool exponentNegative = false;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            exponentNegative = text[i] == '-';
            ++i;
        }
        while (i < end && IsDigit(text[i])) {
            if (exponent < kExponentClamp)
                exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (exponentNegative)
            exponent = -exponent;
    }
    if (i != end)
        return invalid;

    // Normalise to 0.DDDD x 10^scale with D starting at the first significant
    // digit. The scale is known exactly, so an absurd exponent never reaches
    // the conversion routine, and a result out of range is known to be an
    // overflow or an underflow.
    const std::size_t digitCount = intDigits.size() + fracDigits.size();
    auto digitAt = [&](std::size_t k) {
        return k < intDigits.size() ? intDigits[k] : fracDigits[k - intDigits.size()];
    };
    std::size_t firstSignificant = 0;
    while (firstSignificant < digitCount && digitAt(firstSignificant) == '0')
        ++firstSignificant;
    const double zero = negative ? -0.0 : 0.0;
    if (firstSignificant == digitCount)
        return {NumberTextStatus::Ok, zero};
    const int64_t scale = exponent +
        (firstSignificant < intDigits.size() ? static_cast<int64_t>(intDigits.size() - firstSignificant)
                                             : -static_cast<int64_t>(firstSignificant - intDigits.size()));

    // 10^scale with scale beyond these bounds is far outside double's range
    // whatever the digits are (denormals end near 10^-324).
    if (scale > 400)
        return {NumberTextStatus::Overflow, 0.0};
    if (scale < -400)
        return {NumberTextStatus::Ok, zero};

    std::string normalised;
    normalised.reserve(digitCount - firstSignificant + 16);
    normalised += "0.";
    for (std::size_t k = firstSignificant; k < digitCount; ++k)
        normalised += digitAt(k);
    normalised += 'e';
    normalised += std::to_string(scale);

    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(normalised.data(), normalised.data() + normalised.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (scale > 0)
            return {NumberTextStatus::Overflow, 0.0};
        return {NumberTextStatus::Ok, zero};
    }
    if (ec != std::errc() || ptr != normalised.data() + normalised.size())
        return invalid;
    return {NumberTextStatus::Ok, negative ? -value : value};
}

std::string InvalidFloatText(std::string_view text)
{
    return Quoted(text, " is not a valid floating point value");
}

std::string NumberDisplayText(double value, char decimalSeparator)
{
    if (value != value)
        return "NAN";
    if (value == 0.0)
        return "0";  // also for -0: a field showing "-0" would only puzzle

    char buffer[64];
    const auto [ptr, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (ec != std::errc())
        return "NAN";  // cannot happen with this buffer size
    const std::string_view raw(buffer, static_cast<std::size_t>(ptr - buffer));
    if (raw == "inf")
        return "INF";
    if (raw == "-inf")
        return "-INF";

    // to_chars writes "1e+15" and "1e-05"; the exponent is shown as "1E15" and
    // "1E-5" instead, which reads back through ParseLocaleNumberText.
    std::string out;
    out.reserve(raw.size());
    std::size_t i = 0;
    for (; i < raw.size() && raw[i] != 'e'; ++i)
        out += raw[i] == '.' ? decimalSeparator : raw[i];
    if (i < raw.size()) {
        out += 'E';
        ++i;
        if (i < raw.size() && raw[i] == '-')
            out += '-';
        if (i < raw.size() && (raw[i] == '-' || raw[i] == '+'))
            ++i;
        while (i + 1 < raw.size() && raw[i] == '0')
            ++i;
        out.append(raw.substr(i));
    }
    return out;
}

}  // namespace tirevo
