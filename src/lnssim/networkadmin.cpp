#include "networkadmin.h"

#include "channeltimeline.h"
#include "nvtypes.h"

#include <lns/templatelookup.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lnssim {

using lns::LnsError;

namespace {

[[noreturn]] void templateFault(const QString &templateName, const QString &what)
{
    throw LnsError(lns::ErrBadValue, QStringLiteral("device template %1: %2").arg(templateName, what));
}

QByteArray parseBytes(const QString &text, bool *ok)
{
    QByteArray out;
    *ok = true;
    for (const QString &p : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool good = false;
        const uint v = p.toUInt(&good);
        if (!good || v > 255) {
            *ok = false;
            return QByteArray();
        }
        out.append(char(v));
    }
    return out;
}

QStringList sectionKeys(const platform::IniFile &ini, const QString &section, const QString &templateName)
{
    QStringList keys = ini.keys(section);
    for (const QString &k : ini.keys(templateName + QLatin1Char('|') + section)) {
        if (!keys.contains(k))
            keys << k;
    }
    return keys;
}

} // namespace

NetworkAdmin::NetworkAdmin(const QString &root, const QString &networkName)
    : NetworkAdmin(NetworkHome::local(root), networkName)
{
}

NetworkAdmin::NetworkAdmin(const NetworkHome &home, const QString &networkName)
    : m_home(home), m_name(networkName), m_location(home.locationOf(networkName))
{
}

bool NetworkAdmin::exists() const
{
    return networkExists(m_location);
}

void NetworkAdmin::create()
{
    if (!m_home.isRemote() && !QDir().mkpath(m_home.root))
        throw LnsError(lns::ErrDatabase, QStringLiteral("folder %1 cannot be created").arg(m_home.root));
    m_db.create(m_location, m_name);
}

void NetworkAdmin::open()
{
    m_db.open(m_location);
}

void NetworkAdmin::close()
{
    m_db.close();
}

int NetworkAdmin::addSubsystem(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('.'));
    for (const QString &p : parts) {
        if (p.trimmed().isEmpty())
            throw LnsError(lns::ErrBadValue, QStringLiteral("subsystem path \"%1\" has an empty part").arg(path));
    }
    NetworkDb::Transaction tx(m_db);
    int parent = 0;
    for (const QString &part : parts) {
        QSqlQuery &q = m_db.query(QStringLiteral("SELECT id FROM subsystems WHERE name = ? AND COALESCE(parent_id, 0) = ?"));
        m_db.exec(q, {part, parent});
        int id = 0;
        if (q.next())
            id = q.value(0).toInt();
        q.finish();
        if (id == 0) {
            QSqlQuery &pos = m_db.query(QStringLiteral("SELECT COALESCE(MAX(position), 0) + 1 FROM subsystems"
                                                       " WHERE COALESCE(parent_id, 0) = ?"));
            m_db.exec(pos, {parent});
            const int position = pos.next() ? pos.value(0).toInt() : 1;
            pos.finish();
            QSqlQuery &ins = m_db.query(
                QStringLiteral("INSERT INTO subsystems(parent_id, name, position) VALUES(?, ?, ?) RETURNING id"));
            id = m_db.insertReturningId(ins, {parent == 0 ? QVariant() : QVariant(parent),
                                              part, position});
            m_db.touchStructure();
        }
        parent = id;
    }
    tx.commit();
    return parent;
}

int NetworkAdmin::addDevice(const NewDevice &nd, const platform::IniFile &ini)
{
    const QString t = nd.templateName;
    QString programId;
    for (const platform::TemplateEntry &e : ini.templates()) {
        if (e.name == t)
            programId = e.programId;
    }
    if (programId.isEmpty())
        templateFault(t, QStringLiteral("not listed in %1 (or without ProgramId)").arg(ini.fileName()));
    if (nd.name.trimmed().isEmpty() || nd.name.contains(QLatin1Char('.')))
        throw LnsError(lns::ErrBadValue, QStringLiteral("device name \"%1\" is empty or has a dot").arg(nd.name));

    // Layout first, so that a template fault leaves the database untouched.
    QVector<CpRow> cps;
    for (const QString &key : sectionKeys(ini, kDeviceCpSection, t)) {
        const QString line = ini.value(kDeviceCpSection, key, t);
        const QStringList f = line.split(QLatin1Char(','));
        if (f.size() != 5)
            templateFault(t, QStringLiteral("CP %1: \"%2\" is not scope,type,element bytes,dimension,factory bytes").arg(key, line));
        const platform::IniFile::Indexes idx = ini.indexes(lns::kCpSection, key, t);
        if (idx.index == -1)
            continue; // the template's devices do not have this CP
        CpRow r;
        r.name = key;
        const QString scope = f.at(0).trimmed();
        if (scope == QLatin1String("dev")) {
            r.scope = CpScope::Device;
            r.ownerIndex = 0;
        } else if (scope == QLatin1String("obj")) {
            r.scope = idx.member > 0 ? CpScope::Nv : CpScope::Object;
            r.ownerIndex = idx.member > 0 ? idx.member : 1;
        } else {
            templateFault(t, QStringLiteral("CP %1: scope \"%2\" is neither obj nor dev").arg(key, scope));
        }
        r.cpIndex = idx.index;
        r.type = f.at(1).trimmed();
        bool ok1 = false, ok2 = false, ok3 = false;
        r.elementLength = f.at(2).trimmed().toInt(&ok1);
        r.dimension = f.at(3).trimmed().toInt(&ok2);
        r.factory = parseBytes(f.at(4), &ok3);
        if (!ok1 || !ok2 || !ok3 || r.elementLength <= 0 || r.dimension <= 0)
            templateFault(t, QStringLiteral("CP %1: bad sizes or factory bytes in \"%2\"").arg(key, line));
        if (r.factory.size() != r.length())
            templateFault(t, QStringLiteral("CP %1: %2 factory byte(s) for a CP of %3").arg(key).arg(r.factory.size()).arg(r.length()));
        cps << r;
    }
    QVector<NvRow> nvs;
    for (const QString &key : sectionKeys(ini, kDeviceNvSection, t)) {
        const QString line = ini.value(kDeviceNvSection, key, t);
        const QStringList f = line.split(QLatin1Char(','));
        if (f.size() != 4)
            templateFault(t, QStringLiteral("NV %1: \"%2\" is not direction,type,bytes,initial bytes").arg(key, line));
        const platform::IniFile::Indexes idx = ini.indexes(lns::kNvSection, key, t);
        if (idx.index < 1)
            continue;
        NvRow r;
        r.name = key;
        r.nvIndex = idx.index;
        r.objectIndex = qMax(0, idx.member);
        const QString dir = f.at(0).trimmed();
        if (dir != QLatin1String("in") && dir != QLatin1String("out"))
            templateFault(t, QStringLiteral("NV %1: direction \"%2\" is neither in nor out").arg(key, dir));
        r.input = dir == QLatin1String("in");
        r.typeName = f.at(1).trimmed();
        r.typeIndex = nvTypeIndex(r.typeName);
        bool ok1 = false, ok2 = false;
        r.size = f.at(2).trimmed().toInt(&ok1);
        r.initial = parseBytes(f.at(3), &ok2);
        if (!ok1 || !ok2 || r.size <= 0 || r.initial.size() != r.size)
            templateFault(t, QStringLiteral("NV %1: bad size or initial bytes in \"%2\"").arg(key, line));
        nvs << r;
    }

    NetworkDb::Transaction tx(m_db);
    const int channel = nd.channel.isEmpty() ? kDefaultChannelId : channelId(nd.channel);
    const int subsystemId = addSubsystem(nd.subsystemPath);
    int index = 1, position = 1;
    {
        QSqlQuery &q = m_db.query(QStringLiteral("SELECT COALESCE(MAX(lns_index), 0) + 1,"
                                                 " (SELECT COALESCE(MAX(position), 0) + 1 FROM devices WHERE subsystem_id = ?)"
                                                 " FROM devices"));
        m_db.exec(q, {subsystemId});
        if (q.next()) {
            index = q.value(0).toInt();
            position = q.value(1).toInt();
        }
        q.finish();
    }
    QSqlQuery &ins = m_db.query(QStringLiteral("INSERT INTO devices(subsystem_id, lns_index, name, template, program_id, position)"
                                               " VALUES(?, ?, ?, ?, ?, ?) RETURNING id"));
    const int id = m_db.insertReturningId(ins, {subsystemId, index, nd.name, t, programId, position});
    m_db.exec(m_db.query(QStringLiteral("INSERT INTO device_channels(device_id, channel_id) VALUES(?, ?)")), {id, channel});
    m_db.touchStructure();
    m_db.run(QStringLiteral("INSERT INTO lonmark_objects(device_id, obj_index, name) VALUES(?, 0, ?)"), {id, kNodeObjectName});
    m_db.run(QStringLiteral("INSERT INTO lonmark_objects(device_id, obj_index, name) VALUES(?, 1, ?)"), {id, kControllerObjectName});
    m_db.run(QStringLiteral("INSERT INTO device_state(device_id, commissioned, reachable, app_number, app_version)"
                            " VALUES(?, ?, ?, ?, ?)"),
             {id, nd.commissioned ? 1 : 0, nd.reachable ? 1 : 0, nd.appNumber, nd.appVersion});
    for (const CpRow &r : cps) {
        m_db.exec(m_db.query(QStringLiteral("INSERT INTO cps(device_id, name, scope, owner_index, cp_index, type,"
                                            " element_length, dimension, factory, db_value) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")),
                  {id, r.name, scopeText(r.scope), r.ownerIndex, r.cpIndex, r.type, r.elementLength, r.dimension, r.factory,
                   r.factory});
        m_db.exec(m_db.query(QStringLiteral("INSERT INTO device_cp(device_id, name, value) VALUES(?, ?, ?)")),
                  {id, r.name, r.factory});
    }
    for (const NvRow &r : nvs) {
        m_db.exec(m_db.query(QStringLiteral("INSERT INTO nvs(device_id, name, nv_index, object_index, direction, type, size,"
                                            " type_index, initial) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)")),
                  {id, r.name, r.nvIndex, r.objectIndex, r.input ? QStringLiteral("in") : QStringLiteral("out"), r.typeName,
                   r.size, r.typeIndex, r.initial});
        m_db.exec(m_db.query(QStringLiteral("INSERT INTO device_nv(device_id, name, value) VALUES(?, ?, ?)")),
                  {id, r.name, r.initial});
    }
    tx.commit();
    return id;
}

namespace {

void checkObjectName(const QString &what, const QString &name)
{
    if (name.trimmed().isEmpty() || name.trimmed() != name || name.contains(QLatin1Char('.')))
        throw LnsError(lns::ErrBadValue,
                       QStringLiteral("%1 name \"%2\" is empty, has a dot or blanks around it").arg(what, name));
}

} // namespace

int NetworkAdmin::channelId(const QString &name)
{
    for (const ChannelRow &c : m_db.channels()) {
        if (c.name == name)
            return c.id;
    }
    throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("network %1 has no channel \"%2\"").arg(m_name, name));
}

int NetworkAdmin::addChannel(const QString &name, const QString &routerName, const QString &nearChannel)
{
    checkObjectName(QStringLiteral("channel"), name);
    checkObjectName(QStringLiteral("router"), routerName);
    NetworkDb::Transaction tx(m_db);
    const int nearId = channelId(nearChannel);
    for (const ChannelRow &c : m_db.channels()) {
        if (c.name == name)
            throw LnsError(lns::ErrBadValue, QStringLiteral("network %1 has a channel \"%2\" already").arg(m_name, name));
    }
    for (const RouterRow &r : m_db.routers()) {
        if (r.name == routerName)
            throw LnsError(lns::ErrBadValue,
                           QStringLiteral("network %1 has a router \"%2\" already").arg(m_name, routerName));
    }
    QSqlQuery &ins = m_db.query(QStringLiteral("INSERT INTO channels(name) VALUES(?) RETURNING id"));
    const int id = m_db.insertReturningId(ins, {name});
    m_db.exec(m_db.query(QStringLiteral("INSERT INTO routers(name, near_channel_id, far_channel_id) VALUES(?, ?, ?)")),
              {routerName, nearId, id});
    m_db.touchStructure();
    tx.commit();
    return id;
}

void NetworkAdmin::moveDevice(int deviceId, const QString &channel)
{
    NetworkDb::Transaction tx(m_db);
    const int id = channelId(channel);
    m_db.exec(m_db.query(QStringLiteral("INSERT INTO device_channels(device_id, channel_id) VALUES(?, ?)"
                                        " ON CONFLICT(device_id) DO UPDATE SET channel_id = excluded.channel_id")),
              {deviceId, id});
    m_db.touchStructure();
    tx.commit();
}

QVector<DeviceInfo> NetworkAdmin::devices()
{
    const QVector<SubsystemRow> subs = m_db.subsystems();
    QHash<int, QString> channelNames;
    for (const ChannelRow &c : m_db.channels())
        channelNames.insert(c.id, c.name);
    auto pathOf = [&](int id) {
        QStringList parts;
        for (int guard = 0; id != 0 && guard < 64; ++guard) {
            int next = 0;
            for (const SubsystemRow &s : subs) {
                if (s.id == id) {
                    parts.prepend(s.name);
                    next = s.parentId;
                }
            }
            id = next;
        }
        return parts.join(QLatin1Char('.'));
    };
    QVector<DeviceInfo> out;
    for (const DeviceRow &d : m_db.devices()) {
        DeviceInfo i;
        i.id = d.id;
        i.index = d.index;
        i.name = d.name;
        i.subsystemPath = pathOf(d.subsystemId);
        i.templateName = d.templateName;
        i.programId = d.programId;
        i.objectName = QStringList{m_name, i.subsystemPath, d.name, kControllerObjectName}.join(QLatin1Char('.'));
        i.channel = channelNames.value(d.channelId);
        i.state = m_db.deviceState(d.id);
        out << i;
    }
    std::sort(out.begin(), out.end(), [](const DeviceInfo &a, const DeviceInfo &b) { return a.index < b.index; });
    return out;
}

DeviceInfo NetworkAdmin::device(const QString &key)
{
    for (const DeviceInfo &d : devices()) {
        const QString inNetwork = d.subsystemPath + QLatin1Char('.') + d.name;
        if (d.name == key || inNetwork == key || d.objectName == key
            || d.objectName.section(QLatin1Char('.'), 0, -2) == key)
            return d;
        // Any object of the device, e.g. "...Room101.NodeObject".
        if (key.startsWith(m_name + QLatin1Char('.') + inNetwork + QLatin1Char('.'))
            && !key.mid(m_name.size() + inNetwork.size() + 2).contains(QLatin1Char('.')))
            return d;
    }
    throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("network %1 has no device \"%2\"").arg(m_name, key));
}

QVector<CpComparison> NetworkAdmin::compareCps(int deviceId)
{
    QVector<CpComparison> out;
    for (const CpRow &r : m_db.cpsOf(deviceId)) {
        CpComparison c;
        c.name = r.name;
        c.scope = r.scope;
        c.ownerIndex = r.ownerIndex;
        c.cpIndex = r.cpIndex;
        c.database = m_db.databaseCp(deviceId, r.name);
        c.device = m_db.deviceCp(deviceId, r.name);
        out << c;
    }
    return out;
}

const CpRow NetworkAdmin::requireCp(int deviceId, const QString &cp)
{
    for (const CpRow &r : m_db.cps()) {
        if (r.deviceId == deviceId && r.name == cp)
            return r;
    }
    throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("the device has no CP \"%1\"").arg(cp));
}

DeviceFaults NetworkAdmin::faults(int deviceId)
{
    return m_db.deviceFaults(deviceId);
}

void NetworkAdmin::setUnreachable(int deviceId, bool on)
{
    DeviceFaults f = m_db.deviceFaults(deviceId);
    f.unreachable = on;
    m_db.setDeviceFaults(deviceId, f);
}

void NetworkAdmin::setCpFault(int deviceId, const QString &cpName, CpFault fault)
{
    DeviceFaults f = m_db.deviceFaults(deviceId);
    if (fault != CpFault::Off)
        requireCp(deviceId, cpName);
    f.cpName = fault == CpFault::Off ? QString() : cpName;
    f.cpFault = fault;
    m_db.setDeviceFaults(deviceId, f);
}

void NetworkAdmin::setLatency(int deviceId, int ms, bool sleep)
{
    if (ms < 0)
        throw LnsError(lns::ErrBadValue, QStringLiteral("latency %1 ms is negative").arg(ms));
    DeviceFaults f = m_db.deviceFaults(deviceId);
    f.latencyMs = ms;
    f.sleep = sleep;
    m_db.setDeviceFaults(deviceId, f);
}

void NetworkAdmin::setDownloadFault(int deviceId, bool on)
{
    DeviceFaults f = m_db.deviceFaults(deviceId);
    f.downloadFails = on;
    m_db.setDeviceFaults(deviceId, f);
}

void NetworkAdmin::setRefuseOpen(bool on)
{
    NetworkDb::Transaction tx(m_db);
    m_db.setSetting(QStringLiteral("refuse_open"), on ? QStringLiteral("1") : QStringLiteral("0"));
    tx.commit();
}

bool NetworkAdmin::refuseOpen()
{
    return m_db.setting(QStringLiteral("refuse_open")) == QLatin1String("1");
}

void NetworkAdmin::clearFaults()
{
    m_db.clearAllFaults();
}

void NetworkAdmin::setCommissioned(int deviceId, bool on)
{
    NetworkDb::Transaction tx(m_db);
    m_db.setCommissioned(deviceId, on);
    tx.commit();
}

QByteArray NetworkAdmin::deviceCp(int deviceId, const QString &cp)
{
    return m_db.deviceCp(deviceId, cp);
}

void NetworkAdmin::setDeviceCp(int deviceId, const QString &cp, const QByteArray &bytes)
{
    const CpRow r = requireCp(deviceId, cp);
    if (bytes.size() != r.length())
        throw LnsError(lns::ErrBadValue, QStringLiteral("CP %1 holds %2 byte(s), got %3").arg(cp).arg(r.length()).arg(bytes.size()));
    NetworkDb::Transaction tx(m_db);
    m_db.setDeviceCp(deviceId, cp, bytes);
    tx.commit();
}

QByteArray NetworkAdmin::databaseCp(int deviceId, const QString &cp)
{
    return m_db.databaseCp(deviceId, cp);
}

QByteArray NetworkAdmin::deviceNv(int deviceId, const QString &nv)
{
    return m_db.deviceNv(deviceId, nv);
}

void NetworkAdmin::setDeviceNv(int deviceId, const QString &nv, const QByteArray &bytes)
{
    const QByteArray old = m_db.deviceNv(deviceId, nv);
    if (bytes.size() != old.size())
        throw LnsError(lns::ErrBadValue, QStringLiteral("NV %1 holds %2 byte(s), got %3").arg(nv).arg(old.size()).arg(bytes.size()));
    NetworkDb::Transaction tx(m_db);
    m_db.setDeviceNv(deviceId, nv, bytes);
    tx.commit();
}

Counters NetworkAdmin::counters(int deviceId)
{
    return m_db.counters(deviceId);
}

Counters NetworkAdmin::totals()
{
    return m_db.totals();
}

void NetworkAdmin::resetCounters()
{
    NetworkDb::Transaction tx(m_db);
    m_db.resetCounters();
    tx.commit();
}

// --- demo network ---------------------------------------------------------------

namespace {

QString floorChannel(int floor)
{
    return QStringLiteral("Floor%1").arg(floor);
}

QString lineChannel(int line)
{
    return QStringLiteral("Line%1").arg(line, 2, 10, QLatin1Char('0'));
}

} // namespace

QString SiteSize::problem() const
{
    if (controllers < 0 || controllers > kMaxControllers)
        return QStringLiteral("the number of controllers must be from 0 to %1, not %2").arg(kMaxControllers).arg(controllers);
    if (channels < 1 || channels > kMaxChannels)
        return QStringLiteral("the number of channels must be from 1 to %1, not %2").arg(kMaxChannels).arg(channels);
    if (controllers > 0 && channels > controllers)
        return QStringLiteral("%1 channel(s) for %2 controller(s): every channel needs a controller")
            .arg(channels)
            .arg(controllers);
    return QString();
}

QStringList DemoNetwork::channelsOf(const SiteSize &site)
{
    QStringList out{floorChannel(1), floorChannel(2)};
    if (site.controllers > 0) {
        for (int c = 1; c <= site.channels; ++c)
            out << lineChannel(c);
    }
    return out;
}

QVector<NewDevice> DemoNetwork::plan(const SiteSize &site)
{
    static const char *const templates[12] = {"AerolisCtrl-T1", "AerolisCtrl-T2", "AerolisCtrl-T3", "AerolisCtrl-T4",
                                              "AerolisCtrl-T5", "AerolisCtrl-T1", "AerolisCtrl-T2", "AerolisCtrl-T3",
                                              "AerolisCtrl-T4", "AerolisCtrl-T5", "AerolisCtrl-T1", "AerolisCtrl-T2"};
    constexpr int kKinds = 5;
    QVector<NewDevice> out;
    for (int i = 0; i < 12; ++i) {
        NewDevice d;
        const int floor = i / 6 + 1;
        d.subsystemPath = QStringLiteral("Building.Floor%1").arg(floor);
        d.name = QStringLiteral("Room%1%2").arg(floor).arg(i % 6 + 1, 2, 10, QLatin1Char('0'));
        d.templateName = QString::fromLatin1(templates[i]);
        d.channel = floorChannel(floor);
        out << d;
    }
    out[3].appVersion = QStringLiteral("2.00");  // Room104, T4: older application (calibration not kept)
    out[10].reachable = false;                   // Room205
    out[11].commissioned = false;                // Room206
    for (int i = 0; i < site.controllers; ++i) {
        NewDevice d;
        const QString line = lineChannel(i % site.channels + 1);
        d.subsystemPath = QStringLiteral("Building.") + line;
        d.name = QStringLiteral("Ctrl%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        d.templateName = QStringLiteral("AerolisCtrl-T%1").arg(i % kKinds + 1);
        d.channel = line;
        out << d;
    }
    return out;
}

void DemoNetwork::create(const QString &root, const platform::IniFile &ini, bool force, const QString &networkName,
                         const SiteSize &site)
{
    create(NetworkHome::local(root), ini, force, networkName, site);
}

void DemoNetwork::create(const NetworkHome &home, const platform::IniFile &ini, bool force, const QString &networkName,
                         const SiteSize &site)
{
    const QString problem = site.problem();
    if (!problem.isEmpty())
        throw LnsError(lns::ErrBadValue, problem);
    const DatabaseLocation finalLocation = home.locationOf(networkName);
    if (!force && networkExists(finalLocation))
        throw LnsError(lns::ErrDatabase, QStringLiteral("network %1 exists already (%2); use --force to replace it")
                                             .arg(networkName, finalLocation.display()));
    if (!ini.exists())
        throw LnsError(lns::ErrDatabase, QStringLiteral("device template file %1 cannot be read").arg(ini.fileName()));
    // Built under a temporary name and moved into place when complete, so that
    // a failure leaves any existing network as it was.
    const QString buildName = networkName + QStringLiteral(".building");
    NetworkAdmin admin(home, buildName);
    dropNetwork(admin.location());
    try {
        admin.create();
        NetworkDb::Transaction tx(admin.db());
        admin.db().setSetting(QStringLiteral("name"), networkName);
        for (const QString &channel : channelsOf(site))
            admin.addChannel(channel, QStringLiteral("Router") + channel);
        for (const NewDevice &d : plan(site))
            admin.addDevice(d, ini);
        tx.commit();
        admin.close();
    } catch (...) {
        admin.close();
        dropNetwork(admin.location());
        throw;
    }
    try {
        renameNetwork(admin.location(), networkName);
    } catch (...) {
        dropNetwork(admin.location());
        throw;
    }
}

NetworkAdmin::RunFigures NetworkAdmin::lastRun()
{
    RunFigures r;
    r.wallMicros = m_db.setting(kRunWallSetting).toLongLong();
    r.peakInFlight = m_db.setting(kRunPeakInFlightSetting).toInt();
    return r;
}

} // namespace lnssim
