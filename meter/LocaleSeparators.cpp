#include "LocaleSeparators.h"

namespace tirevo {

LocaleSeparators ReadLocaleSeparators(const QLocale& locale)
{
    LocaleSeparators out;
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80)
        out.decimal = static_cast<char>(point.at(0).unicode());

    // Qt has no time separator of its own: take the first character between
    // the hour and minute fields of the locale's short time format.
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hour = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
    if (hour >= 0) {
        qsizetype i = hour;
        while (i < format.size() && format.at(i).toLower() == QLatin1Char('h'))
            ++i;
        if (i < format.size()) {
            const QChar c = format.at(i);
            if (!c.isLetterOrNumber() && !c.isSpace() && c != QLatin1Char('\'') && c.unicode() < 0x80)
                out.time = static_cast<char>(c.unicode());
        }
    }
    return out;
}

}  // namespace tirevo
