// Copying a whole network between the two engines: a local network file
// exported to a database server, and a server's network imported back into
// a file. Every table comes across row for row, the bytes of CPs, NVs and the
// record of writes unchanged, ids included. The copy is built under a
// temporary name and put in place when complete, so that a failure leaves
// the target as it was.
#pragma once

#include "dbengine.h"

namespace lnssim {

struct CopyResult
{
    int tables = 0;
    qint64 rows = 0;
};

// Copies network `name` from `from` to `to`. Throws lns::LnsError when the
// source cannot be opened, the target holds the network already (unless
// `replace`), or a row cannot be written.
CopyResult copyNetwork(const NetworkHome &from, const NetworkHome &to, const QString &name, bool replace);

} // namespace lnssim
