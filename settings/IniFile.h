// A private-profile (INI) file held in memory: read keys, write keys, and
// keep every line the program does not write as it was.
//
// Format: "[name]" starts a section (the name ends at the first "]"); a line
// whose first non-blank character is ";" is a comment; "name=value" is a key.
// Names are matched without regard to ASCII case; blanks (spaces, tabs)
// around names and values are ignored, in the names asked for as well, and a
// value enclosed in a matching pair of single or double quotes loses them, so
// blanks can still be given.
// Only the first of repeated sections, and the first of repeated keys within
// it, is read or written. Every other line, keys before the first section
// included, is kept byte for byte; so are the line ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

struct IniEntry {
    std::string section;
    std::string key;
    std::string value;  // as ReadString reads it

    bool operator==(const IniEntry&) const = default;
};

class IniFile {
public:
    // Longest value text a read returns.
    static constexpr std::size_t kMaxValueLength = 2047;

    IniFile() = default;
    static IniFile FromText(std::string text);

    // Reads a whole file; a missing file gives an empty one. Returns false
    // only when the file exists but cannot be read.
    bool Load(const std::string& path);
    // Writes the whole file atomically (temporary file renamed over the old);
    // when only the file, not its folder, can be written, truncates and
    // rewrites it in place.
    bool Save(const std::string& path) const;

    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
    // Replaces the key's line in place, or adds it after the last key of the
    // section, or adds the section at the end of the file. Returns false and
    // changes nothing for names or values that cannot be written as one line
    // (line breaks, "=" in a key, "]" in a section, an empty key).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    std::string ToText() const;

    // Every key that ReadString reads (the first of repeated sections and
    // keys), in the order of the file, with the names as the file spells
    // them.
    std::vector<IniEntry> Entries() const;

private:
    static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

    std::size_t FindSection(std::string_view section) const;
    std::size_t FindKey(std::size_t sectionLine, std::string_view key) const;
    void InsertLine(std::size_t index, std::string content);

    std::vector<std::string> lines_;  // each with its own line end ("" on an unended last line)
    // The line end for added lines: the file's first one, else the platform's.
#ifdef _WIN32
    std::string lineEnd_ = "\r\n";
#else
    std::string lineEnd_ = "\n";
#endif
};

// The keys whose value differs between two states of a file, in the order
// of after (then the keys only before had): the value before in
// IniEntry::value, the value after in `now`. A missing key reads as empty,
// as it does for the program.
struct IniChange {
    IniEntry before;
    std::string now;
};
std::vector<IniChange> IniChanges(const IniFile& before, const IniFile& after);

}  // namespace tirevo
