// The first line of a small file named on the command line (a password, or a
// check that a CA file can be read before the broker is tried).
#pragma once

#include <optional>
#include <string>

namespace tirevo {

// Why the file cannot be read (a directory cannot either), in the system's
// words, or nothing; then line holds its first line without the '\n'.
std::optional<std::string> ReadFirstLine(const std::string& path, std::string& line);

}  // namespace tirevo
