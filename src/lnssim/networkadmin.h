// Administration of a network database outside the object server: creating
// a network and its devices from the device template file, listing devices,
// comparing device and database values, injecting faults and reading the
// traffic counters. Used by aerolis-net, by tests and by benchmarks; it works
// on the same file another process may have open through the object server.
#pragma once

#include "networkdb.h"

#include <lns/templatelookup.h>
#include <platform/inifile.h>

#include <QString>
#include <QVector>

namespace lnssim {

// Sections of the device template that describe the devices themselves.
inline const QString kDeviceCpSection = lns::kDeviceCpSection;
inline const QString kDeviceNvSection = lns::kDeviceNvSection;
inline const QString kNodeObjectName = QStringLiteral("NodeObject");
inline const QString kControllerObjectName = QStringLiteral("Controller");

struct NewDevice
{
    QString subsystemPath; // dotted, created when missing
    QString name;          // unique in the network
    QString templateName;  // one of the INI's templates
    QString channel;       // empty: the default channel
    bool commissioned = true;
    bool reachable = true;
    int appNumber = 1;
    QString appVersion = QStringLiteral("2.30");
};

struct DeviceInfo
{
    int id = 0;
    int index = 0;
    QString name;
    QString subsystemPath;
    QString templateName;
    QString programId;
    QString objectName; // "<network>.<subsystem path>.<device>.Controller"
    QString channel;
    DeviceState state;
};

struct CpComparison
{
    QString name;
    CpScope scope = CpScope::Object;
    int ownerIndex = 0;
    int cpIndex = 0;
    QByteArray database;
    QByteArray device;
    bool differs() const { return database != device; }
};

class NetworkAdmin
{
public:
    NetworkAdmin(const QString &root, const QString &networkName);
    NetworkAdmin(const NetworkHome &home, const QString &networkName);

    // The file, or the network on its server (for messages).
    QString path() const { return m_location.display(); }
    const DatabaseLocation &location() const { return m_location; }
    QString networkName() const { return m_name; }
    bool exists() const;

    // Creates an empty network database (the root folder too). Throws when
    // it exists.
    void create();
    // Opens an existing one; refuses what the object server refuses, except
    // that a network set to refuse opening can still be administered.
    void open();
    void close();
    NetworkDb &db() { return m_db; }

    int addSubsystem(const QString &path);
    // Creates the device from its template: CPs from the device CP section
    // (CPs whose index is -1 for the template are left out), NVs from the NV
    // section, factory values in device and database. Returns its id.
    int addDevice(const NewDevice &device, const platform::IniFile &ini);

    // A new channel, joined to nearChannel by a new router. Throws
    // ErrBadValue for an empty or dotted name or one that is taken, and
    // ErrIndexOutOfRange for an unknown near channel; nothing is changed then.
    int addChannel(const QString &name, const QString &routerName, const QString &nearChannel = kDefaultChannel);
    // By name; ErrIndexOutOfRange when the network has no such channel.
    int channelId(const QString &name);
    QVector<ChannelRow> channels() { return m_db.channels(); }
    QVector<RouterRow> routers() { return m_db.routers(); }
    // Puts the device on another channel; its counters so far stay with the
    // channel that carried the traffic.
    void moveDevice(int deviceId, const QString &channel);

    QVector<DeviceInfo> devices();
    // By device name, "<subsystem path>.<device>", or full object name.
    DeviceInfo device(const QString &nameOrObjectName);
    QVector<CpComparison> compareCps(int deviceId);

    DeviceFaults faults(int deviceId);
    void setUnreachable(int deviceId, bool on);
    void setCpFault(int deviceId, const QString &cpName, CpFault fault);
    void setLatency(int deviceId, int ms, bool sleep);
    void setDownloadFault(int deviceId, bool on);
    void setRefuseOpen(bool on);
    bool refuseOpen();
    void clearFaults();
    void setCommissioned(int deviceId, bool on);

    // The device's own memory and the database, byte for byte.
    QByteArray deviceCp(int deviceId, const QString &cp);
    void setDeviceCp(int deviceId, const QString &cp, const QByteArray &bytes);
    QByteArray databaseCp(int deviceId, const QString &cp);
    QByteArray deviceNv(int deviceId, const QString &nv);
    void setDeviceNv(int deviceId, const QString &nv, const QByteArray &bytes);

    Counters counters(int deviceId);
    Counters totals();
    ChannelTraffic channelCounters() { return m_db.channelCounters(); }
    void resetCounters();
    // The last program run that worked on devices, by its modelled time
    // line (channeltimeline.h): wall time and the most transactions in
    // flight on one channel; zero before any.
    struct RunFigures
    {
        qint64 wallMicros = 0;
        int peakInFlight = 0;
    };
    RunFigures lastRun();

private:
    const CpRow requireCp(int deviceId, const QString &cp);
    NetworkHome m_home;
    QString m_name;
    DatabaseLocation m_location;
    NetworkDb m_db;
};

// The demonstration network "Demo": two floors of six rooms each, every
// template at least twice, one controller not commissioned, one unreachable,
// one fan-coil controller still running application version 2.00. Each floor
// is a channel of its own, joined to the backbone by a router.
//
// A larger site adds `controllers` controllers of the five kinds, named
// "Ctrl0001" on, spread in turn over `channels` further channels
// ("Line01" on, each behind its router "RouterLine01"); controller i sits in
// subsystem "Building.Line<c>" of its channel c.
struct SiteSize
{
    int controllers = 0;
    int channels = 1;
    static constexpr int kMaxControllers = 10000;
    static constexpr int kMaxChannels = 100;
    // Empty when the size can be built, else why not.
    QString problem() const;
};

class DemoNetwork
{
public:
    static QVector<NewDevice> plan(const SiteSize &site = SiteSize());
    // The channels the plan's devices sit on (after the backbone), in order.
    static QStringList channelsOf(const SiteSize &site = SiteSize());
    // Refuses to replace an existing network unless force is set; the new
    // file is built aside and moved into place when complete.
    static void create(const QString &root, const platform::IniFile &ini, bool force,
                       const QString &networkName = QStringLiteral("Demo"), const SiteSize &site = SiteSize());
    static void create(const NetworkHome &home, const platform::IniFile &ini, bool force,
                       const QString &networkName = QStringLiteral("Demo"), const SiteSize &site = SiteSize());
};

} // namespace lnssim
