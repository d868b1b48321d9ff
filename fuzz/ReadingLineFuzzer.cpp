// The reply stream as the reception timer sees it: any bytes, cut into reads
// anywhere, with the complete lines taken between the reads. The kept text is compared with
// a plain model of the bound after every step, and every line taken goes
// through the reading parser and formatter.
//
// Input: byte 0 holds the number of split bytes (low four bits) and whether a
// small bound is used (bit 4; the bound is then byte 1 plus one). Each split
// byte gives a read's length (low six bits) and how often every complete line
// is taken after it (top two bits; none when zero); the reads cycle through
// the split bytes. The rest is the stream.
#include "FuzzCheck.h"
#include "ReadingText.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// What the receive text must hold: the stream not yet taken, cut at the
// earliest carriage return that leaves at most `limit` characters after it.
struct Model {
    std::size_t limit;
    std::string pending;
    bool dropped = false;

    void Append(std::string_view bytes)
    {
        pending.append(bytes);
        if (pending.size() <= limit)
            return;
        dropped = true;
        for (std::size_t p = 0; p < pending.size(); ++p) {
            if (pending[p] == '\r' && pending.size() - (p + 1) <= limit) {
                pending.erase(0, p + 1);
                return;
            }
        }
        pending.clear();
    }

    std::optional<std::string> Take()
    {
        const std::size_t p = pending.find('\r');
        if (p == std::string::npos)
            return std::nullopt;
        std::string line = pending.substr(0, p);
        pending.erase(0, p + 1);
        return line;
    }
};

// A reading field as a number: blanks, sign, digits, ".", digits, at least
// one digit, then "e"/"E", sign and at least one digit; nothing else.
std::optional<std::string_view> NumberPart(std::string_view field)
{
    while (!field.empty() && field.front() == ' ')
        field.remove_prefix(1);
    std::size_t i = 0;
    if (i < field.size() && (field[i] == '+' || field[i] == '-'))
        ++i;
    std::size_t mantissaDigits = 0;
    while (i < field.size() && IsDigit(field[i]))
        ++i, ++mantissaDigits;
    if (i < field.size() && field[i] == '.') {
        ++i;
        while (i < field.size() && IsDigit(field[i]))
            ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < field.size() && (field[i] == 'e' || field[i] == 'E')) {
        ++i;
        if (i < field.size() && (field[i] == '+' || field[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < field.size() && IsDigit(field[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != field.size())
        return std::nullopt;
    return field;
}

void CheckField(std::string_view field)
{
    const std::optional<double> parsed = tirevo::ParseReadingField(field);
    const std::optional<std::string_view> number = NumberPart(field);
    if (!number) {
        FUZZ_CHECK(!parsed);
        return;
    }
    const std::string text(*number);
    char* end = nullptr;
    const double expected = std::strtod(text.c_str(), &end);
    FUZZ_CHECK(end == text.c_str() + text.size());
    if (std::isinf(expected)) {
        FUZZ_CHECK(!parsed);
        return;
    }
    FUZZ_CHECK(parsed.has_value());
    FUZZ_CHECK(*parsed == expected);
}

// "-"? digits, separator, two digits (at most five integer digits, no
// leading zero, no "-0.00"); or "-"? digit, separator and at most four digits
// ending in a non-zero digit, "E", "-"? digits.
bool SaneReadingText(const std::string& text, char separator)
{
    std::string_view t = text;
    const bool negative = !t.empty() && t.front() == '-';
    if (negative)
        t.remove_prefix(1);
    const std::size_t e = t.find('E');
    if (e == std::string_view::npos) {
        const std::size_t sep = t.find(separator);
        if (sep == std::string_view::npos || sep == 0 || sep > 5 || t.size() != sep + 3)
            return false;
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (i != sep && !IsDigit(t[i]))
                return false;
        }
        if (sep > 1 && t.front() == '0')
            return false;
        if (negative && t.substr(0, 1) == "0" && t.substr(sep + 1) == "00")
            return false;
        return true;
    }
    std::string_view mantissa = t.substr(0, e);
    std::string_view exponent = t.substr(e + 1);
    if (mantissa.empty() || mantissa.front() < '1' || mantissa.front() > '9')
        return false;
    if (mantissa.size() > 1) {
        if (mantissa[1] != separator || mantissa.size() < 3 || mantissa.size() > 6)
            return false;
        for (char c : mantissa.substr(2)) {
            if (!IsDigit(c))
                return false;
        }
        if (mantissa.back() == '0')
            return false;
    }
    if (!exponent.empty() && exponent.front() == '-')
        exponent.remove_prefix(1);
    if (exponent.empty() || (exponent.size() > 1 && exponent.front() == '0'))
        return false;
    for (char c : exponent) {
        if (!IsDigit(c))
            return false;
    }
    return true;
}

void CheckLine(const std::string& line)
{
    FUZZ_CHECK(line.find('\r') == std::string::npos);
    CheckField(line);
    const std::string_view field = tirevo::ReadingField(line);
    FUZZ_CHECK(field.size() <= 6);
    CheckField(field);
    for (char separator : {'.', ','}) {
        const std::optional<std::string> shown = tirevo::ReadingTextFromLine(line, separator);
        if (!line.starts_with("pH:")) {
            FUZZ_CHECK(!shown);
            continue;
        }
        const std::optional<double> value = tirevo::ParseReadingField(field);
        FUZZ_CHECK(shown.has_value() == value.has_value());
        if (!shown)
            continue;
        FUZZ_CHECK(SaneReadingText(*shown, separator));
        FUZZ_CHECK(*shown == tirevo::FormatReading(*value, separator));
        // The text stands for the value: off by at most half a hundredth or
        // half a unit of the fifth significant digit.
        std::string cText = *shown;
        for (char& c : cText) {
            if (c == separator)
                c = '.';
        }
        const double back = std::strtod(cText.c_str(), nullptr);
        FUZZ_CHECK(std::fabs(back - *value) <= (0.005 + 5e-5 * std::fabs(*value)) * (1 + 1e-9));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::size_t at = 0;
    const uint8_t head = data[at++];
    const std::size_t splitCount = head & 0x0f;
    std::size_t limit = tirevo::kReceiveTextLimit;
    if ((head & 0x10) != 0) {
        if (at >= size)
            return 0;
        limit = std::size_t{data[at++]} + 1;
    }
    if (size - at < splitCount)
        return 0;
    const std::vector<uint8_t> splits(data + at, data + at + splitCount);
    at += splitCount;
    const std::string_view stream(reinterpret_cast<const char*>(data + at), size - at);

    std::string receiveText;
    Model model{limit, {}};
    std::vector<std::string> lines;
    auto take = [&]() {
        const std::vector<std::string> taken = tirevo::TakeLines(receiveText);
        std::vector<std::string> expected;
        while (std::optional<std::string> line = model.Take())
            expected.push_back(*line);
        FUZZ_CHECK(taken == expected);
        FUZZ_CHECK(receiveText == model.pending);
        for (const std::string& line : taken) {
            CheckLine(line);
            lines.push_back(line);
        }
        return !taken.empty();
    };

    std::size_t offset = 0;
    std::size_t step = 0;
    std::size_t emptyReads = 0;
    while (offset < stream.size() && emptyReads < 64) {
        std::size_t length = stream.size() - offset;
        std::size_t takes = 1;
        if (!splits.empty()) {
            const uint8_t split = splits[step++ % splits.size()];
            length = std::min<std::size_t>(split & 0x3f, length);
            takes = split >> 6;
        }
        if (length == 0)
            ++emptyReads;
        const std::string_view bytes = stream.substr(offset, length);
        offset += length;
        tirevo::AppendReceived(receiveText, bytes, limit);
        model.Append(bytes);
        FUZZ_CHECK(receiveText.size() <= limit);
        FUZZ_CHECK(receiveText == model.pending);
        for (std::size_t i = 0; i < takes; ++i)
            take();
    }
    if (offset < stream.size()) {
        // Only empty reads were asked for; the rest arrives in one piece.
        tirevo::AppendReceived(receiveText, stream.substr(offset), limit);
        model.Append(stream.substr(offset));
        FUZZ_CHECK(receiveText.size() <= limit);
        FUZZ_CHECK(receiveText == model.pending);
    }
    while (take()) {}

    if (!model.dropped) {
        std::string joined;
        for (const std::string& line : lines)
            joined += line + '\r';
        joined += receiveText;
        FUZZ_CHECK(joined == stream);
    }
    return 0;
}
