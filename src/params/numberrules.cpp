#include "numberrules.h"

namespace params {

ResolutionInfo resolutionInfo(int resolution)
{
    struct Row
    {
        qint64 stepM;
        int stepS;
        int decimals;
        int k;
        int n;
    };
    static const Row rows[] = {
        {50, 0, 0, 0, 0},  // RES_50: round(y / 50) * 50
        {1, 0, 0, 1, -1},  // RES_1: no rounding, the format rounds
        {5, 1, 1, 2, 0},   // RES_0_5: round(2y) / 2
        {2, 1, 1, 5, 0},   // RES_0_2: round(5y) / 5
        {1, 1, 1, 1, 1},   // RES_0_1: round(y, 1)
        {5, 2, 2, 2, 1},   // RES_0_0_5
        {2, 2, 2, 5, 1},   // RES_0_0_2
        {1, 2, 2, 1, 2},   // RES_0_0_1
        {5, 3, 3, 2, 2},   // RES_0_0_0_5
        {2, 3, 3, 5, 2},   // RES_0_0_0_2
        {1, 3, 3, 1, 3},   // RES_0_0_0_1
    };
    ResolutionInfo info;
    if (resolution < RES_50 || resolution > RES_0_0_0_1)
        return info;
    const Row &r = rows[resolution];
    info.known = true;
    info.step = Dec::make(r.stepM, r.stepS);
    info.decimals = r.decimals;
    info.k = r.k;
    info.n = r.n;
    return info;
}

int resolutionForStep(const Dec &step)
{
    for (int r = RES_50; r <= RES_0_0_0_1; ++r) {
        if (resolutionInfo(r).step == step)
            return r;
    }
    return -1;
}

Dec roundToResolution(const Dec &y, int resolution)
{
    const ResolutionInfo info = resolutionInfo(resolution);
    if (!info.known || info.n < 0)
        return y;
    if (info.k == 0) // y / 50 == 2y / 100
        return y.mulInt(2).divPow10(2).roundHalfEven(0).mulInt(50);
    const Dec rounded = y.mulInt(info.k).roundHalfEven(info.n);
    if (info.k == 1)
        return rounded;
    // x / k == x * (10 / k) / 10 for k = 2 and 5: exact.
    return rounded.mulInt(10 / info.k).divPow10(1);
}

QString formatForResolution(const Dec &y, int resolution)
{
    const ResolutionInfo info = resolutionInfo(resolution);
    if (!info.known)
        return y.toPlain();
    return y.toFixed(info.decimals);
}

QString unitMnemonicFor(int unit)
{
    switch (unit) {
    case UNIT_Centimetres:
        return QStringLiteral("cm");
    case UNIT_Degrees:
        return QString(QChar(0x00B0));
    case UNIT_DegreesCelsius:
        return QString(QChar(0x00B0)) + QLatin1Char('C');
    case UNIT_Kelvin:
        return QStringLiteral("K");
    case UNIT_Lux:
        return QStringLiteral("Lux");
    case UNIT_Metres:
        return QStringLiteral("m");
    case UNIT_MetresPerSecond:
        return QStringLiteral("m/s");
    case UNIT_Millimetres:
        return QStringLiteral("mm");
    case UNIT_Millisecond:
        return QStringLiteral("ms");
    case UNIT_Minute:
        return QStringLiteral("min");
    case UNIT_Percent:
        return QStringLiteral("%");
    case UNIT_Second:
        return QStringLiteral("s");
    default:
        return QString();
    }
}

SnvtPreset snvtPreset(int snvtType)
{
    auto p = [](qint32 factor, int res, float lo, float hi, int unit) {
        SnvtPreset s;
        s.known = true;
        s.factor = factor;
        s.resolution = res;
        s.rangeMin = lo;
        s.rangeMax = hi;
        s.unit = unit;
        return s;
    };
    switch (snvtType) {
    case SNVT_unsigned:
        return p(1, RES_1, 0.0f, 65535.0f, UNIT_No);
    case SNVT_angle_deg:
        return p(50, RES_0_0_2, -359.9f, 360.0f, UNIT_Degrees);
    case SNVT_lev_cont:
        return p(2, RES_0_5, 0.0f, 100.0f, UNIT_Percent);
    case SNVT_lev_percent:
        return p(200, RES_0_0_5, -163.84f, 163.83f, UNIT_Percent);
    case SNVT_lux:
        return p(1, RES_1, 0.0f, 65535.0f, UNIT_Lux);
    case SNVT_speed:
        return p(10, RES_0_1, 0.0f, 6553.5f, UNIT_MetresPerSecond);
    case SNVT_speed_mil:
        return p(1000, RES_0_0_0_1, 0.0f, 65.535f, UNIT_MetresPerSecond);
    case SNVT_switch_Value:
        return p(2, RES_0_5, 0.0f, 100.0f, UNIT_Percent);
    case SNVT_temp_p:
        return p(100, RES_0_0_1, -273.17f, 327.67f, UNIT_DegreesCelsius);
    case SNVT_time_min:
        return p(1, RES_1, 0.0f, 65535.0f, UNIT_Minute);
    case SNVT_time_sec:
        return p(10, RES_0_1, 0.0f, 6553.5f, UNIT_Second);
    default:
        return SnvtPreset();
    }
}

int filterKey(int keyMode, int keyAscii)
{
    if (keyMode == KA_All || keyMode == KA_UserDef || keyMode < KA_Numbers || keyMode > KA_UserDef)
        return keyAscii;
    if (keyAscii >= 0 && keyAscii < 32)
        return keyAscii;
    if (keyAscii >= '0' && keyAscii <= '9')
        return keyAscii;
    const bool withMinus = keyMode == KA_NumbersNeg || keyMode == KA_NumbersFloatNeg;
    const bool withPoint = keyMode == KA_NumbersFloat || keyMode == KA_NumbersFloatNeg;
    if (withMinus && keyAscii == '-')
        return keyAscii;
    if (withPoint && (keyAscii == '.' || keyAscii == ','))
        return '.';
    return 0;
}

int keyModeFor(int resolution, const Dec &rangeMin, const Dec &rangeMax)
{
    const bool nonNegative = !rangeMin.isNegative() && !rangeMax.isNegative();
    if (resolution == RES_50 || resolution == RES_1)
        return nonNegative ? KA_Numbers : KA_NumbersNeg;
    return nonNegative ? KA_NumbersFloat : KA_NumbersFloatNeg;
}

QString normaliseNumberText(const QString &text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    return t;
}

QString entryProblem(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QStringLiteral("empty");
    const int points = t.count(QLatin1Char('.'));
    const int commas = t.count(QLatin1Char(','));
    if (points > 0 && commas > 0)
        return QStringLiteral("both decimal separators");
    if (points + commas > 1)
        return QStringLiteral("several decimal separators");
    for (int i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c.isDigit() && c.unicode() < 128)
            continue;
        if (c == QLatin1Char('.') || c == QLatin1Char(','))
            continue;
        if (i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')))
            continue;
        return QStringLiteral("not a number");
    }
    if (t == QLatin1String("-") || t == QLatin1String("+") || t == QLatin1String(".") || t == QLatin1String(","))
        return QStringLiteral("not a number");
    return QString();
}

} // namespace params
