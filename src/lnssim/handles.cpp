#include "handles.h"

#include "simobjects.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

namespace lnssim {

using lns::LnsError;

namespace {

QString enc(const QString &field)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(field));
}

QString dec(const QString &field)
{
    return QUrl::fromPercentEncoding(field.toLatin1());
}

QString cleanRoot(const QString &root)
{
    return QDir::cleanPath(QFileInfo(root).absoluteFilePath());
}

QString rootOf(const lns::ObjectPtr &network)
{
    auto server = std::dynamic_pointer_cast<SimObjectServer>(network ? network->parent() : nullptr);
    if (!server)
        throw LnsError(lns::ErrNotSupported, QStringLiteral("the object does not belong to the simulated object server"));
    return cleanRoot(server->rootFolder());
}

QString join(int classId, const QStringList &fields)
{
    QStringList parts{kHandleScheme, QString::number(classId)};
    for (const QString &f : fields)
        parts << enc(f);
    return parts.join(QLatin1Char(':'));
}

int indexField(const QString &text, const QString &handle)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok)
        throw LnsError(lns::ErrBadValue, QStringLiteral("handle %1: \"%2\" is not an index").arg(handle, text));
    return v;
}

} // namespace

QString objectHandle(const lns::ObjectPtr &object)
{
    if (!object)
        throw LnsError(lns::ErrNotSupported, QStringLiteral("no object"));
    const int cls = object->classId();
    switch (cls) {
    case lns::ClsObjectServer: {
        auto server = std::dynamic_pointer_cast<SimObjectServer>(object);
        if (!server)
            break;
        return join(cls, {cleanRoot(server->rootFolder())});
    }
    case lns::ClsNetwork:
        return join(cls, {rootOf(object), object->name()});
    case lns::ClsSystem: {
        const lns::ObjectPtr net = object->parent();
        return join(cls, {rootOf(net), net->name()});
    }
    case lns::ClsSubsystem: {
        auto sub = std::dynamic_pointer_cast<lns::Subsystem>(object);
        const lns::ObjectPtr net = lns::findAncestor(object, lns::ClsNetwork);
        if (!sub || !net)
            break;
        return join(cls, {rootOf(net), net->name(), sub->path()});
    }
    case lns::ClsAppDevice: {
        auto dev = std::dynamic_pointer_cast<lns::AppDevice>(object);
        const lns::ObjectPtr net = lns::findAncestor(object, lns::ClsNetwork);
        if (!dev || !net)
            break;
        return join(cls, {rootOf(net), net->name(), QString::number(dev->index())});
    }
    case lns::ClsLonMarkObject: {
        auto lmo = std::dynamic_pointer_cast<lns::LonMarkObject>(object);
        auto dev = std::dynamic_pointer_cast<lns::AppDevice>(lns::findAncestor(object, lns::ClsAppDevice));
        const lns::ObjectPtr net = lns::findAncestor(object, lns::ClsNetwork);
        if (!lmo || !dev || !net)
            break;
        return join(cls, {rootOf(net), net->name(), QString::number(dev->index()), QString::number(lmo->index())});
    }
    default:
        break;
    }
    throw LnsError(lns::ErrNotSupported, QStringLiteral("objects of ClassId %1 have no handle").arg(cls));
}

int handleClassId(const QString &handle)
{
    const QStringList parts = handle.split(QLatin1Char(':'));
    if (parts.size() < 3 || parts.first() != kHandleScheme)
        return -1;
    bool ok = false;
    const int cls = parts.at(1).toInt(&ok);
    return ok ? cls : -1;
}

HandleResolver::HandleResolver(const QString &iniPath) : m_iniPath(iniPath) {}

void HandleResolver::addServer(const std::shared_ptr<SimObjectServer> &server)
{
    if (server)
        m_external.insert(cleanRoot(server->rootFolder()), server);
}

std::shared_ptr<SimObjectServer> HandleResolver::serverFor(const QString &root)
{
    if (auto s = m_external.value(root).lock())
        return s;
    std::shared_ptr<SimObjectServer> &own = m_own[root];
    if (!own)
        own = SimObjectServer::create(root, m_iniPath);
    return own;
}

lns::ObjectPtr HandleResolver::resolve(const QString &handle)
{
    const QStringList raw = handle.trimmed().split(QLatin1Char(':'));
    const int cls = handleClassId(handle.trimmed());
    if (cls < 0)
        throw LnsError(lns::ErrBadValue, QStringLiteral("\"%1\" is not a handle of the simulated object server").arg(handle));
    QStringList f;
    for (int i = 2; i < raw.size(); ++i)
        f << dec(raw.at(i));
    auto need = [&](int count) {
        if (f.size() != count)
            throw LnsError(lns::ErrBadValue, QStringLiteral("handle %1: %2 field(s) expected for ClassId %3, %4 given")
                                                 .arg(handle)
                                                 .arg(count)
                                                 .arg(cls)
                                                 .arg(f.size()));
    };
    auto namesNothing = [&](const QString &what) {
        return LnsError(lns::ErrIndexOutOfRange, QStringLiteral("handle %1 names nothing: %2").arg(handle, what));
    };

    switch (cls) {
    case lns::ClsObjectServer:
    case lns::ClsNetwork:
    case lns::ClsSystem:
    case lns::ClsSubsystem:
    case lns::ClsAppDevice:
    case lns::ClsLonMarkObject:
        break;
    default:
        throw namesNothing(QStringLiteral("no object of ClassId %1 has a handle").arg(cls));
    }
    need(cls == lns::ClsObjectServer ? 1
         : (cls == lns::ClsNetwork || cls == lns::ClsSystem) ? 2
         : cls == lns::ClsLonMarkObject ? 4
                                        : 3);

    const QString root = cleanRoot(f.at(0));
    if (!QFileInfo(root).isDir())
        throw namesNothing(QStringLiteral("no network database folder %1").arg(QDir::toNativeSeparators(root)));
    std::shared_ptr<SimObjectServer> server = serverFor(root);
    if (!server->isOpen())
        server->open(0);
    if (cls == lns::ClsObjectServer)
        return server;

    lns::NetworkPtr network;
    try {
        network = server->networks()->item(f.at(1));
    } catch (const LnsError &) {
        throw namesNothing(QStringLiteral("no network \"%1\" in %2").arg(f.at(1), QDir::toNativeSeparators(root)));
    }
    if (!network->isOpen())
        network->open(false);
    if (cls == lns::ClsNetwork)
        return network;
    lns::SystemPtr system = network->system();
    if (cls == lns::ClsSystem)
        return system;

    if (cls == lns::ClsSubsystem) {
        lns::CollectionPtr<lns::Subsystem> level = system->subsystems();
        lns::SubsystemPtr sub;
        try {
            for (const QString &part : f.at(2).split(QLatin1Char('.'))) {
                sub = level->item(part);
                level = sub->subsystems();
            }
        } catch (const LnsError &) {
            throw namesNothing(QStringLiteral("no subsystem \"%1\"").arg(f.at(2)));
        }
        if (!sub)
            throw namesNothing(QStringLiteral("empty subsystem path"));
        return sub;
    }

    const int deviceIndex = indexField(f.at(2), handle);
    auto simNetwork = std::dynamic_pointer_cast<SimNetwork>(network);
    if (!simNetwork || !simNetwork->session())
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network %1 is not open").arg(f.at(1)));
    lns::AppDevicePtr device;
    for (const DeviceRow *d : simNetwork->session()->allDevices()) {
        if (d->index == deviceIndex) {
            device = makeAppDevice(simNetwork->session(), d->id);
            break;
        }
    }
    if (!device)
        throw namesNothing(QStringLiteral("no device with index %1 in network %2").arg(deviceIndex).arg(f.at(1)));
    if (cls == lns::ClsAppDevice)
        return device;

    const int objectIndex = indexField(f.at(3), handle);
    try {
        return device->lonMarkObjects()->item(objectIndex);
    } catch (const LnsError &) {
        throw namesNothing(
            QStringLiteral("device %1 has no LonMark object with index %2").arg(device->name()).arg(objectIndex));
    }
}

} // namespace lnssim
