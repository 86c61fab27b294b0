#pragma once

#include "catalogue/AppContext.h"
#include "ui/Messages.h"

#include <QStringList>

#include <memory>
#include <utility>

class QWidget;

namespace catalogue {
class CatalogueWindow;
}
namespace editor {
class BookEditor;
}
namespace store {
class Settings;
}

namespace ui {
class LayoutSettings;
}

namespace bench {

// Keeps every message instead of showing a box, so that nothing waits for a click; questions
// are answered Yes.
class RecordedMessages final : public ui::Messages
{
public:
    void tell(const ui::Message &message) override { m_texts << message.text; }
    bool ask(const ui::Message &message) override
    {
        m_texts << message.text;
        return true;
    }
    QStringList takeTexts() { return std::exchange(m_texts, {}); }

private:
    QStringList m_texts;
};

// Processes events until the widget has painted itself, at most timeoutMs. False on timeout.
bool waitPainted(QWidget *widget, int timeoutMs = 30000);

// The program as the user starts it on a program directory, with the real windows: the
// catalogue and, on demand, the book editor. Every failure ends the benchmark with its reason.
class ProgramSession
{
public:
    ProgramSession(const QString &programDir, const QString &settingsFile);
    ~ProgramSession();

    // The start-up: the catalogue loads, is shown and has painted its book list.
    void start();
    catalogue::CatalogueWindow &catalogue() { return *m_catalogue; }

    // Selects the book in the catalogue and presses Edit; returns once the editor has painted
    // its photo grid.
    editor::BookEditor &openEditor(qint64 bookId);
    // Presses a button of the open editor that closes it, and checks that it has closed.
    void closeEditor(const char *buttonName);

    // Ends the benchmark when a message was shown since the last call.
    void expectNoMessages(const QString &during);
    // Whether the editor opens with its image panel shown.
    void setImagePanelShown(bool shown);

private:
    RecordedMessages m_messages;
    std::unique_ptr<store::Settings> m_settings;
    std::unique_ptr<ui::LayoutSettings> m_layout;
    catalogue::AppContext m_context;
    std::unique_ptr<catalogue::CatalogueWindow> m_catalogue;
};

// A size from /proc/self/status ("VmRSS", "VmHWM") in kilobytes, NaN when unknown.
double statusKilobytes(const char *key);

// Child process: starts the program on programDir, opens the editor on bookId, scrolls to its
// last photo and prints the peak resident size in kilobytes.
int peakProgram(const QString &programDir, const QString &settingsFile, qint64 bookId);

[[noreturn]] void die(const QString &what);

} // namespace bench
