// Numbers as the window shows them in the test's locale: "." stands for the
// locale's decimal separator in expected texts.
#pragma once

#include <QLocale>
#include <QString>

inline QString LocalNumber(QString text) { return text.replace(QLatin1Char('.'), QLocale().decimalPoint()); }
