#include "publish/ShapedText.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace publish {

namespace {

// The printable ASCII characters, which lines put together glyph by glyph are made of.
constexpr int kFirstCharacter = 0x20;
constexpr int kCharacters = 0x7f - kFirstCharacter;

// Where the advance of character a followed by character b is kept.
std::size_t pairAt(int a, int b)
{
    return std::size_t(a) * kCharacters + std::size_t(b);
}

// A face learns its pairs once it has shaped this many lines: learning costs about as much as
// shaping that many, so a short book never pays for it and a long one pays once.
constexpr int kShapedBeforePairs = 512;

// A texts cache of this many lines is emptied and starts again: a book's repeated texts come
// back at once, its unique ones (page numbers, labels) are not kept for the whole book.
constexpr int kMostLines = 20000;

struct Layout
{
    QList<QGlyphRun> runs;
    double ascent = 0;
    double width = 0;
};

Layout layOut(const QString &text, const QFont &font, QPaintDevice *device)
{
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    return {layout.glyphRuns(), line.ascent(), line.naturalTextWidth()};
}

} // namespace

TextFace::TextFace(const QFont &font, QPaintDevice *device)
    : m_font(font)
    , m_device(device)
    , m_metrics(font, device)
{
}

void TextFace::learnPairs()
{
    // Every character followed by every character, a few hundred lines at a time (Qt shapes a
    // longer text in parts, which would break the pairs at their seams).
    std::vector<quint32> glyphs(kCharacters, 0);
    std::vector<double> pairs(pairAt(kCharacters, 0), -1);
    const int firstsPerProbe = 16;
    for (int first = 0; first < kCharacters; first += firstsPerProbe) {
        QString probe;
        for (int a = first; a < std::min(kCharacters, first + firstsPerProbe); ++a) {
            for (int b = 0; b < kCharacters; ++b)
                probe.append(QChar(kFirstCharacter + a)).append(QChar(kFirstCharacter + b));
        }
        const Layout laid = layOut(probe, m_font, m_device);
        if (laid.runs.size() != 1 || laid.runs.first().glyphIndexes().size() != probe.size())
            return;
        const QGlyphRun &run = laid.runs.first();
        if (!m_pairFont.isValid())
            m_pairFont = run.rawFont();
        else if (run.rawFont() != m_pairFont)
            return;
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i + 1 < probe.size(); ++i) {
            const int a = probe.at(i).unicode() - kFirstCharacter;
            const int b = probe.at(i + 1).unicode() - kFirstCharacter;
            const double advance = positions.at(i + 1).x() - positions.at(i).x();
            double &pair = pairs[pairAt(a, b)];
            const bool differs = (glyphs[a] != 0 && glyphs[a] != indexes.at(i)) || (pair >= 0 && pair != advance);
            if (indexes.at(i) == 0 || positions.at(i + 1).y() != positions.at(i).y() || differs)
                return;
            glyphs[a] = indexes.at(i);
            pair = advance;
        }
    }
    if (std::find(pairs.begin(), pairs.end(), -1.0) != pairs.end())
        return;
    m_advance.resize(kCharacters);
    for (int c = 0; c < kCharacters; ++c)
        m_advance[c] = m_metrics.horizontalAdvance(QString(QChar(kFirstCharacter + c)));
    m_glyph = std::move(glyphs);
    m_pairAdvance = std::move(pairs);
    m_pairs = true;
}

bool TextFace::composed(const QString &text, ShapedLine &shaped) const
{
    if (!m_pairs || text.isEmpty())
        return false;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    double x = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int c = text.at(i).unicode() - kFirstCharacter;
        if (c < 0 || c >= kCharacters)
            return false;
        glyphs.append(m_glyph[c]);
        positions.append(QPointF(std::round(x), 0));
        if (i + 1 == text.size()) {
            x += m_advance[c];
        } else {
            const int next = text.at(i + 1).unicode() - kFirstCharacter;
            if (next < 0 || next >= kCharacters)
                return false;
            x += m_pairAdvance[pairAt(c, next)];
        }
    }
    QGlyphRun run;
    run.setRawFont(m_pairFont);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    shaped = {x, {run}};
    return true;
}

ShapedLine TextFace::laidOut(const QString &text) const
{
    Layout laid = layOut(text, m_font, m_device);
    for (QGlyphRun &run : laid.runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF &at : positions)
            at = QPointF(std::round(at.x()), std::round(at.y() - laid.ascent));
        run.setPositions(positions);
    }
    return {laid.width, laid.runs};
}

ShapedLine TextFace::line(const QString &text)
{
    const auto found = m_lines.constFind(text);
    if (found != m_lines.cend())
        return *found;
    if (m_lines.size() >= kMostLines)
        m_lines.clear();
    ShapedLine shaped;
    if (!composed(text, shaped)) {
        shaped = laidOut(text);
        if (++m_laidOut == kShapedBeforePairs)
            learnPairs();
    }
    m_lines.insert(text, shaped);
    return shaped;
}

ShapedLine TextFace::fitted(const QString &text, double width)
{
    ShapedLine shaped = line(text);
    if (shaped.width <= width)
        return shaped;
    // A text too long for its place is cut short with an ellipsis rather than drawn over the
    // next; what it was cut to is kept, as the text comes back on every page.
    const QString key = QString::number(qRound(width)) + QLatin1Char('\x1f') + text;
    auto found = m_elided.constFind(key);
    if (found == m_elided.cend()) {
        if (m_elided.size() >= kMostLines)
            m_elided.clear();
        found = m_elided.insert(key, m_metrics.elidedText(text, Qt::ElideRight, width));
    }
    return line(*found);
}

void GlyphBatch::add(const QPointF &origin, const ShapedLine &line)
{
    for (const QGlyphRun &run : line.glyphs) {
        const QRawFont font = run.rawFont();
        auto glyphs =
            std::find_if(m_fonts.begin(), m_fonts.end(), [&font](const Glyphs &each) { return each.font == font; });
        if (glyphs == m_fonts.end())
            glyphs = m_fonts.insert(m_fonts.end(), Glyphs{font, {}, {}});
        glyphs->indexes.append(run.glyphIndexes());
        for (const QPointF &at : run.positions())
            glyphs->positions.append(origin + at);
    }
}

void GlyphBatch::draw(QPainter &painter)
{
    for (Glyphs &glyphs : m_fonts) {
        if (glyphs.indexes.isEmpty())
            continue;
        {
            QGlyphRun run;
            run.setRawFont(glyphs.font);
            run.setGlyphIndexes(glyphs.indexes);
            run.setPositions(glyphs.positions);
            painter.drawGlyphRun(QPointF(0, 0), run);
        }
        glyphs.indexes.clear();
        glyphs.positions.clear();
    }
}

} // namespace publish
