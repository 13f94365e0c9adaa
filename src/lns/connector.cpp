#include "connector.h"

#include <platform/tracelog.h>

namespace lns {

int Access::mode() const
{
    if (!remote)
        return 0;
    return interfaceName == QLatin1String("Internet") ? 2 : 1;
}

void openServer(const ObjectServerPtr &server, const Access &access)
{
    if (!server)
        throw LnsError(ErrNotOpen, QStringLiteral("no object server"));
    if (server->isOpen())
        return;
    server->setNetworkInterfaceName(access.interfaceName);
    server->open(access.mode());
}

void Connection::clear()
{
    *this = Connection();
}

void Connector::failWith(const LnsError &e)
{
    m_lastError = e.description();
    m_lastErrorNumber = e.number();
}

bool Connector::openObjectServer(Connection &c, int accessMode, const QString &networkInterfaceName)
{
    try {
        if (!c.objectServer)
            throw LnsError(ErrNotOpen, QStringLiteral("no object server"));
        if (!c.objectServer->isOpen()) {
            c.objectServer->setNetworkInterfaceName(networkInterfaceName);
            c.objectServer->open(accessMode);
        }
        c.networks = c.objectServer->networks();
        return true;
    } catch (const LnsError &e) {
        failWith(e);
        return false;
    }
}

bool Connector::openNetwork(Connection &c, const QString &networkName, bool remote)
{
    try {
        if (!c.networks)
            throw LnsError(ErrNotOpen, QStringLiteral("object server not open"));
        NetworkPtr net = c.networks->item(networkName);
        if (!net->isOpen())
            net->open(remote);
        c.network = net;
        c.system = net->system();
        c.systemSubsystems = c.system->subsystems();
        return true;
    } catch (const LnsError &e) {
        failWith(e);
        return false;
    }
}

bool Connector::openSubsystem(Connection &c, const QString &path)
{
    try {
        if (!c.systemSubsystems)
            throw LnsError(ErrNotOpen, QStringLiteral("network not open"));
        CollectionPtr<Subsystem> level = c.systemSubsystems;
        SubsystemPtr sub;
        for (const QString &part : path.split(QLatin1Char('.'))) {
            sub = level->item(part);
            level = sub->subsystems();
        }
        if (!sub)
            throw LnsError(ErrIndexOutOfRange, QStringLiteral("empty subsystem path"));
        c.subsystem = sub;
        c.appDevices = sub->appDevices();
        return true;
    } catch (const LnsError &e) {
        failWith(e);
        return false;
    }
}

bool Connector::deviceMatchesTemplate(const AppDevicePtr &device, const platform::IniFile &ini, QString *why)
{
    try {
        const DeviceTemplatePtr t = device->deviceTemplate();
        const QString name = t ? t->name() : QString();
        const QString programId = device->programId();
        for (const platform::TemplateEntry &e : ini.templates()) {
            if (e.name == name) {
                if (e.programId.compare(programId, Qt::CaseInsensitive) == 0)
                    return true;
                if (why)
                    *why = QStringLiteral("template %1 expects program id %2, device has %3")
                               .arg(name, e.programId, programId);
                return false;
            }
        }
        if (why)
            *why = QStringLiteral("template %1 is not served by %2").arg(name, ini.fileName());
    } catch (const LnsError &e) {
        if (why)
            *why = e.description();
        else
            platform::traceCaughtError(QStringLiteral("deviceMatchesTemplate"), e.number(), e.description());
    }
    return false;
}

bool Connector::findDeviceAndObject(Connection &c, const platform::IniFile &ini, const QString &deviceName,
                                    const QString &objectName)
{
    try {
        if (!c.appDevices)
            throw LnsError(ErrNotOpen, QStringLiteral("subsystem not open"));
        AppDevicePtr dev = c.appDevices->item(deviceName);
        CollectionPtr<LonMarkObject> lmos = dev->lonMarkObjects();
        LonMarkObjectPtr obj = lmos->item(objectName);
        QString why;
        if (!deviceMatchesTemplate(dev, ini, &why)) {
            m_lastError = why;
            m_lastErrorNumber = 0;
            return false;
        }
        c.device = dev;
        c.lonMarkObjects = lmos;
        c.object = obj;
        return true;
    } catch (const LnsError &e) {
        failWith(e);
        return false;
    }
}

void Connector::closeAll(Connection &c)
{
    try {
        if (c.network && c.network->isOpen())
            c.network->close();
    } catch (const LnsError &e) {
        platform::traceCaughtError(QStringLiteral("closeAll"), e.number(), e.description());
    }
    try {
        if (c.objectServer && c.objectServer->isOpen())
            c.objectServer->close();
    } catch (const LnsError &e) {
        platform::traceCaughtError(QStringLiteral("closeAll"), e.number(), e.description());
    }
    ObjectServerPtr server = c.objectServer;
    c.clear();
    // The server itself stays with whoever created it; only the references of
    // the connection are dropped.
    c.objectServer = server;
}

} // namespace lns
