// CP bytes and the fields inside them.
//
// A CP travels as its "RAW" text: the bytes as decimal numbers 0 to 255
// separated by one TAB, first byte first. A parameter owns a field of those
// bytes: the whole CP, or `byteLength` bytes from `bytePos` (1-based). Field
// values are integers, most significant byte first, unsigned or two's
// complement.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace params {

// Strict parse of a raw text: exactly `expectedBytes` pieces (any count when
// negative), each 1 to 3 decimal digits with a value 0..255, no blanks, no
// signs, no empty pieces. On failure *error says why and nothing is returned.
std::optional<QByteArray> parseRawText(const QString &text, int expectedBytes, QString *error = nullptr);
QString rawText(const QByteArray &bytes);

// Where a field lies in its CP.
struct FieldPlace
{
    int bytePos = 0;    // 1-based first byte; 0: the field starts the CP and spans one element
    int byteLength = 0; // bytes of a partial field (bytePos > 0)
    int usedBytes = 0;  // leading bytes that carry the value (0: all)
    bool isSigned = false;
};

// The byte range [first, first + count) (0-based) a field covers in a CP of
// `cpLength` bytes whose elements are `elementLength` bytes long, and the
// number of leading bytes w that carry the value. False when the field does
// not fit in the CP.
struct FieldLayout
{
    int first = 0;
    int count = 0;   // n: bytes the field covers
    int valueBytes = 0; // w: bytes the value occupies (the rest is written as 0)
};
std::optional<FieldLayout> fieldLayout(const FieldPlace &place, int elementLength, int cpLength, QString *error = nullptr);

// Integer to w bytes (most significant first). Refuses a value that the
// field cannot hold: a negative value in an unsigned field, or one outside
// the w-byte range; writing it would put a different number on the device.
std::optional<QByteArray> encodeInteger(qint64 value, int bytes, bool isSigned, QString *error = nullptr);
// w bytes (most significant first) to an integer, two's complement when signed.
qint64 decodeInteger(const QByteArray &bytes, bool isSigned);

// The field of `cp` as an integer.
std::optional<qint64> readField(const QByteArray &cp, const FieldPlace &place, int elementLength, QString *error = nullptr);
// `cp` with the field set to `value`; the value occupies the leading w bytes
// of the field and the rest of the field becomes 0; other bytes are kept.
std::optional<QByteArray> writeField(const QByteArray &cp, const FieldPlace &place, int elementLength, qint64 value,
                                     QString *error = nullptr);
// True when the field covers every byte of the CP (no current bytes needed).
bool fieldCoversCp(const FieldPlace &place, int elementLength, int cpLength);

// Text of a byte run: one character per byte (Latin-1) up to the first 0.
QString asciiFromBytes(const QByteArray &bytes);
// `length` bytes of a text: one byte per character (characters outside
// Latin-1 become '?'), cut at `length`, filled with 0.
QByteArray asciiToBytes(const QString &text, int length);

} // namespace params
