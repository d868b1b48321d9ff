#include "ReadingText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace tirevo {

namespace {

constexpr char kLineEnd = '\r';
// The decimal form a reading is rounded from, and the digits it keeps.
constexpr int kReadingDecimalDigits = 18;
constexpr int kReadingSignificantDigits = 5;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A value's significant decimal digits, d[0] standing at the power of ten
// `exponent`: 7.125 is {7,1,2,5,0,...} with exponent 0.
struct DecimalForm {
    bool negative = false;
    std::array<int, kReadingDecimalDigits> digits{};
    int exponent = 0;
};

// to_chars is used rather than printf: it never looks at the C locale, which a
// Qt application sets from the user's environment.
DecimalForm ToDecimalForm(double value)
{
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::scientific, kReadingDecimalDigits - 1);
    DecimalForm form;
    const char* p = text.data();
    if (*p == '-') {
        form.negative = true;
        ++p;
    }
    std::size_t count = 0;
    for (; p != result.ptr && *p != 'e'; ++p) {
        if (IsDigit(*p) && count < form.digits.size())
            form.digits[count++] = *p - '0';
    }
    if (p != result.ptr) {
        ++p;  // 'e'
        const bool negativeExponent = *p == '-';
        if (*p == '-' || *p == '+')
            ++p;
        int exponent = 0;
        std::from_chars(p, result.ptr, exponent);
        form.exponent = negativeExponent ? -exponent : exponent;
    }
    return form;
}

// Digits 0..count-1 of the form as an integer, rounded half away from zero on
// the digit that follows them. count may be 0 (only the rounding digit counts)
// or negative (everything is below the rounding position).
std::int64_t RoundedLeadingDigits(const DecimalForm& form, int count)
{
    if (count < 0)
        return 0;
    std::int64_t n = 0;
    for (int i = 0; i < count; ++i)
        n = n * 10 + form.digits[static_cast<std::size_t>(i)];
    if (count < kReadingDecimalDigits && form.digits[static_cast<std::size_t>(count)] >= 5)
        ++n;
    return n;
}

void AppendUnsigned(std::string& out, std::uint64_t n)
{
    std::array<char, 24> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), n);
    out.append(text.data(), result.ptr);
}

// General notation with five significant digits, in the style of the classic
// Pascal FloatToStrF(ffGeneral, 5): trailing zeros and a bare separator are
// dropped, the exponent is written as "E", a minus only when negative, and no
// leading zeros: 100000 -> "1E5", 123456 -> "1.2346E5", -2.5e10 -> "-2.5E10".
// It is only reached for magnitudes of 99999.5 and more, where that style
// always chooses the scientific form, so the fixed form is not produced here.
std::string GeneralFiveDigits(const DecimalForm& form, char decimalSeparator)
{
    std::int64_t mantissa = RoundedLeadingDigits(form, kReadingSignificantDigits);
    int exponent = form.exponent;
    if (mantissa == 100000) {  // 9.99995... carried into a new leading digit
        mantissa = 10000;
        ++exponent;
    }
    std::array<char, kReadingSignificantDigits> digits{};
    for (int i = kReadingSignificantDigits - 1; i >= 0; --i) {
        digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + mantissa % 10);
        mantissa /= 10;
    }
    std::size_t used = digits.size();
    while (used > 1 && digits[used - 1] == '0')
        --used;

    std::string out;
    if (form.negative)
        out += '-';
    out += digits[0];
    if (used > 1) {
        out += decimalSeparator;
        out.append(digits.data() + 1, used - 1);
    }
    out += 'E';
    if (exponent < 0)
        out += '-';
    AppendUnsigned(out, static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent));
    return out;
}

}  // namespace

void AppendReceived(std::string& receiveText, std::string_view bytes, std::size_t limit)
{
    const std::size_t total = receiveText.size() + bytes.size();
    if (total <= limit) {
        receiveText.append(bytes);
        return;
    }
    // The earliest carriage return that leaves at most `limit` characters
    // after it stands at `first` or later; one search from there keeps the
    // cost linear however many short lines have to go.
    const std::size_t first = total - limit - 1;
    if (first < receiveText.size()) {
        const std::size_t cr = receiveText.find(kLineEnd, first);
        if (cr != std::string::npos) {
            receiveText.erase(0, cr + 1);
            receiveText.append(bytes);
            return;
        }
    }
    const std::size_t from = first < receiveText.size() ? 0 : first - receiveText.size();
    const std::size_t cr = bytes.find(kLineEnd, from);
    if (cr == std::string_view::npos) {
        receiveText.clear();
    } else {
        receiveText.assign(bytes.substr(cr + 1));
    }
}

std::vector<std::string> TakeLines(std::string& receiveText)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t cr = receiveText.find(kLineEnd); cr != std::string::npos;
         cr = receiveText.find(kLineEnd, start)) {
        lines.emplace_back(receiveText, start, cr - start);
        start = cr + 1;
    }
    // One move of the rest, not one per line.
    receiveText.erase(0, start);
    return lines;
}

bool IsReadingLine(std::string_view line) { return line.substr(0, 3) == "pH:"; }

std::string_view ReadingField(std::string_view line)
{
    if (line.size() <= 4)
        return {};
    return line.substr(4, 6);
}

std::optional<double> ParseReadingField(std::string_view field)
{
    std::size_t i = 0;
    const std::size_t n = field.size();
    while (i < n && field[i] == ' ')
        ++i;
    bool negative = false;
    std::size_t parseStart = i;
    if (i < n && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
        if (!negative)
            parseStart = i;  // from_chars takes no '+'
    }

    // Power of ten of the first significant digit, to tell an overflow from
    // an underflow; only its sign matters, since only magnitudes beyond about
    // 1e308 or below about 1e-324 are out of range.
    long long leadPower = 0;
    bool significant = false;
    std::size_t mantissaDigits = 0;
    long long intDigitsAfterLead = 0;
    while (i < n && IsDigit(field[i])) {
        if (significant) {
            ++intDigitsAfterLead;
        } else if (field[i] != '0') {
            significant = true;
        }
        ++mantissaDigits;
        ++i;
    }
    if (significant)
        leadPower = intDigitsAfterLead;
    if (i < n && field[i] == '.') {
        ++i;
        long long fractionPosition = 0;
        while (i < n && IsDigit(field[i])) {
            --fractionPosition;
            if (!significant && field[i] != '0') {
                significant = true;
                leadPower = fractionPosition;
            }
            ++mantissaDigits;
            ++i;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    long long exponent = 0;
    if (i < n && (field[i] == 'e' || field[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (field[i] == '+' || field[i] == '-'))
            negativeExponent = field[i++] == '-';
        const std::size_t exponentStart = i;
        while (i < n && IsDigit(field[i])) {
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (field[i] - '0');
            ++i;
        }
        // An exponent marker promises digits; "1e" and "1e+" are cut off,
        // not complete numbers.
        if (i == exponentStart)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;

    double value = 0.0;
    const char* begin = field.data() + parseStart;
    const char* end = field.data() + n;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small to tell from zero is zero; too large has no value that
        // could honestly be shown.
        if (significant && leadPower + exponent >= 0)
            return std::nullopt;
        return negative ? -0.0 : 0.0;
    }
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

std::string FormatReading(double value, char decimalSeparator)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";

    const DecimalForm form = ToDecimalForm(value);
    if (form.exponent >= kReadingSignificantDigits)
        return GeneralFiveDigits(form, decimalSeparator);

    // The last kept digit stands at the power of ten `last`: five significant
    // digits, but never below hundredths. Rounding once at that position
    // (not first to hundredths, then to five digits) avoids double rounding.
    const int last = std::max(form.exponent - (kReadingSignificantDigits - 1), -2);
    const std::int64_t kept = RoundedLeadingDigits(form, form.exponent - last + 1);
    std::int64_t hundredths = kept;
    for (int p = last; p > -2; --p)
        hundredths *= 10;
    if (hundredths >= 100000 * 100)
        return GeneralFiveDigits(form, decimalSeparator);

    std::string out;
    if (form.negative && hundredths != 0)
        out += '-';
    AppendUnsigned(out, static_cast<std::uint64_t>(hundredths / 100));
    out += decimalSeparator;
    out += static_cast<char>('0' + hundredths / 10 % 10);
    out += static_cast<char>('0' + hundredths % 10);
    return out;
}

std::optional<std::string> ReadingTextFromLine(std::string_view line, char decimalSeparator)
{
    if (!IsReadingLine(line))
        return std::nullopt;
    const std::optional<double> value = ParseReadingField(ReadingField(line));
    if (!value)
        return std::nullopt;
    return FormatReading(*value, decimalSeparator);
}

}  // namespace tirevo
