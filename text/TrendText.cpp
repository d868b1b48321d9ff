#include "TrendText.h"

#include "LogReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tirevo {

namespace {

constexpr std::string_view kGap = "   ";
constexpr std::string_view kNoValue = "--";

}  // namespace

std::string TwoDecimals(double value, char decimalSeparator)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    std::string out(text, result.ptr);
    if (out == "-0.00")
        out.erase(0, 1);
    for (char& c : out) {
        if (c == '.')
            c = decimalSeparator;
    }
    return out;
}

std::string DriftText(double value, char decimalSeparator)
{
    constexpr int kFewestDecimals = 2;
    constexpr int kMostDecimals = 6;
    int decimals = kFewestDecimals;
    char text[400];
    if (value != 0 && std::isfinite(value)) {
        // The power of ten of the first digit once rounded to two
        // significant digits (0.00996 is 0.010): from the scientific text.
        const auto lead =
            std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 1);
        const std::string_view written(text, std::size_t(lead.ptr - text));
        const std::size_t e = written.find('e');
        int power = 0;
        if (e != std::string_view::npos) {
            const char* from = text + e + 1;
            if (*from == '+')
                ++from;
            std::from_chars(from, lead.ptr, power);
        }
        decimals = std::clamp(1 - power, kFewestDecimals, kMostDecimals);
    }
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    std::string out(text, result.ptr);
    if (out.find_first_not_of("-0.") == std::string::npos && out.front() == '-')
        out.erase(0, 1);
    if (out.front() != '-')
        out.insert(0, 1, '+');
    for (char& c : out) {
        if (c == '.')
            c = decimalSeparator;
    }
    return out;
}

std::string TrendFiguresLine(const TrendFigures& figures, char decimalSeparator, double slopePerUnit,
                             std::string_view unit)
{
    const bool any = figures.n > 0;
    auto number = [&](double value) {
        return any ? TwoDecimals(value, decimalSeparator) : std::string(kNoValue);
    };
    const std::string drift =
        any ? DriftText(figures.slope * slopePerUnit, decimalSeparator) : std::string(kNoValue);
    std::string line = "n " + std::to_string(figures.n);
    line.append(kGap).append("min ").append(number(figures.min));
    line.append(kGap).append("max ").append(number(figures.max));
    line.append(kGap).append("mean ").append(number(figures.mean));
    line.append(kGap).append("sd ").append(number(figures.sd));
    line.append(kGap).append("drift ").append(drift).append(" ").append(unit);
    return line;
}

std::string TrendCsvHeader(bool timeKeys) { return timeKeys ? "time,ph\n" : "row,ph\n"; }

void AppendTrendCsvRow(std::string& out, double key, double value, bool timeKeys)
{
    char number[64];
    if (timeKeys) {
        out += LocalIsoText(key);
    } else {
        const auto keyEnd = std::to_chars(number, number + sizeof number, key);
        out.append(number, keyEnd.ptr);
    }
    out += ',';
    const auto valueEnd = std::to_chars(number, number + sizeof number, value);
    out.append(number, valueEnd.ptr);
    out += '\n';
}

}  // namespace tirevo
