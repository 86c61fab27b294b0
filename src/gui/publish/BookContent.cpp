#include "publish/BookContent.h"

#include "editor/CodeFile.h"
#include "editor/HeaderRules.h"
#include "editor/ImageFiles.h"
#include "editor/PhotoColumns.h"
#include "library/BookSave.h"
#include "store/ImageRoot.h"
#include "store/Schema.h"
#include "store/Store.h"

#include <QDir>

#include <cmath>

namespace publish {

store::Result<BookContent> loadBookContent(store::Store &store, qint64 bookId)
{
    auto book = library::loadBook(store.db(), bookId);
    if (!book)
        return book.failure();
    return BookContent{std::move(book->header), std::move(book->photos)};
}

QVector<SizeClass> sizeClassesOf(const store::BookHeader &header)
{
    const auto field = [](int number) {
        return store::photoFieldIndex(QStringLiteral("TonsPerAcreBreak%1").arg(number));
    };
    QVector<SizeClass> classes{{1, QStringLiteral("0 to 0.25 in"), field(1)},
                               {2, QStringLiteral("0.26 to 1 in"), field(2)},
                               {3, QStringLiteral("1.1 to 3 in"), field(3)}};
    // Class 4 starts at 3.1 inches; each upper bound given opens the next class.
    const double bounds[] = {header.breakInches4.toDouble(), header.breakInches5.toDouble(),
                             header.breakInches6.toDouble()};
    QString lower = QStringLiteral("3.1");
    for (int number = 4; number <= 7; ++number) {
        const double bound = number <= 6 ? bounds[number - 4] : 0;
        if (bound <= 0) {
            classes.append({number, lower + QStringLiteral(" in and over"), field(number)});
            break;
        }
        classes.append(
            {number, QStringLiteral("%1 to %2 in").arg(lower, editor::numberText(std::floor(bound))), field(number)});
        lower = editor::nextLowerBound(bound);
    }
    return classes;
}

namespace {

QHash<QString, QString> readDescriptions(const QString &path, QStringList &faults)
{
    const editor::CodeFileContents contents = editor::readCodeFile(path);
    if (!contents.error.isEmpty())
        faults << contents.error;
    QHash<QString, QString> descriptions;
    for (const editor::CodeRecord &record : contents.records) {
        const QString code = record.code.trimmed().toUpper();
        if (!descriptions.contains(code))
            descriptions.insert(code, record.description.trimmed());
    }
    return descriptions;
}

// Where each field is and how the grid formats it, found once: a long book asks for the same
// fields on every page.
int fieldIndex(const QString &field)
{
    static const QHash<QString, int> indexes = [] {
        QHash<QString, int> byName;
        const QStringList &fields = store::photoFields();
        for (int i = 0; i < fields.size(); ++i)
            byName.insert(fields.at(i), i);
        return byName;
    }();
    const int index = indexes.value(field, -1);
    return index >= 0 ? index : store::photoFieldIndex(field);
}

QString formatted(const store::PhotoValues &photo, const QString &field)
{
    static const QHash<QString, editor::NumberFormat> formats = [] {
        QHash<QString, editor::NumberFormat> byField;
        for (const editor::PhotoColumn &column : editor::defaultPhotoColumns()) {
            if (!byField.contains(column.field))
                byField.insert(column.field, column.format);
        }
        return byField;
    }();
    const auto format = formats.constFind(field);
    if (format == formats.cend())
        return photoValue(photo, field).toString();
    return editor::formatCell(photoValue(photo, field), *format);
}

} // namespace

CodeDescriptions readCodeDescriptions(const QString &programDir)
{
    CodeDescriptions codes;
    const QDir dir(programDir);
    codes.vegetation = readDescriptions(dir.filePath(QStringLiteral("Vegcodes.txt")), codes.faults);
    codes.activity = readDescriptions(dir.filePath(QStringLiteral("Actcodes.txt")), codes.faults);
    return codes;
}

QString describedCode(const QHash<QString, QString> &descriptions, const QVariant &code)
{
    QString text = code.toString().trimmed();
    const QString description = descriptions.value(text.toUpper());
    if (text.isEmpty() || description.isEmpty())
        return text;
    return text + QLatin1Char(' ') + description;
}

QVariant photoValue(const store::PhotoValues &photo, const QString &field)
{
    return photo.value(fieldIndex(field));
}

QVector<double> classLoadings(const store::PhotoValues &photo, const QVector<SizeClass> &classes)
{
    QVector<double> loadings;
    double total = 0;
    for (const SizeClass &c : classes) {
        loadings << photo.value(c.field).toDouble();
        total += loadings.last();
    }
    loadings << total;
    return loadings;
}

QVector<ValueRow> valueRows(const store::PhotoValues &photo, const QVector<SizeClass> &classes,
                            const CodeDescriptions &codes)
{
    const QString tons = QStringLiteral("t/ac");
    const QString inches = QStringLiteral("in");
    QVector<ValueRow> rows;
    for (const SizeClass &c : classes)
        rows.append({QStringLiteral("Size class %1 (%2)").arg(c.number).arg(c.range),
                     formatted(photo, store::photoFields().at(c.field)), tons});
    rows.append({QStringLiteral("Total, size classes 1 to %1").arg(classes.size()),
                 QString::number(classLoadings(photo, classes).last(), 'f', 2), tons});
    rows.append({QStringLiteral("Herb"), formatted(photo, QStringLiteral("HerbTonsPerAcre")), tons});
    rows.append({QStringLiteral("Woody shrub"), formatted(photo, QStringLiteral("WoodyTonsPerAcre")), tons});
    rows.append({QStringLiteral("Fuelbed depth"), formatted(photo, QStringLiteral("AverageFuelbedDepth")), inches});
    rows.append({QStringLiteral("Duff depth"), formatted(photo, QStringLiteral("AverageDuffDepth")), inches});
    rows.append({QStringLiteral("Trees per acre"), formatted(photo, QStringLiteral("TreesPerAcre")),
                 QStringLiteral("trees per acre")});
    rows.append(
        {QStringLiteral("Crown cover"), formatted(photo, QStringLiteral("CanopyClosure")), QStringLiteral("%")});
    rows.append({QStringLiteral("Vegetation type"), describedCode(codes.vegetation, photoValue(photo, "VegType")), {}});
    rows.append({QStringLiteral("Activity"), describedCode(codes.activity, photoValue(photo, "Activity")), {}});
    rows.append({QStringLiteral("Fire behaviour model 2005"), formatted(photo, QStringLiteral("FireBehaveFM")), {}});
    rows.append({QStringLiteral("Fire behaviour model 1982"), formatted(photo, QStringLiteral("FireBehaveFM2")), {}});
    rows.append({QStringLiteral("Danger-rating model"), formatted(photo, QStringLiteral("DangerRatingFM")), {}});
    rows.append({QStringLiteral("Photo file"), formatted(photo, QStringLiteral("PhotoPic")), {}});
    rows.append({QStringLiteral("Data plate file"), formatted(photo, QStringLiteral("DataPic")), {}});
    return rows;
}

QString bookImageFolder(const QString &programDir, const QString &rootText, const QString &identifier)
{
    if (!editor::BookImageFolder::isPlainName(identifier))
        return {};
    return store::resolveImageRoot(store::resolveImageRoot(programDir, rootText), identifier);
}

} // namespace publish
