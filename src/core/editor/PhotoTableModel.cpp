#include "editor/PhotoTableModel.h"

#include "store/Schema.h"

#include <utility>

namespace editor {

namespace {

const int kKey = 0; // ID comes first in store::photoFields()

// The value a field holds after a write: texts as given, numbers as numbers (empty text
// clears a number). False when a number field is given text that is not a number.
bool normalise(int field, const QVariant &in, QVariant &out)
{
    if (in.isNull() || store::isTextPhotoField(field)) {
        out = in.isNull() ? QVariant() : QVariant(in.toString());
        return true;
    }
    if (in.typeId() == QMetaType::QString) {
        const QString text = in.toString();
        if (text.isEmpty()) {
            out = QVariant();
            return true;
        }
        double number = 0;
        if (!readNumber(text, number))
            return false;
        out = number;
        return true;
    }
    bool ok = false;
    if (field == store::photoFieldIndex(QStringLiteral("BookID"))) {
        out = in.toLongLong(&ok);
        return ok;
    }
    out = in.toDouble(&ok);
    return ok;
}

// Whether a field holds the same value: a null read from the store carries its column's type,
// the value written has none.
bool sameValue(const QVariant &a, const QVariant &b)
{
    return a.isNull() ? b.isNull() : !b.isNull() && a == b;
}

} // namespace

PhotoTableModel::PhotoTableModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_columns(defaultPhotoColumns())
{
    for (const PhotoColumn &c : m_columns)
        m_columnField << store::photoFieldIndex(c.field);
    m_imageFields = {store::photoFieldIndex(QStringLiteral("PhotoPic")),
                     store::photoFieldIndex(QStringLiteral("DataPic"))};
}

void PhotoTableModel::setImageFolder(std::shared_ptr<const BookImageFolder> folder)
{
    m_imageFolder = std::move(folder);
    for (int field : m_imageFields) {
        const int column = int(m_columnField.indexOf(field));
        if (column >= 0 && !m_rows.isEmpty())
            emit dataChanged(index(0, column), index(int(m_rows.size()) - 1, column),
                             {MissingImageRole, Qt::ToolTipRole});
    }
}

void PhotoTableModel::countImages(int &named, int &missing) const
{
    named = 0;
    missing = 0;
    for (const PhotoRow &r : m_rows) {
        for (int field : m_imageFields) {
            const QString name = r.value(field).toString();
            if (name.isEmpty())
                continue;
            ++named;
            if (m_imageFolder && m_imageFolder->find(name).isEmpty())
                ++missing;
        }
    }
}

void PhotoTableModel::setRows(QVector<store::PhotoValues> rows)
{
    QVector<PhotoRow> compact;
    compact.reserve(rows.size());
    for (store::PhotoValues &v : rows) {
        compact.push_back(PhotoRow(v));
        v = {}; // each row's variants go as soon as it is held compactly
    }
    rows = {};
    setCompactRows(std::move(compact));
}

void PhotoTableModel::setCompactRows(QVector<PhotoRow> rows)
{
    m_restructuring = true;
    m_currentRow = -1;
    beginResetModel();
    m_rows = std::move(rows);
    m_states.fill(RowState::Stored, m_rows.size());
    m_states.squeeze();
    m_removedKeys.clear();
    m_base.clear();
    endResetModel();
    m_restructuring = false;
    m_edited = false;
}

QVariantMap PhotoTableModel::defaultPhotoValues(qint64 bookId, const QVariant &bookLabel)
{
    QVariantMap values = store::newPhotoValues();
    values.insert(QStringLiteral("BookLabel"), bookLabel);
    values.insert(QStringLiteral("BookID"), bookId);
    return values;
}

int PhotoTableModel::columnOf(const QString &field) const
{
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_columns.at(c).field.compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

void PhotoTableModel::setColumnHeading(int column, const QString &heading)
{
    if (m_columns[column].heading == heading)
        return;
    m_columns[column].heading = heading;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void PhotoTableModel::setColumnVisible(int column, bool visible)
{
    if (m_columns[column].visible == visible)
        return;
    m_columns[column].visible = visible;
    emit columnVisibilityChanged(column, visible);
}

void PhotoTableModel::setColumnLocked(int column, bool locked)
{
    m_columns[column].locked = locked;
}

QVariant PhotoTableModel::value(int row, const QString &field) const
{
    const int f = store::photoFieldIndex(field);
    if (row < 0 || row >= m_rows.size() || f < 0)
        return {};
    return m_rows.at(row).value(f);
}

bool PhotoTableModel::setValue(int row, const QString &field, const QVariant &value)
{
    const int f = store::photoFieldIndex(field);
    if (row < 0 || row >= m_rows.size() || f <= kKey)
        return false;
    return setField(row, f, value);
}

bool PhotoTableModel::setField(int row, int field, const QVariant &value)
{
    QVariant normalised;
    if (!normalise(field, value, normalised))
        return false;
    PhotoRow &r = m_rows[row];
    RowState &state = m_states[row];
    const QVariant before = r.value(field);
    if (sameValue(before, normalised))
        return true;
    const qint64 key = r.value(kKey).toLongLong();
    if (state == RowState::Stored)
        m_base.insert(key, r.values());
    r.setValue(field, normalised);
    m_edited = true;
    if (state == RowState::Stored) {
        state = RowState::Changed;
    } else if (state == RowState::Changed && r.sameValues(m_base.value(key))) {
        // Changed back to what the store holds (an undone edit): nothing to write.
        state = RowState::Stored;
        m_base.remove(key);
    }
    const int column = int(m_columnField.indexOf(field));
    if (column >= 0)
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole, Qt::EditRole});
    emit valueEdited(row, store::photoFields().at(field), before, normalised);
    return true;
}

int PhotoTableModel::appendRow(const QVariantMap &values)
{
    PhotoRow r;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const int f = store::photoFieldIndex(it.key());
        if (f <= kKey)
            continue;
        QVariant v = r.value(f);
        normalise(f, it.value(), v);
        r.setValue(f, v);
    }
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.push_back(std::move(r));
    m_states.push_back(RowState::Added);
    endInsertRows();
    m_edited = true;
    emit photoAppended(row);
    return row;
}

RemovedPhoto PhotoTableModel::removePhoto(int row)
{
    if (row < 0 || row >= m_rows.size())
        return {};
    RemovedPhoto removed{row, m_rows.at(row).values()};
    if (const qint64 key = rowKey(row); key != 0) {
        m_removedKeys << key;
        if (m_states.at(row) == RowState::Stored)
            m_base.insert(key, removed.values);
    }
    if (m_currentRow == row)
        m_currentRow = -1;
    else if (m_currentRow > row)
        --m_currentRow;
    m_restructuring = true;
    beginRemoveRows({}, row, row);
    m_rows.remove(row);
    m_states.remove(row);
    endRemoveRows();
    m_restructuring = false;
    m_edited = true;
    emit currentRowLost();
    emit photoRemoved(removed);
    return removed;
}

void PhotoTableModel::restorePhoto(const RemovedPhoto &photo)
{
    PhotoRow r(photo.values);
    RowState state = RowState::Added;
    if (const qint64 key = r.value(kKey).toLongLong(); key != 0) {
        if (m_removedKeys.removeOne(key)) {
            const auto base = m_base.constFind(key);
            if (base != m_base.cend() && !r.sameValues(*base)) {
                state = RowState::Changed;
            } else {
                state = RowState::Stored;
                m_base.remove(key);
            }
        } else {
            // A save has deleted it from the store since: it is written anew.
            r.setValue(kKey, QVariant());
        }
    }
    const int row = qBound(0, photo.row, int(m_rows.size()));
    m_restructuring = true;
    beginInsertRows({}, row, row);
    m_rows.insert(row, std::move(r));
    m_states.insert(row, state);
    endInsertRows();
    m_restructuring = false;
    if (m_currentRow >= row)
        ++m_currentRow;
    m_edited = true;
}

qint64 PhotoTableModel::rowKey(int row) const
{
    return m_rows.at(row).value(kKey).toLongLong();
}

void PhotoTableModel::setCurrentRow(int row)
{
    if (m_restructuring || row == m_currentRow)
        return;
    const int previous = m_currentRow;
    m_currentRow = row;
    if (previous >= 0 && previous < m_rows.size())
        emit headerDataChanged(Qt::Vertical, previous, previous);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
    emit currentRowChanged(row);
}

bool PhotoTableModel::hasPendingChanges() const
{
    if (!m_removedKeys.isEmpty())
        return true;
    return std::any_of(m_states.cbegin(), m_states.cend(), [](RowState s) { return s != RowState::Stored; });
}

library::PhotoChanges PhotoTableModel::changes(ExpectedRows expected) const
{
    const bool withExpected = expected == ExpectedRows::Included;
    library::PhotoChanges changes;
    changes.removed = m_removedKeys;
    if (withExpected)
        changes.expected.reserve(m_rows.size() + m_removedKeys.size());
    for (int row = 0; row < m_rows.size(); ++row) {
        const PhotoRow &r = m_rows.at(row);
        const RowState state = m_states.at(row);
        if (state == RowState::Added) {
            changes.added << r.values();
            continue;
        }
        if (state == RowState::Changed) {
            changes.changed << r.values();
            if (withExpected)
                changes.expected << m_base.value(r.value(kKey).toLongLong());
        } else if (withExpected) {
            changes.expected << r.values();
        }
    }
    if (withExpected) {
        for (qint64 key : m_removedKeys)
            changes.expected << m_base.value(key);
    }
    return changes;
}

void PhotoTableModel::acceptSaved(const library::SavedBook &saved)
{
    static const int bookId = store::photoFieldIndex(QStringLiteral("BookID"));
    static const int bookLabel = store::photoFieldIndex(QStringLiteral("BookLabel"));
    static const int codes[] = {store::photoFieldIndex(QStringLiteral("VegType")),
                                store::photoFieldIndex(QStringLiteral("Activity"))};
    // The rows as the save left them in the store: every photo carries the book's key and label,
    // and an empty code is stored as one blank.
    int added = 0;
    const QVariant id = saved.header.id;
    const QVariant label = saved.header.label;
    const QVariant blank = QStringLiteral(" ");
    for (int row = 0; row < m_rows.size(); ++row) {
        PhotoRow &r = m_rows[row];
        if (m_states.at(row) == RowState::Added && added < saved.addedKeys.size())
            r.setValue(kKey, saved.addedKeys.at(added++));
        r.setValue(bookId, id);
        r.setValue(bookLabel, label);
        for (int code : codes) {
            if (r.holdsEmptyText(code))
                r.setValue(code, blank);
        }
        m_states[row] = RowState::Stored;
    }
    m_removedKeys.clear();
    m_base.clear();
}

int PhotoTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PhotoTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant PhotoTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const PhotoColumn &c = m_columns.at(index.column());
    const QVariant v = m_rows.at(index.row()).value(m_columnField.at(index.column()));
    switch (role) {
    case Qt::DisplayRole:
        return formatCell(v, c.format);
    case Qt::EditRole:
        return editText(v);
    case Qt::TextAlignmentRole:
        return int((c.rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    case MissingImageRole:
    case Qt::ToolTipRole: {
        // A number too long for its column shows whole in its tooltip.
        if (role == Qt::ToolTipRole && c.numeric && formatCell(v, c.format).size() > kReadableNumberLength)
            return editText(v);
        // An image name whose file is not in the book's folder.
        if (!m_imageFolder || !m_imageFields.contains(m_columnField.at(index.column())))
            return {};
        const QString name = v.toString();
        if (name.isEmpty() || !m_imageFolder->find(name).isEmpty())
            return {};
        if (role == MissingImageRole)
            return true;
        return QStringLiteral("Missing: %1").arg(m_imageFolder->pathFor(name));
    }
    default:
        return {};
    }
}

bool PhotoTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    return setField(index.row(), m_columnField.at(index.column()), value);
}

QVariant PhotoTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        // The record selector marks the current row.
        if (role == Qt::DisplayRole)
            return section == m_currentRow ? QStringLiteral("\u25B6") : QString();
        return {};
    }
    if (section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns.at(section).heading;
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags PhotoTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!m_columns.at(index.column()).locked)
        f |= Qt::ItemIsEditable;
    return f;
}

} // namespace editor
