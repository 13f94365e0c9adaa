#include "decimal.h"

#include <QHash>

#include <cmath>
#include <cstring>

namespace params {

namespace {

using Int = Dec::Int;

Int pow10(int n)
{
    Int p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

const Int kMaxMagnitude = pow10(15);

Int absInt(Int v)
{
    return v < 0 ? -v : v;
}

// Integer quotient of m / d (d > 0) rounded to a whole number; a tie goes to
// the even neighbour or away from zero.
Int roundedDiv(Int m, Int d, bool halfEven)
{
    Int q = m / d;
    const Int rem = absInt(m % d);
    const Int sign = m < 0 ? -1 : 1;
    if (rem * 2 > d)
        q += sign;
    else if (rem * 2 == d && (!halfEven || (q % 2) != 0))
        q += sign;
    return q;
}

QString digitsOf(Int v)
{
    if (v == 0)
        return QStringLiteral("0");
    QString s;
    while (v > 0) {
        s.prepend(QChar(u'0' + static_cast<int>(v % 10)));
        v /= 10;
    }
    return s;
}

// Text with an optional exponent ("1e+06", "2.5E-3") as produced by
// QString::number in 'g' form.
Dec parseScientific(const QString &text)
{
    const int e = text.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
    if (e < 0)
        return Dec::parseLeading(text);
    const Dec mantissa = Dec::parseLeading(text.left(e));
    const int exponent = text.mid(e + 1).toInt();
    if (exponent >= 0) {
        Dec r = mantissa;
        for (int i = 0; i < exponent && i < 20; ++i)
            r = r.mulInt(10);
        return r;
    }
    // Negative exponent: the point moves left, the mantissa stays (a
    // shortest float text has at most nine digits, so it fits).
    return Dec::make(static_cast<qint64>(mantissa.mantissa()), mantissa.scale() - exponent);
}

} // namespace

void Dec::normalise()
{
    if (m_s > kMaxScale) {
        const Int d = pow10(m_s - kMaxScale);
        Int q = m_m / d;
        if (m_m % d != 0 && q % 10 == 0)
            q += m_m < 0 ? -1 : 1; // sticky: keeps "above the tie" visible
        m_m = q;
        m_s = kMaxScale;
    }
    while (m_s > 0 && m_m % 10 == 0) {
        m_m /= 10;
        --m_s;
    }
    if (m_m == 0)
        m_s = 0;
}

Dec::Int Dec::aligned(int scale) const
{
    return m_m * pow10(scale - m_s);
}

Dec Dec::parseLeading(const QString &text, ParseInfo *info)
{
    ParseInfo local;
    ParseInfo &pi = info ? *info : local;
    pi = ParseInfo();
    int i = 0;
    const int n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    auto isDigit = [&](int k) { return k < n && text.at(k) >= QLatin1Char('0') && text.at(k) <= QLatin1Char('9'); };
    Int whole = 0;
    bool digits = false;
    while (isDigit(i)) {
        digits = true;
        if (whole <= kMaxMagnitude)
            whole = whole * 10 + (text.at(i).unicode() - u'0');
        ++i;
    }
    if (whole > kMaxMagnitude) {
        whole = kMaxMagnitude;
        pi.saturated = true;
    }
    Int frac = 0;
    int fracDigits = 0;
    bool sticky = false;
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigit(i)) {
            digits = true;
            const int d = text.at(i).unicode() - u'0';
            if (fracDigits < 12) {
                frac = frac * 10 + d;
                ++fracDigits;
            } else if (d != 0) {
                sticky = true;
            }
            ++i;
        }
    }
    if (!digits)
        return Dec();
    pi.hasNumber = true;
    int j = i;
    while (j < n && text.at(j).isSpace())
        ++j;
    pi.wholeText = j == n;
    if (pi.saturated) {
        frac = 0;
        fracDigits = 0;
        sticky = false;
    }
    Int m = whole * pow10(fracDigits) + frac;
    int s = fracDigits;
    if (sticky) {
        m = m * 10 + 1;
        ++s;
    }
    return Dec(negative ? -m : m, s);
}

namespace {

// The shortest decimal that reads back as f.
Dec shortestDecimal(float f)
{
    for (int p = 1; p <= 9; ++p) {
        const QString t = QString::number(static_cast<double>(f), 'g', p);
        if (t.toFloat() == f)
            return parseScientific(t);
    }
    return parseScientific(QString::number(static_cast<double>(f), 'g', 9));
}

} // namespace

Dec Dec::fromFloat(float f)
{
    if (!std::isfinite(f))
        return Dec();
    // The search converts up to nine times to text and back; a controller's
    // parameters ask for the same few range limits again and again (every
    // text box of a value type, every session), so each number's result is
    // kept.
    quint32 bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    thread_local QHash<quint32, Dec> known;
    const auto at = known.constFind(bits);
    if (at != known.constEnd())
        return *at;
    const Dec d = shortestDecimal(f);
    known.insert(bits, d);
    return d;
}

Dec Dec::fromRatio(qint64 num, qint64 den)
{
    if (den == 0)
        return Dec();
    Int n = num;
    Int d = den;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    const bool negative = n < 0;
    n = absInt(n) * pow10(12);
    Int q = n / d;
    int s = 12;
    if (n % d != 0) {
        q = q * 10 + 1;
        s = 13;
    }
    return Dec(negative ? -q : q, s);
}

double Dec::toDouble() const
{
    return toPlain().toDouble();
}

QString Dec::toPlain() const
{
    QString digits = digitsOf(absInt(m_m));
    if (m_s > 0) {
        while (digits.size() <= m_s)
            digits.prepend(QLatin1Char('0'));
        digits.insert(digits.size() - m_s, QLatin1Char('.'));
    }
    return m_m < 0 ? QLatin1Char('-') + digits : digits;
}

QString Dec::toFixed(int decimals) const
{
    const Dec r = roundHalfAway(decimals);
    QString digits = digitsOf(absInt(r.aligned(decimals)));
    if (decimals > 0) {
        while (digits.size() <= decimals)
            digits.prepend(QLatin1Char('0'));
        digits.insert(digits.size() - decimals, QLatin1Char('.'));
    }
    return r.m_m < 0 ? QLatin1Char('-') + digits : digits;
}

int Dec::compare(const Dec &o) const
{
    const int s = qMax(m_s, o.m_s);
    const Int a = aligned(s);
    const Int b = o.aligned(s);
    return a < b ? -1 : (a > b ? 1 : 0);
}

Dec Dec::operator+(const Dec &o) const
{
    const int s = qMax(m_s, o.m_s);
    return Dec(aligned(s) + o.aligned(s), s);
}

Dec Dec::operator-(const Dec &o) const
{
    return *this + (-o);
}

Dec Dec::operator-() const
{
    return Dec(-m_m, m_s);
}

Dec Dec::mulInt(qint64 k) const
{
    return Dec(m_m * k, m_s);
}

Dec Dec::roundHalfEven(int decimals) const
{
    if (m_s <= decimals)
        return *this;
    return Dec(roundedDiv(m_m, pow10(m_s - decimals), true), decimals);
}

Dec Dec::roundHalfAway(int decimals) const
{
    if (m_s <= decimals)
        return *this;
    return Dec(roundedDiv(m_m, pow10(m_s - decimals), false), decimals);
}

qint64 Dec::toIntHalfEven(qint64 lo, qint64 hi, bool *saturated) const
{
    const Int v = roundHalfEven(0).m_m;
    bool sat = false;
    qint64 r;
    if (v < lo) {
        r = lo;
        sat = true;
    } else if (v > hi) {
        r = hi;
        sat = true;
    } else {
        r = static_cast<qint64>(v);
    }
    if (saturated)
        *saturated = sat;
    return r;
}

} // namespace params
