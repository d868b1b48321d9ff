// The user's decimal and time separators, as the window takes them, for the
// log rows (stdout always uses "." and ":").
#pragma once

namespace tirevo {

struct CliSeparators {
    char decimal = '.';
    char time = ':';
};

CliSeparators ReadCliSeparators();

}  // namespace tirevo
