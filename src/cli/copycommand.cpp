#include "commands.h"

namespace cli {

// Not built yet: answered as a usage error until the command lands.
int copyCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    Q_UNUSED(args);
    Q_UNUSED(out);
    return usageError(err, QStringLiteral("copy: not available yet"), 7);
}

} // namespace cli
