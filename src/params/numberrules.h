// The number rules of the text-box parameter, free of any control: display
// resolutions, unit mnemonics, value-type presets, the four numeric key
// filters and the normalisation of a typed number.
#pragma once

#include "decimal.h"
#include "paramenums.h"

#include <QString>

namespace params {

// One display resolution: its step, its fixed number of decimals and the
// rounding rule round(k * y, n) / k of an entry y.
struct ResolutionInfo
{
    bool known = false;
    Dec step;     // MinStep
    int decimals = 0; // of the display format
    int k = 1;        // 1, 2 or 5 (RES_50: 0, meaning round(y / 50) * 50)
    int n = 0;        // decimals of the rounding
};
ResolutionInfo resolutionInfo(int resolution);
// The resolution whose step equals `step`, or -1.
int resolutionForStep(const Dec &step);

// The rounding rule of a resolution (exact decimal, tie to even); a
// resolution outside the table returns y unchanged.
Dec roundToResolution(const Dec &y, int resolution);
// y in the display format of a resolution ("0", "0.0", ...; half away from
// zero); outside the table the plain form.
QString formatForResolution(const Dec &y, int resolution);

// The unit text a unit gives ("°C", "%", ...); empty for units without one.
// UNIT_UserDefined is not handled here (it keeps the current mnemonic).
QString unitMnemonicFor(int unit);

// Defaults that a value type loads (Factor, Resolution, RangeMin, RangeMax,
// Unit); `known` is false for types that set nothing.
struct SnvtPreset
{
    bool known = false;
    qint32 factor = 1;
    int resolution = RES_1;
    float rangeMin = 0;
    float rangeMax = 0;
    int unit = UNIT_No;
};
SnvtPreset snvtPreset(int snvtType);

// The key filters: the key code passes, is swallowed (0) or replaced. Control
// characters (backspace, clipboard keys) always pass. The decimal filters
// accept both separators and turn ',' into '.', the point every display of
// this program uses. Modes KA_All and KA_UserDef pass every key.
int filterKey(int keyMode, int keyAscii);

// The key mode the input limits give: integer resolutions take digits (and
// minus when a limit is negative), the others also the decimal separator.
int keyModeFor(int resolution, const Dec &rangeMin, const Dec &rangeMax);

// Number-text normalisation: blanks trimmed and ',' read as the decimal
// separator, so "21,5" and "21.5" are the same entry.
QString normaliseNumberText(const QString &text);

// What a typed text holds besides a plain number, for the trace log: empty
// when the text is one decimal number (with at most one separator and a
// leading sign), else a short reason.
QString entryProblem(const QString &text);

} // namespace params
