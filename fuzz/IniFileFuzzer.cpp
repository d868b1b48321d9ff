// The settings file reader and writer on arbitrary text: the text reads back
// byte for byte, a written key reads back with its value, and nothing else in
// the file changes, neither its lines nor what any other key reads.
//
// Input: the section, key and value to write (each ended by a backslash and
// one more character; a doubled backslash stands for one), then the file.
#include "FuzzCheck.h"
#include "IniFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace tirevo;

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

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The lines of a text, each with its own "\n" (the last one may lack it).
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string Content(std::string line)
{
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// What a read gives for a written value: blanks around it go, then one pair
// of matching quotes, and the read stops at its length limit.
std::string ReadBack(std::string_view value)
{
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value.substr(0, IniFile::kMaxValueLength));
}

bool Writable(std::string_view section, std::string_view key, std::string_view value)
{
    for (std::string_view part : {section, key, value}) {
        if (part.find_first_of("\r\n") != std::string_view::npos)
            return false;
    }
    if (section.find(']') != std::string_view::npos)
        return false;
    key = Trim(key);
    return !key.empty() && key.find('=') == std::string_view::npos && key.front() != ';' &&
        key.front() != '[';
}

// Section and key names as they appear in the file, to probe reads with.
std::vector<std::pair<std::string, std::string>> Names(const std::vector<std::string>& lines)
{
    constexpr std::size_t kMostProbes = 64;
    std::vector<std::pair<std::string, std::string>> names;
    std::string section;
    for (const std::string& line : lines) {
        const std::string content = Content(line);
        const std::string_view text = Trim(content);
        if (text.empty() || text.front() == ';')
            continue;
        if (text.front() == '[') {
            section = std::string(Trim(text.substr(1, text.find(']', 1) - 1)));
        } else if (const std::size_t equals = text.find('='); equals != std::string_view::npos) {
            names.emplace_back(section, std::string(Trim(text.substr(0, equals))));
        }
        if (names.size() == kMostProbes)
            break;
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(80);
    const std::string key = input.ConsumeRandomLengthString(80);
    const std::string value = input.ConsumeRandomLengthString(3000);
    const std::string text = input.ConsumeRemainingBytesAsString();

    IniFile ini = IniFile::FromText(text);
    FUZZ_CHECK(ini.ToText() == text);

    const std::vector<std::string> before = Lines(text);
    auto probes = Names(before);
    probes.emplace_back(section, key);
    std::vector<std::optional<std::string>> readsBefore;
    for (const auto& [s, k] : probes)
        readsBefore.push_back(ini.ReadString(s, k));

    const bool written = ini.WriteString(section, key, value);
    const std::string out = ini.ToText();
    FUZZ_CHECK(written == Writable(section, key, value));
    if (!written) {
        FUZZ_CHECK(out == text);
        return 0;
    }

    const std::string_view keyName = Trim(key);
    FUZZ_CHECK(ini.ReadString(section, key) == ReadBack(value));
    FUZZ_CHECK(IniFile::FromText(out).ReadString(section, key) == ReadBack(value));
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const auto& [s, k] = probes[i];
        if (SameName(Trim(s), Trim(section)) && SameName(Trim(k), keyName))
            continue;
        FUZZ_CHECK(ini.ReadString(s, k) == readsBefore[i]);
    }

    // Line by line: the file is the old one with one line replaced, one line
    // added, or a section header and its key added at the end.
    const std::vector<std::string> after = Lines(out);
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() &&
           Content(before[prefix]) == Content(after[prefix])) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           Content(before[before.size() - 1 - suffix]) == Content(after[after.size() - 1 - suffix])) {
        ++suffix;
    }
    const std::size_t removed = before.size() - prefix - suffix;
    const std::size_t added = after.size() - prefix - suffix;
    const std::string keyLine = std::string(keyName) + "=" + value;
    const std::size_t firstNewline = text.find('\n');
    const std::string lineEnd =
        firstNewline != std::string::npos && firstNewline > 0 && text[firstNewline - 1] == '\r' ? "\r\n"
                                                                                                : "\n";
    if (removed == 0 && added == 0) {
        FUZZ_CHECK(out == text);
    } else if (removed == 1 && added == 1) {
        // The key's line in place: the file's spelling of the name, the new
        // value, the old line end.
        const std::string newContent = Content(after[prefix]);
        const std::string_view name = std::string_view(newContent).substr(0, keyName.size());
        FUZZ_CHECK(SameName(name, keyName));
        FUZZ_CHECK(newContent.substr(keyName.size()) == "=" + value);
        FUZZ_CHECK(after[prefix].substr(newContent.size()) ==
                   before[prefix].substr(Content(before[prefix]).size()));
    } else if (removed == 0 && added == 1) {
        FUZZ_CHECK(after[prefix] == keyLine + lineEnd);
    } else {
        FUZZ_CHECK(removed == 0 && added == 2 && suffix == 0);
        FUZZ_CHECK(after[prefix] == "[" + std::string(Trim(section)) + "]" + lineEnd);
        FUZZ_CHECK(after[prefix + 1] == keyLine + lineEnd);
    }
    // Every line kept is kept byte for byte; only an unended last line may
    // gain a line end when something is added after it.
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (i >= prefix && i < prefix + removed)
            continue;
        const std::string& now = i < prefix ? after[i] : after[i - before.size() + after.size()];
        if (now == before[i])
            continue;
        FUZZ_CHECK(i == before.size() - 1 && before[i].back() != '\n' && added > 0);
        FUZZ_CHECK(now.back() == '\n' && Content(now) == Content(before[i]));
        FUZZ_CHECK(now == Content(before[i]) + lineEnd || now == Content(before[i]) + "\r\n");
    }
    return 0;
}
