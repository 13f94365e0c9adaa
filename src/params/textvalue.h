// The numbers of a text-box parameter without its control: the scaled value,
// its factor and offset, the display resolution, the ranges, the unit, and
// every conversion between the CP integer, the value and the text.
//
//   Value = displayed number x Factor (rounded, tie to even)
//   r     = Value - OffsetCalc x Factor (rounded the same way), the CP integer
//   the CP field is signed exactly when RangeMin - OffsetCalc < 0
#pragma once

#include "decimal.h"
#include "numberrules.h"

#include <QString>

namespace params {

class TextValue
{
public:
    // All fields start at zero, as the product's do; AddTextBoxParameter
    // then loads the "unsigned" preset.
    qint32 value() const { return m_value; }
    void setValue(qint32 v) { m_value = v; }
    qint32 factor() const { return m_factor; }
    void setFactor(qint32 f) { m_factor = f; }
    Dec offset() const { return m_offset; }
    void setOffset(const Dec &o) { m_offset = o; }
    int resolution() const { return m_resolution; }
    void setResolution(int r) { m_resolution = r; }
    Dec rangeMin() const { return m_rangeMin; }
    Dec rangeMax() const { return m_rangeMax; }
    Dec textBoxRangeMin() const { return m_tbMin; }
    Dec textBoxRangeMax() const { return m_tbMax; }
    // RangeMin/RangeMax also set the text-box limit of the same side.
    void setRangeMin(const Dec &v) { m_rangeMin = v; m_tbMin = v; }
    void setRangeMax(const Dec &v) { m_rangeMax = v; m_tbMax = v; }
    void setTextBoxRangeMin(const Dec &v) { m_tbMin = v; }
    void setTextBoxRangeMax(const Dec &v) { m_tbMax = v; }
    int unit() const { return m_unit; }
    // Stores the unit and (except for UNIT_UserDefined) its mnemonic.
    void setUnit(int unit);
    QString unitMnemonic() const { return m_mnemonic; }
    // A mnemonic of the caller's: the unit becomes UNIT_UserDefined.
    void setUnitMnemonic(const QString &text);
    int snvtType() const { return m_snvtType; }
    // Stores the type and loads its preset (Factor, Resolution, RangeMin,
    // RangeMax, Unit, in this order) where it has one.
    void setSnvtType(int type);

    // Factor as used for arithmetic: a factor of 0 would divide by zero, so
    // it counts as 1 (and is reported once by the caller).
    qint32 effectiveFactor() const { return m_factor == 0 ? 1 : m_factor; }
    // Value / Factor, exact.
    Dec displayNumber() const;
    double valueCalc() const { return displayNumber().toDouble(); }
    // x x Factor, rounded (tie to even), saturated to 32 bits.
    qint32 valueForNumber(const Dec &x) const;
    Dec minStep() const;

    // The text SetTextBox shows: Value / Factor in the resolution's format; a
    // value beyond a text-box limit that would format as the limit itself is
    // shown one step further out, so it never looks like the limit.
    QString displayText() const;
    // Value / Factor outside [TextBoxRangeMin, TextBoxRangeMax] (red text).
    bool displayOutOfTextBoxRange() const { return outsideTextBoxRange(displayNumber()); }
    bool outsideTextBoxRange(const Dec &d) const { return d < m_tbMin || d > m_tbMax; }
    // Value / Factor outside [RangeMin, RangeMax].
    bool outsideRange() const;

    // What a typed text means while typing: normalised, leading number.
    Dec numberOfTypedText(const QString &text) const;

    // The rounding check on a text: parse (integer resolutions directly,
    // the others after normalisation), clamp to the text-box range, round to
    // the resolution and format.
    struct Check
    {
        Dec entered;       // y as parsed
        int clamp = 0;     // 0 in range, 1 above the maximum, -1 below the minimum
        Dec limit;         // the limit y was set to
        Dec rounded;       // the number after rounding
        QString text;      // the new text (unchanged text when the resolution is unknown)
        bool rewrites = false; // the resolution is in the table
    };
    Check roundingCheck(const QString &text) const;

    // Input limits: the longer of RangeMin and RangeMax in the resolution's
    // format, and the key mode.
    int maxLength() const;
    int keyMode() const { return keyModeFor(m_resolution, m_rangeMin, m_rangeMax); }

    // CP side.
    bool fieldSigned() const { return (m_rangeMin - m_offset).isNegative(); }
    // r = Value - OffsetCalc x Factor, rounded; saturated to 64 bits.
    qint64 fieldValue() const;
    // Value = Factor x OffsetCalc + r, rounded.
    qint32 valueForField(qint64 r) const;

private:
    qint32 m_value = 0;
    qint32 m_factor = 0;
    Dec m_offset;
    int m_resolution = 0;
    Dec m_rangeMin, m_rangeMax, m_tbMin, m_tbMax;
    int m_unit = 0;
    QString m_mnemonic;
    int m_snvtType = 0;
};

} // namespace params
