#include "AuditJson.h"

#include "ReadingJson.h"

#include <QString>

namespace tirevo {

namespace {

constexpr unsigned char kFirstNonAscii = 0x80;

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= kFirstNonAscii)
            return false;
    return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t Digits(std::string_view text, std::size_t at)
{
    std::size_t end = at;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    return end - at;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text)
{
    if (IsAscii(text)) {
        out += JsonString(text, false);
        return;
    }
    // A round trip through UTF-16 leaves valid UTF-8 as it is and replaces
    // what is not, so every line stays JSON a reader can take.
    const std::string valid =
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8().toStdString();
    out += JsonString(valid, false);
}

bool IsJsonNumber(std::string_view text)
{
    std::size_t at = 0;
    if (at < text.size() && text[at] == '-')
        ++at;
    const std::size_t whole = Digits(text, at);
    if (whole == 0 || (whole > 1 && text[at] == '0'))
        return false;
    at += whole;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fraction = Digits(text, at + 1);
        if (fraction == 0)
            return false;
        at += 1 + fraction;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            ++at;
        const std::size_t exponent = Digits(text, at);
        if (exponent == 0)
            return false;
        at += exponent;
    }
    return at == text.size();
}

}  // namespace tirevo
