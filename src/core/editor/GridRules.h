#pragma once

#include "common/Message.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVariant>

#include <functional>

class QAbstractItemModel;

namespace editor {

// How a photo grid column takes input; every column falls in exactly one class.
enum class InputClass { FileName, FreeText, UnsignedNumber, SignedNumber, Code };

// Whether a character typed into a cell of this class is let through. Backspace ('\b') is
// accepted in every class. No class takes a double quote: an install file cannot carry one
// inside a text.
bool acceptsCharacter(InputClass inputClass, QChar c);

// What a cell of this class takes, shown when a typed or pasted character is refused.
QString acceptedInputHint(InputClass inputClass);

// What a header text that goes into an install file takes (the book's name, its builder, its date).
QString quoteRefusedHint();

// An optional minus sign followed by digits with at most one decimal point and at least one
// digit: "-0.5", "3.", ".5". No blanks, no exponent, no thousands separator.
bool readsAsNumber(const QString &text);

// The text a commit would store and whether it was refused. A refused commit keeps the cell in
// editing with `text`; `message` (empty when none) is what the user is told.
struct CommitCheck
{
    QString text;
    bool refused = false;
    ui::Message message;
};

// Whether another photo of the book already carries this label.
using LabelInUse = std::function<bool(const QString &label)>;

// The checks run before an edited cell is committed, in order: the signed-number check and its
// floor of -1, "0" for an empty cell after the name column (position > 1), and the uniqueness of
// a changed PhotoLabel. A refusal in one step does not skip the later ones.
CommitCheck checkCommit(InputClass inputClass, int position, const QString &text, const QVariant &oldValue,
                        const LabelInUse &labelInUse);

// What the user is told when a photo label holds a character a file name cannot, or is
// already another photo's label.
ui::Message labelCharactersMessage();
ui::Message labelNotUniqueMessage();

// Whether a row other than excludedRow holds `label` in `column`, ignoring letter case (labels
// name image files, and some file systems ignore case). An empty label never clashes: new
// photos wait for their label together.
bool labelInOtherRow(const QAbstractItemModel &model, int column, const QString &label, int excludedRow);

// Top-left corner of a pick list popped up over a code cell: its left edge at the column, its
// top touching the bottom of the current row (both in window coordinates).
QPoint pickListPosition(int columnLeft, int rowBottom);

// The fewest entries a pick list shows at a time.
constexpr int kPickListShownEntries = 8;

// A pick list's size: its designed size, grown to show kPickListShownEntries entries and its
// widest entry beside the vertical scroll bar, so that it never needs a horizontal one.
QSize pickListSize(const QSize &designed, int widestEntry, int entryHeight, int frameWidth, int scrollBarWidth);

// Where a pick list of `size` pops up over a code cell (window coordinates). It keeps
// pickListPosition when the whole list lies inside `client` there; when it would reach below
// the client area it opens above the row instead; then it moves left as far as needed, and
// never above or left of the client area.
QPoint placePickList(const QRect &cell, const QSize &size, const QRect &client);

} // namespace editor
