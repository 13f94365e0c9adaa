#include "textvalue.h"

#include <limits>

namespace params {

void TextValue::setUnit(int unit)
{
    m_unit = unit;
    if (unit != UNIT_UserDefined)
        m_mnemonic = unitMnemonicFor(unit);
}

void TextValue::setUnitMnemonic(const QString &text)
{
    m_mnemonic = text;
    m_unit = UNIT_UserDefined;
}

void TextValue::setSnvtType(int type)
{
    m_snvtType = type;
    const SnvtPreset p = snvtPreset(type);
    if (!p.known)
        return;
    setFactor(p.factor);
    setResolution(p.resolution);
    setRangeMin(Dec::fromFloat(p.rangeMin));
    setRangeMax(Dec::fromFloat(p.rangeMax));
    setUnit(p.unit);
}

Dec TextValue::displayNumber() const
{
    return Dec::fromRatio(m_value, effectiveFactor());
}

qint32 TextValue::valueForNumber(const Dec &x) const
{
    return static_cast<qint32>(x.mulInt(effectiveFactor())
                                   .toIntHalfEven(std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

Dec TextValue::minStep() const
{
    const ResolutionInfo info = resolutionInfo(m_resolution);
    return info.known ? info.step : Dec();
}

QString TextValue::displayText() const
{
    const Dec d = displayNumber();
    QString text = formatForResolution(d, m_resolution);
    if (!resolutionInfo(m_resolution).known)
        return text;
    const Dec shown = Dec::parseLeading(normaliseNumberText(text));
    if (d > m_tbMax && shown == m_tbMax)
        text = (m_tbMax + minStep()).toPlain();
    else if (d < m_tbMin && shown == m_tbMin)
        text = (m_tbMin - minStep()).toPlain();
    return text;
}

bool TextValue::outsideRange() const
{
    const Dec d = displayNumber();
    return d > m_rangeMax || d < m_rangeMin;
}

Dec TextValue::numberOfTypedText(const QString &text) const
{
    return Dec::parseLeading(normaliseNumberText(text));
}

TextValue::Check TextValue::roundingCheck(const QString &text) const
{
    Check c;
    const bool integer = m_resolution == RES_50 || m_resolution == RES_1;
    c.entered = integer ? Dec::parseLeading(text) : Dec::parseLeading(normaliseNumberText(text));
    Dec y = c.entered;
    if (y > m_tbMax) {
        c.clamp = 1;
        c.limit = m_tbMax;
        y = m_tbMax;
    } else if (y < m_tbMin) {
        c.clamp = -1;
        c.limit = m_tbMin;
        y = m_tbMin;
    }
    c.rewrites = resolutionInfo(m_resolution).known;
    c.rounded = c.rewrites ? roundToResolution(y, m_resolution) : y;
    c.text = c.rewrites ? formatForResolution(c.rounded, m_resolution) : text;
    return c;
}

int TextValue::maxLength() const
{
    if (!resolutionInfo(m_resolution).known)
        return qMax(m_rangeMin.toPlain().size(), m_rangeMax.toPlain().size());
    return qMax(formatForResolution(m_rangeMin, m_resolution).size(),
                formatForResolution(m_rangeMax, m_resolution).size());
}

qint64 TextValue::fieldValue() const
{
    const Dec r = Dec::fromInt(m_value) - m_offset.mulInt(effectiveFactor());
    return r.toIntHalfEven(std::numeric_limits<qint64>::min() / 2, std::numeric_limits<qint64>::max() / 2);
}

qint32 TextValue::valueForField(qint64 r) const
{
    const Dec v = m_offset.mulInt(effectiveFactor()) + Dec::fromInt(r);
    return static_cast<qint32>(
        v.toIntHalfEven(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

} // namespace params
