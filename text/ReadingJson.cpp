#include "ReadingJson.h"

#include <cstdio>

namespace tirevo {

namespace {

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kFirstNonAscii = 0x80;

}  // namespace

std::string JsonString(std::string_view text, bool latin1)
{
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < kFirstPrintable) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else if (byte >= kFirstNonAscii && latin1) {
            // Latin-1 to UTF-8: two bytes for U+0080..U+00FF.
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ReadingJson(std::string_view isoTime, std::string_view readingText, bool stable,
                        std::string_view serial)
{
    return "{\"time\":" + JsonString(isoTime) + ",\"ph\":" + std::string(readingText) +
        ",\"stable\":" + (stable ? "true" : "false") + ",\"serial\":" + JsonString(serial) + "}";
}

}  // namespace tirevo
