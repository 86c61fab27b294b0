#pragma once

#include <QString>

namespace store {

// Book identifiers and photo labels name folders and image files, so the characters that a
// folder or file name cannot hold on any desktop are refused wherever a name enters: typed,
// pasted, imported or used by the folder command.

// One of \ / : * ? | < > , or the double quote, or a control character.
bool isRefusedNameCharacter(QChar c);
// Whether any character of the text is refused.
bool holdsRefusedNameCharacter(const QString &name);
// "Untitled" in any letter case: the label of a book that has not been named yet (labels are
// compared without regard to case everywhere in the store).
bool isUntitled(const QString &label);
// A name that can be a folder of its own: not empty, not "." or "..", and no refused character.
bool isUsableFolderName(const QString &name);

} // namespace store
