#pragma once

#include <QStringList>

class QTableView;
class QWidget;

namespace ui {

class LayoutSettings;

// Puts a window back where the user left it, with the column widths the user chose, keyed by
// the window's object name and the columns' field names; the window keeps its own size and
// place when nothing was saved. Qt moves a saved place that lies off every screen back onto one.
// Nothing happens without settings.
void restoreLayout(LayoutSettings *settings, QWidget *window, QTableView *grid, const QStringList &fields);
// Saves what restoreLayout puts back. Hidden columns keep their saved width.
void saveLayout(LayoutSettings *settings, const QWidget *window, const QTableView *grid, const QStringList &fields);

} // namespace ui
