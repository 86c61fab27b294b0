#include "editor/PhotoRow.h"

#include "store/Schema.h"

#include <cstring>

namespace editor {

namespace {

// Where each field's value lives: its place among the number fields or among the text fields.
struct FieldPlaces
{
    std::array<int, PhotoRow::kFields> slot{};
    std::array<bool, PhotoRow::kFields> text{};

    FieldPlaces()
    {
        if (store::photoFields().size() != PhotoRow::kFields)
            qFatal("PhotoRow holds %d fields, the Photos table has %d", PhotoRow::kFields,
                   int(store::photoFields().size()));
        int numbers = 0;
        int texts = 0;
        for (int f = 0; f < PhotoRow::kFields; ++f) {
            text[f] = store::isTextPhotoField(f);
            slot[f] = text[f] ? texts++ : numbers++;
        }
        if (texts != PhotoRow::kTextFields)
            qFatal("PhotoRow holds %d text fields, the Photos table has %d", PhotoRow::kTextFields, texts);
    }
};

// Made when the program starts: every read of a value looks here.
const FieldPlaces kPlaces;

bool sameValue(const QVariant &a, const QVariant &b)
{
    return a.isNull() ? b.isNull() : !b.isNull() && a == b;
}

} // namespace

PhotoRow::PhotoRow() = default;

PhotoRow::PhotoRow(const store::PhotoValues &values)
{
    const int n = std::min(int(values.size()), kFields);
    for (int f = 0; f < n; ++f)
        put(f, values.at(f));
}

QVariant PhotoRow::value(int field) const
{
    const int slot = kPlaces.slot.at(field);
    switch (m_kinds.at(field)) {
    case Kind::Unset:
        return {};
    case Kind::TextNull:
        return QVariant(QMetaType::fromType<QString>());
    case Kind::Integer:
        return m_numbers.at(slot);
    case Kind::Real: {
        double real = 0;
        std::memcpy(&real, &m_numbers.at(slot), sizeof real);
        return real;
    }
    case Kind::Text:
        return m_texts.at(slot);
    case Kind::Other:
        break;
    }
    return m_others.at(field);
}

void PhotoRow::setValue(int field, const QVariant &value)
{
    if (m_kinds.at(field) == Kind::Other)
        m_others[field] = QVariant();
    if (kPlaces.text.at(field))
        m_texts[kPlaces.slot.at(field)] = QString();
    put(field, value);
}

void PhotoRow::put(int field, const QVariant &value)
{
    const bool textField = kPlaces.text.at(field);
    const int slot = kPlaces.slot.at(field);
    Kind kind = Kind::Other;
    // The variant's own value is read in place, the types being known. A null variant holds
    // its type's default value, so only a null string or a zero needs asking whether the
    // variant is null.
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        kind = Kind::Unset;
        break;
    case QMetaType::QString: {
        const auto *text = static_cast<const QString *>(value.constData());
        if (text->isNull() && value.isNull()) {
            kind = Kind::TextNull;
        } else if (textField) {
            kind = Kind::Text;
            m_texts[slot] = *text;
        }
        break;
    }
    case QMetaType::LongLong: {
        const qint64 number = *static_cast<const qint64 *>(value.constData());
        if (!textField && (number != 0 || !value.isNull())) {
            kind = Kind::Integer;
            m_numbers[slot] = number;
        }
        break;
    }
    case QMetaType::Double: {
        qint64 bits = 0;
        std::memcpy(&bits, value.constData(), sizeof bits);
        if (!textField && (bits != 0 || !value.isNull())) {
            kind = Kind::Real;
            m_numbers[slot] = bits;
        }
        break;
    }
    default:
        break;
    }
    m_kinds[field] = kind;
    if (kind == Kind::Other) {
        if (m_others.isEmpty())
            m_others.resize(kFields);
        m_others[field] = value;
    }
}

bool PhotoRow::holdsEmptyText(int field) const
{
    switch (m_kinds.at(field)) {
    case Kind::Text:
        return m_texts.at(kPlaces.slot.at(field)).isEmpty();
    case Kind::Other:
        return !m_others.at(field).isNull() && m_others.at(field).toString().isEmpty();
    default:
        return false;
    }
}

store::PhotoValues PhotoRow::values() const
{
    store::PhotoValues all;
    all.reserve(kFields);
    for (int f = 0; f < kFields; ++f)
        all << value(f);
    return all;
}

bool PhotoRow::sameValues(const store::PhotoValues &other) const
{
    if (other.size() != kFields)
        return false;
    for (int f = 0; f < kFields; ++f) {
        if (!sameValue(value(f), other.at(f)))
            return false;
    }
    return true;
}

} // namespace editor
