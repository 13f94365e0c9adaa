// The database connection and the structure of one network file, shared by
// every open of that network in this process: a program that opens the same
// network again (another session, another object server) reuses the
// connection and what was read, instead of checking and reading the file
// once more.
//
// At open only the subsystems and the devices are read. A device's LonMark
// objects, CPs and NVs are read the first time anything asks for them, so
// that opening a network of a thousand controllers to work on a few costs
// what those few need.
//
// When another program changed the structure (a device added or moved, see
// kStructureSerialSetting), the next open in this process reads it again.
#pragma once

#include "networkdb.h"

#include <QHash>
#include <QString>
#include <QVector>

#include <memory>
#include <unordered_map>

namespace lnssim {

class NetworkStore
{
public:
    struct DeviceStructure
    {
        QVector<LonMarkObjectRow> lonMarkObjects;
        QVector<CpRow> cps;
        QVector<NvRow> nvs;
    };

    // The store of the file at path: the one this process has open already,
    // else a new one (the file is probed read-only first, then opened and
    // upgraded to the current schema). Throws lns::LnsError.
    static std::shared_ptr<NetworkStore> acquire(const QString &path);
    // The same for a network on a database server.
    static std::shared_ptr<NetworkStore> acquire(const DatabaseLocation &location);
    // How many times a network file was opened by acquire() in this process.
    static int opensInProcess();

    ~NetworkStore();
    NetworkStore(const NetworkStore &) = delete;
    NetworkStore &operator=(const NetworkStore &) = delete;

    NetworkDb &db() { return m_db; }

    const QVector<SubsystemRow> &subsystems() const { return m_subsystems; }
    const QVector<DeviceRow> &devices() const { return m_devices; }
    const DeviceRow *device(int id) const;
    // Read from the database on first use; the references stay valid until
    // the structure is read again (a later acquire() after another program
    // changed it).
    DeviceStructure &structureOf(int deviceId);
    bool structureLoaded(int deviceId) const { return m_structure.count(deviceId) != 0; }
    int loadedDevices() const { return int(m_structure.size()); }

private:
    NetworkStore() = default;
    void readTop();
    // Reads the structure again when its serial in the file has changed.
    void refreshIfChanged();

    NetworkDb m_db;
    QString m_serial;
    QVector<SubsystemRow> m_subsystems;
    QVector<DeviceRow> m_devices;
    QHash<int, int> m_deviceAt; // device id -> position in m_devices
    // A node-based map: the rows keep their addresses while others are added.
    std::unordered_map<int, DeviceStructure> m_structure;
};

} // namespace lnssim
