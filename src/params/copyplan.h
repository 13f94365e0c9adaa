// What copying this parameter set into another LonMark object writes: the
// distinct CPs in the order the copy first writes them, with their sizes and
// whether a field of the CP is merged into the target's bytes (which the
// collection then reads from the target once before writing).
#pragma once

#include "multidevicesearch.h"

namespace params {

class cParams;

QVector<CopiedCp> copiedCps(const cParams &params);

} // namespace params
