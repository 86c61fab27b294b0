#pragma once

#include <QDialog>

class QLineEdit;

namespace ui {
class CoolButton;
class Messages;
} // namespace ui

namespace editor {

// The Add Code dialog. Its tag ("Veg" or "Act") says which code list of the editor window it
// serves; OK appends the new code to that list's code file and then to the list, just above
// "New Code...", and hands the code back through code().
class AddCodeDialog final : public QDialog
{
    Q_OBJECT

public:
    AddCodeDialog(const QString &tag, const QString &programDir, ui::Messages &messages, QWidget *editorWindow);

    // The code added; empty when the dialog was cancelled.
    const QString &code() const { return m_code; }

private:
    void onOK();
    void onCancel();

    QString m_tag;
    QString m_programDir;
    ui::Messages &m_messages;
    QWidget *m_editorWindow;
    QString m_code;

    QLineEdit *txtCode;
    QLineEdit *txtDescription;
    ui::CoolButton *cmdOK;
    ui::CoolButton *cmdCancel;
};

} // namespace editor
