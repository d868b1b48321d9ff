// Reading a whole small file with plain system calls: the command-line
// program reads the settings file too, and Qt's file classes would cost it
// more memory than the whole file.
#pragma once

#include <string>

namespace tirevo {

enum class WholeFileRead { Read, Missing, Failed };

// The file's bytes as they are (no line-end translation) into bytes; Missing
// when no file of that name exists, bytes then empty.
WholeFileRead ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace tirevo
