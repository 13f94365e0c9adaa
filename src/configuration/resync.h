// Bringing a controller and its copy in the network database in line: the
// comparison of the bytes the device holds with the database copy, CP by
// CP, and what a push (database to device) or a pull (device to database)
// changes. The tool's resync command and the window's resync dialog share
// it.
#pragma once

#include "restore.h"

#include <lns/lnsobjects.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

namespace params {
class cParams;
}

namespace configuration {

// One CP of a device as the network database holds it.
struct DatabaseCp
{
    QString name;
    QByteArray bytes;
    bool ofNv = false; // a CP of a network variable (no parameter holds one)
};

// The database copy of every CP of `device` (its own, its LonMark objects'
// and their NVs'), in the object server's order; no device transaction.
QVector<DatabaseCp> databaseCopy(const lns::AppDevicePtr &device);
QHash<QString, QByteArray> bytesByName(const QVector<DatabaseCp> &cps);

// The CPs the configuration's start reads from the device, with their
// sizes: those of the device and of its LonMark objects (the parameters
// hold no CP of a network variable).
QVector<QPair<QString, int>> parameterCpSizes(const QVector<DatabaseCp> &copy);

// The bytes the parameters know the device to hold, by CP name: as the
// start read them or the last write left them.
QHash<QString, QByteArray> heldDeviceBytes(params::cParams &p);

// Reads each CP the parameters hold from the device once; by CP name (the
// collection keeps them as what the device holds). A CP that cannot be read
// is left out and named in `*unread`.
QHash<QString, QByteArray> readDeviceBytes(params::cParams &p, QStringList *unread);

// One CP whose device bytes differ from its database copy.
struct CpDifference
{
    QString cp;
    QByteArray device;
    QByteArray database;
};

// The CPs of `copy` (in its order) whose bytes in `device` differ from the
// copy's; a CP the device bytes do not hold (not read) is not compared.
QVector<CpDifference> differences(const QVector<DatabaseCp> &copy, const QHash<QString, QByteArray> &device);

// What a push writes: the database bytes of each differing CP.
RestorePlan databaseToDevice(const QVector<CpDifference> &diffs);

// Keeps a comparison from changing the database copy: the reads of the
// device happen inside a transaction on the object server's System, and a
// read brings the database copy up to the device only when the transaction
// commits. Cancelled when dropped unless taken.
class ComparisonHold
{
public:
    ComparisonHold() = default;
    ~ComparisonHold() { release(); }
    ComparisonHold(const ComparisonHold &) = delete;
    ComparisonHold &operator=(const ComparisonHold &) = delete;

    // False (and nothing held) when the System refuses a transaction.
    bool begin(const lns::SystemPtr &system);
    bool active() const { return m_system != nullptr; }
    // The database copy takes the bytes read from the device (a pull); the
    // object server records each CP it changes. False with `error` set when
    // the commit failed (nothing changed).
    bool takeReads(QString *error);
    // Leaves the database copy as it was.
    void release();

private:
    lns::SystemPtr m_system;
};

} // namespace configuration
