#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

namespace editor {

// The numeric value of a header box: the leading decimal number after leading blanks
// (C locale), or 0 when the text does not start with one ("5.5 in" gives 5.5, " n/a" 0).
double leadingNumber(const QString &text);

// The shortest ordinary decimal text of a number, at most 15 significant digits
// (6 + 0.1 gives "6.1", twelve gives "12").
QString numberText(double value);

// Size-class texts. A bound box shows whole inches: the class above a bound of v starts at
// the whole part of v plus 0.1.
QString nextLowerBound(double boundValue);                           // 6.5 -> "6.1"
QString closedClassHeading(const QString &lower, double boundValue); // "3.1\"-\n6\"\n(t/ac)"
QString openClassHeading(const QString &lower);                      // "\n6.1\" +\n(t/ac)"

// A date box text read as month/day/year (one or two digits, four-digit year) or as
// year-month-day; an invalid date when it reads as neither.
QDate readBookDate(const QString &text);
// The form the calendar writes: "mm/dd/yyyy".
QString bookDateText(const QDate &date);

// The header texts the validation checks.
struct HeaderTexts
{
    QString identifier;
    QString name;
    QString sc4;
    QString sc5;
    QString sc6;
};

// Whether another book than the one being edited carries this label (letter case ignored).
using LabelTaken = std::function<bool(const QString &label)>;

// Every problem with a book's header, in the order they are reported; empty when it can be saved.
QStringList bookProblems(const HeaderTexts &header, const LabelTaken &labelTaken);
// The one message that lists them.
QString problemsMessage(const QStringList &problems);

} // namespace editor
