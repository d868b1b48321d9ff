// The user's decimal and time separators, as single 8-bit characters.
#pragma once

#include <QLocale>

struct TLocaleSeparators {
    char decimal = '.';
    char time = ':';
};

TLocaleSeparators ReadLocaleSeparators(const QLocale& locale = QLocale::system());
