#include "IniFile.h"

#include "WholeFile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace tirevo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// A line without its line end. A lone "\r" at the very end counts as part of
// the line end too, so that it never ends up inside a value.
std::string_view Content(const std::string& line)
{
    std::string_view text = line;
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    return text;
}

// The name as SameName compares it.
std::string LowerName(std::string_view name)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    return lower;
}

bool HasLineEnd(const std::string& line) { return !line.empty() && line.back() == '\n'; }

struct ParsedLine {
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;
    std::string_view value;
};

ParsedLine Parse(std::string_view content)
{
    const std::string_view text = Trim(content);
    if (text.empty() || text.front() == ';')
        return {};
    if (text.front() == '[') {
        // A header without its "]" still starts a section, so that the keys
        // after it are never taken for keys of the section before.
        const std::size_t close = text.find(']', 1);
        const std::string_view name =
            close == std::string_view::npos ? text.substr(1) : text.substr(1, close - 1);
        return {ParsedLine::Section, Trim(name), {}};
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return {};
    return {ParsedLine::Key, Trim(text.substr(0, equals)), Trim(text.substr(equals + 1))};
}

// A key's value as a read returns it: without quotes around it, at most
// kMaxValueLength bytes.
std::string ValueText(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value.substr(0, IniFile::kMaxValueLength));
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

IniFile IniFile::FromText(std::string text)
{
    IniFile file;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string::npos ? text.size() : newline + 1;
        file.lines_.emplace_back(text, start, end - start);
        start = end;
    }
    const std::size_t firstNewline = text.find('\n');
    if (firstNewline != std::string::npos) {
        file.lineEnd_ = firstNewline > 0 && text[firstNewline - 1] == '\r' ? "\r\n" : "\n";
    }
    return file;
}

bool IniFile::Load(const std::string& path)
{
    std::string text;
    const WholeFileRead read = ReadWholeFile(path, text);
    if (read == WholeFileRead::Failed)
        return false;
    if (read == WholeFileRead::Missing) {
        *this = IniFile();
        return true;
    }
    *this = FromText(std::move(text));
    return true;
}

bool IniFile::Save(const std::string& path) const
{
    QSaveFile file(QFile::decodeName(path.c_str()));
    // A file made writable on purpose in a folder that is not (a program
    // folder of the system, say) is rewritten in place rather than refused.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string text = ToText();
    const qint64 written = file.write(text.data(), static_cast<qint64>(text.size()));
    if (written != static_cast<qint64>(text.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The names asked for are trimmed like the names in the file; otherwise a key
// written under " S" would land in a new "[ S]" that no later lookup finds.
std::size_t IniFile::FindSection(std::string_view section) const
{
    section = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine line = Parse(Content(lines_[i]));
        if (line.kind == ParsedLine::Section && SameName(line.name, section))
            return i;
    }
    return kNotFound;
}

std::size_t IniFile::FindKey(std::size_t sectionLine, std::string_view key) const
{
    key = Trim(key);
    for (std::size_t i = sectionLine + 1; i < lines_.size(); ++i) {
        const ParsedLine line = Parse(Content(lines_[i]));
        if (line.kind == ParsedLine::Section)
            break;
        if (line.kind == ParsedLine::Key && SameName(line.name, key))
            return i;
    }
    return kNotFound;
}

std::optional<std::string> IniFile::ReadString(std::string_view section, std::string_view key) const
{
    const std::size_t sectionLine = FindSection(section);
    if (sectionLine == kNotFound)
        return std::nullopt;
    const std::size_t keyLine = FindKey(sectionLine, key);
    if (keyLine == kNotFound)
        return std::nullopt;
    return ValueText(Parse(Content(lines_[keyLine])).value);
}

void IniFile::InsertLine(std::size_t index, std::string content)
{
    // The line before gains a line end if it was the file's unended last line.
    if (index > 0 && !HasLineEnd(lines_[index - 1])) {
        std::string& previous = lines_[index - 1];
        if (!previous.empty() && previous.back() == '\r')
            previous.pop_back();
        // A "\r" still left at the end belongs to the line's text; before a
        // bare "\n" it would read as part of the line end and be lost.
        const bool textEndsInCr = !previous.empty() && previous.back() == '\r';
        previous += textEndsInCr ? "\r\n" : lineEnd_;
    }
    content += lineEnd_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(content));
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    if (section.find(']') != std::string_view::npos)
        return false;
    section = Trim(section);
    key = Trim(key);
    if (key.empty() || key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[') {
        return false;
    }
    const std::string keyLine = std::string(key) + "=" + std::string(value);

    const std::size_t sectionLine = FindSection(section);
    if (sectionLine == kNotFound) {
        std::string header;
        header.reserve(section.size() + 2);
        header.append(1, '[').append(section).append(1, ']');
        InsertLine(lines_.size(), std::move(header));
        InsertLine(lines_.size(), keyLine);
        return true;
    }

    // One pass over the section: the key's own line, or else the line after
    // which a new key goes (its last key line, or the header).
    std::size_t insertAfter = sectionLine;
    for (std::size_t i = sectionLine + 1; i < lines_.size(); ++i) {
        const std::string_view content = Content(lines_[i]);
        const ParsedLine line = Parse(content);
        if (line.kind == ParsedLine::Section)
            break;
        if (line.kind != ParsedLine::Key)
            continue;
        if (SameName(line.name, key)) {
            // The file's spelling of the name stays; only the value changes.
            std::string& raw = lines_[i];
            const std::string lineEnd = raw.substr(content.size());
            raw = std::string(line.name) + "=" + std::string(value) + lineEnd;
            return true;
        }
        insertAfter = i;
    }
    InsertLine(insertAfter + 1, keyLine);
    return true;
}

std::string IniFile::ToText() const
{
    std::size_t size = 0;
    for (const std::string& line : lines_)
        size += line.size();
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines_)
        text += line;
    return text;
}

}  // namespace tirevo

namespace tirevo {

std::vector<IniEntry> IniFile::Entries() const
{
    // One pass, as ReadString reads: the first section of a name, and in it
    // the first key of a name. A settings file of many thousand sections is
    // read at every close, so nothing here may search the file again.
    std::vector<IniEntry> entries;
    std::unordered_set<std::string> sectionsSeen;
    std::unordered_set<std::string> keysSeen;  // in the section being read
    std::string_view section;
    bool reading = false;  // in the first section of its name
    for (const std::string& text : lines_) {
        const ParsedLine line = Parse(Content(text));
        if (line.kind == ParsedLine::Section) {
            section = line.name;
            reading = sectionsSeen.insert(LowerName(line.name)).second;
            keysSeen.clear();
            continue;
        }
        if (line.kind != ParsedLine::Key || !reading || line.name.empty())
            continue;
        if (keysSeen.insert(LowerName(line.name)).second)
            entries.push_back({std::string(section), std::string(line.name), ValueText(line.value)});
    }
    return entries;
}

std::vector<IniChange> IniChanges(const IniFile& before, const IniFile& after)
{
    using Values = std::unordered_map<std::string, std::string>;
    const auto byName = [](const std::vector<IniEntry>& entries) {
        Values values;
        for (const IniEntry& entry : entries)
            values.emplace(LowerName(entry.section) + '\n' + LowerName(entry.key), entry.value);
        return values;
    };
    const std::vector<IniEntry> was = before.Entries();
    const std::vector<IniEntry> now = after.Entries();
    const Values wasValues = byName(was);
    const Values nowValues = byName(now);

    std::vector<IniChange> changes;
    for (const IniEntry& entry : now) {
        const auto old = wasValues.find(LowerName(entry.section) + '\n' + LowerName(entry.key));
        const std::string oldValue = old == wasValues.end() ? std::string() : old->second;
        // A key added empty changes nothing: missing and empty read alike.
        if (oldValue != entry.value)
            changes.push_back({{entry.section, entry.key, oldValue}, entry.value});
    }
    for (const IniEntry& entry : was) {
        if (!entry.value.empty() &&
            !nowValues.contains(LowerName(entry.section) + '\n' + LowerName(entry.key)))
            changes.push_back({entry, std::string()});
    }
    return changes;
}

}  // namespace tirevo
