#pragma once

#include "editor/GridRules.h"

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

// The longest number text every number column shows whole at its designed width; a longer
// one may be cut, and its cell's tooltip holds the full value.
constexpr int kReadableNumberLength = 7;

// One column of the photo grid: plain data, changed at run time only through the model.
struct PhotoColumn
{
    QString field;   // the Photos field it is bound to
    QString heading; // three lines separated by "\n"
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

// The number a text reads as (see readsAsNumber); false when it does not read as one.
bool readNumber(const QString &text, double &value);

} // namespace editor
