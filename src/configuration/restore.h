// Taking writes back from the record of writes: which CP bytes a controller
// held before a run of a program wrote to it (or before every write since a
// time), and loading them into the configuration's parameters so that the
// normal write sends them, with the page logic and the checks.
#pragma once

#include <lns/writehistory.h>

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QVector>

namespace configuration {

class cConfiguration;

// What a restore writes back: per CP (in the order they were first
// written) the bytes it held before.
struct RestorePlan
{
    QStringList cps;
    QHash<QString, QByteArray> bytes;

    bool isEmpty() const { return cps.isEmpty(); }
};

// The CP writes a restore takes back from `records` (newest first): every
// one when `all`, else those of the run of the newest record (records kept
// before runs were named: the newest records that share user, host, tool and
// command line). A record that did not change the bytes, or that created
// the CP, leaves nothing to restore.
QVector<lns::WriteRecord> writesToUndo(const QVector<lns::WriteRecord> &records, bool all);
// The run of `record` within `records` (newest first).
QVector<lns::WriteRecord> runOf(const QVector<lns::WriteRecord> &records, const lns::WriteRecord &record);
// The restorable writes of the transaction of `record`: one write of the
// window, which the history window's Restore takes back for a selected row
// (a window run writes many times; each write is one transaction).
QVector<lns::WriteRecord> transactionOf(const QVector<lns::WriteRecord> &records, const lns::WriteRecord &record);
// The CPs of `plan` that hold other bytes than `held` (by CP name); CPs not
// in `held` go to `*notHeld` instead (what no parameter holds, or what the
// start could not read).
RestorePlan changesAgainst(const RestorePlan &plan, const QHash<QString, QByteArray> &held, QStringList *notHeld);
// The bytes each CP held before the first of `writes` (newest first).
RestorePlan planOf(const QVector<lns::WriteRecord> &writes);

// Loads the CPs of `plan` into the parameters as values are loaded (the
// other CPs keep `held`, the bytes the device holds, by CP name); the page
// logic then runs as after a file load and the window marks the parameters
// changed. The device is not asked.
void loadRestore(cConfiguration &c, const RestorePlan &plan, const QHash<QString, QByteArray> &held);

} // namespace configuration
