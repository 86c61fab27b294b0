#pragma once

#include <QObject>

namespace catalogue {

// Characters a typed image root path may not contain: they cannot be part of a folder name. The
// path separator "/" is taken.
bool isRefusedPathCharacter(QChar c);

// Refuses typed characters that isRefusedPathCharacter refuses, with a beep and a tooltip that
// names them. Only key presses are filtered: pasted text and text set by the program pass
// unchanged.
class PathKeyFilter final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace catalogue
