// Small text helpers the whole program shares.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Replaces "%1" by values[0], "%2" by values[1], ... up to "%9", in one pass
// (a value that itself contains "%2" is not expanded again). A placeholder
// without a value is left as it stands.
QString fillPlaceholders(const QString &text, const QStringList &values);

// The leading-number rule: the number at the start of the text (after
// blanks), with optional sign and decimal point; 0 when there is none.
double leadingNumber(const QString &text);
// Same, truncated towards zero and clamped to the 16/32-bit range.
qint16 leadingInt16(const QString &text);
qint32 leadingInt32(const QString &text);

// Token number index (1-based) of text split at separator; empty past the end.
QString token(const QString &text, const QString &separator, int index);

} // namespace platform
