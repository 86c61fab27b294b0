#pragma once

#include <QTableView>

namespace catalogue {

// grdBooks: a table view whose current row never follows a typed letter, so that a command
// such as Delete always acts on the book the user selected.
class BookGrid final : public QTableView
{
    Q_OBJECT

public:
    using QTableView::QTableView;

protected:
    void keyboardSearch(const QString &) override {}
};

} // namespace catalogue
