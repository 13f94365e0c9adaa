// What copying this parameter set into another LonMark object writes: the
// distinct CPs in the order the copy first writes them, with their sizes and
// whether a field of the CP is merged into the target's bytes (which the
// collection then reads from the target once before writing).
#pragma once

#include "multidevicesearch.h"

#include <QSet>

namespace params {

class cParams;

QVector<CopiedCp> copiedCps(const cParams &params);

// The CPs (LNS names) whose every byte some field of the set writes: the
// set alone makes their bytes, so copying it into another object needs none
// of that object's bytes for them (no merge read).
QSet<QString> cpsCoveredBySet(const cParams &params);

} // namespace params
