#include "commands.h"

namespace cli {

// Not built yet: answered as a usage error until the command lands.
int reportCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    Q_UNUSED(args);
    Q_UNUSED(out);
    return usageError(err, QStringLiteral("report: not available yet"), 8);
}

} // namespace cli
