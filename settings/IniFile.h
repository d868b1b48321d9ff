// A private-profile (INI) file held in memory: read keys, write keys, and
// keep every line the program does not write as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniFile {
public:
    // Longest value text a read returns.
    static constexpr std::size_t kMaxValueLength = 2047;

    IniFile() = default;
    static IniFile FromText(std::string text);

    // Reads a whole file; a missing file gives an empty one. Returns false
    // only when the file exists but cannot be read.
    bool Load(const std::string& path);
    // Writes the whole file atomically (temporary file renamed over the old).
    bool Save(const std::string& path) const;

    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    std::string ToText() const;

private:
    std::vector<std::string> lines_;  // without their line ends
    std::string lineEnd_;             // the file's own line end
    bool endsWithLineEnd_ = true;
};
