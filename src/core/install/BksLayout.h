#pragma once

#include "install/BksReader.h"

#include <iterator>

namespace install {

// One field of an install file's records: the store field it fills, whether it is a text or a
// number, whether an empty text is stored as null (a field the store keeps only when given), and
// for a text the name the user knows it by (the editor's caption or column heading).
struct BksField
{
    const char *name;
    FieldKind kind;
    bool nullWhenEmpty = false;
    const char *shown = nullptr;
};

// The header record, in file order.
inline constexpr BksField kBksHeader[] = {
    {"BookLabel", FieldKind::Text, false, "Identifier"},
    {"BookDescription", FieldKind::Text, false, "Name"},
    {"BookDate", FieldKind::Text, true, "Date Built"},
    {"BookNotes", FieldKind::Text, true, "Notes"},
    {"Breakinches1", FieldKind::Number},
    {"Breakinches2", FieldKind::Number},
    {"Breakinches3", FieldKind::Number},
    {"BreakInches4", FieldKind::Number},
    {"BreakInches5", FieldKind::Number},
    {"BreakInches6", FieldKind::Number},
};

// A photo record after its first field, which repeats the book's label, in file order.
inline constexpr BksField kBksPhoto[] = {
    {"GroupLabel", FieldKind::Text, false, "Photo Name"},
    {"PhotoLabel", FieldKind::Text, false, "Photo ID"},
    {"TonsPerAcreBreak1", FieldKind::Number},
    {"TonsPerAcreBreak2", FieldKind::Number},
    {"TonsPerAcreBreak3", FieldKind::Number},
    {"TonsPerAcreBreak4", FieldKind::Number},
    {"TonsPerAcreBreak5", FieldKind::Number},
    {"TonsPerAcreBreak6", FieldKind::Number},
    {"TonsPerAcreBreak7", FieldKind::Number},
    {"AverageFuelbedDepth", FieldKind::Number},
    {"AverageDuffDepth", FieldKind::Number},
    {"PhotoPic", FieldKind::Text, true, "Photo File"},
    {"DataPic", FieldKind::Text, true, "Data Plate File"},
    {"VegType", FieldKind::Text, true, "Veg. Type"},
    {"Activity", FieldKind::Text, true, "Act. Type"},
    {"Oto3FL", FieldKind::Number},
    {"TotalFL", FieldKind::Number},
    {"DangerRatingFM", FieldKind::Text, true, "DR Fuel Model"},
    {"FireBehaveFM", FieldKind::Text, true, "FB Model 2005"},
    {"HerbTonsPerAcre", FieldKind::Number},
    {"WoodyTonsPerAcre", FieldKind::Number},
    {"TreesPerAcre", FieldKind::Number},
    {"CanopyClosure", FieldKind::Number},
};

inline constexpr int kBksHeaderCount = int(std::size(kBksHeader));
inline constexpr int kBksPhotoCount = int(std::size(kBksPhoto));

// Fields of the store the install format has no place for.
inline constexpr const char *kBksNotCarried = "builtby, FireBehaveFM2, Active, Locked";

} // namespace install
