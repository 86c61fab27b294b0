#pragma once

#include <QString>

#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QWidget;

namespace ui {

class CoolButton;

// Whether a command button lights up while the mouse is over it.
enum class Hover { Lights, Plain };

// A command button named `name`; an empty tip leaves the button without a tooltip.
CoolButton *makeButton(QWidget *parent, const char *name, const QString &caption, const QString &tip = {},
                       Hover hover = Hover::Lights);

// The raised, centred caption over a grid, painted in the button face colour.
QLabel *makePanelCaption(QWidget *parent, const QString &text, const char *name);

// A row of buttons pushed to the right end of a window.
QHBoxLayout *makeButtonRow(std::initializer_list<QWidget *> buttons);

} // namespace ui
