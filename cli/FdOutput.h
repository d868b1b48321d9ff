// Output straight to a file descriptor, without a buffer in the program: what
// was printed is with the system even when the program is killed right after.
#pragma once

#include <string>
#include <string_view>

namespace tirevo {

// Writes every byte, going on after interrupted or partial writes. Returns 0
// or the system error number.
int WriteAll(int fd, std::string_view bytes);

bool IsTerminal(int fd);

// The width of the terminal (the console window on Windows) behind fd, or 0
// when there is none.
int TerminalColumns(int fd);

// "cannot write to standard output: REASON" for a system error number.
std::string StdoutErrorText(int error);

}  // namespace tirevo
