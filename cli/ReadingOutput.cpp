#include "ReadingOutput.h"

#include "ReadingTime.h"

#include <cstdio>
#include <cstdlib>

namespace tirevo {

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

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

WallTime ReadingWallTime(const Reading& reading)
{
    const QDateTime at = ReadingDateTime(reading);
    const QDate date = at.date();
    const QTime time = at.time();
    WallTime out;
    out.year = date.year();
    out.month = date.month();
    out.day = date.day();
    out.hour = time.hour();
    out.minute = time.minute();
    out.second = time.second();
    out.millisecond = time.msec();
    out.utcOffsetSeconds = reading.utcOffsetS;
    return out;
}

std::string IsoLocalTime(const WallTime& time)
{
    const int offset = std::abs(time.utcOffsetSeconds);
    return Printf("%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", time.year, time.month, time.day, time.hour,
                  time.minute, time.second, time.millisecond, time.utcOffsetSeconds < 0 ? '-' : '+',
                  offset / kSecondsPerHour, offset % kSecondsPerHour / kSecondsPerMinute);
}

std::string OutputHeader(OutputFormat format, bool withSerial)
{
    if (format != OutputFormat::Csv)
        return "";
    return withSerial ? "time,serial,ph\n" : "time,ph\n";
}

namespace {

// A csv field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string OutputLine(OutputFormat format, const WallTime& time, std::string_view readingText,
                       std::string_view serial, bool stable, bool withSerial)
{
    const std::string reading(readingText);
    switch (format) {
    case OutputFormat::Text:
        if (withSerial)
            return ClockText(time) + "  " + std::string(serial) + "  " + reading + "\n";
        return ClockText(time) + "  " + reading + "\n";
    case OutputFormat::Csv:
        if (withSerial)
            return IsoLocalTime(time) + "," + CsvField(serial) + "," + reading + "\n";
        return IsoLocalTime(time) + "," + reading + "\n";
    case OutputFormat::Json:
        return ReadingJson(IsoLocalTime(time), reading, stable, serial) + "\n";
    }
    return {};
}

std::string MeasureOutput(OutputFormat format, const SampleRow& row, std::string_view clockText)
{
    switch (format) {
    case OutputFormat::Text:
        return (row.name.empty() ? std::string() : row.name + "  ") + std::string(clockText) + "  " +
            row.readingText + (row.stable ? "  stable\n" : "  unstable\n");
    case OutputFormat::Csv:
        return std::string(kSamplesHeader) + "\r\n" + RecordFile::RowText(SampleFields(row));
    case OutputFormat::Json:
        return "{\"time\":" + JsonString(row.time) + ",\"sample\":" + JsonString(row.name, false) +
            ",\"ph\":" + row.readingText + ",\"stable\":" + (row.stable ? "true" : "false") +
            ",\"serial\":" + JsonString(row.serial) + "}\n";
    }
    return {};
}

}  // namespace tirevo
