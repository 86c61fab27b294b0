#include "ProgramBench.h"

#include "catalogue/BookListModel.h"
#include "catalogue/CatalogueWindow.h"
#include "catalogue/Startup.h"
#include "editor/BookEditor.h"
#include "editor/PhotoGrid.h"
#include "editor/PhotoTableModel.h"
#include "store/Settings.h"
#include "ui/LayoutSettings.h"

#include <QDir>
#include <QFileInfo>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTextStream>

#include <cmath>

namespace bench {

void die(const QString &what)
{
    QTextStream(stderr) << "photoseries-bench: " << what << "\n";
    std::exit(2);
}

double statusKilobytes(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return NAN;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toDouble();
    return NAN;
}

namespace {

class PaintWatch final : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

} // namespace

bool waitPainted(QWidget *widget, int timeoutMs)
{
    PaintWatch watch;
    widget->installEventFilter(&watch);
    QElapsedTimer timer;
    timer.start();
    while (!watch.painted && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    widget->removeEventFilter(&watch);
    return watch.painted;
}

ProgramSession::ProgramSession(const QString &programDir, const QString &settingsFile)
    : m_settings(std::make_unique<store::Settings>(settingsFile))
    , m_layout(std::make_unique<ui::LayoutSettings>(QFileInfo(settingsFile).dir().filePath("layout.ini")))
{
    m_context.layout = m_layout.get();
    m_context.programDir = programDir;
    m_context.messages = &m_messages;
    m_context.settings = m_settings.get();
}

ProgramSession::~ProgramSession()
{
    if (m_catalogue)
        m_catalogue->close();
    m_catalogue.reset();
    // The editor windows go with deleteLater.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ProgramSession::start()
{
    m_catalogue = catalogue::startCatalogue(m_context);
    if (!m_catalogue)
        die("the catalogue did not start: " + m_messages.takeTexts().join(" / "));
    if (!waitPainted(m_catalogue->grid()->viewport()))
        die("the catalogue's book list was not painted");
    expectNoMessages("the start-up");
}

editor::BookEditor &ProgramSession::openEditor(qint64 bookId)
{
    catalogue::BookListModel &books = m_catalogue->bookList();
    int row = 0;
    while (row < books.rowCount() && books.book(row).id != bookId)
        ++row;
    if (row == books.rowCount())
        die(QStringLiteral("book %1 is not in the catalogue").arg(bookId));
    m_catalogue->grid()->selectionModel()->setCurrentIndex(books.index(row, catalogue::BookListModel::BookLabel),
                                                           QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);

    m_catalogue->findChild<QPushButton *>("cmdEdit")->click();
    editor::BookEditor *window = m_catalogue->editorWindow();
    if (!window)
        die("the editor did not open: " + m_messages.takeTexts().join(" / "));
    if (!waitPainted(window->grid()->viewport()))
        die("the editor's photo grid was not painted");
    expectNoMessages("the opening of the editor");
    return *window;
}

void ProgramSession::closeEditor(const char *buttonName)
{
    editor::BookEditor *window = m_catalogue->editorWindow();
    window->findChild<QPushButton *>(QLatin1String(buttonName))->click();
    if (m_catalogue->editorWindow() || !m_catalogue->isEnabled())
        die(QStringLiteral("the editor did not close by %1: %2")
                .arg(QLatin1String(buttonName), m_messages.takeTexts().join(" / ")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ProgramSession::setImagePanelShown(bool shown)
{
    m_layout->setValue(QStringLiteral("frmBooks"), QStringLiteral("previewShown"), shown);
}

void ProgramSession::expectNoMessages(const QString &during)
{
    const QStringList texts = m_messages.takeTexts();
    if (!texts.isEmpty())
        die(QStringLiteral("a message was shown during %1: %2").arg(during, texts.join(" / ")));
}

int peakProgram(const QString &programDir, const QString &settingsFile, qint64 bookId)
{
    ProgramSession session(programDir, settingsFile);
    session.start();
    editor::BookEditor &window = session.openEditor(bookId);
    window.grid()->scrollToBottom();
    waitPainted(window.grid()->viewport());
    QTextStream(stdout) << statusKilobytes("VmHWM") << ' ' << window.photos().rowCount() << "\n";
    return 0;
}

} // namespace bench
