// The network database's record of writes (see lns/writehistory.h): a table
// of its own with its own schema version, written inside the transaction of
// the write it records.
#pragma once

#include "networkdb.h"

#include <lns/writehistory.h>

#include <optional>

namespace lnssim {

inline const QString kHistoryComponent = QStringLiteral("aerolis-write-history");
// 1: the first record; 2: each record names the run of the program that
// made it; 3: and the database user (on a server) who wrote it.
constexpr int kHistoryVersion = 3;

// One write as the session notes it before the transaction commits.
struct NotedWrite
{
    QString device;
    QString object;
    lns::WriteKind kind = lns::WriteKind::Cp;
    QString item;
    QByteArray before;
    QByteArray after;
    lns::WriteOutcome outcome = lns::WriteOutcome::DeviceAndDatabase;
};

namespace writehistory {

// Creates the table in a database that has none (a network made before the
// record existed gets it on its first open) and upgrades an older one. Throws ErrDatabase for a record
// of a newer version than this server's.
void ensureSchema(NetworkDb &db);
// Stores the writes of one transaction under one transaction number, in one
// statement per 500 writes, inside the caller's database transaction.
void append(NetworkDb &db, const QVector<NotedWrite> &writes, const lns::WriteOrigin &origin, const QDateTime &time);
// Newest first. `devices`: the device paths to show (empty: every record);
// a path also stands for the devices below it (a subsystem, the network).
QVector<lns::WriteRecord> select(NetworkDb &db, const QStringList &devices, const QDateTime &since, int limit);
// Number of records.
qint64 count(NetworkDb &db);
// The id of the newest record (0 when there is none): a session notes it
// when it reads a CP, so that a later change of that CP is told apart.
qint64 lastId(NetworkDb &db);
// The newest record of CP `cp` of `device` (network.subsystem path.device)
// made after record `afterId`, if any.
std::optional<lns::WriteRecord> lastCpChangeAfter(NetworkDb &db, const QString &device, const QString &cp, qint64 afterId);

} // namespace writehistory
} // namespace lnssim
