#include "RecordFile.h"

#include <cstring>

namespace tirevo {

namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

RecordFile::RecordFile(std::string folder, std::string_view fileName, std::string header, bool createFolder)
    : folder_(std::move(folder)), header_(std::move(header)), createFolder_(createFolder)
{
    path_ = folder_.empty() ? std::string(fileName)
                            : folder_ + (folder_.back() == '/' ? "" : "/") + std::string(fileName);
}

std::string RecordFile::Field(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string RecordFile::RowText(const std::vector<std::string>& fields)
{
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            row += ',';
        row += Field(fields[i]);
    }
    return row + kLineEnd;
}

std::string RecordFile::ErrorText(const RecordResult& result) const
{
    switch (result.status) {
    case RecordStatus::Written:
        return {};
    case RecordStatus::ForeignHeader:
        return "The first line of " + path_ + " is not \"" + header_ +
            "\": the file was left alone and nothing was recorded";
    case RecordStatus::Failed:
        break;
    }
    return "Cannot write to " + path_ + ": " + std::strerror(result.systemError) + ". Nothing was recorded";
}

}  // namespace tirevo
