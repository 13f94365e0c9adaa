// The commands the harness runs and what a fault-free run of each leaves
// behind. One changed parameter file per device template (read from the
// first reachable controller of that template, a few timings and setpoints
// changed), a write of that file to any controller of the template, a copy
// of it to several controllers of the template. References are computed on
// first use, each from the pristine network, and kept for the test's life.
#pragma once

#include "harness.h"

#include <QHash>
#include <QStringList>

namespace harness {

class Scenarios
{
public:
    explicit Scenarios(NetworkBed &bed);

    // Empty when every parameter file could be made, else why not.
    QString prepare();

    QStringList rooms() const { return m_rooms; }
    // Rooms of the template of `room`, `room` included, in network order.
    QStringList sameTemplate(const QString &room) const;
    QString fileFor(const QString &room) const { return m_files.value(m_bed.templateOf(room)); }
    // CP names of a room, for the CP faults.
    QStringList cpNames(const QString &room) const;

    QStringList writeArgs(const QString &room) const;
    QStringList copyArgs(const QStringList &rooms, const QString &resultFile) const;

    // The network after a fault-free write to `room`, and how long it took.
    const NetworkImage &writeReference(const QString &room, qint64 *millis = nullptr);
    // The network after a fault-free copy: each target as a copy to it
    // alone leaves it, every other device as before.
    NetworkImage copyReference(const QStringList &rooms, qint64 *millis = nullptr);

private:
    struct Reference
    {
        NetworkImage image;
        qint64 millis = 0;
    };
    NetworkBed &m_bed;
    QStringList m_rooms;
    QHash<QString, QString> m_files; // by template
    QHash<QString, Reference> m_writes;
    QHash<QString, Reference> m_copies;
};

} // namespace harness
