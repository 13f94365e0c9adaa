// The simulated object server: a root folder holding one network database
// file per network (<root>/<network>.lnsdb), and the device template file it
// takes the controllers' layout and families from.
#pragma once

#include "channelmodel.h"
#include "roomcontroller.h"

#include <lns/lnsobjects.h>
#include <platform/inifile.h>

#include <QHash>

#include <memory>
#include <optional>

namespace lnssim {

class SimNetwork;

class SimObjectServer : public lns::ObjectServer, public std::enable_shared_from_this<SimObjectServer>
{
    Q_OBJECT
public:
    // rootFolder empty: defaultRoot().
    SimObjectServer(const QString &rootFolder, const QString &iniPath, QObject *parent = nullptr);
    ~SimObjectServer() override;

    // The server must be owned by a std::shared_ptr (parent() of a network
    // returns it); create() is the short way.
    static std::shared_ptr<SimObjectServer> create(const QString &rootFolder, const QString &iniPath);

    // AEROLIS_LNS_ROOT when set, else the application's data folder + "/lns".
    static QString defaultRoot();

    QString version() const override;
    void open(int accessMode) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    lns::CollectionPtr<lns::Network> networks() override;

    QString rootFolder() const { return m_root; }
    // The server of remote access when its connection string is given as
    // the network interface name (else AEROLIS_LNS_SERVER); before open().
    void setNetworkInterfaceName(const QString &name) override { m_interfaceName = name; }
    // The access mode of the last open().
    int accessMode() const { return m_accessMode; }
    QString iniPath() const { return m_iniPath; }
    std::shared_ptr<const platform::IniFile> ini() const { return m_ini; }
    // Channel figures used by networks opened afterwards (tests).
    void setChannelParams(const ChannelParams &p) { m_channel = p; }
    ChannelParams channelParams() const { return m_channel; }

    // How the devices of networks opened afterwards behave: the factory's
    // simulator; without one, the room model when the network's settings ask
    // for it (aerolis-net behaviour), else static devices.
    void setDeviceSimulatorFactory(DeviceSimulatorFactory factory) { m_simFactory = std::move(factory); }
    const DeviceSimulatorFactory &deviceSimulatorFactory() const { return m_simFactory; }

    // Called by a network session to raise nvUpdate.
    void deliverUpdate(int tag, const QString &value, const lns::NetworkVariablePtr &nv);

private:
    QString m_root;
    QString m_interfaceName;
    QString m_server; // remote access: the connection string; empty: local
    int m_accessMode = 0;
    std::optional<QStringList> m_listedAtOpen;
    QString m_iniPath;
    std::shared_ptr<platform::IniFile> m_ini;
    bool m_open = false;
    ChannelParams m_channel;
    QHash<QString, std::shared_ptr<SimNetwork>> m_networks;
    DeviceSimulatorFactory m_simFactory;
};

} // namespace lnssim
