#pragma once

#include "TestSupport.h"

#include "editor/BookEditor.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <memory>

namespace testing {

// A book editor on a temporary program directory, with scripted messages.
struct Editor
{
    explicit Editor(ProgramDir &dir)
    {
        // A program directory normally holds the shipped code files; tests that want their own
        // write them first.
        if (!QFile::exists(dir.filePath(QStringLiteral("Vegcodes.txt"))))
            QVERIFY(dir.copyCodeFiles());
        editor::EditorContext context;
        context.store = &dir.store();
        context.messages = &messages;
        context.programDir = dir.path();
        context.imageRootText = [] { return QStringLiteral("PhotoImages/"); };
        window = std::make_unique<editor::BookEditor>(std::move(context));
    }
    bool open(qint64 bookId)
    {
        window->setBookId(bookId);
        return window->load();
    }
    bool openNew()
    {
        window->setNewBook(true);
        return window->load();
    }
    // A control by object name; a missing one fails the test (and is null).
    template <typename T> T *find(const char *name)
    {
        T *w = window->findChild<T *>(QLatin1String(name));
        if (!w)
            QTest::qFail(qPrintable(QStringLiteral("no control ") + QLatin1String(name)), __FILE__, __LINE__);
        return w;
    }
    QLineEdit *box(const char *name) { return find<QLineEdit>(name); }
    void click(const char *name)
    {
        if (QWidget *w = find<QWidget>(name))
            QTest::mouseClick(w, Qt::LeftButton);
    }
    editor::PhotoGrid *grid() { return window->grid(); }
    editor::PhotoTableModel &photos() { return window->photos(); }
    int column(const char *field) { return photos().columnOf(QLatin1String(field)); }
    QModelIndex cell(int row, const char *field) { return photos().index(row, column(field)); }

    ScriptedMessages messages;
    std::unique_ptr<editor::BookEditor> window;
};

} // namespace testing
