#include "ReadingOutput.h"

#include <cstdio>
#include <cstdlib>

namespace tirevo {

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kFirstNonAscii = 0x80;

std::string Printf(const char* format, auto... values)
{
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, format, values...);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string ClockText(const WallTime& time)
{
    return Printf("%02d:%02d:%02d", time.hour, time.minute, time.second);
}

}  // namespace

std::string IsoLocalTime(const WallTime& time)
{
    const int offset = std::abs(time.utcOffsetSeconds);
    return Printf("%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", time.year, time.month, time.day, time.hour,
                  time.minute, time.second, time.millisecond, time.utcOffsetSeconds < 0 ? '-' : '+',
                  offset / kSecondsPerHour, offset % kSecondsPerHour / kSecondsPerMinute);
}

std::string OutputHeader(OutputFormat format) { return format == OutputFormat::Csv ? "time,ph\n" : ""; }

std::string OutputLine(OutputFormat format, const WallTime& time, std::string_view readingText,
                       std::string_view serial)
{
    const std::string reading(readingText);
    switch (format) {
    case OutputFormat::Text:
        return ClockText(time) + "  " + reading + "\n";
    case OutputFormat::Csv:
        return IsoLocalTime(time) + "," + reading + "\n";
    case OutputFormat::Json:
        return "{\"time\":" + JsonString(IsoLocalTime(time)) + ",\"ph\":" + reading +
            ",\"serial\":" + JsonString(serial) + "}\n";
    }
    return {};
}

std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < kFirstPrintable) {
            out += Printf("\\u%04x", byte);
        } else if (byte >= kFirstNonAscii) {
            // Latin-1 to UTF-8: two bytes for U+0080..U+00FF.
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace tirevo
