#include "networksession.h"

#include "channeltimeline.h"
#include "imagefile.h"
#include "nvtypes.h"
#include "simobjects.h"

#include <lns/rawtext.h>
#include <lns/worklanes.h>

#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <utility>

namespace lnssim {

using lns::LnsError;

NetworkSession::NetworkSession(std::shared_ptr<const platform::IniFile> ini, const QString &iniPath)
    : m_ini(std::move(ini)), m_iniPath(iniPath), m_sim(std::make_unique<DeviceSimulator>())
{
    m_pollTimer.setInterval(200);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { pollTick(); });
    m_clock.start();
}

NetworkSession::~NetworkSession()
{
    close();
}

void NetworkSession::setDeviceSimulator(std::unique_ptr<DeviceSimulator> sim)
{
    m_sim = sim ? std::move(sim) : std::make_unique<DeviceSimulator>();
}

void NetworkSession::open(const QString &path, const QString &networkName)
{
    open(DatabaseLocation::file(path), networkName);
}

void NetworkSession::open(const DatabaseLocation &location, const QString &networkName)
{
    close();
    m_store = NetworkStore::acquire(location);
    m_name = networkName;
    m_open = true;
}

void NetworkSession::close()
{
    m_pollTimer.stop();
    m_tx = TxState();
    m_bracket = 0;
    m_monitors.clear();
    m_cpFormats.clear();
    m_channelNames.clear();
    m_store.reset();
    m_open = false;
}

void NetworkSession::checkOpen() const
{
    if (!m_open)
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network %1 is not open").arg(m_name));
}

// --- structure --------------------------------------------------------------

QVector<const SubsystemRow *> NetworkSession::childSubsystems(int parentId) const
{
    QVector<const SubsystemRow *> out;
    for (const SubsystemRow &s : openStore().subsystems()) {
        if (s.parentId == parentId)
            out << &s;
    }
    return out;
}

const SubsystemRow *NetworkSession::subsystem(int id) const
{
    for (const SubsystemRow &s : openStore().subsystems()) {
        if (s.id == id)
            return &s;
    }
    return nullptr;
}

QString NetworkSession::subsystemPath(int id) const
{
    QStringList parts;
    for (const SubsystemRow *s = subsystem(id); s && parts.size() < 64; s = subsystem(s->parentId))
        parts.prepend(s->name);
    return parts.join(QLatin1Char('.'));
}

QVector<const DeviceRow *> NetworkSession::devicesIn(int subsystemId) const
{
    QVector<const DeviceRow *> out;
    for (const DeviceRow &d : openStore().devices()) {
        if (d.subsystemId == subsystemId)
            out << &d;
    }
    return out;
}

QVector<const DeviceRow *> NetworkSession::allDevices() const
{
    QVector<const DeviceRow *> out;
    for (const DeviceRow &d : openStore().devices())
        out << &d;
    return out;
}

const DeviceRow *NetworkSession::device(int id) const
{
    return m_store ? m_store->device(id) : nullptr;
}

QVector<LonMarkObjectRow> NetworkSession::lonMarkObjectsOf(int deviceId) const
{
    return structureOf(deviceId).lonMarkObjects;
}

QVector<const CpRow *> NetworkSession::cpsOf(int deviceId, CpScope scope, int ownerIndex) const
{
    QVector<const CpRow *> out;
    for (const CpRow &c : structureOf(deviceId).cps) {
        if (c.scope == scope && c.ownerIndex == ownerIndex)
            out << &c;
    }
    std::sort(out.begin(), out.end(), [](const CpRow *a, const CpRow *b) { return a->cpIndex < b->cpIndex; });
    return out;
}

const CpRow *NetworkSession::cp(int deviceId, const QString &name) const
{
    for (const CpRow &c : structureOf(deviceId).cps) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

QVector<const NvRow *> NetworkSession::nvsOf(int deviceId, int objectIndex) const
{
    QVector<const NvRow *> out;
    for (const NvRow &n : structureOf(deviceId).nvs) {
        if (objectIndex < 0 || n.objectIndex == objectIndex)
            out << &n;
    }
    return out;
}

const NvRow *NetworkSession::nv(int deviceId, int nvIndex) const
{
    for (const NvRow &n : structureOf(deviceId).nvs) {
        if (n.nvIndex == nvIndex)
            return &n;
    }
    return nullptr;
}

const NvRow *NetworkSession::nvByName(int deviceId, const QString &name) const
{
    for (const NvRow &n : structureOf(deviceId).nvs) {
        if (n.name == name)
            return &n;
    }
    return nullptr;
}

QString NetworkSession::objectName(int deviceId, const QString &object) const
{
    const DeviceRow *d = device(deviceId);
    if (!d)
        return QString();
    return devicePath(*d) + QLatin1Char('.') + object;
}

QString NetworkSession::devicePath(const DeviceRow &dev) const
{
    return QStringList{m_name, subsystemPath(dev.subsystemId), dev.name}.join(QLatin1Char('.'));
}

QString NetworkSession::deviceLabel(const DeviceRow &dev) const
{
    return QStringLiteral("device %1").arg(devicePath(dev));
}

// --- bracket and transaction -------------------------------------------------

void NetworkSession::beginBracket(int)
{
    checkOpen();
    ++m_bracket;
}

void NetworkSession::endBracket()
{
    checkOpen();
    if (m_bracket == 0)
        throw LnsError(lns::ErrNoTransaction, QStringLiteral("system bracket ended without a begin"));
    --m_bracket;
}

void NetworkSession::startTransaction()
{
    checkOpen();
    if (m_tx.active)
        throw LnsError(lns::ErrTransactionActive, QStringLiteral("a transaction is already running"));
    m_tx = TxState();
    m_tx.active = true;
}

void NetworkSession::cancelTransaction()
{
    checkOpen();
    if (!m_tx.active)
        throw LnsError(lns::ErrNoTransaction, QStringLiteral("no transaction to cancel"));
    m_tx = TxState();
}

void NetworkSession::commitTransaction()
{
    checkOpen();
    if (!m_tx.active)
        throw LnsError(lns::ErrNoTransaction, QStringLiteral("no transaction to commit"));
    // The transaction ends here whatever the outcome.
    const TxState tx = m_tx;
    m_tx = TxState();

    QVector<CpKey> taken; // reads the commit takes into the database copy
    QVector<int> devices;
    for (const CpKey &key : tx.writeOrder)
        devices << key.first;
    for (const PendingLoad &load : tx.loads)
        devices << load.deviceId;
    for (auto it = tx.reads.constBegin(); it != tx.reads.constEnd(); ++it)
        devices << it.key().first;
    for (const ExtKey &key : tx.extOrder)
        devices << key.first.first;
    deviceOp(devices, [&](Pending &pending) {
        QHash<int, DeviceContext> contexts;
        struct Written
        {
            const DeviceRow *dev;
            int bytes;
        };
        QVector<Written> written;
        // Inside the write lock: nobody changes a CP between this look and
        // the write.
        for (const CpKey &key : tx.writeOrder) {
            const CpRow *cpRow = cp(key.first, key.second);
            const DeviceRow *dev = device(key.first);
            if (cpRow && dev)
                checkUnchangedSinceRead(*dev, *cpRow);
        }
        QVector<Written> loaded;
        for (const PendingLoad &load : tx.loads) {
            const DeviceRow *dev = device(load.deviceId);
            if (!dev)
                throw LnsError(lns::ErrDatabase, QStringLiteral("device %1 vanished from the network").arg(load.deviceId));
            // Loaded first: the device CPs it resets are then written over
            // by the transaction's own writes.
            contexts.insert(dev->id, context(dev->id));
            applyLoad(pending, *dev, contexts[dev->id], load);
            loaded << Written{dev, int(load.image.payload.size())};
        }
        for (const CpKey &key : tx.writeOrder) {
            const CpRow *cpRow = cp(key.first, key.second);
            const DeviceRow *dev = device(key.first);
            if (!cpRow || !dev)
                throw LnsError(lns::ErrDatabase, QStringLiteral("CP %1 vanished from the network").arg(key.second));
            const QByteArray bytes = tx.writes.value(key);
            if (!contexts.contains(dev->id))
                contexts.insert(dev->id, context(dev->id));
            const DeviceContext &ctx = contexts[dev->id];
            if (ctx.state.commissioned) {
                try {
                    charge(pending, *dev, ctx, ChannelModel::Op::WriteCp, bytes.size(),
                           QStringLiteral("writing CP %1").arg(cpRow->name), cpRow->name);
                } catch (const LnsError &e) {
                    // The writes that reached other CPs are taken back: each
                    // costs another write of the old bytes on the channel.
                    for (const Written &w : written)
                        charge(pending, *w.dev, contexts[w.dev->id], ChannelModel::Op::WriteCp, w.bytes,
                               QStringLiteral("restoring"), QString(), false);
                    // A loaded application is taken back by loading the old
                    // one again, at the same cost.
                    for (const Written &w : loaded)
                        charge(pending, *w.dev, contexts[w.dev->id], ChannelModel::Op::Download, w.bytes,
                               QStringLiteral("restoring the application"), QString(), false);
                    throw LnsError(e.number(), QStringLiteral("%1; transaction not committed, nothing was changed")
                                                   .arg(e.description()));
                }
                noteCpWrite(*dev, *cpRow, bytes, true);
                db().setDeviceCp(dev->id, cpRow->name, bytes);
                written << Written{dev, int(bytes.size())};
            } else {
                noteCpWrite(*dev, *cpRow, bytes, false);
            }
            db().setDatabaseCp(dev->id, cpRow->name, bytes);
        }
        for (auto it = tx.reads.constBegin(); it != tx.reads.constEnd(); ++it) {
            // A copy another session changed since the read keeps that
            // session's newer bytes.
            if (tx.writes.contains(it.key()) || changedSinceRead(it.key()))
                continue;
            takeIntoDatabase(it.key().first, it.key().second, it.value());
            taken << it.key();
        }
        for (const ExtKey &key : tx.extOrder) {
            const int deviceId = key.first.first;
            const int objectIndex = key.first.second;
            QString before;
            db().extensionData(deviceId, objectIndex, key.second, &before);
            if (const DeviceRow *dev = device(deviceId))
                noteWrite(*dev, lonMarkObjectName(deviceId, objectIndex), lns::WriteKind::ExtensionData, key.second,
                          before.toUtf8(), tx.ext.value(key).toUtf8(), lns::WriteOutcome::DatabaseOnly);
            db().setExtensionData(deviceId, objectIndex, key.second, tx.ext.value(key));
        }
    }, [&] { markRead(tx.writeOrder + taken); });
}

// --- device transactions -----------------------------------------------------

NetworkSession::DeviceContext NetworkSession::context(int deviceId)
{
    DeviceContext c;
    c.faults = db().deviceFaults(deviceId);
    c.state = db().deviceState(deviceId);
    return c;
}

void NetworkSession::charge(Pending &pending, const DeviceRow &dev, const DeviceContext &ctx, ChannelModel::Op op,
                            int bytes, const QString &what, const QString &cpName, bool mayFail)
{
    using Op = ChannelModel::Op;
    using Outcome = ChannelModel::Outcome;
    Outcome outcome = Outcome::Ok;
    if (mayFail) {
        if (!ctx.state.reachable) {
            outcome = Outcome::NoAnswer;
        } else if (!cpName.isEmpty() && ctx.faults.cpName == cpName) {
            const bool isRead = op == Op::ReadCp;
            const bool isWrite = op == Op::WriteCp;
            if ((isRead && (ctx.faults.cpFault == CpFault::Read || ctx.faults.cpFault == CpFault::Both))
                || (isWrite && (ctx.faults.cpFault == CpFault::Write || ctx.faults.cpFault == CpFault::Both)))
                outcome = Outcome::DeviceError;
        } else if (op == Op::Download && ctx.faults.downloadFails) {
            outcome = Outcome::DeviceError;
        }
    }
    const ChannelModel::Cost cost = ChannelModel::cost(op, bytes, outcome, ctx.faults.latencyMs, m_channel);
    ChannelTimeline::of(db().path()).record(dev.channelId, lns::workLane(), cost.micros);
    // Only a run that works in lanes stores its figures: the caller's own
    // lane alone adds no database write to a plain read or write.
    m_timelineChanged = m_timelineChanged || lns::workLane() != 0;
    Counters &c = pending[dev.id];
    c.channelMicros += cost.micros;
    const bool ok = outcome == Outcome::Ok;
    switch (op) {
    case Op::ReadCp:
    case Op::ReadNv:
    case Op::ReadVersion:
        ++c.deviceReads;
        if (ok && op != Op::ReadVersion)
            c.bytesRead += bytes;
        break;
    case Op::WriteCp:
    case Op::WriteNv:
        ++c.deviceWrites;
        if (ok)
            c.bytesWritten += bytes;
        break;
    case Op::Test:
        ++c.deviceTests;
        break;
    case Op::Download:
        ++c.downloads;
        if (ok)
            c.bytesWritten += bytes;
        break;
    }
    if (mayFail && ctx.faults.sleep && ctx.faults.latencyMs > 0)
        QThread::msleep(ctx.faults.latencyMs);

    switch (outcome) {
    case Outcome::Ok:
        return;
    case Outcome::NoAnswer:
        throw LnsError(lns::ErrDeviceUnreachable, QStringLiteral("%1 does not answer (%2)").arg(deviceLabel(dev), what));
    case Outcome::DeviceError:
        if (op == Op::Download)
            throw LnsError(lns::ErrDownloadFailed,
                           QStringLiteral("%1 refused the application image (%2)").arg(deviceLabel(dev), what));
        throw LnsError(lns::ErrDeviceFailed,
                       QStringLiteral("%1 answered with an error (%2)").arg(deviceLabel(dev), what));
    }
}

void NetworkSession::flushCounters(const Pending &pending)
{
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it)
        db().addCounters(it.key(), it.value());
    if (m_timelineChanged) {
        // With the counters, so that another program sees this run's figures.
        const ChannelTimeline &line = ChannelTimeline::of(db().path());
        db().setSetting(kRunWallSetting, QString::number(line.wallMicros()));
        db().setSetting(kRunPeakInFlightSetting, QString::number(line.peakInFlight()));
        m_timelineChanged = false;
    }
}

QString NetworkSession::channelName(int channelId)
{
    if (m_channelNames.isEmpty()) {
        for (const ChannelRow &c : db().channels())
            m_channelNames.insert(c.id, c.name);
    }
    return m_channelNames.value(channelId);
}

void NetworkSession::deviceOp(const QVector<int> &devices, const std::function<void(Pending &)> &body,
                             const std::function<void()> &recorded)
{
    checkOpen();
    Pending pending;
    m_noted.clear();
    try {
        // The record's marks stay sound with writers of other devices at
        // work: a record of these devices is made only while their lock is
        // held, so a mark taken under the lock is above every record of
        // theirs still to come.
        NetworkDb::Transaction sql(db(), devices);
        body(pending);
        storeNotedWrites();
        if (recorded)
            recorded();
        flushCounters(pending);
        sql.commit();
    } catch (const LnsError &) {
        m_noted.clear();
        // The changes are rolled back; the traffic happened all the same.
        if (!pending.isEmpty()) {
            try {
                NetworkDb::Transaction sql(db(), pending.keys().toVector());
                flushCounters(pending);
                sql.commit();
            } catch (const LnsError &) {
                // The traffic counts are best effort: the error that undid the
                // operation is the one the caller must see, and the database
                // that refused the operation most likely refused this too.
            }
        }
        notifyWorking();
        throw;
    }
    notifyWorking();
}

void NetworkSession::notifyWorking()
{
    // Outside every database transaction: the listener may do anything.
    if (m_working)
        m_working();
}

// --- CPs ---------------------------------------------------------------------

void NetworkSession::takeIntoDatabase(int deviceId, const QString &cpName, const QByteArray &bytes)
{
    // A read brings the database copy up to the device. Where that changes
    // the copy it is a write to the network database, recorded as one.
    if (db().databaseCp(deviceId, cpName) == bytes)
        return;
    const CpRow *cpRow = cp(deviceId, cpName);
    const DeviceRow *dev = device(deviceId);
    if (cpRow && dev)
        noteCpWrite(*dev, *cpRow, bytes, false);
    db().setDatabaseCp(deviceId, cpName, bytes);
}

QByteArray NetworkSession::readCp(const CpRow &cpRow)
{
    checkOpen();
    const CpKey key(cpRow.deviceId, cpRow.name);
    if (m_tx.active) {
        const auto w = m_tx.writes.constFind(key);
        if (w != m_tx.writes.constEnd())
            return *w;
        const auto r = m_tx.reads.constFind(key);
        if (r != m_tx.reads.constEnd())
            return *r;
    }
    const DeviceRow *dev = device(cpRow.deviceId);
    QByteArray bytes;
    bool fromDevice = false;
    // Inside a transaction: taken before its first read, so a change that
    // lands before the commit is told there rather than missed. Outside one:
    // taken in the read's own database transaction, after the record of
    // what the read took into the database copy, which is this session's
    // and no change of another.
    qint64 mark = m_tx.active ? transactionReadMark() : 0;
    deviceOp({dev->id}, [&](Pending &pending) {
        const DeviceContext ctx = context(dev->id);
        if (!ctx.state.commissioned) {
            // Not on the network yet: the database is all there is.
            bytes = db().databaseCp(dev->id, cpRow.name);
            return;
        }
        charge(pending, *dev, ctx, ChannelModel::Op::ReadCp, cpRow.length(),
               QStringLiteral("reading CP %1").arg(cpRow.name), cpRow.name);
        bytes = db().deviceCp(dev->id, cpRow.name);
        fromDevice = true;
        if (!m_tx.active)
            takeIntoDatabase(dev->id, cpRow.name, bytes);
    }, [&] {
        if (!m_tx.active)
            mark = writehistory::lastId(db());
    });
    if (m_tx.active && fromDevice)
        m_tx.reads.insert(key, bytes);
    m_readMarks.insert(key, mark);
    return bytes;
}

void NetworkSession::writeCp(const CpRow &cpRow, const QByteArray &bytes)
{
    checkOpen();
    if (bytes.size() != cpRow.length())
        throw LnsError(lns::ErrBadValue, QStringLiteral("CP %1 holds %2 byte(s), the value has %3")
                                             .arg(cpRow.name)
                                             .arg(cpRow.length())
                                             .arg(bytes.size()));
    const CpKey key(cpRow.deviceId, cpRow.name);
    if (m_tx.active) {
        if (!m_tx.writes.contains(key))
            m_tx.writeOrder << key;
        m_tx.writes.insert(key, bytes);
        return;
    }
    const DeviceRow *dev = device(cpRow.deviceId);
    deviceOp({dev->id}, [&](Pending &pending) {
        checkUnchangedSinceRead(*dev, cpRow);
        const DeviceContext ctx = context(dev->id);
        if (ctx.state.commissioned) {
            charge(pending, *dev, ctx, ChannelModel::Op::WriteCp, bytes.size(),
                   QStringLiteral("writing CP %1").arg(cpRow.name), cpRow.name);
            noteCpWrite(*dev, cpRow, bytes, true);
            db().setDeviceCp(dev->id, cpRow.name, bytes);
        } else {
            noteCpWrite(*dev, cpRow, bytes, false);
        }
        db().setDatabaseCp(dev->id, cpRow.name, bytes);
    }, [&] { markRead({key}); });
}

void NetworkSession::writeCpElement(const CpRow &cpRow, int element, const QByteArray &bytes)
{
    checkOpen();
    if (element < 0 || element >= cpRow.dimension)
        throw LnsError(lns::ErrIndexOutOfRange,
                       QStringLiteral("CP %1 has no element %2 (dimension %3)").arg(cpRow.name).arg(element).arg(cpRow.dimension));
    if (bytes.size() != cpRow.elementLength)
        throw LnsError(lns::ErrBadValue, QStringLiteral("an element of CP %1 holds %2 byte(s), the value has %3")
                                             .arg(cpRow.name)
                                             .arg(cpRow.elementLength)
                                             .arg(bytes.size()));
    if (cpRow.dimension == 1) {
        writeCp(cpRow, bytes);
        return;
    }
    // The other elements keep what the device holds.
    QByteArray whole = readCp(cpRow);
    whole.replace(element * cpRow.elementLength, cpRow.elementLength, bytes);
    writeCp(cpRow, whole);
}

QByteArray NetworkSession::databaseCp(const CpRow &cpRow)
{
    checkOpen();
    return db().databaseCp(cpRow.deviceId, cpRow.name);
}

QString NetworkSession::cpFormat(const CpRow &cpRow) const
{
    return m_cpFormats.value(CpKey(cpRow.deviceId, cpRow.name));
}

static QString normalisedFormat(const QString &format)
{
    const QString f = format.trimmed();
    if (f.isEmpty())
        return QString();
    if (f.compare(lns::kRawFormat, Qt::CaseInsensitive) == 0)
        return lns::kRawFormat;
    throw LnsError(lns::ErrBadValue, QStringLiteral("format \"%1\" is not supported (\"RAW\" or empty for the default)").arg(format));
}

void NetworkSession::setCpFormat(const CpRow &cpRow, const QString &format)
{
    m_cpFormats.insert(CpKey(cpRow.deviceId, cpRow.name), normalisedFormat(format));
}

QString NetworkSession::formatCpText(const QString &, const QByteArray &bytes)
{
    // The default form of a CP is its RAW text for now; typed CP formats
    // would come with the CP type definitions.
    return lns::formatRaw(bytes);
}

QByteArray NetworkSession::parseCpText(const CpRow &cpRow, const QString &format, const QString &text,
                                       int expectedLength)
{
    QByteArray bytes;
    if (!lns::parseRaw(text, &bytes))
        throw LnsError(lns::ErrBadValue,
                       QStringLiteral("\"%1\" is not a %2 value of CP %3 (decimal bytes 0..255 separated by TAB)")
                           .arg(text, format.isEmpty() ? QStringLiteral("default") : format, cpRow.name));
    if (bytes.size() != expectedLength)
        throw LnsError(lns::ErrBadValue, QStringLiteral("CP %1 needs %2 byte(s), \"%3\" has %4")
                                             .arg(cpRow.name)
                                             .arg(expectedLength)
                                             .arg(text)
                                             .arg(bytes.size()));
    return bytes;
}

// --- NVs ---------------------------------------------------------------------

static const NvTypeDef *effectiveType(const NvRow &nv)
{
    const NvTypeDef *t = nvTypeByIndex(nv.typeIndex);
    return (t && t->size == nv.size) ? t : nullptr;
}

QString NetworkSession::formatNvText(const NvRow &nv, const QString &format, const QByteArray &bytes) const
{
    const NvTypeDef *t = effectiveType(nv);
    if (format.isEmpty() && t)
        return formatNvValue(*t, bytes);
    return lns::formatRaw(bytes);
}

QByteArray NetworkSession::parseNvText(const NvRow &nv, const QString &format, const QString &text) const
{
    QByteArray bytes;
    const NvTypeDef *t = effectiveType(nv);
    if (format.isEmpty() && t) {
        QString why;
        if (!parseNvValue(*t, text, &bytes, &why))
            throw LnsError(lns::ErrBadValue, QStringLiteral("NV %1: %2").arg(nv.name, why));
    } else if (!lns::parseRaw(text, &bytes)) {
        throw LnsError(lns::ErrBadValue,
                       QStringLiteral("\"%1\" is not a RAW value of NV %2 (decimal bytes 0..255 separated by TAB)")
                           .arg(text, nv.name));
    }
    if (bytes.size() != nv.size)
        throw LnsError(lns::ErrBadValue,
                       QStringLiteral("NV %1 holds %2 byte(s), \"%3\" has %4").arg(nv.name).arg(nv.size).arg(text).arg(bytes.size()));
    return bytes;
}

QByteArray NetworkSession::readNv(const NvRow &nv)
{
    checkOpen();
    const DeviceRow *dev = device(nv.deviceId);
    QByteArray bytes;
    deviceOp({dev->id}, [&](Pending &pending) {
        const DeviceContext ctx = context(dev->id);
        if (!ctx.state.commissioned)
            throw LnsError(lns::ErrNotCommissioned, QStringLiteral("%1 is not commissioned").arg(deviceLabel(*dev)));
        charge(pending, *dev, ctx, ChannelModel::Op::ReadNv, nv.size, QStringLiteral("fetching NV %1").arg(nv.name));
        bytes = db().deviceNv(dev->id, nv.name);
    });
    return bytes;
}

void NetworkSession::writeNv(const NvRow &nv, const QByteArray &bytes)
{
    checkOpen();
    if (!nv.input)
        throw LnsError(lns::ErrNotSupported, QStringLiteral("NV %1 is an output and cannot be written").arg(nv.name));
    if (bytes.size() != nv.size)
        throw LnsError(lns::ErrBadValue,
                       QStringLiteral("NV %1 holds %2 byte(s), the value has %3").arg(nv.name).arg(nv.size).arg(bytes.size()));
    const DeviceRow *dev = device(nv.deviceId);
    QHash<QString, QByteArray> changed;
    deviceOp({dev->id}, [&](Pending &pending) {
        changed.clear();
        const DeviceContext ctx = context(dev->id);
        if (!ctx.state.commissioned)
            throw LnsError(lns::ErrNotCommissioned, QStringLiteral("%1 is not commissioned").arg(deviceLabel(*dev)));
        charge(pending, *dev, ctx, ChannelModel::Op::WriteNv, nv.size, QStringLiteral("updating NV %1").arg(nv.name));
        noteWrite(*dev, lonMarkObjectName(dev->id, nv.objectIndex), lns::WriteKind::Nv, nv.name,
                  db().deviceNv(dev->id, nv.name), bytes, lns::WriteOutcome::DeviceAndDatabase);
        db().setDeviceNv(dev->id, nv.name, bytes);
        changed = m_sim->inputWritten(db(), *dev, nv.name, bytes);
        for (auto it = changed.constBegin(); it != changed.constEnd(); ++it)
            db().setDeviceNv(dev->id, it.key(), it.value());
        changed.insert(nv.name, bytes);
    });
    notifyChanged(dev->id, changed);
}

void NetworkSession::applyDeviceNvChanges(int deviceId, const QHash<QString, QByteArray> &changes)
{
    checkOpen();
    bool answering = true;
    deviceOp({deviceId}, [&](Pending &) {
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
            db().setDeviceNv(deviceId, it.key(), it.value());
        answering = db().deviceState(deviceId).reachable;
    });
    // A device that does not answer sends nothing; polls see its changes
    // once it answers again.
    if (answering)
        notifyChanged(deviceId, changes);
}

NvMonitorState &NetworkSession::monitor(const NvRow &nv)
{
    return m_monitors[qMakePair(nv.deviceId, nv.nvIndex)];
}

void NetworkSession::setMonitorTag(const NvRow &nv, int tag)
{
    checkOpen();
    NvMonitorState &m = monitor(nv);
    const int old = m.tag;
    m.tag = tag;
    if (tag == 0) {
        m.haveLast = false;
        m.lastReported.clear();
    } else if (old == 0) {
        // One report right after activation, through the event loop.
        m.nextPollMs = m_clock.elapsed() + qint64(m.pollInterval) * 1000;
        const int dev = nv.deviceId, index = nv.nvIndex;
        QMetaObject::invokeMethod(
            this,
            [this, dev, index] {
                const NvRow *row = this->nv(dev, index);
                if (!m_open || !row || monitor(*row).tag == 0)
                    return;
                try {
                    emitValue(dev, index, readNv(*row));
                } catch (const LnsError &) {
                    // A device that does not answer sends no update.
                }
            },
            Qt::QueuedConnection);
    }
    updatePollTimer();
}

void NetworkSession::setPollInterval(const NvRow &nv, int seconds)
{
    checkOpen();
    if (seconds < 0)
        throw LnsError(lns::ErrBadValue, QStringLiteral("poll interval %1 is negative").arg(seconds));
    NvMonitorState &m = monitor(nv);
    m.pollInterval = seconds;
    m.nextPollMs = m_clock.elapsed() + qint64(seconds) * 1000;
    updatePollTimer();
}

void NetworkSession::updatePollTimer()
{
    bool any = false;
    for (const NvMonitorState &m : qAsConst(m_monitors)) {
        if (m.tag != 0 && m.pollInterval > 0)
            any = true;
    }
    if (any && !m_pollTimer.isActive())
        m_pollTimer.start();
    else if (!any)
        m_pollTimer.stop();
}

void NetworkSession::pollTick()
{
    if (!m_open)
        return;
    const qint64 now = m_clock.elapsed();
    const auto keys = m_monitors.keys();
    for (const auto &key : keys) {
        auto it = m_monitors.find(key);
        if (it == m_monitors.end() || it->tag == 0 || it->pollInterval <= 0 || now < it->nextPollMs)
            continue;
        it->nextPollMs = now + qint64(it->pollInterval) * 1000;
        const NvRow *row = nv(key.first, key.second);
        if (!row)
            continue;
        QByteArray bytes;
        try {
            bytes = readNv(*row);
        } catch (const LnsError &) {
            // A device that does not answer a poll sends no update; the next
            // poll asks again.
            continue;
        }
        it = m_monitors.find(key);
        if (it == m_monitors.end() || it->tag == 0)
            continue;
        if (!it->reportByException || !it->haveLast || it->lastReported != bytes)
            emitValue(key.first, key.second, bytes);
    }
}

void NetworkSession::notifyChanged(int deviceId, const QHash<QString, QByteArray> &values)
{
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        const NvRow *row = nvByName(deviceId, it.key());
        if (!row)
            continue;
        const auto m = m_monitors.constFind(qMakePair(deviceId, row->nvIndex));
        if (m == m_monitors.constEnd() || m->tag == 0)
            continue;
        const int index = row->nvIndex;
        const QByteArray bytes = it.value();
        QMetaObject::invokeMethod(
            this,
            [this, deviceId, index, bytes] {
                const auto st = m_monitors.constFind(qMakePair(deviceId, index));
                if (!m_open || st == m_monitors.constEnd() || st->tag == 0)
                    return;
                if (st->haveLast && st->lastReported == bytes)
                    return;
                emitValue(deviceId, index, bytes);
            },
            Qt::QueuedConnection);
    }
}

void NetworkSession::emitValue(int deviceId, int nvIndex, const QByteArray &bytes)
{
    const NvRow *row = nv(deviceId, nvIndex);
    if (!row)
        return;
    NvMonitorState &m = monitor(*row);
    m.lastReported = bytes;
    m.haveLast = true;
    if (m_sink)
        m_sink(m.tag, formatNvText(*row, m.format, bytes), makeNetworkVariable(shared_from_this(), deviceId, nvIndex));
}

void NetworkSession::changeNvType(const NvRow &nvRow, int typeIndex, const QString &programId, int)
{
    checkOpen();
    const DeviceRow *dev = device(nvRow.deviceId);
    if (programId.compare(dev->programId, Qt::CaseInsensitive) != 0)
        throw LnsError(lns::ErrBadValue, QStringLiteral("program id %1 is not that of %2 (%3)")
                                             .arg(programId, deviceLabel(*dev), dev->programId));
    const NvTypeDef *t = nvTypeByIndex(typeIndex);
    if (t && t->size != nvRow.size)
        throw LnsError(lns::ErrBadValue, QStringLiteral("type %1 has %2 byte(s), NV %3 has %4")
                                             .arg(t->name)
                                             .arg(t->size)
                                             .arg(nvRow.name)
                                             .arg(nvRow.size));
    {
        NetworkDb::Transaction sql(db(), {dev->id});
        m_noted.clear();
        noteWrite(*dev, lonMarkObjectName(dev->id, nvRow.objectIndex), lns::WriteKind::NvType, nvRow.name,
                  QByteArray::number(nvRow.typeIndex), QByteArray::number(typeIndex), lns::WriteOutcome::DatabaseOnly);
        db().setNvTypeIndex(nvRow.deviceId, nvRow.name, typeIndex);
        storeNotedWrites();
        sql.commit();
    }
    for (NvRow &r : structureOf(nvRow.deviceId).nvs) {
        if (r.name == nvRow.name)
            r.typeIndex = typeIndex;
    }
}

// --- devices -----------------------------------------------------------------

bool NetworkSession::commissioned(int deviceId)
{
    checkOpen();
    return db().deviceState(deviceId).commissioned;
}

void NetworkSession::testDevice(int deviceId, int)
{
    const DeviceRow *dev = device(deviceId);
    deviceOp({deviceId}, [&](Pending &pending) {
        charge(pending, *dev, context(deviceId), ChannelModel::Op::Test, 0, QStringLiteral("device test"));
    });
}

void NetworkSession::updateDevice(int deviceId, int kind)
{
    checkOpen();
    if (kind != 1)
        throw LnsError(lns::ErrNotSupported, QStringLiteral("update kind %1 is not supported (1: take over the device's own CPs)").arg(kind));
    const DeviceRow *dev = device(deviceId);
    deviceOp({deviceId}, [&](Pending &pending) {
        const DeviceContext ctx = context(deviceId);
        if (!ctx.state.commissioned)
            throw LnsError(lns::ErrNotCommissioned, QStringLiteral("%1 is not commissioned").arg(deviceLabel(*dev)));
        for (const CpRow *c : cpsOf(deviceId, CpScope::Device, 0)) {
            charge(pending, *dev, ctx, ChannelModel::Op::ReadCp, c->length(),
                   QStringLiteral("reading CP %1").arg(c->name), c->name);
            const QByteArray bytes = db().deviceCp(deviceId, c->name);
            noteWrite(*dev, QString(), lns::WriteKind::Cp, c->name, db().databaseCp(deviceId, c->name), bytes,
                      lns::WriteOutcome::DatabaseOnly);
            db().setDatabaseCp(deviceId, c->name, bytes);
        }
    });
}

double NetworkSession::applicationVersion(int deviceId)
{
    const DeviceRow *dev = device(deviceId);
    double version = 0;
    deviceOp({deviceId}, [&](Pending &pending) {
        const DeviceContext ctx = context(deviceId);
        if (!ctx.state.commissioned)
            throw LnsError(lns::ErrNotCommissioned, QStringLiteral("%1 is not commissioned").arg(deviceLabel(*dev)));
        charge(pending, *dev, ctx, ChannelModel::Op::ReadVersion, 0, QStringLiteral("reading the application version"));
        version = ctx.state.appVersion.toDouble();
    });
    return version;
}

void NetworkSession::loadApplication(int deviceId, const QString &imageFile)
{
    checkOpen();
    const DeviceRow *dev = device(deviceId);
    QString path = imageFile;
    if (QFileInfo(path).isRelative() && !QFileInfo::exists(path) && !m_iniPath.isEmpty())
        path = QFileInfo(m_iniPath).dir().filePath(imageFile);
    ApplicationImage image;
    QString why;
    if (!ApplicationImage::load(path, &image, &why))
        throw LnsError(lns::ErrDownloadFailed, why);
    const QString family = m_ini ? m_ini->value(dev->templateName, QStringLiteral("Family")).trimmed() : QString();
    if (family.compare(image.family, Qt::CaseInsensitive) != 0)
        throw LnsError(lns::ErrDownloadFailed,
                       QStringLiteral("application image %1 is for the %2 family; %3 (template %4) is of the %5 family")
                           .arg(QFileInfo(path).fileName(), image.family, deviceLabel(*dev), dev->templateName,
                                family.isEmpty() ? QStringLiteral("unknown") : family));
    PendingLoad load{deviceId, QFileInfo(path).fileName(), image};
    if (m_tx.active) {
        // Goes out with the transaction's writes (the new application's mode
        // and the kept calibration), so a device never runs the one without
        // the other.
        m_tx.loads << load;
        return;
    }
    deviceOp({deviceId}, [&](Pending &pending) {
        const DeviceContext ctx = context(deviceId);
        applyLoad(pending, *dev, ctx, load);
    });
}

void NetworkSession::applyLoad(Pending &pending, const DeviceRow &dev, const DeviceContext &ctx, const PendingLoad &load)
{
    if (!ctx.state.commissioned)
        throw LnsError(lns::ErrNotCommissioned, QStringLiteral("%1 is not commissioned").arg(deviceLabel(dev)));
    charge(pending, dev, ctx, ChannelModel::Op::Download, load.image.payload.size(),
           QStringLiteral("loading %1").arg(load.fileName));
    const auto application = [](int number, const QString &version) {
        return version.isEmpty() ? QByteArray() : QStringLiteral("%1 %2").arg(number).arg(version).toUtf8();
    };
    noteWrite(dev, QString(), lns::WriteKind::Application, load.fileName,
              application(ctx.state.appNumber, ctx.state.appVersion), application(load.image.number, load.image.version),
              lns::WriteOutcome::DeviceAndDatabase);
    db().setApplication(dev.id, load.image.number, load.image.version);
    // A new image starts with the factory values of the device's own CPs
    // (the calibration); the functional block's CPs keep theirs.
    for (const CpRow *c : cpsOf(dev.id, CpScope::Device, 0))
        db().setDeviceCp(dev.id, c->name, c->factory);
}

QString NetworkSession::extensionData(int deviceId, int objectIndex, const QString &key)
{
    checkOpen();
    const ExtKey k(qMakePair(deviceId, objectIndex), key);
    if (m_tx.active && m_tx.ext.contains(k))
        return m_tx.ext.value(k);
    QString value;
    if (!db().extensionData(deviceId, objectIndex, key, &value))
        throw LnsError(lns::ErrIndexOutOfRange, QStringLiteral("no extension data under key \"%1\"").arg(key));
    return value;
}

void NetworkSession::setExtensionData(int deviceId, int objectIndex, const QString &key, const QString &value)
{
    checkOpen();
    const ExtKey k(qMakePair(deviceId, objectIndex), key);
    if (m_tx.active) {
        if (!m_tx.ext.contains(k))
            m_tx.extOrder << k;
        m_tx.ext.insert(k, value);
        return;
    }
    NetworkDb::Transaction sql(db(), {deviceId});
    m_noted.clear();
    QString before;
    db().extensionData(deviceId, objectIndex, key, &before);
    if (const DeviceRow *dev = device(deviceId))
        noteWrite(*dev, lonMarkObjectName(deviceId, objectIndex), lns::WriteKind::ExtensionData, key, before.toUtf8(),
                  value.toUtf8(), lns::WriteOutcome::DatabaseOnly);
    db().setExtensionData(deviceId, objectIndex, key, value);
    storeNotedWrites();
    sql.commit();
}

// --- the record of writes ----------------------------------------------------

QString NetworkSession::lonMarkObjectName(int deviceId, int objectIndex) const
{
    for (const LonMarkObjectRow &o : lonMarkObjectsOf(deviceId)) {
        if (o.index == objectIndex)
            return o.name;
    }
    return QString();
}

void NetworkSession::noteWrite(const DeviceRow &dev, const QString &object, lns::WriteKind kind, const QString &item,
                               const QByteArray &before, const QByteArray &after, lns::WriteOutcome outcome)
{
    NotedWrite w;
    w.device = devicePath(dev);
    w.object = object;
    w.kind = kind;
    w.item = item;
    w.before = before;
    w.after = after;
    w.outcome = outcome;
    m_noted << w;
}

void NetworkSession::noteCpWrite(const DeviceRow &dev, const CpRow &cp, const QByteArray &after, bool onDevice)
{
    const QString object = cp.scope == CpScope::Object ? lonMarkObjectName(dev.id, cp.ownerIndex) : QString();
    noteWrite(dev, object, lns::WriteKind::Cp, cp.name,
              onDevice ? db().deviceCp(dev.id, cp.name) : db().databaseCp(dev.id, cp.name), after,
              onDevice ? lns::WriteOutcome::DeviceAndDatabase : lns::WriteOutcome::DatabaseOnly);
}

qint64 NetworkSession::transactionReadMark()
{
    if (m_tx.readMark < 0)
        m_tx.readMark = writehistory::lastId(db());
    return m_tx.readMark;
}

std::optional<lns::WriteRecord> NetworkSession::changeSinceRead(const DeviceRow &dev, const QString &cpName)
{
    const auto read = m_readMarks.constFind(CpKey(dev.id, cpName));
    // A CP written without being read first overwrites knowingly.
    if (read == m_readMarks.constEnd())
        return std::nullopt;
    return writehistory::lastCpChangeAfter(db(), devicePath(dev), cpName, *read);
}

bool NetworkSession::changedSinceRead(const CpKey &key)
{
    const DeviceRow *dev = device(key.first);
    return dev && changeSinceRead(*dev, key.second).has_value();
}

void NetworkSession::checkUnchangedSinceRead(const DeviceRow &dev, const CpRow &cp)
{
    if (m_overwriteChanges)
        return;
    const std::optional<lns::WriteRecord> change = changeSinceRead(dev, cp.name);
    if (!change)
        return;
    const QString who = change->databaseUser.isEmpty() || change->databaseUser == change->user
        ? change->user
        : QStringLiteral("%1 (database user %2)").arg(change->user, change->databaseUser);
    throw LnsError(lns::ErrChangedSince,
                   QStringLiteral("CP %1 of %2 was changed by %3 on %4 with %5 at %6 UTC since it was read;"
                                  " read it again, or write over the change")
                       .arg(cp.name, devicePath(dev), who, change->host, change->tool,
                            change->time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
}

void NetworkSession::markRead(const QVector<CpKey> &keys)
{
    if (keys.isEmpty())
        return;
    // Only CPs the session read: a CP written without a read before (a copy
    // run's set) stays a knowing overwrite however often it is written.
    const qint64 mark = writehistory::lastId(db());
    for (const CpKey &key : keys) {
        const auto read = m_readMarks.find(key);
        if (read != m_readMarks.end())
            *read = mark;
    }
}

void NetworkSession::storeNotedWrites()
{
    if (m_noted.isEmpty())
        return;
    const QVector<NotedWrite> noted = std::exchange(m_noted, {});
    try {
        writehistory::append(db(), noted, lns::currentWriteOrigin(), QDateTime::currentDateTimeUtc());
    } catch (const LnsError &e) {
        // No write without its record: the caller's transaction rolls back.
        throw LnsError(lns::ErrDatabase,
                       QStringLiteral("the write could not be recorded, nothing was changed (%1)").arg(e.description()));
    }
}

QVector<lns::WriteRecord> NetworkSession::writeHistory(const QString &scope, const QDateTime &since, int limit)
{
    checkOpen();
    QStringList devices;
    const QString wanted = scope.trimmed();
    if (!wanted.isEmpty()) {
        // An object stands for its device: the device's own CPs and
        // application belong to the same controller.
        QString path = wanted;
        const QString parent = wanted.section(QLatin1Char('.'), 0, -2);
        for (const DeviceRow *d : allDevices()) {
            const QString candidate = devicePath(*d);
            if (candidate != parent)
                continue;
            for (const LonMarkObjectRow &o : lonMarkObjectsOf(d->id)) {
                if (candidate + QLatin1Char('.') + o.name == wanted)
                    path = candidate;
            }
        }
        devices << path;
    }
    return writehistory::select(db(), devices, since, limit);
}

} // namespace lnssim
