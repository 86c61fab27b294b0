// The book editor's photo rows: Add, Duplicate and Delete, the pick lists over code cells, and
// the image names that follow a committed label.

#include "editor/BookEditor.h"

#include "editor/CodePickLists.h"
#include "editor/EditHistory.h"
#include "editor/GridRules.h"
#include "editor/NewPhotoNames.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "store/Schema.h"
#include "ui/CoolButton.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QComboBox>

namespace editor {

void BookEditor::setUpPhotoRules()
{
    grdPhotos->setMessages(m_context.messages);
    m_pickLists = new CodePickLists(this, m_context.programDir, *m_context.messages,
                                    {[this] { return m_photos->rowCount() > 0; },
                                     [this](const QString &field, const QString &value) {
                                         return m_photos->setValue(m_photos->currentRow(), field, value);
                                     }});
    m_pickLists->fill();

    connect(grdPhotos, &PhotoGrid::cellButtonClicked, this, &BookEditor::onCellButton);
    // Typing on a closed code cell opens its list at the first code starting with the text.
    connect(grdPhotos, &PhotoGrid::codeTyped, this, [this](int row, int column, const QString &text) {
        onCellButton(row, column);
        if (const PickListInfo *info = pickListForField(m_photos->column(column).field))
            m_pickLists->typeAhead(info->list, text);
    });
    // Direct: the names must be in the row before Save, Add, Duplicate or Delete act on it, even
    // when the click that commits the label also presses the button.
    connect(grdPhotos, &PhotoGrid::cellCommitted, this, &BookEditor::onCellCommitted);
    connect(cmdAdd, &QPushButton::clicked, this, &BookEditor::onAdd);
    connect(cmdDup, &QPushButton::clicked, this, &BookEditor::onDuplicate);
    connect(cmdDelete, &QPushButton::clicked, this, &BookEditor::onDelete);
    // Also when the program changes them (checking chkNoImages clears chkUseSuffix).
    connect(chkUseSuffix, &QCheckBox::toggled, this, &BookEditor::onUseSuffixToggled);
    connect(chkNoImages, &QCheckBox::toggled, this, &BookEditor::onNoImagesToggled);
}

void BookEditor::onAdd()
{
    if (!grdPhotos->commitPendingEdit())
        return;
    const int current = m_photos->currentRow();
    QVariantMap values = PhotoTableModel::defaultPhotoValues(m_book.id, m_book.label);
    if (chkCopyPhotoDesc->isChecked()) {
        // value() of no row is null, so without a current photo the name is "New".
        values.insert(QStringLiteral("GroupLabel"),
                      carriedOverName(current >= 0, m_photos->value(current, QStringLiteral("GroupLabel"))));
    }
    // The grid takes the work on: with the focus left on the button, a typed space pressed
    // it again. The row waits for a save, in a new book as in a stored one.
    grdPhotos->focusRow(m_photos->appendRow(values));
}

void BookEditor::onDuplicate()
{
    if (m_photos->rowCount() == 0)
        return;
    if (!grdPhotos->commitPendingEdit())
        return;
    const int source = m_photos->currentRow();
    if (source < 0) {
        m_context.messages->tell({QStringLiteral("Can't duplicate. Select a photo first")});
        return;
    }
    // Every field but the key, gathered before the row is appended, so that nothing can fail
    // once it is there. The copy stays pending until the user leaves it or the book is saved.
    QVariantMap values;
    const QStringList &fields = store::photoFields();
    for (int f = 1; f < fields.size(); ++f)
        values.insert(fields.at(f), m_photos->value(source, fields.at(f)));
    values.insert(QStringLiteral("PhotoLabel"), QStringLiteral(""));
    m_history->nameNextRowStep(QStringLiteral("Duplicate Photo %1"));
    grdPhotos->focusRow(m_photos->appendRow(values));
}

void BookEditor::onDelete()
{
    const int row = m_photos->currentRow();
    if (m_photos->rowCount() == 0 || row < 0)
        return;
    m_photos->removePhoto(row);
    if (m_photos->rowCount() > 0)
        grdPhotos->setCurrentRow(qMin(row, m_photos->rowCount() - 1));
}

void BookEditor::onUseSuffixToggled(bool checked)
{
    cboFileType->setEnabled(checked);
    if (!checked) {
        // Names are typed by hand while automatic naming is off.
        for (const char *field : {"PhotoPic", "DataPic"})
            m_photos->setColumnLocked(m_photos->columnOf(QLatin1String(field)), false);
    }
}

void BookEditor::onNoImagesToggled(bool checked)
{
    // Hiding the columns keeps the names each photo holds; they are saved as they are.
    for (const char *field : {"PhotoPic", "DataPic"})
        m_photos->setColumnVisible(m_photos->columnOf(QLatin1String(field)), !checked);
    chkUseSuffix->setEnabled(!checked);
    if (checked)
        chkUseSuffix->setChecked(false);
}

void BookEditor::onCellButton(int row, int column)
{
    const PickListInfo *info = pickListForField(m_photos->column(column).field);
    if (!info)
        return;
    const QModelIndex cell = m_photos->index(row, column);
    grdPhotos->setCurrentIndex(cell);
    const QPoint topLeft = grdPhotos->viewport()->mapTo(
        this, QPoint(grdPhotos->columnViewportPosition(column), grdPhotos->rowViewportPosition(row)));
    const QRect inWindow(topLeft, QSize(grdPhotos->columnWidth(column), grdPhotos->rowHeight(row)));
    m_pickLists->popUpOver(info->list, inWindow);
}

void BookEditor::onCellCommitted(int row, int column, bool edited)
{
    if (!edited || column != m_photos->columnOf(QStringLiteral("PhotoLabel")) || row >= m_photos->rowCount())
        return;
    if (!chkUseSuffix->isChecked() || chkNoImages->isChecked())
        return;
    const ImageNames names = imageNamesFor(m_photos->value(row, QStringLiteral("PhotoLabel")).toString(),
                                           fileTypeExtension(cboFileType->currentIndex()));
    // One step with the label: an undo takes the names back with it.
    const EditHistory::Joining joining(*m_history);
    m_photos->setValue(row, QStringLiteral("DataPic"), names.dataPic);
    m_photos->setValue(row, QStringLiteral("PhotoPic"), names.photoPic);
}

} // namespace editor
