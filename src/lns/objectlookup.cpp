#include "objectlookup.h"

#include <platform/tracelog.h>

#include <QCollator>

#include <algorithm>
#include <functional>
#include <vector>

namespace lns {

namespace {

// Levenshtein distance of two texts, letter case ignored.
int editDistance(const QString &a, const QString &b)
{
    const QString x = a.toCaseFolded();
    const QString y = b.toCaseFolded();
    std::vector<int> row(y.size() + 1);
    for (int j = 0; j <= y.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= x.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= y.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x.at(i - 1) == y.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[y.size()];
}

template <class T>
QStringList namesOf(const CollectionPtr<T> &items)
{
    QStringList out;
    for (int i = 1; items && i <= items->count(); ++i)
        out << items->itemAt(i)->name();
    return out;
}

// A device found while walking a network, with its dotted place.
struct FoundDevice
{
    AppDevicePtr device;
    QString network;
    QString subsystemPath;
    QString key() const { return network + QLatin1Char('.') + subsystemPath + QLatin1Char('.') + device->name(); }
};

void walkDevices(const SubsystemPtr &subsystem, const QString &network, const std::function<void(FoundDevice)> &visit)
{
    const QString path = subsystem->path();
    const auto devices = subsystem->appDevices();
    for (int i = 1; devices && i <= devices->count(); ++i)
        visit(FoundDevice{devices->itemAt(i), network, path});
    const auto children = subsystem->subsystems();
    for (int i = 1; children && i <= children->count(); ++i)
        walkDevices(children->itemAt(i), network, visit);
}

// Opens what the walk needs and closes, at the end, only what it opened.
class Walk
{
public:
    Walk(ObjectServerPtr server, Access access) : m_server(std::move(server)), m_access(std::move(access)) {}
    ~Walk()
    {
        for (const NetworkPtr &n : m_opened) {
            try {
                n->close();
            } catch (const LnsError &e) {
                platform::traceCaughtError(QStringLiteral("lookUpObject"), e.number(), e.description());
            }
        }
        if (m_openedServer) {
            try {
                m_server->close();
            } catch (const LnsError &e) {
                platform::traceCaughtError(QStringLiteral("lookUpObject"), e.number(), e.description());
            }
        }
    }
    Walk(const Walk &) = delete;
    Walk &operator=(const Walk &) = delete;

    CollectionPtr<Network> networks()
    {
        if (!m_server)
            throw LnsError(ErrNotOpen, QStringLiteral("no object server"));
        if (!m_server->isOpen()) {
            openServer(m_server, m_access);
            m_openedServer = true;
        }
        return m_server->networks();
    }
    SystemPtr openedSystem(const NetworkPtr &network)
    {
        if (!network->isOpen()) {
            network->open(false);
            m_opened << network;
        }
        return network->system();
    }

private:
    ObjectServerPtr m_server;
    Access m_access;
    bool m_openedServer = false;
    QVector<NetworkPtr> m_opened;
};

ObjectLookup missingAt(LookupMissing what, const QString &wanted, const QString &place, const QStringList &closest)
{
    ObjectLookup r;
    r.missing = what;
    r.wanted = wanted;
    r.place = place;
    r.closest = closest;
    return r;
}

// The object `objectName` of a found device; empty: its one functional block.
ObjectLookup takeObject(const FoundDevice &d, const QString &objectName)
{
    const auto objects = d.device->lonMarkObjects();
    if (!objectName.isEmpty()) {
        for (int i = 1; objects && i <= objects->count(); ++i)
            if (objects->itemAt(i)->name() == objectName) {
                ObjectLookup r;
                r.name = platform::makeObjectName(d.network, d.subsystemPath, d.device->name(), objectName);
                return r;
            }
        return missingAt(LookupMissing::Object, objectName, d.key(), closestNames(objectName, namesOf(objects)));
    }
    QStringList blocks;
    for (int i = 1; objects && i <= objects->count(); ++i) {
        const LonMarkObjectPtr o = objects->itemAt(i);
        if (o->index() > 0) // index 0 is the node object of the device itself
            blocks << o->name();
    }
    if (blocks.size() != 1)
        return missingAt(LookupMissing::Object, QString(), d.key(), namesOf(objects));
    ObjectLookup r;
    r.name = platform::makeObjectName(d.network, d.subsystemPath, d.device->name(), blocks.first());
    return r;
}

ObjectLookup lookUpWholeName(Walk &walk, const QStringList &parts)
{
    const QString networkName = parts.first();
    const auto networks = walk.networks();
    NetworkPtr network;
    try {
        network = networks->item(networkName);
    } catch (const LnsError &e) {
        platform::traceCaughtError(QStringLiteral("lookUpObject"), e.number(), e.description());
        return missingAt(LookupMissing::Network, networkName, QString(), closestNames(networkName, namesOf(networks)));
    }
    const SystemPtr system = walk.openedSystem(network);

    CollectionPtr<Subsystem> level = system->subsystems();
    SubsystemPtr subsystem;
    QString place = networkName;
    for (const QString &part : parts.mid(1, parts.size() - 3)) {
        try {
            subsystem = level->item(part);
        } catch (const LnsError &e) {
            platform::traceCaughtError(QStringLiteral("lookUpObject"), e.number(), e.description());
            return missingAt(LookupMissing::Subsystem, part, place, closestNames(part, namesOf(level)));
        }
        place += QLatin1Char('.') + part;
        level = subsystem->subsystems();
    }

    const QString deviceName = parts.at(parts.size() - 2);
    const auto devices = subsystem->appDevices();
    for (int i = 1; devices && i <= devices->count(); ++i) {
        const AppDevicePtr d = devices->itemAt(i);
        if (d->name() == deviceName)
            return takeObject(FoundDevice{d, networkName, subsystem->path()}, parts.last());
    }
    // A device of that name elsewhere in the network is the best hint.
    QStringList hints;
    const auto top = system->subsystems();
    for (int i = 1; top && i <= top->count(); ++i)
        walkDevices(top->itemAt(i), networkName, [&](const FoundDevice &f) {
            if (f.device->name().compare(deviceName, Qt::CaseInsensitive) == 0)
                hints << f.key();
        });
    for (const QString &n : closestNames(deviceName, namesOf(devices)))
        hints << place + QLatin1Char('.') + n;
    hints.removeDuplicates();
    return missingAt(LookupMissing::Device, deviceName, place, hints.mid(0, 3));
}

ObjectLookup lookUpDeviceName(Walk &walk, const QString &deviceName, const QString &objectName)
{
    const auto networks = walk.networks();
    QVector<FoundDevice> matches;
    QStringList everyKey;
    QStringList everyName;
    QStringList looked;
    ObjectLookup trouble; // the first network that could not be read
    for (int n = 1; networks && n <= networks->count(); ++n) {
        const NetworkPtr network = networks->itemAt(n);
        const QString networkName = network->name();
        looked << networkName;
        try {
            const auto top = walk.openedSystem(network)->subsystems();
            for (int i = 1; top && i <= top->count(); ++i)
                walkDevices(top->itemAt(i), networkName, [&](const FoundDevice &f) {
                    if (f.device->name() == deviceName)
                        matches << f;
                    everyKey << f.key();
                    everyName << f.device->name();
                });
        } catch (const LnsError &e) {
            if (!trouble.serverError()) {
                trouble.errorNumber = e.number();
                trouble.errorText = e.description();
            }
        }
    }
    if (matches.size() == 1)
        return takeObject(matches.first(), objectName);
    if (matches.size() > 1) {
        QStringList keys;
        for (const FoundDevice &f : matches)
            keys << f.key();
        return missingAt(LookupMissing::Ambiguous, deviceName, looked.join(QStringLiteral(", ")), keys);
    }
    // Not found: the device may be in the network that could not be read.
    if (trouble.serverError())
        return trouble;
    QStringList hints;
    for (const QString &name : closestNames(deviceName, everyName))
        hints << everyKey.at(everyName.indexOf(name));
    return missingAt(LookupMissing::Device, deviceName, looked.join(QStringLiteral(", ")), hints);
}

QString closestText(const QStringList &names)
{
    return names.isEmpty() ? QStringLiteral("there is none") : QStringLiteral("closest: ") + names.join(QStringLiteral(", "));
}

} // namespace

QStringList closestNames(const QString &wanted, const QStringList &names, int count)
{
    QCollator natural;
    natural.setNumericMode(true);
    natural.setCaseSensitivity(Qt::CaseInsensitive);
    QVector<QPair<int, QString>> ranked;
    for (const QString &n : names)
        ranked << qMakePair(editDistance(wanted, n), n);
    std::stable_sort(ranked.begin(), ranked.end(), [&natural](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : natural.compare(a.second, b.second) < 0;
    });
    QStringList out;
    for (const auto &r : ranked) {
        if (out.size() >= count)
            break;
        if (!out.contains(r.second))
            out << r.second;
    }
    return out;
}

QString ObjectLookup::reason() const
{
    if (serverError())
        return errorText;
    switch (missing) {
    case LookupMissing::None:
        return QString();
    case LookupMissing::Name:
        return QStringLiteral("\"%1\" is no object name (network.subsystem path.device.object, or a device name)").arg(wanted);
    case LookupMissing::Network:
        return QStringLiteral("network %1 not found; %2").arg(wanted, closestText(closest));
    case LookupMissing::Subsystem:
        return QStringLiteral("subsystem %1 not found in %2; %3").arg(wanted, place, closestText(closest));
    case LookupMissing::Device:
        return QStringLiteral("device %1 not found in %2; %3").arg(wanted, place, closestText(closest));
    case LookupMissing::Object:
        if (wanted.isEmpty())
            return QStringLiteral("device %1 holds no single functional block; objects: %2")
                .arg(place, closest.join(QStringLiteral(", ")));
        return QStringLiteral("object %1 not found in device %2; %3").arg(wanted, place, closestText(closest));
    case LookupMissing::Ambiguous:
        return QStringLiteral("device name %1 is in several networks: %2").arg(wanted, closest.join(QStringLiteral(", ")));
    }
    return QString();
}

ObjectLookup lookUpObject(const ObjectServerPtr &server, const QString &typedName, const Access &access)
{
    const QString text = typedName.trimmed();
    const QStringList parts = text.split(QLatin1Char('.'));
    const bool emptyPart = std::any_of(parts.begin(), parts.end(), [](const QString &p) { return p.trimmed().isEmpty(); });
    // Three parts could be read several ways; the user is told the forms.
    if (emptyPart || parts.size() == 3)
        return missingAt(LookupMissing::Name, text, QString(), {});
    Walk walk(server, access);
    try {
        if (parts.size() >= 4)
            return lookUpWholeName(walk, parts);
        return lookUpDeviceName(walk, parts.first(), parts.value(1));
    } catch (const LnsError &e) {
        ObjectLookup r;
        r.errorNumber = e.number();
        r.errorText = e.description();
        return r;
    }
}

} // namespace lns
