// How the tool reaches the networks: with local access (the network files,
// the default) or with remote access to a database server, chosen once per
// run by the options every command takes. Every place of the tool that opens
// the object server goes through openServer(), so that a command never mixes
// the two.
#pragma once

#include <lns/connector.h>

#include <QString>
#include <QStringList>

namespace cli {

// The access of this run (local until takeAccessOptions() chose another).
const lns::Access &networkAccess();
void setNetworkAccess(const lns::Access &access);

// Takes the access options out of `args`, wherever they stand:
//   --remote          remote access (access mode 1)
//   --ni NAME         the network interface name of remote access ("Internet":
//                     access mode 2, verified TLS); implies --remote
//   --server CONNSTR  the database server (a libpq connection string) for
//                     this run in place of AEROLIS_LNS_SERVER; implies --remote
// and makes them this run's access. kOk, or kUsage with a one-line message.
int takeAccessOptions(QStringList *args, QString *error);

// Opens `server` with this run's access unless it is open. Throws
// lns::LnsError.
void openServer(const lns::ObjectServerPtr &server);

} // namespace cli
