#include "ui/FittedFont.h"

#include <QFontMetrics>
#include <QTest>

class FittedFontTest : public QObject
{
    Q_OBJECT

private slots:
    void keepsAFontThatFits();
    void shrinksUntilEverySampleFits();
};

namespace {

QFont baseFont()
{
    QFont font = QFont(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9);
    return font;
}

int widest(const QFont &font, const QStringList &samples)
{
    int width = 0;
    for (const QString &s : samples)
        width = qMax(width, QFontMetrics(font).horizontalAdvance(s));
    return width;
}

} // namespace

void FittedFontTest::keepsAFontThatFits()
{
    const QStringList samples{QStringLiteral("User")};
    QCOMPARE(ui::fittedFont(baseFont(), samples, widest(baseFont(), samples)), baseFont());
}

void FittedFontTest::shrinksUntilEverySampleFits()
{
    const QStringList samples{QStringLiteral("9999.99"), QStringLiteral("8888888"), QStringLiteral("OrvanePlus")};
    const int full = widest(baseFont(), samples);
    for (int width : {full - 1, full * 3 / 4, full * 2 / 3, full / 2}) {
        const QFont fitted = ui::fittedFont(baseFont(), samples, width);
        QVERIFY2(fitted.pointSizeF() >= ui::kSmallestGridPoints, qPrintable(QString::number(width)));
        QVERIFY2(fitted.pointSizeF() < baseFont().pointSizeF(), qPrintable(QString::number(width)));
        // Half of the width cannot be met within the narrowing allowed; the rest is.
        if (width > full / 2)
            QVERIFY2(widest(fitted, samples) <= width, qPrintable(QString::number(width)));
    }
}

QTEST_MAIN(FittedFontTest)
#include "tst_fittedfont.moc"
