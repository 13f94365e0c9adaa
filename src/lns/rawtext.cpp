#include "rawtext.h"

#include <QStringList>

namespace lns {

namespace {

QString joinedNumbers(const QByteArray &bytes, QChar separator)
{
    QStringList parts;
    parts.reserve(bytes.size());
    for (char c : bytes)
        parts << QString::number(static_cast<unsigned char>(c));
    return parts.join(separator);
}

} // namespace

QString formatRaw(const QByteArray &bytes)
{
    return joinedNumbers(bytes, QLatin1Char('\t'));
}

QString formatDecimal(const QByteArray &bytes)
{
    return joinedNumbers(bytes, QLatin1Char(' '));
}

bool parseRaw(const QString &text, QByteArray *out)
{
    QByteArray result;
    if (!text.isEmpty()) {
        const QStringList parts = text.split(QLatin1Char('\t'));
        result.reserve(parts.size());
        for (const QString &p : parts) {
            bool ok = false;
            const uint v = p.trimmed().toUInt(&ok);
            if (!ok || v > 255)
                return false;
            result.append(static_cast<char>(v));
        }
    }
    *out = result;
    return true;
}

} // namespace lns
