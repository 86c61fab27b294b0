#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

namespace editor {

// How a cell's value is shown.
enum class NumberFormat {
    None,          // the value as text
    Fixed2,        // "###0.00": at least one digit, exactly two decimals, no grouping
    GeneralNumber, // the number as stored, no grouping, no fixed decimals
};

// What a column accepts while typing and checks on commit; one cell delegate per class.
enum class InputClass { FileNameText, FreeText, UnsignedNumber, SignedNumber, Code };

// One column of the photo grid: plain data, changed at run time only through the model.
struct PhotoColumn
{
    QString field;    // the Photos field it is bound to
    QString heading;  // three lines separated by "\n"
    int widthTwips = 0;
    bool rightAligned = false;
    NumberFormat format = NumberFormat::None;
    bool visible = true;
    bool locked = false;
    InputClass input = InputClass::FreeText;
    bool numeric = false; // the field holds a number
};

// The 22 columns of the photo grid in display order, as they stand when the editor opens.
const QVector<PhotoColumn> &defaultPhotoColumns();

// The text a cell shows for a stored value (C locale); a null value shows as empty text.
QString formatCell(const QVariant &value, NumberFormat format);

// The full stored value as the in-place editor starts from it: numbers in their shortest
// exact C-locale form (12.345 stays 12.345), texts unchanged.
QString editText(const QVariant &value);

// Whether text reads as a number: an optional minus sign, then digits with at most one
// decimal point and at least one digit (C locale, no exponent, no blanks).
bool readNumber(const QString &text, double &value);

} // namespace editor
