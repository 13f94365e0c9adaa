// The program's string table (English ids 900..1999, German = id + 1000),
// compiled in from data/strings.tsv, and the loader every text goes through.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Language offset added to every id: 0 English, 1000 German.
void setLanguageOffset(int offset);
int languageOffset();

// The raw table entry (items still joined by "¦", "¶" not replaced); empty
// when the id is missing.
QString rawString(int id);
// Number of entries loaded from the table.
int stringCount();

// Items are separated by "¦"; "¶" becomes a line break ("\n" on this
// platform). Placeholders "%1".."%9" are left for fillPlaceholders.
inline const QChar kItemSeparator = QChar(0x00A6);
inline const QChar kLineBreakMark = QChar(0x00B6);

} // namespace platform

// Loads item itemIndex (1-based; 0 counts as 1 and is written back) of entry
// id + language offset. A missing id, an item past the last one or an id sum
// above the 16-bit range give an empty text.
QString gLoadResString(int id, int &itemIndex);
// For literals and const values (nothing to write back).
QString gLoadResString(int id, const int &itemIndex = 1);
