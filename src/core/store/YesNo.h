#pragma once

#include <QVariant>

namespace store {

// Yes/no fields hold -1 for true and 0 for false; any non-zero value reads as true.
constexpr int kYes = -1;
constexpr int kNo = 0;

inline int toYesNo(bool value)
{
    return value ? kYes : kNo;
}

inline bool fromYesNo(const QVariant &value)
{
    return !value.isNull() && value.toLongLong() != 0;
}

} // namespace store
