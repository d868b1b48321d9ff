// The first line of a small file named on the command line (a password, a
// check that a CA file can be read), with the system's reason when it
// cannot be read: a directory cannot either.
#pragma once

#include <optional>
#include <string>

namespace tirevo {

// Why path cannot be read (strerror's text), or nothing; line is then the
// file's text up to its first '\n', without it.
std::optional<std::string> ReadFirstLine(const std::string& path, std::string& line);

}  // namespace tirevo
