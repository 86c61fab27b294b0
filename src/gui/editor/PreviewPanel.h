#pragma once

#include "editor/ImageDecoding.h"
#include "editor/ImageFiles.h"

#include <QCache>
#include <QWidget>

class QLabel;
template <typename T> class QFutureWatcher;

namespace editor {

// Shows the current photo's image and its data-plate image, decoded off the GUI thread at the
// panel's size. Each of the two keeps at most one decode running and one waiting (the latest
// asked for): moving quickly through rows never queues more. Recent previews are cached.
class PreviewPanel final : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewPanel(QWidget *parent = nullptr);
    ~PreviewPanel() override;

    // An empty path shows its note instead of a picture.
    void showImages(const QString &photoPath, const QString &photoNote, const QString &dataPath,
                    const QString &dataNote, const QString &folderNote);
    // Shows nothing and reads nothing.
    void clear(const QString &note = {});
    bool isLoading() const;

signals:
    // A picture or a note has been put in place.
    void shown();

private:
    struct Slot;
    void request(Slot &slot, const QString &path, const QString &note);
    void start(Slot &slot);
    void finished(Slot &slot);

    Slot *m_photo;
    Slot *m_data;
    QLabel *m_folderNote;
    QCache<QString, QImage> m_cache{32};
};

} // namespace editor
