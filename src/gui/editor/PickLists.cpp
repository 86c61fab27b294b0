#include "editor/PickLists.h"

#include "editor/CodeFile.h"

#include <QListWidget>

namespace editor {

namespace {

const QStringList &fb1982Models()
{
    static const QStringList models = {
        QStringLiteral("FB01 Short grass (1 foot)"),  QStringLiteral("FB02 Timber (grass understory)"),
        QStringLiteral("FB03 Tall grass (2.5 feet)"), QStringLiteral("FB04 Chaparral (6 feet)"),
        QStringLiteral("FB05 Brush ( 2 feet)"),       QStringLiteral("FB06 Dormant brush, hardwood slash"),
        QStringLiteral("FB07 Southern rough"),        QStringLiteral("FB08 Closed timber litter"),
        QStringLiteral("FB09 Hardwood litter"),       QStringLiteral("FB10 Timber(litter And understory)"),
        QStringLiteral("FB11 Light logging slash"),   QStringLiteral("FB12 Medium logging slash"),
        QStringLiteral("FB13 Heavy logging slash"),
    };
    return models;
}

const QStringList &fb2005OwnModels()
{
    static const QStringList models = {
        QStringLiteral("NB01 Urban / Developed"),
        QStringLiteral("NB02 Snow / ice"),
        QStringLiteral("NB03 Agricultural"),
        QStringLiteral("NB08 Open Water"),
        QStringLiteral("NB09 Bare Ground"),
        QStringLiteral("GR01 Short, sparse dry climate grass (Dynamic)"),
        QStringLiteral("GR02 Low load, dry climate grass (Dynamic)"),
        QStringLiteral("GR03 Low load, very coarse, humid climate grass (Dynamic)"),
        QStringLiteral("GR04 Moderate load, dry climate grass (Dynamic)"),
        QStringLiteral("GR05 Low load, humid climate grass (Dynamic)"),
        QStringLiteral("GR06 Moderate load, humid climate grass (Dynamic)"),
        QStringLiteral("GR07 High load dry climate grass (Dynamic)"),
        QStringLiteral("GR08 High load, very coarse, humid climate grass (Dynamic)"),
        QStringLiteral("GR09 Very high load, humid climate grass (Dynamic)"),
        QStringLiteral("GS01 Low load, dry climate grass-shrub (Dynamic)"),
        QStringLiteral("GS02 Moderate load, dry climate grass-shrub (Dynamic)"),
        QStringLiteral("GS03 Moderate load, humid climate grass-shrub (Dynamic)"),
        QStringLiteral("GS04 High load humid climate grass-shrub (Dynamic)"),
        QStringLiteral("SH01 Low load, dry climate shrub (Dynamic)"),
        QStringLiteral("SH02 Moderate load, dry climate shrub"),
        QStringLiteral("SH03 Moderate load, humid climate shrub"),
        QStringLiteral("SH04 Low load, humid climate, timber-shrub"),
        QStringLiteral("SH05 High load, dry climate shrub"),
        QStringLiteral("SH06 Low load, humid climate shrub"),
        QStringLiteral("SH07 Very high load, dry climate shrub"),
        QStringLiteral("SH08 High load, humid climate shrub"),
        QStringLiteral("SH09 Very high load, humid climate shrub (Dynamic)"),
        QStringLiteral("TU01 Light load, dry climate timber-grass-shrub (Dynamic)"),
        QStringLiteral("TU02 Moderate load, humid climate timber-shrub"),
        QStringLiteral("TU03 Moderate load, humid climate timber-grass-shrub (Dynamic)"),
        QStringLiteral("TU04 Dwarf conider with understory"),
        QStringLiteral("TU05 Very high load, dry climate timber-shrub"),
        QStringLiteral("TL01 Low load, compact conifer litter"),
        QStringLiteral("TL02 Low load, broadleaf litter"),
        QStringLiteral("TL03 Moderate load, conifer litter"),
        QStringLiteral("TL04 Small downed logs"),
        QStringLiteral("TL05 High load, conifer litter"),
        QStringLiteral("TL06 Moderate load, broadleaf litter"),
        QStringLiteral("TL07 Large downed logs"),
        QStringLiteral("TL08 Long-needle litter"),
        QStringLiteral("TL09 Very high, load broadleaf litter"),
        QStringLiteral("SB01 Low load activity fuel"),
        QStringLiteral("SB02 Moderate load activity or low load blowdown"),
        QStringLiteral("SB03 High load activity fuel or moderate load blowdown"),
        QStringLiteral("SB04 High load blowdown"),
    };
    return models;
}

const QStringList &dangerRatingModels()
{
    static const QStringList models = {
        QStringLiteral("A Annual Grass"),
        QStringLiteral("B Mature chaparral"),
        QStringLiteral("C Open timber/grass"),
        QStringLiteral("D Southern rough"),
        QStringLiteral("E Hardwoods(winter)"),
        QStringLiteral("F Intermediate brush"),
        QStringLiteral("G Short-needle conifer(heavy)"),
        QStringLiteral("H Short-needle conifer(normal)"),
        QStringLiteral("I Heavy slash"),
        QStringLiteral("J Medium slash"),
        QStringLiteral("K Light slash"),
        QStringLiteral("L Perennial Grass"),
        QStringLiteral("N Sawgrass"),
        QStringLiteral("O Pocosin"),
        QStringLiteral("P Southern plantation"),
        QStringLiteral("Q Alaska black spruce"),
        QStringLiteral("R Hardwoods(Summer)"),
        QStringLiteral("S Alaska tundra"),
        QStringLiteral("T Sagebrush grass"),
        QStringLiteral("U Western long needle conifer"),
    };
    return models;
}

QString blankEntry()
{
    return QStringLiteral(" ");
}

} // namespace

const QVector<PickListInfo> &pickLists()
{
    static const QVector<PickListInfo> lists = {
        {PickList::VegType, "lstVegType", "VegType", 5, "Vegcodes.txt", "Veg", 3975, 1200},
        {PickList::ActType, "lstActType", "Activity", 3, "Actcodes.txt", "Act", 2325, 1200},
        {PickList::FM, "lstFM", "FireBehaveFM", 4, nullptr, nullptr, 5025, 1200},
        {PickList::FM2, "lstFM2", "FireBehaveFM2", 4, nullptr, nullptr, 5025, 1200},
        {PickList::DR, "lstDR", "DangerRatingFM", 1, nullptr, nullptr, 2325, 1200},
    };
    return lists;
}

const PickListInfo &pickListInfo(PickList list)
{
    return pickLists().at(int(list));
}

const PickListInfo *pickListForField(const QString &field)
{
    for (const PickListInfo &info : pickLists()) {
        if (field.compare(QLatin1String(info.field), Qt::CaseInsensitive) == 0)
            return &info;
    }
    return nullptr;
}

QString newCodeEntry()
{
    return QStringLiteral("New Code...");
}

QString codeEntryText(const QString &code, const QString &description)
{
    return code.leftJustified(5, QLatin1Char(' ')) + description;
}

QStringList codeListEntries(const QVector<CodeRecord> &records)
{
    QStringList entries{blankEntry()};
    for (const CodeRecord &r : records)
        entries << codeEntryText(r.code, r.description);
    entries << newCodeEntry();
    return entries;
}

QStringList fireBehaviour2005Entries()
{
    return QStringList{blankEntry()} + fb1982Models() + fb2005OwnModels();
}

QStringList fireBehaviour1982Entries()
{
    return QStringList{blankEntry()} + fb1982Models();
}

QStringList dangerRatingEntries()
{
    return QStringList{blankEntry()} + dangerRatingModels();
}

QString storedCode(PickList list, const QString &entry)
{
    return entry.left(pickListInfo(list).storedLength).trimmed();
}

void fillList(QListWidget *list, const QStringList &entries)
{
    list->clear();
    list->addItems(entries);
}

} // namespace editor
