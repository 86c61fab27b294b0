#include "editor/HeaderRules.h"

#include <QLocale>

namespace editor {

double leadingNumber(const QString &text)
{
    int i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    int digits = 0;
    while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    QString number = text.mid(start, i - start);
    if (number.endsWith(QLatin1Char('.')))
        number.chop(1);
    return QLocale::c().toDouble(number);
}

QString numberText(double value)
{
    QString text = QString::number(value, 'g', 15);
    if (!text.contains(QLatin1Char('e')))
        return text;
    // Very large or small values are written out in full, without an exponent.
    text = QString::number(value, 'f', 15);
    while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text;
}

} // namespace editor
