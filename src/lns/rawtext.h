// The object server's "RAW" text form of a value: its bytes as decimal
// numbers 0 to 255 separated by one TAB, first byte first, no trailing TAB.
#pragma once

#include <QByteArray>
#include <QString>

namespace lns {

inline const QString kRawFormat = QStringLiteral("RAW");

QString formatRaw(const QByteArray &bytes);
// The same numbers separated by one blank: how the programs show bytes to
// people ("8 52" for 2100).
QString formatDecimal(const QByteArray &bytes);
// Returns false (and leaves *out untouched) when a piece is not a number 0..255.
bool parseRaw(const QString &text, QByteArray *out);

} // namespace lns
