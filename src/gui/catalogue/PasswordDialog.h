#pragma once

#include "catalogue/AppContext.h"
#include "store/Result.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace store {
class Store;
}
namespace ui {
class CoolButton;
}

namespace catalogue {

// Asks for the password of a team library (frmPassword): the prompt, a password box that shows
// no characters, OK and Cancel.
class PasswordDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit PasswordDialog(const QString &prompt, QWidget *parent = nullptr);

    QString password() const;

private:
    void buildWindow(const QString &prompt);

    QLabel *lblPrompt = nullptr;
    QLineEdit *txtPassword = nullptr;
    ui::CoolButton *cmdOK = nullptr;
    ui::CoolButton *cmdCancel = nullptr;
};

// What the password dialog says: whose password for which server, and after a refusal that the
// server refused the last one.
QString passwordPrompt(const store::Store &store, bool refused);

// Opens the store. When a server asks for a password it was not given, or refuses the one given,
// the user is asked through ask (at most three times); the password stays in the store's memory
// only. The result is that of the last attempt to open, so a cancelled question leaves the
// failure that led to it, for the caller to report.
store::Result<> openAskingPassword(store::Store &store, const PasswordQuery &ask, QWidget *parent);

} // namespace catalogue
