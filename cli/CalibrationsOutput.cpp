#include "CalibrationsOutput.h"

#include "ReadingOutput.h"
#include "SampleRecord.h"

#include <algorithm>
#include <vector>

namespace tirevo {

namespace {

constexpr std::size_t kSerialColumn = 1;
constexpr const char* kColumnGap = "  ";

// Characters, not bytes, for the alignment: the fields are UTF-8.
std::size_t Width(const std::string& text)
{
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A field as one cell of the table: a line break (CRLF, LF or CR, from a
// file edited by hand) would start a new line of the table; it is shown as
// the two characters \n.
std::string CellText(const std::string& field)
{
    std::string cell;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\r' || field[i] == '\n') {
            if (field[i] == '\r' && i + 1 < field.size() && field[i + 1] == '\n')
                ++i;
            cell += "\\n";
        } else {
            cell += field[i];
        }
    }
    return cell;
}

std::string TextTable(const std::vector<std::string>& header, const std::vector<const CsvRecord*>& rows)
{
    std::vector<std::vector<std::string>> cells;
    for (const CsvRecord* row : rows) {
        cells.emplace_back();
        for (const std::string& field : row->fields)
            cells.back().push_back(CellText(field));
    }
    std::vector<std::size_t> widths(header.size());
    for (std::size_t i = 0; i < header.size(); ++i)
        widths[i] = Width(header[i]);
    for (const std::vector<std::string>& row : cells)
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], Width(row[i]));
    auto line = [&](const std::vector<std::string>& fields) {
        std::string out;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string& field = fields[i];
            out += field;
            if (i + 1 < fields.size() && i < widths.size())
                out += std::string(widths[i] - Width(field), ' ') + kColumnGap;
        }
        while (!out.empty() && out.back() == ' ')
            out.pop_back();
        return out + "\n";
    };
    std::string out = line(header);
    for (const std::vector<std::string>& row : cells)
        out += line(row);
    return out;
}

}  // namespace

std::string CalibrationsOutput(OutputFormat format, const CalibrationsRead& read,
                               const std::optional<std::string>& serial)
{
    std::vector<const CsvRecord*> rows;
    for (const CsvRecord& row : read.rows)
        if (!serial || (row.fields.size() > kSerialColumn && row.fields[kSerialColumn] == *serial))
            rows.push_back(&row);
    const std::vector<std::string> header = ParseCsv(kCalibrationsHeader).front().fields;
    switch (format) {
    case OutputFormat::Csv: {
        std::string out =
            read.headerText.empty() ? std::string(kCalibrationsHeader) + "\r\n" : read.headerText;
        for (const CsvRecord* row : rows) {
            out += row->text;
            // The last row of a file edited by hand may lack its line end.
            if (out.back() != '\n')
                out += "\r\n";
        }
        return out;
    }
    case OutputFormat::Json: {
        std::string out;
        for (const CsvRecord* row : rows) {
            out += "{";
            for (std::size_t i = 0; i < header.size(); ++i) {
                if (i > 0)
                    out += ",";
                const std::string value = i < row->fields.size() ? row->fields[i] : std::string();
                out += JsonString(header[i], false) + ":" + JsonString(value, false);
            }
            out += "}\n";
        }
        return out;
    }
    case OutputFormat::Text:
        break;
    }
    return TextTable(header, rows);
}

std::optional<std::string> CalibrationDueWarning(const std::string& serial, const std::string& folder,
                                                 int32_t dueHours, int64_t nowUtcMs)
{
    if (dueHours <= 0)
        return std::nullopt;
    const CalibrationsRead read = ReadCalibrations(CalibrationsFile(folder, false).Path());
    const CalibrationDue state = CalibrationDueState(read.rows, Latin1ToUtf8(serial), dueHours, nowUtcMs);
    if (!state.due)
        return std::nullopt;
    return "calibration of " + Latin1ToUtf8(serial) + " due (" +
        (state.lastPassUtcMs ? "last passed " + LocalMinuteText(*state.lastPassUtcMs)
                             : std::string("no passed calibration recorded")) +
        ")";
}

}  // namespace tirevo
