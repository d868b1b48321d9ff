#include "RecordFile.h"

#include <cerrno>
#include <cstring>

namespace tirevo {

namespace {

constexpr const char* kLineEnd = "\r\n";
// What a spreadsheet takes as the start of a formula (or strips in front of
// one).
constexpr std::string_view kFormulaStarts = "=+-@\t\r";
constexpr char kTextMark = '\'';

// Whether text, after any apostrophes it starts with, starts a formula.
bool StartsFormula(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kTextMark);
    return first != std::string_view::npos && kFormulaStarts.find(text[first]) != std::string_view::npos;
}

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

std::string RecordFile::GuardedText(std::string_view text)
{
    return StartsFormula(text) ? kTextMark + std::string(text) : std::string(text);
}

std::string RecordFile::UnguardedText(std::string_view field)
{
    if (!field.empty() && field.front() == kTextMark && StartsFormula(field))
        field.remove_prefix(1);
    return std::string(field);
}

bool RecordFile::StartsWithHeader(std::string_view firstBytes) const
{
    if (firstBytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        firstBytes.remove_prefix(kUtf8ByteOrderMark.size());
    const std::size_t end = firstBytes.find_first_of("\r\n");
    return firstBytes.substr(0, end) == header_;
}

std::size_t RecordFile::HeaderBytes() const
{
    // The mark, the header and its line end (or whatever stands there).
    return kUtf8ByteOrderMark.size() + header_.size() + 2;
}

RecordResult RecordFile::MakeFolder() const
{
    if (createFolder_ && !MakeFolderPath(folder_))
        return {RecordStatus::Failed, errno};
    return {};
}

RecordResult RecordFile::Append(const std::vector<std::string>& fields) const
{
    if (const RecordResult made = MakeFolder(); !made.Ok())
        return made;
    RecordLock lock(path_);
    if (lock.Error())
        return {RecordStatus::Failed, lock.Error()};
    if (const RecordResult result = AppendLocked(lock, fields); !result.Ok())
        return result;
    if (const int error = lock.Release())
        return {RecordStatus::Failed, error};
    return {};
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
