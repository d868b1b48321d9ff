// The bash completion of tirevo-cli, written from the declarations of its
// commands and options, so that it never offers an option the program does
// not take, nor misses one.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace tirevo {

// The script for /usr/share/bash-completion/completions/tirevo-cli: the
// commands, each command's options, the words some options take (--format
// text|csv|json), folders, files and commands where an option names one,
// and after --serial the serial numbers that `tirevo-cli list` prints.
// An option's value name says what it takes: S is a serial number, DIR a
// folder, FILE a file, COMMAND a command; the lower-case words of a value
// name such as "text|csv|json" or "PH|off" are offered as they are.
std::string BashCompletionScript(const CLI::App& program);

}  // namespace tirevo
