#pragma once

#include "editor/GridRules.h"

#include <QObject>

class QLineEdit;

namespace editor {

// Swallows the characters a cell's input class refuses, as they are typed, and lets pasted text
// in only with those characters dropped. Keys that commit, abandon or leave a cell (Enter,
// Escape, Tab) and editing keys pass untouched. Not a validator: text a check must refuse at
// commit (such as "1.2.3") can still be typed, so that the user is told why.
class KeystrokeFilter final : public QObject
{
    Q_OBJECT

public:
    // Installs a filter owned by the editor.
    static void install(QLineEdit *editor, InputClass inputClass);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    KeystrokeFilter(InputClass inputClass, QObject *parent);
    QString accepted(const QString &text) const;

    InputClass m_class;
};

} // namespace editor
