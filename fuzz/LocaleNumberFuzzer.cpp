// ParseLocaleNumberText with either decimal separator: it accepts exactly the
// texts of the documented shape, its values agree with the C library's
// correctly rounded strtod, and what NumberDisplayText writes reads back.
#include "FuzzCheck.h"
#include "NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

using tirevo::NumberTextResult;
using tirevo::NumberTextStatus;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Shape {
    bool negative = false;
    std::string_view intDigits;
    std::string_view fracDigits;
    bool exponentNegative = false;
    std::string_view exponentDigits;
};

// Blanks, sign, digits, separator, digits, "E"/"e", sign, digits, blanks; at
// least one digit or the separator.
std::optional<Shape> ReadShape(std::string_view text, char separator)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    Shape shape;
    auto digits = [&text]() {
        std::size_t n = 0;
        while (n < text.size() && IsDigit(text[n]))
            ++n;
        const std::string_view taken = text.substr(0, n);
        text.remove_prefix(n);
        return taken;
    };
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        shape.negative = text.front() == '-';
        text.remove_prefix(1);
    }
    shape.intDigits = digits();
    bool separatorSeen = false;
    if (!text.empty() && text.front() == separator) {
        separatorSeen = true;
        text.remove_prefix(1);
        shape.fracDigits = digits();
    }
    if (shape.intDigits.empty() && shape.fracDigits.empty() && !separatorSeen)
        return std::nullopt;
    if (!text.empty() && (text.front() == 'e' || text.front() == 'E')) {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            shape.exponentNegative = text.front() == '-';
            text.remove_prefix(1);
        }
        shape.exponentDigits = digits();
    }
    if (!text.empty())
        return std::nullopt;
    return shape;
}

// The same number in the C locale's spelling, every part present.
std::string CText(const Shape& shape)
{
    std::string text = shape.negative ? "-" : "";
    text += shape.intDigits.empty() ? "0" : std::string(shape.intDigits);
    text += '.';
    text += shape.fracDigits;
    text += shape.exponentNegative ? "e-" : "e+";
    text += shape.exponentDigits.empty() ? "0" : std::string(shape.exponentDigits);
    return text;
}

std::size_t SignificantDigits(const Shape& shape)
{
    const std::string digits = std::string(shape.intDigits) + std::string(shape.fracDigits);
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    return digits.find_last_not_of('0') - first + 1;
}

bool SameDouble(double a, double b) { return a == b && std::signbit(a) == std::signbit(b); }

void Check(std::string_view text, char separator)
{
    const NumberTextResult result = tirevo::ParseLocaleNumberText(text, separator);
    const std::optional<Shape> shape = ReadShape(text, separator);
    FUZZ_CHECK(shape.has_value() == (result.status != NumberTextStatus::NotANumber));
    if (!shape)
        return;

    const std::string cText = CText(*shape);
    errno = 0;
    char* end = nullptr;
    const double expected = std::strtod(cText.c_str(), &end);
    FUZZ_CHECK(end == cText.c_str() + cText.size());
    if (std::isinf(expected)) {
        FUZZ_CHECK(result.status == NumberTextStatus::Overflow);
        return;
    }
    FUZZ_CHECK(result.status == NumberTextStatus::Ok);
    FUZZ_CHECK(std::isfinite(result.value));
    FUZZ_CHECK(SameDouble(result.value, expected));

    // Display and read back. Fifteen significant digits identify every
    // number that was given with at most fifteen; longer ones come back as
    // their fifteen-digit rounding, which is then stable.
    const std::string shown = tirevo::NumberDisplayText(result.value, separator);
    for (char c : shown) {
        FUZZ_CHECK(IsDigit(c) || c == '-' || c == 'E' || c == separator);
    }
    const NumberTextResult back = tirevo::ParseLocaleNumberText(shown, separator);
    if (back.status == NumberTextStatus::Overflow) {
        // Only the largest doubles round up past the range at fifteen digits.
        FUZZ_CHECK(std::fabs(result.value) > 1.79769313486231e308);
        return;
    }
    FUZZ_CHECK(back.status == NumberTextStatus::Ok);
    FUZZ_CHECK(tirevo::NumberDisplayText(back.value, separator) == shown);
    if (result.value == 0.0) {
        FUZZ_CHECK(back.value == 0.0);
    } else if (SignificantDigits(*shape) <= 15) {
        FUZZ_CHECK(back.value == result.value);
    } else {
        FUZZ_CHECK(std::fabs(back.value - result.value) <= 1e-14 * std::fabs(result.value) ||
                   std::fabs(result.value) < std::numeric_limits<double>::min());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check(text, '.');
    Check(text, ',');
    const std::string message = tirevo::InvalidFloatText(text);
    FUZZ_CHECK(message.compare(1, size, text) == 0);
    return 0;
}
