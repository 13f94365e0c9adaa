#include "networkaccess.h"

#include "commands.h"
#include "session.h"

#include <lns/serverenvironment.h>

namespace cli {

namespace {

const QString kRemote = QStringLiteral("--remote");
const QString kInterface = QStringLiteral("--ni");
const QString kServer = QStringLiteral("--server");

lns::Access &access()
{
    static lns::Access current;
    return current;
}

} // namespace

const lns::Access &networkAccess()
{
    return access();
}

void setNetworkAccess(const lns::Access &a)
{
    access() = a;
}

int takeAccessOptions(QStringList *args, QString *error)
{
    lns::Access chosen;
    QString server;
    QStringList rest;
    for (int i = 0; i < args->size(); ++i) {
        const QString &a = args->at(i);
        const int eq = a.indexOf(QLatin1Char('='));
        const QString name = eq > 0 ? a.left(eq) : a;
        if (a == kRemote) {
            chosen.remote = true;
            continue;
        }
        if (name != kInterface && name != kServer) {
            rest << a;
            continue;
        }
        QString value;
        if (eq > 0) {
            value = a.mid(eq + 1);
        } else if (i + 1 < args->size()) {
            value = args->at(++i);
        }
        if (value.trimmed().isEmpty()) {
            *error = text(1703, 1, {name});
            return kUsage;
        }
        chosen.remote = true;
        if (name == kInterface)
            chosen.interfaceName = value;
        else
            server = value;
    }
    // The server given here stands for this run (and the programs it
    // starts) where the setting would otherwise be read.
    if (!server.isEmpty())
        qputenv(qPrintable(lns::kServerVariable), server.toLocal8Bit());
    *args = rest;
    setNetworkAccess(chosen);
    return kOk;
}

void openServer(const lns::ObjectServerPtr &server)
{
    lns::openServer(server, networkAccess());
}

} // namespace cli
