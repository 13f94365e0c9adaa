#include "roomcontroller.h"

#include "networksession.h"

#include <QDateTime>

#include <algorithm>

namespace lnssim {

namespace {

const char *const kOutputNvs[] = {"nvoUnitStatus", "nvoEffectOccup", "nvoEffectSetpt",
                                  "nvoOaDamper",   "nvoOaWindow",    "nvoEnergyHoldOff"};
const char *const kParamCps[] = {"SetPoints",    "ProtSetpointHeat", "ProtSetpointCool", "ProtSetpointFrost",
                                 "HeatXp",       "HeatTi",           "CoolXp",           "CoolTi",
                                 "EconMinLevel", "MinDeltaLevel",    "DiscLevels",       "SettingHystHigh",
                                 "SettingHystLow"};

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

quint32 seedOf(int deviceId)
{
    return quint32(deviceId) * 7919u + 17u;
}

QHash<QString, int> outputSizes(NetworkSession &s, int deviceId)
{
    QHash<QString, int> sizes;
    for (const char *name : kOutputNvs) {
        if (const NvRow *r = s.nvByName(deviceId, QString::fromLatin1(name)))
            sizes.insert(r->name, r->size);
    }
    return sizes;
}

} // namespace

// --- RoomStore -----------------------------------------------------------------

void RoomStore::ensureTable(NetworkDb &db)
{
    // The look-up is a cached statement: cheap when the table is there.
    if (db.tableExists(QStringLiteral("device_room")))
        return;
    db.runDdl(QStringLiteral("CREATE TABLE IF NOT EXISTS device_room("
                             "device_id INTEGER PRIMARY KEY, temperature REAL NOT NULL, heat_integral REAL NOT NULL, "
                             "cool_integral REAL NOT NULL, mode INTEGER NOT NULL, occupancy INTEGER NOT NULL, "
                             "\"window\" INTEGER NOT NULL, window_hold INTEGER NOT NULL, window_timer REAL NOT NULL, "
                             "window_changes INTEGER NOT NULL, frost_forced INTEGER NOT NULL, last_step_ms INTEGER NOT NULL)"));
}

std::optional<RoomState> RoomStore::load(NetworkDb &db, int deviceId, qint64 *lastStepMs)
{
    ensureTable(db);
    QSqlQuery &q = db.query(QStringLiteral(
        "SELECT temperature, heat_integral, cool_integral, mode, occupancy, \"window\", window_hold, window_timer, "
        "window_changes, frost_forced, last_step_ms FROM device_room WHERE device_id = ?"));
    db.exec(q, {deviceId});
    if (!q.next()) {
        q.finish();
        return std::nullopt;
    }
    RoomState s;
    s.temperature = q.value(0).toDouble();
    s.heatIntegral = q.value(1).toDouble();
    s.coolIntegral = q.value(2).toDouble();
    s.mode = q.value(3).toInt();
    s.occupancy = q.value(4).toInt();
    s.window = q.value(5).toInt() != 0;
    s.windowHold = WindowHold(std::clamp(q.value(6).toInt(), 0, 2));
    s.windowTimer = q.value(7).toDouble();
    s.windowChanges = q.value(8).toInt();
    s.frostForced = q.value(9).toInt() != 0;
    if (lastStepMs)
        *lastStepMs = q.value(10).toLongLong();
    q.finish();
    return s;
}

void RoomStore::save(NetworkDb &db, int deviceId, const RoomState &s, qint64 lastStepMs)
{
    ensureTable(db);
    QSqlQuery &q = db.query(QStringLiteral(
        "INSERT INTO device_room(device_id, temperature, heat_integral, cool_integral, mode, occupancy, "
        "\"window\", window_hold, window_timer, window_changes, frost_forced, last_step_ms) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(device_id) DO UPDATE SET "
        "temperature = excluded.temperature, heat_integral = excluded.heat_integral, "
        "cool_integral = excluded.cool_integral, mode = excluded.mode, occupancy = excluded.occupancy, "
        "\"window\" = excluded.\"window\", window_hold = excluded.window_hold, window_timer = excluded.window_timer, "
        "window_changes = excluded.window_changes, frost_forced = excluded.frost_forced, "
        "last_step_ms = excluded.last_step_ms"));
    db.exec(q, {deviceId, s.temperature, s.heatIntegral, s.coolIntegral, s.mode, s.occupancy, int(s.window),
                int(s.windowHold), s.windowTimer, s.windowChanges, int(s.frostForced), lastStepMs});
}

RoomState RoomStore::initial(NetworkDb &db, int deviceId)
{
    RoomState s;
    const QByteArray status = db.deviceNv(deviceId, QStringLiteral("nvoUnitStatus"));
    if (!status.isEmpty())
        s.mode = quint8(status.at(0));
    const QByteArray occ = db.deviceNv(deviceId, QStringLiteral("nvoEffectOccup"));
    if (!occ.isEmpty())
        s.occupancy = quint8(occ.at(0));
    const QByteArray sp = db.deviceNv(deviceId, QStringLiteral("nvoEffectSetpt"));
    if (sp.size() == 2)
        s.temperature = qint16((quint8(sp.at(0)) << 8) | quint8(sp.at(1))) / 100.0 - 0.5;
    s.windowTimer = RoomModel::nextWindowPeriod(seedOf(deviceId), 0, false);
    return s;
}

RoomState RoomStore::loadOrCreate(NetworkDb &db, int deviceId, qint64 *lastStepMs)
{
    if (std::optional<RoomState> s = load(db, deviceId, lastStepMs))
        return *s;
    const RoomState s = initial(db, deviceId);
    save(db, deviceId, s, 0);
    if (lastStepMs)
        *lastStepMs = 0;
    return s;
}

RoomParams RoomStore::params(NetworkDb &db, const DeviceRow &device, const QString &family)
{
    QHash<QString, QByteArray> cps;
    for (const char *name : kParamCps) {
        const QString n = QString::fromLatin1(name);
        const QByteArray b = db.deviceCp(device.id, n);
        if (!b.isEmpty())
            cps.insert(n, b);
    }
    RoomParams p = RoomParams::fromCps(cps, family, db.deviceState(device.id).appNumber);
    p.seed = seedOf(device.id);
    return p;
}

QHash<QString, QByteArray> RoomStore::step(NetworkDb &db, const DeviceRow &device, const QString &family,
                                           const QHash<QString, int> &sizes, const Step &how)
{
    NetworkDb::Transaction tx(db, {device.id});
    if (!db.deviceState(device.id).commissioned)
        return {};
    qint64 last = 0;
    RoomState s = loadOrCreate(db, device.id, &last);
    double dt = how.seconds;
    if (how.wallClock) {
        // Time since anyone last stepped this room, at most a few ticks (a
        // program that was stopped does not make the room jump).
        const double real = last > 0 ? std::clamp((how.nowMs - last) / 1000.0, 0.0, how.maxRealSeconds) : 0.0;
        dt = real * how.timeScale;
    }
    const RoomParams p = params(db, device, family);
    const RoomOutputs out = RoomModel::step(s, p, dt);
    QHash<QString, QByteArray> current;
    for (auto it = sizes.constBegin(); it != sizes.constEnd(); ++it)
        current.insert(it.key(), db.deviceNv(device.id, it.key()));
    const QHash<QString, QByteArray> changes =
        RoomModel::changedOutputs(current, RoomModel::encodeOutputs(out, p, sizes), p.minDeltaPercent);
    save(db, device.id, s, how.wallClock ? how.nowMs : last);
    tx.commit();
    return changes;
}

QHash<QString, int> RoomStore::outputSizes(NetworkDb &db, int deviceId)
{
    QHash<QString, int> sizes;
    for (const NvRow &r : db.nvs()) {
        if (r.deviceId != deviceId || r.input)
            continue;
        for (const char *name : kOutputNvs) {
            if (r.name == QLatin1String(name))
                sizes.insert(r.name, r.size);
        }
    }
    return sizes;
}

// --- RoomController ------------------------------------------------------------

RoomController::RoomController(NetworkSession &session, const Options &options)
    : m_session(session), m_options(options)
{
    m_timer.setInterval(std::max(50, options.tickMs));
    connect(&m_timer, &QTimer::timeout, this, &RoomController::tick);
    if (options.autoStep)
        m_timer.start();
}

RoomController::~RoomController() = default;

std::optional<RoomController::Options> RoomController::configured(NetworkDb &db)
{
    if (db.setting(kBehaviourSetting) != kBehaviourRoom)
        return std::nullopt;
    Options o;
    bool ok = false;
    const double scale = db.setting(kTimeScaleSetting).toDouble(&ok);
    if (ok && scale > 0)
        o.timeScale = scale;
    return o;
}

void RoomController::setAutoStep(bool on)
{
    if (on && !m_timer.isActive())
        m_timer.start();
    else if (!on)
        m_timer.stop();
}

QString RoomController::familyOf(const DeviceRow &device) const
{
    const platform::IniFile *ini = m_session.ini();
    return ini ? ini->value(device.templateName, QStringLiteral("Family")).trimmed() : QString();
}

QHash<QString, QByteArray> RoomController::inputWritten(NetworkDb &db, const DeviceRow &device,
                                                        const QString &nvName, const QByteArray &value)
{
    if (value.isEmpty() || (nvName != QLatin1String("nviApplicMode") && nvName != QLatin1String("nviOccSchedule")))
        return {};
    qint64 last = 0;
    RoomState s = RoomStore::loadOrCreate(db, device.id, &last);
    if (nvName == QLatin1String("nviApplicMode"))
        s.mode = quint8(value.at(0));
    else
        s.occupancy = quint8(value.at(0)); // current_state
    RoomStore::save(db, device.id, s, last);

    const RoomParams p = RoomStore::params(db, device, familyOf(device));
    const QHash<QString, int> sizes = outputSizes(m_session, device.id);
    const QHash<QString, QByteArray> next = RoomModel::encodeOutputs(RoomModel::outputs(s, p), p, sizes);
    QHash<QString, QByteArray> current;
    for (auto it = sizes.constBegin(); it != sizes.constEnd(); ++it)
        current.insert(it.key(), db.deviceNv(device.id, it.key()));
    // A command is answered at once, whatever the size of the change.
    QHash<QString, QByteArray> changes;
    for (auto it = next.constBegin(); it != next.constEnd(); ++it) {
        if (current.value(it.key()) != it.value())
            changes.insert(it.key(), it.value());
    }
    m_sent += changes.size();
    return changes;
}

void RoomController::stepDevice(const DeviceRow &device, double simSeconds, bool wallClock, qint64 now)
{
    RoomStore::Step how;
    how.seconds = simSeconds;
    how.wallClock = wallClock;
    how.nowMs = now;
    how.maxRealSeconds = 5.0 * m_options.tickMs / 1000.0;
    how.timeScale = m_options.timeScale;
    const QHash<QString, QByteArray> changes =
        RoomStore::step(m_session.db(), device, familyOf(device), outputSizes(m_session, device.id), how);
    ++m_steps;
    if (!changes.isEmpty()) {
        m_sent += changes.size();
        m_session.applyDeviceNvChanges(device.id, changes);
    }
}

void RoomController::advance(double simSeconds)
{
    if (!m_session.isOpen())
        return;
    const qint64 now = nowMs();
    for (const DeviceRow *d : m_session.allDevices())
        stepDevice(*d, simSeconds, false, now);
}

void RoomController::tick()
{
    if (!m_session.isOpen())
        return;
    const qint64 now = nowMs();
    try {
        for (const DeviceRow *d : m_session.allDevices())
            stepDevice(*d, 0, true, now);
    } catch (const lns::LnsError &) {
        // A busy database: the rooms are stepped again at the next tick.
    }
}

void installDeviceBehaviour(NetworkSession &session, const DeviceSimulatorFactory &factory)
{
    if (factory) {
        session.setDeviceSimulator(factory(session));
        return;
    }
    try {
        if (const std::optional<RoomController::Options> o = RoomController::configured(session.db()))
            session.setDeviceSimulator(std::make_unique<RoomController>(session, *o));
    } catch (const lns::LnsError &) {
        // Without readable settings the devices stay static.
    }
}

} // namespace lnssim
