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

const FieldPlaces &places()
{
    static const FieldPlaces layout;
    return layout;
}

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
        setValue(f, values.at(f));
}

QVariant PhotoRow::value(int field) const
{
    const int slot = places().slot.at(field);
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
    const bool textField = places().text.at(field);
    const int slot = places().slot.at(field);
    if (m_kinds.at(field) == Kind::Other)
        m_others[field] = QVariant();
    if (textField)
        m_texts[slot] = QString();
    const int type = value.typeId();
    if (!value.isValid()) {
        m_kinds[field] = Kind::Unset;
    } else if (type == QMetaType::QString && value.isNull()) {
        m_kinds[field] = Kind::TextNull;
    } else if (value.isNull()) {
        m_kinds[field] = Kind::Other;
    } else if (textField && type == QMetaType::QString) {
        m_kinds[field] = Kind::Text;
        m_texts[slot] = value.toString();
        return;
    } else if (!textField && type == QMetaType::LongLong) {
        m_kinds[field] = Kind::Integer;
        m_numbers[slot] = value.toLongLong();
        return;
    } else if (!textField && type == QMetaType::Double) {
        m_kinds[field] = Kind::Real;
        const double real = value.toDouble();
        std::memcpy(&m_numbers[slot], &real, sizeof real);
        return;
    } else {
        m_kinds[field] = Kind::Other;
    }
    if (m_kinds.at(field) == Kind::Other) {
        if (m_others.isEmpty())
            m_others.resize(kFields);
        m_others[field] = value;
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
