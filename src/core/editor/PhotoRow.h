#pragma once

#include "store/Photos.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <array>

namespace editor {

// One photo's values, a value per field of store::photoFields(), held in a third of the room a
// vector of variants takes: a number field keeps its whole number or real in eight bytes, a
// text field its string (shared with equal texts), and each field a one-byte note of what it
// holds. A value of any other kind (a text in a number field, a server's typed null) is kept
// whole beside them. value() gives back exactly the variant that was set, type and nullness
// included, so the model behaves as if it held the variants themselves.
class PhotoRow final
{
public:
    static constexpr int kFields = 27;
    static constexpr int kTextFields = 10;

    PhotoRow(); // every field an invalid (unset) variant
    explicit PhotoRow(const store::PhotoValues &values);

    QVariant value(int field) const;
    void setValue(int field, const QVariant &value);
    // Whether the field holds a value that is not null and reads as empty text, without making
    // a variant of it.
    bool holdsEmptyText(int field) const;
    // Every field, as a Photos row.
    store::PhotoValues values() const;
    // Whether each field holds the same value as the given row (a null read from the store
    // and an unset value alike); false when the sizes differ.
    bool sameValues(const store::PhotoValues &other) const;

private:
    enum class Kind : quint8 { Unset, TextNull, Integer, Real, Text, Other };

    void put(int field, const QVariant &value); // into a field that holds nothing

    std::array<qint64, kFields - kTextFields> m_numbers{};
    std::array<QString, kTextFields> m_texts;
    std::array<Kind, kFields> m_kinds{};
    QVector<QVariant> m_others; // by field, once a field holds a value of Kind::Other
};

} // namespace editor

Q_DECLARE_TYPEINFO(editor::PhotoRow, Q_RELOCATABLE_TYPE);
