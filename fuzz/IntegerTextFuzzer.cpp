// ParseIntegerText against a slow reference that reads the digits as text, so
// neither the range check nor the hexadecimal wrap-around shares any code or
// arithmetic shortcut with the parser.
#include "FuzzCheck.h"
#include "NumberText.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool IsDecimal(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char c)
{
    if (IsDecimal(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

// Compares two unsigned decimal digit strings without leading zeros.
int CompareDigits(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a.compare(b) > 0 ? 1 : 0);
}

std::optional<int32_t> Reference(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::string_view rest = text.substr(i);

    std::size_t prefix = 0;
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        prefix = 2;
    } else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X")) {
        prefix = 1;
    }
    if (prefix > 0) {
        const std::string_view digits = rest.substr(prefix);
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        for (char c : digits) {
            if (!IsHex(c))
                return std::nullopt;
        }
        // Two's complement by hand: the 32 bits as a number 0..2^32-1, minus
        // 2^32 when the top bit is set, then negated (and wrapped) for "-".
        int64_t value = 0;
        for (char c : digits)
            value = value * 16 + HexValue(c);
        if (negative)
            value = (int64_t{1} << 32) - value;
        value %= int64_t{1} << 32;
        if (value >= int64_t{1} << 31)
            value -= int64_t{1} << 32;
        return static_cast<int32_t>(value);
    }

    if (rest.empty())
        return std::nullopt;
    for (char c : rest) {
        if (!IsDecimal(c))
            return std::nullopt;
    }
    std::string_view significant = rest;
    while (significant.size() > 1 && significant.front() == '0')
        significant.remove_prefix(1);
    if (CompareDigits(significant, negative ? "2147483648" : "2147483647") > 0)
        return std::nullopt;
    int64_t value = 0;
    for (char c : significant)
        value = value * 10 + (c - '0');
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> parsed = tirevo::ParseIntegerText(text);
    const std::optional<int32_t> expected = Reference(text);
    FUZZ_CHECK(parsed.has_value() == expected.has_value());
    if (parsed)
        FUZZ_CHECK(*parsed == *expected);

    // The error text quotes the input whole, whatever it holds.
    const std::string message = tirevo::InvalidIntegerText(text);
    FUZZ_CHECK(message.size() == size + 2 + std::string_view(" is not a valid integer value").size());
    FUZZ_CHECK(message.compare(1, size, text) == 0);
    return 0;
}
