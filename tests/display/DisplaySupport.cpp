#include "DisplaySupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace display {

namespace {

// A box or window counts as shown once it has been exposed for this long.
constexpr qint64 kSettleMs = 400;
// A box that a click on its button did not close is closed by the program after this long.
constexpr qint64 kStuckMs = 4000;

QString shotsDir()
{
    const QString run =
        qEnvironmentVariableIsEmpty("X11_SUITE_WM") ? QStringLiteral("bare") : qEnvironmentVariable("X11_SUITE_WM");
    QString dir = QStringLiteral(SHOTS_DIR "/") + run;
    QDir().mkpath(dir);
    return dir;
}

bool exposed(QWidget *w)
{
    return w && w->isVisible() && w->windowHandle() && w->windowHandle()->isExposed();
}

int channelDistance(QRgb a, QRgb b)
{
    return qMax(qAbs(qRed(a) - qRed(b)), qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
}

QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

void xdotool(const QStringList &args)
{
    QProcess::execute(QStringLiteral("xdotool"), args);
}

void clickAt(QWidget *widget, const QPoint &local)
{
    // From a pixel beside the target, so that the pointer moves even when it is there already
    // (a window mapped under a still pointer would otherwise see no motion before the click).
    const QPoint at = widget->mapToGlobal(local);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x() + 1),
             QString::number(at.y() + 1), QStringLiteral("mousemove"), QStringLiteral("--sync"),
             QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void click(QWidget *widget)
{
    clickAt(widget, widget->rect().center());
}

void pressKeys(const QStringList &keys)
{
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40")} + keys);
}

void typeText(const QString &text)
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("40"), text});
}

KeyReleases::KeyReleases(int key)
    : m_key(key)
{
    qApp->installEventFilter(this);
}

KeyReleases::~KeyReleases()
{
    qApp->removeEventFilter(this);
}

bool KeyReleases::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (key->key() == m_key && !key->isAutoRepeat() && !m_seen.contains(key->timestamp()))
            m_seen.append(key->timestamp());
    }
    return QObject::eventFilter(watched, event);
}

QImage screenImage(const QRect &global)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return screen->grabWindow(0, global.x(), global.y(), global.width(), global.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QString unpainted(QWidget *widget)
{
    const QString name =
        widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className()) : widget->objectName();
    const QString what = QStringLiteral("%1 \"%2\"").arg(name, plain(widget->property("text").toString()));
    const QImage screen = screenImage(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
    const QImage own = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (screen.size() != own.size() || screen.isNull())
        return QStringLiteral("%1: screen grab of the wrong size").arg(what);
    const QRgb first = screen.pixel(0, 0);
    bool oneColour = true;
    qint64 differing = 0;
    for (int y = 0; y < screen.height(); ++y) {
        const auto *s = reinterpret_cast<const QRgb *>(screen.constScanLine(y));
        const auto *o = reinterpret_cast<const QRgb *>(own.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x) {
            oneColour = oneColour && s[x] == first;
            if (channelDistance(s[x], o[x]) > 40)
                ++differing;
        }
    }
    if (oneColour)
        return QStringLiteral("%1 is a single colour on screen").arg(what);
    const double share = double(differing) / (screen.width() * screen.height());
    if (share > 0.04)
        return QStringLiteral("%1: %2% of its pixels on screen differ from its own rendering")
            .arg(what)
            .arg(qRound(share * 100));
    return {};
}

void saveShot(QWidget *window, const QString &name)
{
    screenImage(window->frameGeometry()).save(shotsDir() + QLatin1Char('/') + name + QStringLiteral(".png"));
}

BoxWatcher::BoxWatcher(QString prefix, QStringList answers)
    : m_prefix(std::move(prefix))
    , m_answers(std::move(answers))
{
    connect(&m_timer, &QTimer::timeout, this, &BoxWatcher::poll);
    m_timer.start(30);
}

BoxWatcher::~BoxWatcher() = default;

void BoxWatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!exposed(box))
        return;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (box != m_current) {
        m_current = box;
        m_seenAt = now;
        return;
    }
    if (box->property("checked").toBool()) {
        if (now - m_seenAt > kStuckMs) {
            m_problems << QStringLiteral("\"%1\" did not close on a real click").arg(box->text());
            box->done(0);
        }
        return;
    }
    if (now - m_seenAt < kSettleMs)
        return;
    box->setProperty("checked", true);
    m_seenAt = now;
    check(box);
}

void BoxWatcher::check(QWidget *widget)
{
    auto *box = static_cast<QMessageBox *>(widget);
    m_texts << box->text();
    const QString where = QStringLiteral("box %1: ").arg(m_texts.size());
    if (const QString problem = unpainted(box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")));
        !problem.isEmpty())
        m_problems << where + problem;
    const QList<QAbstractButton *> buttons = box->findChild<QDialogButtonBox *>()->buttons();
    for (QAbstractButton *button : buttons) {
        if (const QString problem = unpainted(button); !problem.isEmpty())
            m_problems << where + problem;
    }
    QWidget *owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
    if (!owner) {
        m_problems << where + QStringLiteral("belongs to no window");
    } else {
        // Without a window manager Qt centres a box allowing for a frame it guesses (10 by 40
        // pixels), so a centred box may sit that much off.
        const QPoint offset = box->frameGeometry().center() - owner->frameGeometry().center();
        if (qAbs(offset.x()) > 12 || qAbs(offset.y()) > 42)
            m_problems << where + QStringLiteral("not centred over %1: off by (%2, %3)")
                                      .arg(owner->objectName())
                                      .arg(offset.x())
                                      .arg(offset.y());
    }
    saveShot(box, QStringLiteral("%1-%2").arg(m_prefix).arg(m_texts.size()));

    QAbstractButton *answer = buttons.isEmpty() ? nullptr : buttons.first();
    if (!m_answers.isEmpty()) {
        const QString wanted = m_answers.takeFirst();
        for (QAbstractButton *button : buttons) {
            if (plain(button->text()) == wanted)
                answer = button;
        }
    }
    if (answer)
        click(answer);
}

void whenShown(const QString &objectName, const std::function<void(QWidget *)> &then)
{
    auto *timer = new QTimer;
    auto seenAt = std::make_shared<qint64>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() != objectName || !exposed(w))
                continue;
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (*seenAt == 0)
                *seenAt = now;
            if (now - *seenAt < kSettleMs)
                return;
            timer->stop();
            timer->deleteLater();
            then(w);
            return;
        }
    });
    timer->start(30);
}

} // namespace display
