#include "publish/PdfPages.h"

#include "editor/PhotoColumns.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace publish {

namespace {

// One colour a size class, dark enough to tell apart when printed in grey.
const QColor kClassColours[] = {QColor(0x1b, 0x9e, 0x77), QColor(0xd9, 0x5f, 0x02), QColor(0x75, 0x70, 0xb3),
                                QColor(0xe7, 0x29, 0x8a), QColor(0x66, 0xa6, 0x1e), QColor(0xe6, 0xab, 0x02),
                                QColor(0xa6, 0x76, 0x1d)};

const QColor kRule(0x99, 0x99, 0x99);

// A step of 1, 2 or 5 times a power of ten that divides 0..top into about five parts.
double tickStep(double top)
{
    const double rough = top / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10 * power;
}

QString headerText(const QVariant &value)
{
    return value.toString().trimmed();
}

} // namespace

PageDrawer::PageDrawer(QPainter &painter, const QSizeF &area, int dpi, const BookContent &book, bool images)
    : m_painter(painter)
    , m_area(area)
    , m_dpi(dpi)
    , m_book(book)
    , m_images(images)
    , m_classes(sizeClassesOf(book.header))
{
    const QRectF page = body();
    const double top = page.top() + points(30);
    if (m_images) {
        // At most 5 x 3.75 inches for the photograph and 2.5 x 1.9 for the data plate: large
        // enough to match a site by, small enough that a book of a hundred photos stays under
        // 60 MB. (At 300 dpi a 6000 x 4000 photograph prints at a quarter and its data plate at
        // an eighth of its size, which JPEG decodes fastest.)
        const double photoWidth = std::min(page.width(), points(5 * 72));
        m_photoBox = QRectF(page.left() + (page.width() - photoWidth) / 2, top, photoWidth,
                            std::min((page.bottom() - top) * 0.5, points(3.75 * 72)));
        const double below = m_photoBox.bottom() + points(14);
        const double plateWidth = std::min(page.width() * 0.4, points(2.5 * 72));
        m_plateBox = QRectF(page.left(), below, plateWidth, std::min(page.bottom() - below, points(1.9 * 72)));
        m_tableBox = QRectF(page.left() + plateWidth + points(18), below, page.width() - plateWidth - points(18),
                            page.bottom() - below);
    } else {
        m_tableBox = QRectF(page.left(), top, page.width() * 0.8, page.bottom() - top);
    }
    for (const store::PhotoValues &photo : book.photos)
        m_chartMax = std::max(m_chartMax, classLoadings(photo, m_classes).last());
}

QRectF PageDrawer::body() const
{
    return QRectF(0, points(26), m_area.width(), m_area.height() - points(52));
}

int PageDrawer::rowsPerTablePage() const
{
    return std::max(1, int((body().height() - points(52)) / points(11)));
}

int PageDrawer::barsPerPage() const
{
    return std::max(1, int((body().height() - points(90)) / points(15)));
}

int PageDrawer::tablePages() const
{
    const int rows = rowsPerTablePage();
    return std::max(1, int((m_book.photos.size() + rows - 1) / rows));
}

int PageDrawer::chartPages() const
{
    const int bars = barsPerPage();
    return int((m_book.photos.size() + bars - 1) / bars);
}

int PageDrawer::totalPages() const
{
    return 1 + int(m_book.photos.size()) + tablePages() + chartPages();
}

TextFace &PageDrawer::face(double pointSize, bool bold)
{
    const int key = int(pointSize * 10) * 2 + (bold ? 1 : 0);
    auto found = m_faces.find(key);
    if (found == m_faces.end()) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(pointSize);
        f.setBold(bold);
        // Any letter spacing turns ligatures off: "fl" stays two letters that a search for "flat"
        // finds, not one glyph the PDF's text gives back as U+FB02. A 64th of a dot is not seen.
        f.setLetterSpacing(QFont::AbsoluteSpacing, 1.0 / 64);
        found = m_faces.emplace(key, TextFace(f, m_painter.device())).first;
    }
    return found->second;
}

double PageDrawer::advance(double pointSize, bool bold, const QString &text)
{
    return face(pointSize, bold).line(text).width;
}

void PageDrawer::text(const QRectF &rect, int flags, const QString &text, double pointSize, bool bold)
{
    TextFace &shape = face(pointSize, bold);
    if (flags & Qt::TextWordWrap) {
        if (m_painter.font() != shape.font())
            m_painter.setFont(shape.font());
        m_painter.drawText(rect, flags, text);
        return;
    }
    // Each line shaped once for the book and placed at a point: far cheaper than laying the text
    // out in its rectangle on every page, which counts when a book has thousands of pages.
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QFontMetricsF &metrics = shape.metrics();
    const double lineHeight = metrics.lineSpacing();
    const double height = lineHeight * double(lines.size()) - metrics.leading();
    double y = rect.top();
    if (flags & Qt::AlignBottom)
        y = rect.bottom() - height;
    else if (flags & Qt::AlignVCenter)
        y = rect.top() + (rect.height() - height) / 2;
    for (const QString &line : lines) {
        const ShapedLine shown = shape.fitted(line, rect.width());
        double x = rect.left();
        if (flags & Qt::AlignRight)
            x = rect.right() - shown.width;
        else if (flags & Qt::AlignHCenter)
            x = rect.left() + (rect.width() - shown.width) / 2;
        m_glyphs.add(QPointF(std::round(x), std::round(y + metrics.ascent())), shown);
        y += lineHeight;
    }
}

void PageDrawer::drawGathered()
{
    m_painter.setPen(Qt::black);
    m_glyphs.draw(m_painter);
}

void PageDrawer::frame()
{
    ++m_page;
    const QString label = headerText(m_book.header.label);
    const double w = m_area.width();
    m_painter.setPen(QPen(kRule, points(0.5)));
    m_painter.drawLine(QPointF(0, points(20)), QPointF(w, points(20)));
    m_painter.drawLine(QPointF(0, m_area.height() - points(20)), QPointF(w, m_area.height() - points(20)));
    m_painter.setPen(Qt::black);
    text(QRectF(0, 0, w * 0.4, points(18)), Qt::AlignLeft | Qt::AlignBottom, label, 9, true);
    text(QRectF(w * 0.4, 0, w * 0.6, points(18)), Qt::AlignRight | Qt::AlignBottom,
         headerText(m_book.header.description), 9);
    const QRectF footer(0, m_area.height() - points(18), w, points(18));
    text(footer, Qt::AlignLeft | Qt::AlignBottom, label, 8);
    text(footer, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("Page %1 of %2").arg(m_page).arg(totalPages()), 8);
}

void PageDrawer::titlePage(const QDate &printed)
{
    frame();
    const QRectF page = body();
    double y = page.top() + points(72);
    text(QRectF(0, y, page.width(), points(40)), Qt::AlignLeft | Qt::AlignVCenter, headerText(m_book.header.label), 28,
         true);
    y += points(48);
    text(QRectF(0, y, page.width(), points(60)), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
         headerText(m_book.header.description), 16);
    y += points(84);
    QVector<ValueRow> facts{{QStringLiteral("Date built"), headerText(m_book.header.date), {}},
                            {QStringLiteral("Built by"), headerText(m_book.header.builtBy), {}},
                            {QStringLiteral("Photos"), QString::number(m_book.photos.size()), {}}};
    for (const SizeClass &c : m_classes)
        facts.append({QStringLiteral("Size class %1").arg(c.number), c.range, {}});
    facts.append({QStringLiteral("Printed"), printed.toString(Qt::ISODate), {}});
    valueTable(QRectF(0, y, page.width() * 0.7, points(20) * double(facts.size())), facts);
    drawGathered();
}

double PageDrawer::photoHeading(const QRectF &page, const store::PhotoValues &photo)
{
    const QString label = photoValue(photo, QStringLiteral("PhotoLabel")).toString();
    const QString name = photoValue(photo, QStringLiteral("GroupLabel")).toString();
    const double labelWidth = std::min(page.width() * 0.5, advance(14, true, label));
    text(QRectF(page.left(), page.top(), labelWidth + points(2), points(24)), Qt::AlignLeft | Qt::AlignVCenter, label,
         14, true);
    text(QRectF(page.left() + labelWidth + points(12), page.top(), page.width() - labelWidth - points(12), points(24)),
         Qt::AlignLeft | Qt::AlignVCenter, name, 12);
    return points(30);
}

void PageDrawer::photoPage(int index, const PageImage &photo, const PageImage &plate, const CodeDescriptions &codes)
{
    frame();
    const store::PhotoValues &values = m_book.photos.at(index);
    photoHeading(body(), values);
    if (m_images) {
        image(m_photoBox, photo);
        image(m_plateBox, plate);
    }
    valueTable(m_tableBox, valueRows(values, m_classes, codes));
    drawGathered();
}

void PageDrawer::image(const QRectF &box, const PageImage &picture)
{
    if (!picture.image.isNull()) {
        const QSizeF size = QSizeF(picture.image.size()).scaled(box.size(), Qt::KeepAspectRatio);
        const QRectF target(box.left() + (box.width() - size.width()) / 2, box.top(), size.width(), size.height());
        m_painter.drawImage(target, picture.image);
        return;
    }
    m_painter.setPen(QPen(kRule, points(1)));
    m_painter.setBrush(Qt::NoBrush);
    const double height = std::min(box.height(), box.width() * 2 / 3);
    const QRectF placeholder(box.left(), box.top(), box.width(), height);
    m_painter.drawRect(placeholder);
    m_painter.setPen(Qt::darkGray);
    text(placeholder.adjusted(points(12), points(12), -points(12), -points(12)),
         Qt::AlignCenter | Qt::TextWordWrap | Qt::TextWrapAnywhere, picture.placeholder, 9);
    m_painter.setPen(Qt::black);
}

double PageDrawer::fittingSize(const QString &text, double width, bool bold)
{
    // A long code description or class range is set smaller before it is cut short.
    for (const double size : {9.0, 8.0, 7.0}) {
        if (face(size, bold).line(text).width <= width)
            return size;
    }
    return 7.0;
}

void PageDrawer::valueTable(const QRectF &box, const QVector<ValueRow> &rows)
{
    if (rows.isEmpty())
        return;
    const double rowHeight = std::min(points(17), box.height() / double(rows.size()));
    const double nameWidth = box.width() * 0.46;
    const double valueWidth = box.width() * 0.2;
    const double gap = points(6);
    double y = box.top();
    // A rule under every row, drawn together after the rows.
    QVector<QLineF> rules;
    rules.reserve(rows.size());
    for (const ValueRow &row : rows) {
        const QRectF line(box.left(), y, box.width(), rowHeight);
        const QRectF name(line.left(), y, nameWidth - gap, rowHeight);
        text(name, Qt::AlignLeft | Qt::AlignVCenter, row.name, fittingSize(row.name, name.width(), false));
        const double valueLeft = line.left() + nameWidth;
        if (row.unit.isEmpty()) {
            const QRectF value(valueLeft, y, line.width() - nameWidth, rowHeight);
            text(value, Qt::AlignLeft | Qt::AlignVCenter, row.value, fittingSize(row.value, value.width(), true), true);
        } else {
            text(QRectF(valueLeft, y, valueWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter, row.value, 9, true);
            text(QRectF(valueLeft + valueWidth + gap, y, line.width() - nameWidth - valueWidth - gap, rowHeight),
                 Qt::AlignLeft | Qt::AlignVCenter, row.unit, 9);
        }
        y += rowHeight;
        rules.append(QLineF(line.left(), y, line.right(), y));
    }
    m_painter.setPen(QPen(kRule, points(0.3)));
    m_painter.drawLines(rules);
    m_painter.setPen(Qt::black);
}

void PageDrawer::tablePage(int page)
{
    frame();
    const QRectF area = body();
    text(QRectF(0, area.top(), area.width(), points(24)), Qt::AlignLeft | Qt::AlignVCenter,
         page == 0 ? QStringLiteral("Summary of the photos") : QStringLiteral("Summary of the photos (continued)"), 14,
         true);
    // Label and name take what the numbers leave.
    QStringList heads{QStringLiteral("Photo"), QStringLiteral("Name")};
    for (const SizeClass &c : m_classes)
        heads << QStringLiteral("Class %1\nt/ac").arg(c.number);
    heads << QStringLiteral("Total\nt/ac") << QStringLiteral("Fuelbed\nin") << QStringLiteral("Duff\nin")
          << QStringLiteral("Veg.") << QStringLiteral("Act.");
    const int numbers = int(heads.size()) - 4;
    const double numberWidth = points(34);
    const double codeWidth = points(30);
    const double labelWidth = (area.width() - numberWidth * numbers - codeWidth * 2) * 0.3;
    QVector<double> left{0, labelWidth};
    for (int i = 0; i < numbers; ++i)
        left << area.width() - codeWidth * 2 - numberWidth * (numbers - i);
    left << area.width() - codeWidth * 2 << area.width() - codeWidth << area.width();
    double y = area.top() + points(28);
    // Label and name to the left, numbers and codes to the right.
    const auto across = [](int column) { return column < 2 ? int(Qt::AlignLeft) : int(Qt::AlignRight); };
    for (int i = 0; i < heads.size(); ++i)
        text(QRectF(left[i], y, left[i + 1] - left[i] - points(3), points(22)), across(i) | Qt::AlignBottom, heads[i],
             6.5, true);
    y += points(24);
    const int rows = rowsPerTablePage();
    const int last = std::min(int(m_book.photos.size()), (page + 1) * rows);
    for (int index = page * rows; index < last; ++index) {
        const store::PhotoValues &photo = m_book.photos.at(index);
        QStringList cells{photoValue(photo, QStringLiteral("PhotoLabel")).toString(),
                          photoValue(photo, QStringLiteral("GroupLabel")).toString()};
        for (const double loading : classLoadings(photo, m_classes))
            cells << QString::number(loading, 'f', 2);
        for (const char *field : {"AverageFuelbedDepth", "AverageDuffDepth"})
            cells << editor::formatCell(photoValue(photo, QLatin1String(field)), editor::NumberFormat::GeneralNumber);
        cells << photoValue(photo, QStringLiteral("VegType")).toString().trimmed()
              << photoValue(photo, QStringLiteral("Activity")).toString().trimmed();
        for (int i = 0; i < cells.size(); ++i)
            text(QRectF(left[i], y, left[i + 1] - left[i] - points(3), points(11)), across(i) | Qt::AlignVCenter,
                 cells[i], 7.5);
        y += points(11);
    }
    drawGathered();
}

double PageDrawer::chartLegend(const QRectF &area)
{
    double x = area.left();
    double y = area.top() + points(28);
    for (int i = 0; i < m_classes.size(); ++i) {
        const QString label = QStringLiteral("%1: %2").arg(m_classes[i].number).arg(m_classes[i].range);
        const double width = points(14) + advance(7.5, false, label);
        if (x + width > area.right()) {
            x = area.left();
            y += points(13);
        }
        m_painter.fillRect(QRectF(x, y + points(2), points(9), points(9)), kClassColours[i]);
        text(QRectF(x + points(12), y, width, points(13)), Qt::AlignLeft | Qt::AlignVCenter, label, 7.5);
        x += width + points(10);
    }
    return y + points(20);
}

void PageDrawer::chartAxis(const QRectF &bars, double scaleMax, double step)
{
    for (double tick = 0; tick <= scaleMax + step / 2; tick += step) {
        const double x = bars.left() + bars.width() * tick / scaleMax;
        m_painter.setPen(QPen(kRule, points(0.3)));
        m_painter.drawLine(QPointF(x, bars.top()), QPointF(x, bars.bottom()));
        m_painter.setPen(Qt::black);
        text(QRectF(x - points(30), bars.bottom() + points(2), points(60), points(12)), Qt::AlignHCenter | Qt::AlignTop,
             QString::number(tick, 'g', 6), 7.5);
    }
    text(QRectF(bars.left(), bars.bottom() + points(14), bars.width(), points(12)), Qt::AlignHCenter | Qt::AlignTop,
         QStringLiteral("Fuel loading (t/ac)"), 7.5);
}

void PageDrawer::chartPage(int page)
{
    frame();
    const QRectF area = body();
    text(QRectF(0, area.top(), area.width(), points(24)), Qt::AlignLeft | Qt::AlignVCenter,
         QStringLiteral("Fuel loading by size class"), 14, true);
    const double top = chartLegend(area);
    const double step = tickStep(m_chartMax > 0 ? m_chartMax : 1);
    const double scaleMax = std::ceil((m_chartMax > 0 ? m_chartMax : 1) / step) * step;
    const int perPage = barsPerPage();
    const int first = page * perPage;
    const int last = std::min(int(m_book.photos.size()), first + perPage);
    const double labelWidth = points(90);
    const double barHeight = points(15);
    const QRectF bars(labelWidth, top, area.width() - labelWidth - points(40), barHeight * (last - first));
    chartAxis(bars, scaleMax, step);
    for (int index = first; index < last; ++index) {
        const store::PhotoValues &photo = m_book.photos.at(index);
        const double y = bars.top() + barHeight * (index - first);
        text(QRectF(0, y, labelWidth - points(6), barHeight), Qt::AlignRight | Qt::AlignVCenter,
             photoValue(photo, QStringLiteral("PhotoLabel")).toString(), 7.5);
        const QVector<double> loadings = classLoadings(photo, m_classes);
        double x = bars.left();
        for (int i = 0; i < m_classes.size(); ++i) {
            const double width = bars.width() * std::max(0.0, loadings[i]) / scaleMax;
            m_painter.fillRect(QRectF(x, y + barHeight * 0.15, width, barHeight * 0.7), kClassColours[i]);
            x += width;
        }
        text(QRectF(x + points(3), y, points(40), barHeight), Qt::AlignLeft | Qt::AlignVCenter,
             QString::number(loadings.last(), 'f', 2), 7);
    }
    drawGathered();
}

} // namespace publish
