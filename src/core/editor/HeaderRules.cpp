#include "editor/HeaderRules.h"

#include "store/NameRules.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace editor {

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

double leadingNumber(const QString &text)
{
    int i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    int digits = 0;
    for (; i < text.size() && isAsciiDigit(text.at(i)); ++i)
        ++digits;
    int end = i;
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        for (++i; i < text.size() && isAsciiDigit(text.at(i)); ++i)
            ++digits;
        end = i;
    }
    if (digits == 0)
        return 0;
    QString number = text.mid(start, end - start);
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

QString nextLowerBound(double boundValue)
{
    return numberText(std::floor(boundValue) + 0.1);
}

QString closedClassHeading(const QString &lower, double boundValue)
{
    return lower + QStringLiteral("\"-\n") + numberText(std::floor(boundValue)) + QStringLiteral("\"\n(t/ac)");
}

QString openClassHeading(const QString &lower)
{
    return QStringLiteral("\n") + lower + QStringLiteral("\" +\n(t/ac)");
}

QDate readBookDate(const QString &text)
{
    static const QRegularExpression monthFirst(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    static const QRegularExpression yearFirst(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    const QString trimmed = text.trimmed();
    if (const QRegularExpressionMatch m = monthFirst.match(trimmed); m.hasMatch())
        return QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    if (const QRegularExpressionMatch m = yearFirst.match(trimmed); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return {};
}

QString bookDateText(const QDate &date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

QStringList bookProblems(const HeaderTexts &header, const LabelTaken &labelTaken)
{
    QStringList problems;
    // The identifier is saved without surrounding blanks and names a folder.
    const QString identifier = header.identifier.trimmed();
    if (identifier.isEmpty() || store::isUntitled(identifier) || identifier == QLatin1String(".") ||
        identifier == QLatin1String(".."))
        problems << QStringLiteral("Please provide a Book Identfier");
    else if (store::holdsRefusedNameCharacter(identifier))
        problems << QStringLiteral("The Book identifier cannot contain \\ / : * ? | < > , or a double quote");
    else if (labelTaken(identifier))
        problems << QStringLiteral("The Book identifier already exists");
    if (header.name.isEmpty() || header.name == QLatin1String("Untitled"))
        problems << QStringLiteral("Please provide a Book Description");
    const double v4 = leadingNumber(header.sc4);
    const double v5 = leadingNumber(header.sc5);
    if (!header.sc4.isEmpty() && v4 <= 3.0)
        problems << QStringLiteral("Size class 4 is not in ascending order");
    if (!header.sc5.isEmpty() && v4 >= v5)
        problems << QStringLiteral("Size class 5 is not in ascending order");
    if (!header.sc6.isEmpty() && v5 >= leadingNumber(header.sc6))
        problems << QStringLiteral("Size class 6 is not in ascending order");
    return problems;
}

QString problemsMessage(const QStringList &problems)
{
    QString text = QStringLiteral("Please correct the following problems with this photo book: \n\n");
    for (const QString &p : problems)
        text += p + QLatin1Char('\n');
    return text;
}

} // namespace editor
