#include "editor/PhotoColumns.h"

#include <QLocale>

namespace editor {

namespace {

PhotoColumn column(const char *field, const char *heading, int width, bool right, NumberFormat format, InputClass input,
                   bool visible = true)
{
    PhotoColumn c;
    c.field = QLatin1String(field);
    c.heading = QString::fromLatin1(heading);
    c.widthTwips = width;
    c.rightAligned = right;
    c.format = format;
    c.visible = visible;
    c.input = input;
    c.locked = input == InputClass::Code;
    c.numeric = input == InputClass::UnsignedNumber || input == InputClass::SignedNumber;
    return c;
}

} // namespace

const QVector<PhotoColumn> &defaultPhotoColumns()
{
    using F = NumberFormat;
    using I = InputClass;
    static const QVector<PhotoColumn> columns{
        column("PhotoLabel", "Photo\nID", 1700, false, F::None, I::FileName),
        column("GroupLabel", "Photo\nName", 4300, false, F::None, I::FreeText),
        column("TonsPerAcreBreak1", "0\"-\n.25\"\n(t/ac)", 720, true, F::Fixed2, I::UnsignedNumber),
        column("TonsPerAcreBreak2", ".26\"-\n1\"\n(t/ac)", 720, true, F::Fixed2, I::UnsignedNumber),
        column("TonsPerAcreBreak3", "1.1\"-\n3\"\n(t/ac)", 720, true, F::Fixed2, I::UnsignedNumber),
        column("TonsPerAcreBreak4", "\n3.1\"+\n(t/ac)", 720, true, F::Fixed2, I::UnsignedNumber),
        column("TonsPerAcreBreak5", "Size\nClass 5\n(t/ac)", 720, true, F::Fixed2, I::UnsignedNumber, false),
        column("TonsPerAcreBreak6", "Size\nClass 6\n(t/ac)", 720, true, F::Fixed2, I::UnsignedNumber, false),
        column("TonsPerAcreBreak7", "Size\nClass 7\n(t/ac)", 720, true, F::Fixed2, I::UnsignedNumber, false),
        column("HerbTonsPerAcre", "Herb\n(t/ac)\n", 720, true, F::Fixed2, I::SignedNumber),
        column("WoodyTonsPerAcre", "Woody\n(t/ac)\n", 720, true, F::Fixed2, I::SignedNumber),
        column("AverageFuelbedDepth", "Fuelbed\nDepth\n(in)", 740, true, F::GeneralNumber, I::SignedNumber),
        column("AverageDuffDepth", "Duff\nDepth\n(in)", 720, true, F::GeneralNumber, I::SignedNumber),
        column("VegType", "Veg.\nType\n", 820, true, F::None, I::Code),
        column("Activity", "Act.\nType\n", 720, true, F::None, I::Code),
        column("FireBehaveFM", "FB\nModel\n2005", 720, true, F::None, I::Code),
        column("FireBehaveFM2", "FB\nModel\n1982", 720, true, F::None, I::Code),
        column("DangerRatingFM", "DR\nFuel\nModel", 800, true, F::None, I::Code),
        column("TreesPerAcre", "Trees\nper\nAcre", 800, true, F::GeneralNumber, I::SignedNumber),
        column("CanopyClosure", "Crown\nCover\nPercent", 720, true, F::None, I::SignedNumber),
        column("PhotoPic", "Photo\nFile\n", 1400, true, F::None, I::FileName),
        column("DataPic", "Data\nPlate\nFile", 1400, true, F::None, I::FileName),
    };
    return columns;
}

QString formatCell(const QVariant &value, NumberFormat format)
{
    if (value.isNull())
        return {};
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (!isNumber || value.typeId() == QMetaType::QString)
        return value.toString();
    switch (format) {
    case NumberFormat::Fixed2:
        return QString::number(number, 'f', 2);
    case NumberFormat::GeneralNumber:
    case NumberFormat::None:
        break;
    }
    return QString::number(number, 'g', 15);
}

QString editText(const QVariant &value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return value.toString();
}

bool readNumber(const QString &text, double &value)
{
    if (!readsAsNumber(text))
        return false;
    bool ok = false;
    value = QLocale::c().toDouble(text, &ok);
    return ok;
}

} // namespace editor
