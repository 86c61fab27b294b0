#pragma once

#include "editor/GridRules.h"

#include <QObject>

class QLineEdit;

namespace editor {

// Refuses the characters a cell's input class refuses, as they are typed or pasted: the key, or
// the whole pasted text, is dropped with a beep and a tooltip saying what the column takes, and
// the text stays as it was (a paste with a refused character dropped would change what the
// user meant: "0,5" would become "05"). Line breaks and other control characters of a pasted
// text are left out silently. Keys that commit, abandon or leave a cell (Enter, Escape, Tab) and
// editing keys pass untouched. Not a validator: text a check must refuse at commit (such as
// "1.2.3") can still be typed, so that the user is told why.
class KeystrokeFilter final : public QObject
{
    Q_OBJECT

public:
    // Installs a filter owned by the editor.
    static void install(QLineEdit *editor, InputClass inputClass);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    KeystrokeFilter(InputClass inputClass, QObject *parent);
    // Inserts a pasted text, or refuses all of it.
    void paste(QLineEdit *edit, const QString &text) const;

    InputClass m_class;
};

} // namespace editor
