// The user's decimal and time separators, as single 8-bit characters.
#pragma once

#include <QLocale>

namespace tirevo {

struct LocaleSeparators {
    char decimal = '.';
    char time = ':';
};

// The default locale is the system one unless the program chose another.
LocaleSeparators ReadLocaleSeparators(const QLocale& locale = QLocale());

}  // namespace tirevo
