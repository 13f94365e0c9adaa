// Exact decimal numbers for the value conversions.
//
// A user's entry, a range limit and a displayed value are decimal texts; a
// binary float cannot hold 0.15 or 20.05 exactly, so a tie such as 2 x 20.25
// or 0.15 rounded to one decimal would fall on either side by accident. Every
// conversion between text, engineering value and CP integer is therefore done
// on a decimal mantissa with a power-of-ten scale.
//
// Limits: magnitudes up to 10^15 (larger entries saturate there, far beyond
// any range a parameter has) and 12 decimals; further non-zero digits leave a
// "sticky" 13th decimal so that a value just above a tie never rounds like
// the tie itself.
#pragma once

#include <QString>
#include <QtGlobal>

namespace params {

class Dec
{
public:
    using Int = __int128;
    static constexpr int kMaxScale = 13;

    Dec() = default;
    static Dec fromInt(qint64 v) { return Dec(v, 0); }
    // mantissa / 10^scale
    static Dec make(qint64 mantissa, int scale) { return Dec(mantissa, scale); }

    struct ParseInfo
    {
        bool hasNumber = false;  // digits were found at the start
        bool wholeText = false;  // nothing but blanks follows the number
        bool saturated = false;  // the number was larger than the supported magnitude
    };
    // The leading-number rule on text that uses '.' as its decimal point:
    // leading blanks, an optional sign, digits, an optional point and digits;
    // anything after that is ignored; no digits give 0.
    static Dec parseLeading(const QString &text, ParseInfo *info = nullptr);
    // The shortest decimal that reads back as the same single-precision
    // number: range fields are single precision, and 327.67f is meant as
    // 327.67, not as 327.670013427734375.
    static Dec fromFloat(float f);
    static Dec fromDouble(double d) { return fromFloat(static_cast<float>(d)); }
    // num / den to 12 decimals (exact when den has no prime factors but 2
    // and 5, as every factor of the value types has), sticky beyond.
    static Dec fromRatio(qint64 num, qint64 den);

    double toDouble() const;
    // Shortest plain form: "0.5", "-273.17", "50" ('.' as the point, no
    // exponent, no trailing zeros).
    QString toPlain() const;
    // Fixed number of decimals, rounded half away from zero (the display
    // formats "0", "0.0", "0.00", "0.000"); never "-0.0".
    QString toFixed(int decimals) const;

    int compare(const Dec &o) const;
    bool operator<(const Dec &o) const { return compare(o) < 0; }
    bool operator>(const Dec &o) const { return compare(o) > 0; }
    bool operator<=(const Dec &o) const { return compare(o) <= 0; }
    bool operator>=(const Dec &o) const { return compare(o) >= 0; }
    bool operator==(const Dec &o) const { return compare(o) == 0; }
    bool operator!=(const Dec &o) const { return compare(o) != 0; }

    Dec operator+(const Dec &o) const;
    Dec operator-(const Dec &o) const;
    Dec operator-() const;
    Dec mulInt(qint64 k) const;
    // this / 10^n (n >= 0), exact up to the supported scale.
    Dec divPow10(int n) const { return Dec(m_m, m_s + n); }

    // Rounded to n decimals; an exact tie goes to the even neighbour.
    Dec roundHalfEven(int decimals) const;
    // Rounded to n decimals; a tie goes away from zero.
    Dec roundHalfAway(int decimals) const;
    // Rounded to a whole number (tie to even), saturated to [lo, hi].
    qint64 toIntHalfEven(qint64 lo, qint64 hi, bool *saturated = nullptr) const;

    bool isZero() const { return m_m == 0; }
    bool isNegative() const { return m_m < 0; }
    Int mantissa() const { return m_m; }
    int scale() const { return m_s; }

private:
    Dec(Int m, int s) : m_m(m), m_s(s) { normalise(); }
    void normalise();
    Int aligned(int scale) const;

    Int m_m = 0;
    int m_s = 0;
};

} // namespace params
