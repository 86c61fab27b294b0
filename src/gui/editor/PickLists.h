#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class QListWidget;

namespace editor {

struct CodeRecord;

// The five pick lists of the photo grid's code columns, in the order the editor fills them.
enum class PickList { VegType, ActType, FM, FM2, DR };

struct PickListInfo
{
    PickList list;
    const char *objectName; // lstVegType ...
    const char *field;      // the photo field a choice writes
    int storedLength;       // characters of the entry a choice keeps
    const char *codeFile;   // file of a user-extensible list, else nullptr
    const char *tag;        // what the Add Code dialog is told it serves, else nullptr
    int widthTwips;
    int heightTwips;
};

const QVector<PickListInfo> &pickLists();
const PickListInfo &pickListInfo(PickList list);
// The pick list whose choice writes this field (any letter case), or nullptr.
const PickListInfo *pickListForField(const QString &field);

// The last entry of the two code lists; choosing it opens the Add Code dialog.
QString newCodeEntry();

// A code padded with blanks to five characters (never cut), followed by its description.
QString codeEntryText(const QString &code, const QString &description);

// " ", one entry per record, "New Code...".
QStringList codeListEntries(const QVector<CodeRecord> &records);
// " " and the fixed models, for the three fuel-model lists.
QStringList fireBehaviour2005Entries();
QStringList fireBehaviour1982Entries();
QStringList dangerRatingEntries();

// What choosing an entry stores: its first characters, blanks trimmed ("" for the blank entry).
QString storedCode(PickList list, const QString &entry);

// Replaces a list's entries, keeping their order.
void fillList(QListWidget *list, const QStringList &entries);

} // namespace editor
