#include "editor/AddCodeDialog.h"

#include "common/Twips.h"
#include "editor/CodeFile.h"
#include "editor/PickLists.h"
#include "ui/CoolButton.h"
#include "ui/FlatStyling.h"
#include "ui/Messages.h"
#include "ui/WindowKit.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace editor {

namespace {

const PickListInfo *listForTag(const QString &tag)
{
    for (const PickListInfo &info : pickLists()) {
        if (info.tag && tag == QLatin1String(info.tag))
            return &info;
    }
    return nullptr;
}

} // namespace

AddCodeDialog::AddCodeDialog(const QString &tag, const QString &programDir, ui::Messages &messages,
                             QWidget *editorWindow)
    : QDialog(editorWindow)
    , m_tag(tag)
    , m_programDir(programDir)
    , m_messages(messages)
    , m_editorWindow(editorWindow)
{
    setObjectName(QStringLiteral("frmNewCode"));
    setWindowTitle(QStringLiteral("Add Code"));
    setModal(true);

    txtCode = new QLineEdit(this);
    txtCode->setObjectName(QStringLiteral("txtCode"));
    txtDescription = new QLineEdit(this);
    txtDescription->setObjectName(QStringLiteral("txtDescription"));
    cmdOK = ui::makeButton(this, "cmdOK", QStringLiteral("OK"), QStringLiteral("Save new code"), ui::Hover::Plain);
    cmdOK->setDefault(true);
    cmdCancel = ui::makeButton(this, "cmdCancel", QStringLiteral("Cancel"), QStringLiteral("Exit "), ui::Hover::Plain);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Code"), this), 0, 0);
    grid->addWidget(txtCode, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Description"), this), 1, 0);
    grid->addWidget(txtDescription, 1, 1);
    grid->addLayout(ui::makeButtonRow({cmdOK, cmdCancel}), 2, 0, 1, 2);
    txtDescription->setMinimumWidth(ui::twips(4000));

    connect(cmdOK, &QPushButton::clicked, this, &AddCodeDialog::onOK);
    connect(cmdCancel, &QPushButton::clicked, this, &AddCodeDialog::onCancel);

    ui::applyFlatStyling(this);
    if (m_tag == QLatin1String("Act"))
        setWindowTitle(QStringLiteral("Add a new Activity Code"));
    else if (m_tag == QLatin1String("Veg"))
        setWindowTitle(QStringLiteral("Add a new Vegetation Code"));
}

void AddCodeDialog::onOK()
{
    const PickListInfo *info = listForTag(m_tag);
    if (!info)
        return;
    const QString code = txtCode->text();
    const QString description = txtDescription->text();
    // The file holds each field in double quotes, one record per line; a longer code would be
    // stored cut when the entry is chosen later.
    QString problem;
    if (!fitsQuotedField(code))
        problem = QStringLiteral("The code cannot contain a double quote or a line break.");
    else if (!fitsQuotedField(description))
        problem = QStringLiteral("The description cannot contain a double quote or a line break.");
    else if (code.size() > info->storedLength)
        problem = QStringLiteral("The code can be at most %1 characters long.").arg(info->storedLength);
    if (!problem.isEmpty()) {
        m_messages.tell({problem, ui::Icon::Exclamation});
        return;
    }

    // The file first: the list changes only when the code is kept for the next opening too.
    const auto appended =
        appendCodeRecord(QDir(m_programDir).filePath(QLatin1String(info->codeFile)), code, description);
    if (!appended) {
        m_messages.tell({appended.error(), ui::Icon::Critical});
        return;
    }
    if (auto *list =
            m_editorWindow ? m_editorWindow->findChild<QListWidget *>(QLatin1String(info->objectName)) : nullptr) {
        int at = list->count();
        if (at > 0 && list->item(at - 1)->text() == newCodeEntry())
            --at;
        list->insertItem(at, codeEntryText(code, description));
        if (at == list->count() - 1)
            list->addItem(newCodeEntry());
    }
    m_code = code;
    accept();
}

void AddCodeDialog::onCancel()
{
    m_code.clear();
    reject();
}

} // namespace editor
