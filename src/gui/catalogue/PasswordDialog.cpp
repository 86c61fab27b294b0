#include "catalogue/PasswordDialog.h"

#include "common/Message.h"
#include "store/Store.h"
#include "ui/CoolButton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>
#include <QVBoxLayout>

namespace catalogue {

namespace {

// Three tries, as a login prompt gives, so that a mistyped password is not the end of the
// start-up and a script that keeps answering wrongly does not ask for ever.
constexpr int kPasswordTries = 3;

ui::CoolButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new ui::CoolButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setHoverColours(true);
    return button;
}

} // namespace

PasswordDialog::PasswordDialog(const QString &prompt, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPassword"));
    buildWindow(prompt);
}

void PasswordDialog::buildWindow(const QString &prompt)
{
    setWindowTitle(ui::programTitle());
    lblPrompt = new QLabel(prompt, this);
    lblPrompt->setObjectName(QStringLiteral("lblPrompt"));
    // A long server address breaks at its slashes rather than widening the dialog past the screen.
    lblPrompt->setWordWrap(true);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    lblPrompt->setBuddy(txtPassword);
    cmdOK = makeButton(this, "cmdOK", QStringLiteral("OK"));
    cmdOK->setDefault(true);
    cmdCancel = makeButton(this, "cmdCancel", QStringLiteral("Cancel"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(lblPrompt);
    outer->addWidget(txtPassword);
    outer->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(400);
    txtPassword->setFocus();
}

QString PasswordDialog::password() const
{
    return txtPassword->text();
}

std::optional<QString> askPassword(QWidget *parent, const QString &prompt)
{
    // At start-up the catalogue is not shown yet: the dialog then stands alone, centred on the
    // screen, rather than over a window that is not there.
    PasswordDialog dialog(prompt, parent && parent->isVisible() ? parent : nullptr);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.password();
}

QString passwordPrompt(const store::Store &store, bool refused)
{
    // The address on a line of its own, so that it is not broken in the middle.
    const QString ask =
        QStringLiteral("Password of %1 for the library\n%2").arg(QUrl(store.path()).userName(), store.displayName());
    return refused ? QStringLiteral("The server refused the password.\n") + ask : ask;
}

store::Result<> openAskingPassword(store::Store &store, const PasswordQuery &ask, QWidget *parent)
{
    store::Result<> opened = store.open();
    QString given;
    for (int tries = 0; opened.is(store::FailureKind::NeedsPassword) && ask && tries < kPasswordTries; ++tries) {
        // An empty password is no password: the server's answer is then a question, not a refusal.
        const std::optional<QString> password = ask(parent, passwordPrompt(store, !given.isEmpty()));
        if (!password)
            break;
        given = *password;
        store.setPassword(given);
        opened = store.open();
    }
    return opened;
}

} // namespace catalogue
