#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

namespace display {

// Real X input through xdotool: the events reach the program from the X server, as a user's do.
void xdotool(const QStringList &args);
void clickAt(QWidget *widget, const QPoint &local);
void click(QWidget *widget);
void pressKeys(const QStringList &keys);
void typeText(const QString &text);

// Counts the releases of one key that reach the application (each keystroke once, however far
// its events propagate). Events are handled in order, so once the release of the last key
// pressed has arrived, every key pressed before it has been handled.
class KeyReleases final : public QObject
{
public:
    explicit KeyReleases(int key);
    ~KeyReleases() override;
    KeyReleases(const KeyReleases &) = delete;
    KeyReleases &operator=(const KeyReleases &) = delete;

    int count() const { return int(m_seen.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int m_key;
    QList<qulonglong> m_seen; // the keystrokes' time stamps
};

// What the screen shows over a rectangle of global coordinates.
QImage screenImage(const QRect &global);
// Why a widget does not look painted on screen, or empty when it does: its rectangle must not
// be a single colour, and may differ from the widget's own rendering in at most a few percent
// of its pixels.
QString unpainted(QWidget *widget);
// Saves what the screen shows of a window, its frame included, as <name>.png in the folder of
// this run's screen shots.
void saveShot(QWidget *window, const QString &name);

// Watches for modal message boxes. Each box, once it has been on screen for a moment, has its
// text and buttons checked for paint, its position checked against the window it belongs to,
// and a screen shot saved; then it is answered by a real click on a button.
class BoxWatcher final : public QObject
{
    Q_OBJECT

public:
    // Shots are named <prefix>-1, <prefix>-2, ...; answers are clicked in order (the first
    // button when none is left).
    explicit BoxWatcher(QString prefix, QStringList answers = {});
    ~BoxWatcher() override;

    int handled() const { return int(m_texts.size()); }
    const QStringList &texts() const { return m_texts; }
    // Every paint and position problem seen, one line each.
    const QStringList &problems() const { return m_problems; }

private:
    void poll();
    void check(QWidget *box);

    QString m_prefix;
    QStringList m_answers;
    QTimer m_timer;
    QPointer<QWidget> m_current;
    qint64 m_seenAt = 0;
    QStringList m_texts;
    QStringList m_problems;
};

// Runs `then` once a visible, exposed top-level window of this object name is there (from
// inside its modal loop when it is a dialog).
void whenShown(const QString &objectName, const std::function<void(QWidget *)> &then);

} // namespace display
