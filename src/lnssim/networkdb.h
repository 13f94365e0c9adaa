// The network database of the simulated object server: one SQLite file per
// network for local access, or one schema per network on a PostgreSQL server
// for remote access (dbengine.h), holding what a network database holds (subsystems, devices, their
// LonMark objects, CPs and NVs with the database's values, extension data),
// and, in tables of their own, the memory of each simulated device (CP bytes,
// NV values, running application, commissioned and reachable state), the
// injected faults and the traffic counters. Keeping all of it in one file lets
// other processes (aerolis-net, tests) see and change the devices while a
// program works with the network, and makes every multi-row change atomic.
//
// Every statement is checked; a failure throws lns::LnsError(ErrDatabase)
// with the engine's message. Writes go through Transaction (one writer at a
// time per network; rolled back unless committed).
#pragma once

#include "dbengine.h"

#include <lns/lnsobjects.h>

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVector>

#include <memory>
#include <unordered_map>

namespace lnssim {

inline const QString kDatabaseSuffix = QStringLiteral(".lnsdb");
inline const QString kSchemaComponent = QStringLiteral("aerolis-lnssim");
constexpr int kSchemaVersion = 2;
// Every network has this channel (id 1); a network made before channels
// existed has all its devices on it.
inline const QString kDefaultChannel = QStringLiteral("Backbone");
constexpr int kDefaultChannelId = 1;
// Network setting raised by every change of the structure (subsystems,
// devices, channels), so that a process holding the structure in memory can
// tell that it must read it again.
inline const QString kStructureSerialSetting = QStringLiteral("structure_serial");

// Traffic of device transactions. Bytes count the data of successful
// transactions only (a CP's bytes, an NV's bytes, an image's payload).
struct Counters
{
    qint64 deviceReads = 0;
    qint64 deviceWrites = 0;
    qint64 bytesRead = 0;
    qint64 bytesWritten = 0;
    qint64 deviceTests = 0;
    qint64 downloads = 0;
    qint64 channelMicros = 0;

    Counters &operator+=(const Counters &o);
    bool operator==(const Counters &o) const;
    bool operator!=(const Counters &o) const { return !(*this == o); }
    bool isZero() const { return *this == Counters(); }
    qint64 transactions() const { return deviceReads + deviceWrites + deviceTests + downloads; }
};

enum class CpFault : int { Off = 0, Read = 1, Write = 2, Both = 3 };

struct DeviceFaults
{
    bool unreachable = false;
    QString cpName;            // the CP (INI name) that fails, empty for none
    CpFault cpFault = CpFault::Off;
    int latencyMs = 0;         // added to every device transaction
    bool sleep = false;        // really wait latencyMs (else it is only modelled)
    bool downloadFails = false;
};

enum class CpScope { Device, Object, Nv };
QString scopeText(CpScope s);

struct SubsystemRow
{
    int id = 0;
    int parentId = 0; // 0: directly below the system
    QString name;
    int position = 0; // 1-based among its siblings
};

struct DeviceRow
{
    int id = 0;
    int subsystemId = 0;
    int index = 0; // device index, unique in the network
    QString name;
    QString templateName;
    QString programId;
    int position = 0; // 1-based within its subsystem
    int channelId = kDefaultChannelId;
};

struct ChannelRow
{
    int id = 0;
    QString name;
};

// The traffic of every channel.
using ChannelTraffic = QVector<QPair<ChannelRow, Counters>>;

// The modelled wall time of the traffic: the channels carry their
// transactions at the same time, so it is the busiest channel's time (on one
// channel, the sum of all).
qint64 wallMicros(const ChannelTraffic &traffic);

// A router joins two channels; the near one is the side towards the backbone.
struct RouterRow
{
    int id = 0;
    QString name;
    int nearChannelId = 0;
    int farChannelId = 0;
};

struct LonMarkObjectRow
{
    int deviceId = 0;
    int index = 0;
    QString name;
};

struct CpRow
{
    int deviceId = 0;
    QString name;      // INI name
    CpScope scope = CpScope::Object;
    int ownerIndex = 0; // LonMark object index (Object) or NV index (Nv); 0 for Device
    int cpIndex = 0;
    QString type;
    int elementLength = 0;
    int dimension = 1;
    QByteArray factory;
    int length() const { return elementLength * dimension; }
};

struct NvRow
{
    int deviceId = 0;
    QString name;
    int nvIndex = 0;
    int objectIndex = 0;
    bool input = false;
    QString typeName;
    int size = 0;
    int typeIndex = 0;
    QByteArray initial;
};

struct DeviceState
{
    bool commissioned = true;
    bool reachable = true;
    int appNumber = -1;
    QString appVersion; // e.g. "2.30"; empty: no application
};

class NetworkDb
{
public:
    NetworkDb();
    ~NetworkDb();
    NetworkDb(const NetworkDb &) = delete;
    NetworkDb &operator=(const NetworkDb &) = delete;

    static QString pathFor(const QString &root, const QString &networkName);

    // What a read-only look at a file tells. Throws ErrDatabase when the file
    // is missing, not an SQLite database, not a network database of this
    // server, or of a newer schema; the file is never written.
    struct Probe
    {
        int version = 0;
        QString networkName;
        bool refuseOpen = false;
    };
    static Probe probe(const QString &path);

    // Creates a new, empty network database. Throws when the file (or the
    // network on the server) exists; nothing is left behind on failure.
    void create(const QString &path, const QString &networkName);
    void create(const DatabaseLocation &location, const QString &networkName);
    // Probes, then opens read-write (upgrading an older schema). On a server
    // the probe runs on the connection itself: a network that is missing,
    // not ours or of a newer schema is refused before anything is written.
    Probe open(const QString &path);
    Probe open(const DatabaseLocation &location);
    void close();
    bool isOpen() const { return m_open; }
    // The file, or for remote access the network and its server (for messages).
    QString path() const { return m_location.display(); }
    const DatabaseLocation &location() const { return m_location; }
    Engine engine() const { return m_location.engine; }
    // The user the server knows this connection by; empty for a file.
    QString databaseUser() const { return m_databaseUser; }

    // Runs a table definition written in SQLite's types in the engine's.
    void runDdl(const QString &portable);
    bool tableExists(const QString &table);
    // After rows were inserted with explicit ids (a copied network).
    void syncIdentity(const QString &table);
    // Executes an INSERT ... RETURNING id; returns the new row's id.
    int insertReturningId(QSqlQuery &q, const QVariantList &values);

    // A writing transaction, rolled back unless committed. Without devices
    // it may change anything in the network, and it waits for every other
    // writer. With devices it changes only their rows (and adds to the
    // traffic counters, the run's figures and the record of writes): on a
    // server, writers of other devices go on meanwhile and two writers of
    // one device take turns; a file still has one writer at a time.
    //
    // A transaction inside another joins it. It may name devices the outer
    // one did not (they are locked then); a network-wide one cannot join one
    // of single devices (ErrDatabase: a fault of the program).
    class Transaction
    {
    public:
        explicit Transaction(NetworkDb &db);
        Transaction(NetworkDb &db, const QVector<int> &devices);
        ~Transaction();
        void commit();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

    private:
        void start(const QVector<int> *devices);
        // Locks the devices (ascending) the transaction does not hold yet.
        void lockDevices(const QVector<int> &ids);
        void rollback();
        NetworkDb &m_db;
        bool m_done = false;
    };
    bool inTransaction() const { return m_txDepth > 0; }
    // Inside a transaction of devices: waits until no other writer holds
    // `what` (rows all devices share, read and then written), and holds it
    // to the end of the transaction. Nothing to do in a network-wide one.
    void lockSharedRows(const QString &what);

    // A cached prepared statement; throws when it cannot be prepared.
    QSqlQuery &query(const QString &sql);
    // Executes with the values bound in order; throws on failure.
    void exec(QSqlQuery &q, const QVariantList &values = {});
    // Prepares, binds, executes; for one-off statements.
    void run(const QString &sql, const QVariantList &values = {});
    // Every row of a SELECT, each made by `map` from the positioned query.
    template <class Row, class Map>
    QVector<Row> selectRows(const QString &sql, Map map)
    {
        return selectRows<Row>(sql, QVariantList(), map);
    }
    template <class Row, class Map>
    QVector<Row> selectRows(const QString &sql, const QVariantList &values, Map map)
    {
        QVector<Row> rows;
        QSqlQuery &q = query(sql);
        exec(q, values);
        while (q.next())
            rows << map(q);
        q.finish();
        return rows;
    }

    // Network settings (key/value).
    QString setting(const QString &key) const;
    void setSetting(const QString &key, const QString &value);

    // Structure.
    QVector<SubsystemRow> subsystems();
    QVector<DeviceRow> devices();
    QVector<LonMarkObjectRow> lonMarkObjects();
    QVector<CpRow> cps();
    QVector<NvRow> nvs();
    // The structure of one device only.
    QVector<LonMarkObjectRow> lonMarkObjectsOf(int deviceId);
    QVector<CpRow> cpsOf(int deviceId);
    QVector<NvRow> nvsOf(int deviceId);
    QVector<ChannelRow> channels();
    QVector<RouterRow> routers();
    // Raises the structure serial (inside the caller's transaction).
    void touchStructure();
    void setNvTypeIndex(int deviceId, const QString &nv, int typeIndex);

    // Device memory and database values.
    DeviceState deviceState(int deviceId);
    void setCommissioned(int deviceId, bool on);
    void setReachable(int deviceId, bool on);
    void setApplication(int deviceId, int number, const QString &version);
    QByteArray deviceCp(int deviceId, const QString &cp);
    void setDeviceCp(int deviceId, const QString &cp, const QByteArray &bytes);
    QByteArray databaseCp(int deviceId, const QString &cp);
    void setDatabaseCp(int deviceId, const QString &cp, const QByteArray &bytes);
    QByteArray deviceNv(int deviceId, const QString &nv);
    void setDeviceNv(int deviceId, const QString &nv, const QByteArray &bytes);
    // Returns false when the key was never written.
    bool extensionData(int deviceId, int objectIndex, const QString &key, QString *value);
    void setExtensionData(int deviceId, int objectIndex, const QString &key, const QString &value);

    // Faults.
    DeviceFaults deviceFaults(int deviceId);
    void setDeviceFaults(int deviceId, const DeviceFaults &f); // unreachable goes to the device state
    void clearAllFaults();

    // Counters.
    void addCounters(int deviceId, const Counters &c);
    Counters counters(int deviceId);
    Counters totals();
    // The traffic per channel since the last reset, every channel listed.
    ChannelTraffic channelCounters();
    void resetCounters();

private:
    // Opens the connection of the location; throws ErrDatabase.
    void openConnection(const DatabaseLocation &location, bool creating);
    // What the probe tells, read on the open connection of a server.
    Probe probeRemote();
    void createSchema();
    // Brings a file of an older schema up to kSchemaVersion, one step per
    // version, in one SQLite transaction.
    void upgrade();
    void upgradeToChannels();
    int storedVersion();
    [[noreturn]] void fail(const QString &what, const QString &sqlError) const;
    // The engine's error, told by what it means for the user where it can be
    // (a full disk, a read-only folder, a damaged file, a server that cannot
    // be reached), else by `what`.
    [[noreturn]] void fail(const QString &what, const QSqlError &error) const;
    QByteArray blob(const QString &sql, const QVariantList &values, const QString &what);

    QString m_connection;
    DatabaseLocation m_location;
    std::unique_ptr<DbEngine> m_engine;
    QString m_databaseUser;
    bool m_open = false;
    int m_txDepth = 0;
    // What the running transaction holds: the whole network, or its devices.
    bool m_txNetworkWide = false;
    QSet<int> m_txDevices;
    // Prepared statements by SQL text; the pointers stay valid while cached.
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> m_cache;
};

} // namespace lnssim
