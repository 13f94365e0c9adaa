// The objects of the simulated object server, as handed to the program.
//
// A network object lives as long as the server lists it; everything below a
// network is a light handle on the network's session (networksession.h),
// made when a collection or parent() is asked for. Handles hold their parent
// chain alive (a LonMark object handed over alone still finds its device,
// subsystem, system and network), and a handle whose network was closed
// answers with ErrNotOpen.
#pragma once

#include "networksession.h"

#include <lns/lnsobjects.h>

#include <memory>

namespace lnssim {

class SimObjectServer;

class SimNetwork : public lns::Network, public std::enable_shared_from_this<SimNetwork>
{
public:
    SimNetwork(const std::weak_ptr<SimObjectServer> &server, const QString &name, const DatabaseLocation &location);
    ~SimNetwork() override;

    lns::ObjectPtr parent() const override;
    QString name() const override { return m_name; }
    bool isOpen() const override;
    void open(bool remote) override;
    void close() override;
    lns::SystemPtr system() override;
    QVector<lns::WriteRecord> writeHistory(const lns::HistoryFilter &filter) override;

    // The file, or the network on its server (for messages).
    QString path() const { return m_location.display(); }
    const DatabaseLocation &location() const { return m_location; }
    // The open session, or nullptr.
    std::shared_ptr<NetworkSession> session() const { return m_session; }

private:
    std::weak_ptr<SimObjectServer> m_server;
    QString m_name;
    DatabaseLocation m_location;
    std::shared_ptr<NetworkSession> m_session;
};

lns::NetworkVariablePtr makeNetworkVariable(const std::shared_ptr<NetworkSession> &session, int deviceId, int nvIndex);
lns::AppDevicePtr makeAppDevice(const std::shared_ptr<NetworkSession> &session, int deviceId);

} // namespace lnssim
