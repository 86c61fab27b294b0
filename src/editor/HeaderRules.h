#pragma once

#include <QString>

namespace editor {

// The numeric value of a header box: the leading decimal number after leading blanks
// (C locale), or 0 when the text does not start with one ("5.5 in" gives 5.5, " n/a" 0).
double leadingNumber(const QString &text);

// The shortest ordinary decimal text of a number, at most 15 significant digits
// (6 + 0.1 gives "6.1", twelve gives "12").
QString numberText(double value);

} // namespace editor
