#include "editor/GridRules.h"

#include "editor/PhotoColumns.h"

#include "store/NameRules.h"

#include <QAbstractItemModel>

namespace editor {

namespace {

bool isDigitOrPoint(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
}

} // namespace

bool acceptsCharacter(InputClass inputClass, QChar c)
{
    if (c == QLatin1Char('\b'))
        return true;
    switch (inputClass) {
    case InputClass::FreeText:
        return c != QLatin1Char('"');
    case InputClass::FileName:
        return !store::isRefusedNameCharacter(c);
    case InputClass::SignedNumber:
        return isDigitOrPoint(c) || c == QLatin1Char('-');
    case InputClass::UnsignedNumber:
    case InputClass::Code:
        return isDigitOrPoint(c);
    }
    return false;
}

QString acceptedInputHint(InputClass inputClass)
{
    switch (inputClass) {
    case InputClass::FreeText:
        return quoteRefusedHint();
    case InputClass::FileName:
        return QStringLiteral("A file name cannot hold \\ / : * ? | < > , or \"");
    case InputClass::SignedNumber:
        return QStringLiteral("Numbers only: digits, one decimal point and a leading minus sign");
    case InputClass::UnsignedNumber:
    case InputClass::Code:
        break;
    }
    return QStringLiteral("Numbers only: digits and one decimal point");
}

QString quoteRefusedHint()
{
    return QStringLiteral("A text cannot hold a double quote (\")");
}

bool readsAsNumber(const QString &text)
{
    int digits = 0;
    int points = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            ++digits;
        else if (c == QLatin1Char('.'))
            ++points;
        else if (!(c == QLatin1Char('-') && i == 0))
            return false;
    }
    return digits > 0 && points <= 1;
}

CommitCheck checkCommit(InputClass inputClass, int position, const QString &text, const QVariant &oldValue,
                        const LabelInUse &labelInUse)
{
    CommitCheck check{text, false, {}};
    const ui::Message notNumeric{QStringLiteral("Value entered is not numeric")};
    double number = 0;
    if (inputClass == InputClass::SignedNumber) {
        if (!readNumber(check.text, number)) {
            check.refused = true;
            check.message = notNumeric;
        } else if (number <= -1.0) {
            check.text = QStringLiteral("-1");
        }
    } else if (inputClass == InputClass::UnsignedNumber && !check.text.isEmpty() && !readNumber(check.text, number)) {
        // A mistyped loading is refused rather than stored as some other number.
        check.refused = true;
        check.message = notNumeric;
    }
    if (position > 1 && check.text.isEmpty())
        check.text = QStringLiteral("0");
    if (position != 0)
        return check;
    // The label names the photo's image files: a pasted path character never gets that far.
    if (store::holdsRefusedNameCharacter(check.text)) {
        check.refused = true;
        check.message = labelCharactersMessage();
    } else if ((oldValue.isNull() || oldValue.toString() != check.text) && labelInUse && labelInUse(check.text)) {
        check.refused = true;
        check.message = labelNotUniqueMessage();
    }
    return check;
}

ui::Message labelCharactersMessage()
{
    return {QStringLiteral("Photo ID cannot contain \\ / : * ? | < > , or a double quote"), ui::Icon::Exclamation};
}

ui::Message labelNotUniqueMessage()
{
    return {QStringLiteral("Photo Label must be unique within this book"), ui::Icon::Exclamation};
}

bool labelInOtherRow(const QAbstractItemModel &model, int column, const QString &label, int excludedRow)
{
    if (label.isEmpty())
        return false;
    const int rows = model.rowCount();
    for (int row = 0; row < rows; ++row) {
        if (row != excludedRow &&
            model.index(row, column).data(Qt::EditRole).toString().compare(label, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QPoint pickListPosition(int columnLeft, int rowBottom)
{
    return {columnLeft, rowBottom};
}

QSize pickListSize(const QSize &designed, int widestEntry, int entryHeight, int frameWidth, int scrollBarWidth)
{
    const int width = widestEntry + scrollBarWidth + 2 * frameWidth;
    const int height = kPickListShownEntries * entryHeight + 2 * frameWidth;
    return designed.expandedTo(QSize(width, height));
}

QPoint placePickList(const QRect &cell, const QSize &size, const QRect &client)
{
    QPoint at = pickListPosition(cell.left(), cell.bottom() + 1);
    if (at.y() + size.height() > client.bottom() + 1)
        at.setY(cell.top() - size.height());
    at.setX(qMin(at.x(), client.right() + 1 - size.width()));
    at.setX(qMax(at.x(), client.left()));
    at.setY(qMax(at.y(), client.top()));
    return at;
}

} // namespace editor
