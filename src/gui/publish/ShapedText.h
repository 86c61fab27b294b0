#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>

#include <vector>

class QPaintDevice;
class QPainter;

namespace publish {

// A line of text as glyphs, placed on whole device pixels from the start of its baseline (the
// PDF then holds short whole numbers for the glyphs' places, which it writes and compresses
// faster; a device pixel at print resolution is not seen), and its width.
struct ShapedLine
{
    double width = 0;
    QList<QGlyphRun> glyphs;
};

// One font on one paint device and the lines already shaped in it: a book repeats the same
// labels, units and values on thousands of pages, and each is shaped once.
class TextFace final
{
public:
    TextFace(const QFont &font, QPaintDevice *device);

    const QFont &font() const { return m_font; }
    const QFontMetricsF &metrics() const { return m_metrics; }

    // The line shaped as the painter would shape it, with the fallback fonts of letters the font
    // lacks.
    ShapedLine line(const QString &text);
    // The line, or as much of it as fits the width followed by an ellipsis.
    ShapedLine fitted(const QString &text, double width);
    // Whether lines of printable ASCII are now put together from the learnt pairs.
    bool composesPairs() const { return m_pairs; }

private:
    ShapedLine laidOut(const QString &text) const;
    bool composed(const QString &text, ShapedLine &shaped) const;
    void learnPairs();

    QFont m_font;
    QPaintDevice *m_device;
    QFontMetricsF m_metrics;
    QHash<QString, ShapedLine> m_lines;
    QHash<QString, QString> m_elided;
    // The glyph of every printable ASCII character and how far it moves the next one on, for
    // every character that can follow it (its kerning included): a line of them new to the book
    // (a page number, a label, a value, a file name) is then put together from them instead of
    // being shaped, which is most of what a long book's unique texts cost. Learnt once a face
    // has shaped enough lines to make it worth it, and only when shaping in pairs gives what
    // shaping a whole line gives (no ligatures, no glyph that depends on more than its neighbour).
    QRawFont m_pairFont;
    std::vector<quint32> m_glyph;
    std::vector<double> m_advance;
    std::vector<double> m_pairAdvance;
    int m_laidOut = 0;
    bool m_pairs = false;
};

// The glyphs of one page, gathered one list a font and drawn together: the PDF then states a
// font and a colour once a page rather than once a text.
class GlyphBatch final
{
public:
    void add(const QPointF &origin, const ShapedLine &line);
    // Draws what was gathered, with the painter's pen, and starts again.
    void draw(QPainter &painter);

private:
    struct Glyphs
    {
        QRawFont font;
        QList<quint32> indexes;
        QList<QPointF> positions;
    };
    std::vector<Glyphs> m_fonts;
};

} // namespace publish
