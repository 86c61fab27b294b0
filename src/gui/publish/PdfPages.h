#pragma once

#include "publish/BookContent.h"
#include "publish/ShapedText.h"

#include <QDate>
#include <QImage>
#include <QRectF>
#include <QSize>

#include <map>

class QPainter;

namespace publish {

// An image as a page shows it: decoded at its printed size, or the text of the framed
// placeholder that stands in for it.
struct PageImage
{
    QImage image;
    QString placeholder;
};

// Draws the pages of one book on a painter whose device has `dpi` dots per inch and whose
// origin is the top left of the printable area `area`. Every page carries the book's identifier
// and its number.
class PageDrawer final
{
public:
    PageDrawer(QPainter &painter, const QSizeF &area, int dpi, const BookContent &book, bool images);

    // Where the photograph and the data plate go on a photo page, in device pixels: the sizes
    // their images are decoded at.
    QSize photoBox() const { return m_photoBox.size().toSize(); }
    QSize plateBox() const { return m_plateBox.size().toSize(); }

    int tablePages() const;
    int chartPages() const;
    int totalPages() const;

    void titlePage(const QDate &printed);
    void photoPage(int index, const PageImage &photo, const PageImage &plate, const CodeDescriptions &codes);
    void tablePage(int page);
    void chartPage(int page);

private:
    void frame();
    double points(double pt) const { return pt * m_dpi / 72.0; }
    TextFace &face(double pointSize, bool bold);
    double advance(double pointSize, bool bold, const QString &text);
    void drawGathered();
    void text(const QRectF &rect, int flags, const QString &text, double pointSize, bool bold = false);
    double photoHeading(const QRectF &body, const store::PhotoValues &photo);
    void image(const QRectF &box, const PageImage &image);
    double fittingSize(const QString &text, double width, bool bold);
    void valueTable(const QRectF &box, const QVector<ValueRow> &rows);
    double chartLegend(const QRectF &body);
    void chartAxis(const QRectF &bars, double scaleMax, double tickStep);
    int barsPerPage() const;
    int rowsPerTablePage() const;
    QRectF body() const;

    QPainter &m_painter;
    const QSizeF m_area;
    const int m_dpi;
    const BookContent &m_book;
    const bool m_images;
    const QVector<SizeClass> m_classes;
    QRectF m_photoBox;
    QRectF m_plateBox;
    QRectF m_tableBox;
    double m_chartMax = 0;
    int m_page = 0;
    std::map<int, TextFace> m_faces;
    // The texts of the page being drawn, drawn when it is complete.
    GlyphBatch m_glyphs;
};

} // namespace publish
