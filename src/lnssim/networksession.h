// One open network of the simulated object server: the database connection,
// the structure read from it, the state of the object server's transaction
// and system bracket, the monitoring settings of the NVs, and every device
// transaction (with its faults, counters and modelled channel time).
//
// The objects handed to the program (simobjects.h) are thin handles that hold
// a reference to the session and the ids of what they stand for; all state is
// here, so two handles of the same CP or NV behave as one object.
#pragma once

#include "channelmodel.h"
#include "devicesimulator.h"
#include "imagefile.h"
#include "networkdb.h"
#include "writehistory.h"
#include "networkstore.h"

#include <lns/lnsobjects.h>
#include <platform/inifile.h>

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPair>
#include <QTimer>

#include <functional>
#include <memory>

namespace lnssim {

class SimNetwork;

// Monitoring settings of one NV, kept with the object server as they would be
// on the NV object.
struct NvMonitorState
{
    bool editing = false;
    int tag = 0;
    int pollInterval = 0; // seconds; 0: no polling
    bool reportByException = false;
    bool messageFlag = false;
    int option = 1;
    QString format;
    // What the server last reported for this NV (for report by exception).
    QByteArray lastReported;
    bool haveLast = false;
    qint64 nextPollMs = 0;
};

class NetworkSession : public QObject, public std::enable_shared_from_this<NetworkSession>
{
    Q_OBJECT
public:
    using UpdateSink = std::function<void(int tag, const QString &value, const lns::NetworkVariablePtr &nv)>;

    NetworkSession(std::shared_ptr<const platform::IniFile> ini, const QString &iniPath);
    ~NetworkSession() override;

    // Opens the database file (after a read-only check that refuses a file
    // that is not ours), or takes the store this process has open for it
    // already. Throws lns::LnsError.
    void open(const QString &path, const QString &networkName);
    void open(const DatabaseLocation &location, const QString &networkName);
    void close();
    bool isOpen() const { return m_open; }
    void checkOpen() const;
    QString networkName() const { return m_name; }
    // The network's database; while closed, one that answers ErrNotOpen.
    NetworkDb &db() { return m_store ? m_store->db() : m_closedDb; }
    // The store shared with every other open of this network in the process.
    const std::shared_ptr<NetworkStore> &store() const { return m_store; }
    const platform::IniFile *ini() const { return m_ini.get(); }

    // Links to the object that owns the session and to the server's event.
    void setNetwork(const std::weak_ptr<SimNetwork> &network) { m_network = network; }
    std::shared_ptr<SimNetwork> network() const { return m_network.lock(); }
    void setUpdateSink(UpdateSink sink) { m_sink = std::move(sink); }
    // Called after every device operation, whether it succeeded or not.
    void setWorkingSink(std::function<void()> sink) { m_working = std::move(sink); }
    void setDeviceSimulator(std::unique_ptr<DeviceSimulator> sim);
    void setChannelParams(const ChannelParams &p) { m_channel = p; }

    // --- structure (devices at open, a device's objects on first use) ---
    QVector<const SubsystemRow *> childSubsystems(int parentId) const; // 0: top level
    const SubsystemRow *subsystem(int id) const;
    QString subsystemPath(int id) const;
    QVector<const DeviceRow *> devicesIn(int subsystemId) const;
    QVector<const DeviceRow *> allDevices() const;
    const DeviceRow *device(int id) const;
    QVector<LonMarkObjectRow> lonMarkObjectsOf(int deviceId) const;
    QVector<const CpRow *> cpsOf(int deviceId, CpScope scope, int ownerIndex) const;
    const CpRow *cp(int deviceId, const QString &name) const;
    QVector<const NvRow *> nvsOf(int deviceId, int objectIndex) const; // objectIndex -1: all
    const NvRow *nv(int deviceId, int nvIndex) const;
    const NvRow *nvByName(int deviceId, const QString &name) const;
    QString objectName(int deviceId, const QString &objectName = QStringLiteral("Controller")) const;
    // "<network>.<subsystem path>.<device>".
    QString devicePath(const DeviceRow &dev) const;

    // --- system bracket and transaction ---
    void beginBracket(int value);
    void endBracket();
    int bracketDepth() const { return m_bracket; }
    void startTransaction();
    void commitTransaction();
    void cancelTransaction();
    bool inTransaction() const { return m_tx.active; }
    // Whether writes may go over CPs another session changed since this one
    // read them (else they are refused with ErrChangedSince).
    void setOverwriteChanges(bool overwrite) { m_overwriteChanges = overwrite; }
    void prepareMonitoring(bool flag) { checkOpen(); m_prepared = flag; }

    // --- CPs (bytes) ---
    QByteArray readCp(const CpRow &cp);
    void writeCp(const CpRow &cp, const QByteArray &bytes);
    void writeCpElement(const CpRow &cp, int element, const QByteArray &bytes);
    QByteArray databaseCp(const CpRow &cp);
    QString cpFormat(const CpRow &cp) const;
    void setCpFormat(const CpRow &cp, const QString &format);
    // Text conversion in a format; parse throws ErrBadValue.
    static QString formatCpText(const QString &format, const QByteArray &bytes);
    static QByteArray parseCpText(const CpRow &cp, const QString &format, const QString &text, int expectedLength);

    // --- NVs ---
    QByteArray readNv(const NvRow &nv);
    void writeNv(const NvRow &nv, const QByteArray &bytes);
    QString formatNvText(const NvRow &nv, const QString &format, const QByteArray &bytes) const;
    QByteArray parseNvText(const NvRow &nv, const QString &format, const QString &text) const;
    NvMonitorState &monitor(const NvRow &nv);
    void setMonitorTag(const NvRow &nv, int tag);
    void setPollInterval(const NvRow &nv, int seconds);
    void changeNvType(const NvRow &nv, int typeIndex, const QString &programId, int scope);
    // Outputs changed by the device itself (a behaving controller): written
    // to device memory and reported to monitored NVs.
    void applyDeviceNvChanges(int deviceId, const QHash<QString, QByteArray> &changes);

    // --- devices ---
    // The name of a channel of the network (empty for an unknown id).
    QString channelName(int channelId);
    bool commissioned(int deviceId);
    void testDevice(int deviceId, int kind);
    void updateDevice(int deviceId, int kind);
    double applicationVersion(int deviceId);
    void loadApplication(int deviceId, const QString &imageFile);
    QString extensionData(int deviceId, int objectIndex, const QString &key);
    void setExtensionData(int deviceId, int objectIndex, const QString &key, const QString &value);

    // --- the record of writes ---
    // Newest first; `scope` names a device, an object of one (its device's
    // records), a subsystem or the network (the devices below it), or is
    // empty for every record.
    QVector<lns::WriteRecord> writeHistory(const QString &scope, const QDateTime &since, int limit);

private:
    struct DeviceContext
    {
        DeviceState state;
        DeviceFaults faults;
    };
    using Pending = QHash<int, Counters>;
    using CpKey = QPair<int, QString>;
    using ExtKey = QPair<QPair<int, int>, QString>;
    // An application load asked for inside a transaction: it goes out with
    // the transaction's writes, before them, or not at all.
    struct PendingLoad
    {
        int deviceId = 0;
        QString fileName;
        ApplicationImage image;
    };
    struct TxState
    {
        bool active = false;
        QVector<PendingLoad> loads;
        QVector<CpKey> writeOrder;
        QHash<CpKey, QByteArray> writes;
        QHash<CpKey, QByteArray> reads;
        QVector<ExtKey> extOrder;
        QHash<ExtKey, QString> ext;
        qint64 readMark = -1; // the record's mark when the transaction first read
    };

    NetworkStore &openStore() const
    {
        checkOpen();
        return *m_store;
    }
    NetworkStore::DeviceStructure &structureOf(int deviceId) const { return openStore().structureOf(deviceId); }
    DeviceContext context(int deviceId);
    // Loads an image into a device inside a device operation: the download,
    // its record and the device CPs back at their factory values.
    void applyLoad(Pending &pending, const DeviceRow &dev, const DeviceContext &ctx, const PendingLoad &load);
    // Charges one device transaction to the device's counters; throws when
    // the device does not answer or answers with an error.
    void charge(Pending &pending, const DeviceRow &dev, const DeviceContext &ctx, ChannelModel::Op op, int bytes,
                const QString &what, const QString &cpName = QString(), bool mayFail = true);
    // Runs body inside one database transaction that holds the devices it
    // works on (writers of other devices go on meanwhile); the counters it
    // charged are stored even when it fails. `recorded` runs after the
    // writes' records are stored, inside the same transaction.
    void deviceOp(const QVector<int> &devices, const std::function<void(Pending &)> &body,
                  const std::function<void()> &recorded = {});
    void flushCounters(const Pending &pending);
    // Notes a write for the record; the notes are stored with the database
    // transaction that makes the writes (storeNotedWrites) and dropped when
    // it fails.
    void noteWrite(const DeviceRow &dev, const QString &object, lns::WriteKind kind, const QString &item,
                   const QByteArray &before, const QByteArray &after, lns::WriteOutcome outcome);
    void noteCpWrite(const DeviceRow &dev, const CpRow &cp, const QByteArray &after, bool onDevice);
    // Brings the database copy of a CP up to bytes read from the device.
    void takeIntoDatabase(int deviceId, const QString &cpName, const QByteArray &bytes);
    void storeNotedWrites();
    // The mark of the record of writes noted for every CP the running
    // transaction reads: the newest record before its first read.
    qint64 transactionReadMark();
    // Refuses (ErrChangedSince) a write of a CP that another session changed
    // since this one read it, unless overwriting was allowed.
    void checkUnchangedSinceRead(const DeviceRow &dev, const CpRow &cp);
    // The newest record of another session's change of the CP since this
    // session read it; nullopt when none or when the session never read it.
    std::optional<lns::WriteRecord> changeSinceRead(const DeviceRow &dev, const QString &cpName);
    bool changedSinceRead(const CpKey &key);
    // After the session's own write: the CPs written that it had read count
    // as read now.
    void markRead(const QVector<CpKey> &keys);
    QString lonMarkObjectName(int deviceId, int objectIndex) const;
    void notifyWorking();
    void notifyChanged(int deviceId, const QHash<QString, QByteArray> &values);
    void emitValue(int deviceId, int nvIndex, const QByteArray &bytes);
    void pollTick();
    void updatePollTimer();
    QString deviceLabel(const DeviceRow &dev) const;

    std::shared_ptr<const platform::IniFile> m_ini;
    QString m_iniPath;
    std::shared_ptr<NetworkStore> m_store;
    NetworkDb m_closedDb;
    bool m_open = false;
    QString m_name;
    std::weak_ptr<SimNetwork> m_network;
    UpdateSink m_sink;
    std::function<void()> m_working;
    std::unique_ptr<DeviceSimulator> m_sim;
    ChannelParams m_channel;

    int m_bracket = 0;
    bool m_prepared = false;
    TxState m_tx;
    QVector<NotedWrite> m_noted;
    // Per CP read: the newest record of writes when it was read.
    QHash<CpKey, qint64> m_readMarks;
    bool m_overwriteChanges = false;
    QHash<CpKey, QString> m_cpFormats;
    QHash<int, QString> m_channelNames;
    bool m_timelineChanged = false;
    QHash<QPair<int, int>, NvMonitorState> m_monitors;
    QTimer m_pollTimer;
    QElapsedTimer m_clock;
};

} // namespace lnssim
