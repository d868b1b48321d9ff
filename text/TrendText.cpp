#include "TrendText.h"

#include "LogReader.h"

#include <charconv>

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

std::string TrendFiguresLine(const TrendFigures& figures, char decimalSeparator, double slopePerUnit,
                             std::string_view unit)
{
    const bool any = figures.n > 0;
    auto number = [&](double value) {
        return any ? TwoDecimals(value, decimalSeparator) : std::string(kNoValue);
    };
    std::string drift = std::string(kNoValue);
    if (any) {
        drift = TwoDecimals(figures.slope * slopePerUnit, decimalSeparator);
        if (drift.front() != '-')
            drift.insert(0, 1, '+');
    }
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
        out += CivilIsoText(key);
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
