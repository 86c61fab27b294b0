#include "ui/WindowLayout.h"

#include "ui/LayoutSettings.h"

#include <QTableView>

namespace ui {

void restoreLayout(LayoutSettings *settings, QWidget *window, QTableView *grid, const QStringList &fields)
{
    if (!settings)
        return;
    if (const QByteArray geometry = settings->geometry(window->objectName()); !geometry.isEmpty())
        window->restoreGeometry(geometry);
    for (int c = 0; c < fields.size(); ++c) {
        if (const int width = settings->columnWidth(window->objectName(), fields.at(c)); width > 0)
            grid->setColumnWidth(c, width);
    }
}

void saveLayout(LayoutSettings *settings, const QWidget *window, const QTableView *grid, const QStringList &fields)
{
    if (!settings)
        return;
    settings->setGeometry(window->objectName(), window->saveGeometry());
    for (int c = 0; c < fields.size(); ++c) {
        if (!grid->isColumnHidden(c))
            settings->setColumnWidth(window->objectName(), fields.at(c), grid->columnWidth(c));
    }
}

} // namespace ui
