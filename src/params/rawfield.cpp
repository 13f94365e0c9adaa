#include "rawfield.h"

#include <QStringList>

namespace params {

namespace {
void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}
} // namespace

std::optional<QByteArray> parseRawText(const QString &text, int expectedBytes, QString *error)
{
    QByteArray out;
    if (text.isEmpty()) {
        if (expectedBytes <= 0)
            return out;
        setError(error, QStringLiteral("raw text is empty, %1 bytes expected").arg(expectedBytes));
        return std::nullopt;
    }
    const QStringList pieces = text.split(QLatin1Char('\t'));
    if (expectedBytes >= 0 && pieces.size() != expectedBytes) {
        setError(error, QStringLiteral("raw text has %1 bytes, %2 expected").arg(pieces.size()).arg(expectedBytes));
        return std::nullopt;
    }
    out.reserve(pieces.size());
    for (int k = 0; k < pieces.size(); ++k) {
        const QString &p = pieces.at(k);
        bool digits = !p.isEmpty() && p.size() <= 3;
        int v = 0;
        for (QChar c : p) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                digits = false;
                break;
            }
            v = v * 10 + (c.unicode() - u'0');
        }
        if (!digits || v > 255) {
            setError(error, QStringLiteral("raw byte %1 (\"%2\") is not a number from 0 to 255").arg(k + 1).arg(p));
            return std::nullopt;
        }
        out.append(static_cast<char>(v));
    }
    return out;
}

QString rawText(const QByteArray &bytes)
{
    QString s;
    s.reserve(bytes.size() * 4);
    for (int i = 0; i < bytes.size(); ++i) {
        if (i)
            s += QLatin1Char('\t');
        s += QString::number(static_cast<unsigned char>(bytes.at(i)));
    }
    return s;
}

std::optional<FieldLayout> fieldLayout(const FieldPlace &place, int elementLength, int cpLength, QString *error)
{
    FieldLayout l;
    if (place.bytePos <= 0) {
        l.first = 0;
        l.count = elementLength;
    } else {
        l.first = place.bytePos - 1;
        l.count = place.byteLength;
    }
    // The same w on reading and writing, for whole and partial fields alike,
    // so that what is written reads back as the same number.
    l.valueBytes = (place.usedBytes > 0 && place.usedBytes < l.count) ? place.usedBytes : l.count;
    if (l.count <= 0 || l.count > 8 || l.first + l.count > cpLength) {
        setError(error, QStringLiteral("field at byte %1, %2 bytes, does not fit in a CP of %3 bytes")
                            .arg(l.first + 1)
                            .arg(l.count)
                            .arg(cpLength));
        return std::nullopt;
    }
    return l;
}

bool fieldCoversCp(const FieldPlace &place, int elementLength, int cpLength)
{
    const auto l = fieldLayout(place, elementLength, cpLength);
    return l && l->first == 0 && l->count == cpLength;
}

std::optional<QByteArray> encodeInteger(qint64 value, int bytes, bool isSigned, QString *error)
{
    if (bytes <= 0 || bytes > 8) {
        setError(error, QStringLiteral("a field of %1 bytes cannot hold a number").arg(bytes));
        return std::nullopt;
    }
    const int bits = 8 * bytes;
    if (bits < 64) {
        const qint64 lo = isSigned ? -(qint64(1) << (bits - 1)) : 0;
        const qint64 hi = isSigned ? (qint64(1) << (bits - 1)) - 1 : (qint64(1) << bits) - 1;
        if (value < lo || value > hi) {
            setError(error, QStringLiteral("%1 does not fit in %2 %3 byte(s) (%4 to %5)")
                                .arg(value)
                                .arg(isSigned ? QStringLiteral("signed") : QStringLiteral("unsigned"))
                                .arg(bytes)
                                .arg(lo)
                                .arg(hi));
            return std::nullopt;
        }
    } else if (!isSigned && value < 0) {
        setError(error, QStringLiteral("%1 does not fit in an unsigned field").arg(value));
        return std::nullopt;
    }
    quint64 u = static_cast<quint64>(value); // two's complement for negative values
    QByteArray out(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = static_cast<char>(u & 0xFF);
        u >>= 8;
    }
    return out;
}

qint64 decodeInteger(const QByteArray &bytes, bool isSigned)
{
    quint64 u = 0;
    for (char c : bytes)
        u = (u << 8) | static_cast<unsigned char>(c);
    const int bits = 8 * bytes.size();
    if (isSigned && bits > 0 && bits < 64 && (u >> (bits - 1)) != 0)
        return static_cast<qint64>(u) - (qint64(1) << bits);
    return static_cast<qint64>(u);
}

std::optional<qint64> readField(const QByteArray &cp, const FieldPlace &place, int elementLength, QString *error)
{
    const auto l = fieldLayout(place, elementLength, cp.size(), error);
    if (!l)
        return std::nullopt;
    return decodeInteger(cp.mid(l->first, l->valueBytes), place.isSigned);
}

std::optional<QByteArray> writeField(const QByteArray &cp, const FieldPlace &place, int elementLength, qint64 value,
                                     QString *error)
{
    const auto l = fieldLayout(place, elementLength, cp.size(), error);
    if (!l)
        return std::nullopt;
    const auto enc = encodeInteger(value, l->valueBytes, place.isSigned, error);
    if (!enc)
        return std::nullopt;
    QByteArray out = cp;
    for (int i = 0; i < l->count; ++i)
        out[l->first + i] = i < enc->size() ? enc->at(i) : '\0';
    return out;
}

QString asciiFromBytes(const QByteArray &bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
}

QByteArray asciiToBytes(const QString &text, int length)
{
    QByteArray out(qMax(0, length), '\0');
    for (int i = 0; i < out.size() && i < text.size(); ++i) {
        const ushort c = text.at(i).unicode();
        out[i] = static_cast<char>(c <= 0xFF ? c : '?');
    }
    return out;
}

} // namespace params
