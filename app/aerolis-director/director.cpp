#include "director.h"

#include <lnssim/handles.h>
#include <platform/objectname.h>
#include <platform/registrar.h>
#include <platform/registry.h>
#include <platform/resstrings.h>
#include <platform/stringutil.h>

#include <QDBusError>
#include <QHash>

namespace director {

namespace {

QString fill(int id, const QStringList &values)
{
    return platform::fillPlaceholders(gLoadResString(id), values);
}

} // namespace

QString stateText(const lnssim::DeviceState &s)
{
    QStringList parts;
    parts << gLoadResString(1912, s.commissioned ? 1 : 2);
    if (!s.reachable)
        parts << gLoadResString(1912, 3);
    if (!s.appVersion.isEmpty())
        parts << fill(1925, {s.appVersion});
    return parts.join(QStringLiteral(", "));
}

Director::Director(const QString &root, const QString &iniPath, const QString &networkName)
    : m_root(root), m_iniPath(iniPath), m_networkName(networkName), m_bus(QDBusConnection::sessionBus())
{
}

Director::~Director()
{
    if (m_network && m_network->isOpen())
        m_network->close();
}

bool Director::open(QString *message)
{
    try {
        m_server = lnssim::SimObjectServer::create(m_root, m_iniPath);
        m_server->open(0);
        m_network = m_server->networks()->item(m_networkName);
        if (!m_network->isOpen())
            m_network->open(false);
        refresh();
        return true;
    } catch (const lns::LnsError &e) {
        if (message)
            *message = fill(1923, {m_networkName, e.description()});
        return false;
    }
}

void Director::refresh()
{
    m_tree.clear();
    if (!m_network)
        return;
    QHash<QString, lnssim::DeviceState> states;
    try {
        lnssim::NetworkAdmin admin(m_root, m_networkName);
        admin.open();
        for (const lnssim::DeviceInfo &d : admin.devices())
            states.insert(d.name, d.state);
    } catch (const lns::LnsError &) {
        // States stay unknown; the tree itself comes from the object server.
    }

    std::function<SubsystemEntry(const lns::SubsystemPtr &)> walk = [&](const lns::SubsystemPtr &sub) {
        SubsystemEntry s;
        s.name = sub->name();
        s.path = sub->path();
        const auto subs = sub->subsystems();
        for (int i = 1; i <= subs->count(); ++i)
            s.subsystems << walk(subs->itemAt(i));
        const auto devices = sub->appDevices();
        for (int i = 1; i <= devices->count(); ++i) {
            const lns::AppDevicePtr dev = devices->itemAt(i);
            DeviceEntry d;
            d.name = dev->name();
            d.index = dev->index();
            const lns::DeviceTemplatePtr t = dev->deviceTemplate();
            d.templateName = t ? t->name() : QString();
            d.programId = dev->programId();
            d.state = states.value(d.name);
            const auto objects = dev->lonMarkObjects();
            for (int k = 1; k <= objects->count(); ++k) {
                const lns::LonMarkObjectPtr o = objects->itemAt(k);
                ObjectEntry e;
                e.name = o->name();
                e.index = o->index();
                e.classId = o->classId();
                e.fullName = platform::makeObjectName(m_networkName, s.path, d.name, e.name).toString();
                e.handle = lnssim::objectHandle(o);
                d.objects << e;
            }
            s.devices << d;
        }
        return s;
    };
    const auto top = m_network->system()->subsystems();
    for (int i = 1; i <= top->count(); ++i)
        m_tree << walk(top->itemAt(i));
}

const ObjectEntry *Director::findObject(const QString &fullName, const DeviceEntry **device) const
{
    std::function<const ObjectEntry *(const QVector<SubsystemEntry> &)> find =
        [&](const QVector<SubsystemEntry> &level) -> const ObjectEntry * {
        for (const SubsystemEntry &s : level) {
            for (const DeviceEntry &d : s.devices) {
                for (const ObjectEntry &o : d.objects) {
                    if (o.fullName == fullName) {
                        if (device)
                            *device = &d;
                        return &o;
                    }
                }
            }
            if (const ObjectEntry *o = find(s.subsystems))
                return o;
        }
        return nullptr;
    };
    return find(m_tree);
}

QStringList Director::programIds() const
{
    QStringList ids;
    std::function<void(const QVector<SubsystemEntry> &)> collect = [&](const QVector<SubsystemEntry> &level) {
        for (const SubsystemEntry &s : level) {
            for (const DeviceEntry &d : s.devices) {
                if (!d.programId.isEmpty() && !ids.contains(d.programId))
                    ids << d.programId;
            }
            collect(s.subsystems);
        }
    };
    collect(m_tree);
    return ids;
}

QVector<lnssim::PlugInRegistration> Director::registrations()
{
    lnssim::NetworkDb *db = lnssim::networkDatabase(m_network);
    if (!db)
        return {};
    return lnssim::ProjectRegistrations(*db).all();
}

QVector<lnssim::PlugInRegistration> Director::commandsFor(const DeviceEntry &device, const ObjectEntry &object)
{
    lnssim::NetworkDb *db = lnssim::networkDatabase(m_network);
    if (!db || device.templateName.isEmpty())
        return {};
    return lnssim::ProjectRegistrations(*db).forTemplate(device.templateName, object.classId);
}

bool Director::plugInRegistered(const QString &progId)
{
    return platform::PlugInRegistrar::isRegistered(progId);
}

QString Director::callFailure(const automation::PlugInClient &client, const QString &target) const
{
    const automation::CallError &e = client.lastError();
    if (e.name == automation::kInUseErrorName)
        return fill(1919, {e.message});
    if (e.name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        return fill(1917, {e.message});
    return fill(1920, {target, e.text()});
}

bool Director::prepare(automation::PlugInClient &client, const QString &progId, const QString &target, Outcome &out)
{
    if (!m_bus.isConnected()) {
        out.message = fill(1916, {m_bus.lastError().isValid() ? m_bus.lastError().message()
                                                              : QStringLiteral("DBUS_SESSION_BUS_ADDRESS")});
        return false;
    }
    if (!plugInRegistered(progId)) {
        out.message = fill(1918, {progId});
        return false;
    }
    if (!client.create()) {
        out.message = callFailure(client, target);
        return false;
    }
    return true;
}

Outcome Director::launch(const DeviceEntry &device, const ObjectEntry &object, const lnssim::PlugInRegistration &command,
                         const LaunchOptions &options)
{
    Outcome out;
    automation::PlugInClient client(m_bus, m_timeoutMs);
    if (!prepare(client, command.progId(), object.fullName, out))
        return out;
    bool ok = client.set(QStringLiteral("Remote"), options.remote);
    if (ok && !options.networkInterfaceName.isEmpty())
        ok = client.set(QStringLiteral("NetworkInterfaceName"), options.networkInterfaceName);
    if (ok && !options.byName)
        ok = client.set(QStringLiteral("LnsObjectByTool"), object.handle);
    if (ok)
        ok = client.sendCommand(command.commandId, qint16(command.classId), object.fullName);
    QVariant visible;
    if (ok)
        ok = client.get(QStringLiteral("Visible"), &visible);
    if (!ok) {
        out.message = callFailure(client, object.fullName);
        client.release();
        return out;
    }
    out.windowShown = visible.toBool();
    out.ok = out.windowShown;
    out.message = out.windowShown ? fill(1924, {command.name, device.name + QStringLiteral(" / ") + object.name})
                                  : fill(1920, {object.fullName, QStringLiteral("no window")});
    // The plug-in lives on through its window.
    client.release();
    return out;
}

Outcome Director::registerInProject(const QString &programIds)
{
    Outcome out;
    automation::PlugInClient client(m_bus, m_timeoutMs);
    const QString progId = QStringLiteral("nordaQRT.Application");
    if (!prepare(client, progId, m_networkName, out))
        return out;
    automation::RegResultObject result(m_bus);
    bool ok = client.set(QStringLiteral("ProgramIdsToRegister"), programIds);
    if (ok)
        ok = client.set(QStringLiteral("RegResult"), result.handle());
    if (ok)
        ok = client.sendCommand(50, 0, m_networkName);
    client.release();
    if (!ok) {
        out.message = callFailure(client, m_networkName);
        return out;
    }
    out.regResultSet = result.wasSet();
    out.regResult = result.regResult();
    out.ok = out.regResultSet && !out.regResult;
    out.message = fill(out.ok ? 1921 : 1922, {m_networkName});
    return out;
}

} // namespace director
