// The user's decimal and time separators, as single 8-bit characters.
#pragma once

#include <QLocale>

struct TLocaleSeparators {
    char decimal = '.';
    char time = ':';
};

// The default locale is the system one unless the program chose another.
TLocaleSeparators ReadLocaleSeparators(const QLocale& locale = QLocale());
