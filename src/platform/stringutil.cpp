#include "stringutil.h"

#include <cmath>
#include <limits>

namespace platform {

QString fillPlaceholders(const QString &text, const QStringList &values)
{
    QString out;
    out.reserve(text.size() + 16);
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 1 < text.size()) {
            const QChar d = text.at(i + 1);
            if (d >= QLatin1Char('1') && d <= QLatin1Char('9')) {
                const int n = d.digitValue() - 1;
                if (n < values.size()) {
                    out += values.at(n);
                    ++i;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

double leadingNumber(const QString &text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    const int start = i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    bool digits = false;
    while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i).isDigit() && text.at(i).unicode() < 128) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    bool ok = false;
    const double v = text.mid(start, i - start).toDouble(&ok);
    return ok ? v : 0.0;
}

template <class T>
static T clampTrunc(double v)
{
    v = std::trunc(v);
    if (v > std::numeric_limits<T>::max())
        return std::numeric_limits<T>::max();
    if (v < std::numeric_limits<T>::min())
        return std::numeric_limits<T>::min();
    return static_cast<T>(v);
}

qint16 leadingInt16(const QString &text)
{
    return clampTrunc<qint16>(leadingNumber(text));
}

qint32 leadingInt32(const QString &text)
{
    return clampTrunc<qint32>(leadingNumber(text));
}

QString token(const QString &text, const QString &separator, int index)
{
    if (index < 1)
        return QString();
    const QStringList parts = text.split(separator);
    return parts.value(index - 1);
}

} // namespace platform
