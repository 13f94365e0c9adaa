#include "networkdb.h"
#include "writehistory.h"

#include <algorithm>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>
#include <QVariant>

#include <atomic>

namespace lnssim {

using lns::LnsError;

namespace {

std::atomic<int> g_connectionCounter{0};

QString nextConnectionName(const char *kind)
{
    return QStringLiteral("lnssim-%1-%2").arg(QLatin1String(kind)).arg(++g_connectionCounter);
}

const char *const kSchemaV1[] = {
    "CREATE TABLE schema_version(component TEXT PRIMARY KEY, version INTEGER NOT NULL)",
    "CREATE TABLE network(key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE subsystems(id INTEGER PRIMARY KEY, parent_id INTEGER REFERENCES subsystems(id),"
    " name TEXT NOT NULL, position INTEGER NOT NULL)",
    "CREATE TABLE devices(id INTEGER PRIMARY KEY, subsystem_id INTEGER NOT NULL REFERENCES subsystems(id),"
    " lns_index INTEGER NOT NULL UNIQUE, name TEXT NOT NULL UNIQUE, template TEXT NOT NULL,"
    " program_id TEXT NOT NULL, position INTEGER NOT NULL)",
    "CREATE TABLE lonmark_objects(device_id INTEGER NOT NULL REFERENCES devices(id), obj_index INTEGER NOT NULL,"
    " name TEXT NOT NULL, PRIMARY KEY(device_id, obj_index))",
    "CREATE TABLE cps(device_id INTEGER NOT NULL REFERENCES devices(id), name TEXT NOT NULL,"
    " scope TEXT NOT NULL CHECK(scope IN ('dev','obj','nv')), owner_index INTEGER NOT NULL,"
    " cp_index INTEGER NOT NULL, type TEXT NOT NULL, element_length INTEGER NOT NULL CHECK(element_length > 0),"
    " dimension INTEGER NOT NULL CHECK(dimension > 0), factory BLOB NOT NULL, db_value BLOB NOT NULL,"
    " PRIMARY KEY(device_id, name), UNIQUE(device_id, scope, owner_index, cp_index))",
    "CREATE TABLE nvs(device_id INTEGER NOT NULL REFERENCES devices(id), name TEXT NOT NULL,"
    " nv_index INTEGER NOT NULL, object_index INTEGER NOT NULL,"
    " direction TEXT NOT NULL CHECK(direction IN ('in','out')), type TEXT NOT NULL, size INTEGER NOT NULL,"
    " type_index INTEGER NOT NULL, initial BLOB NOT NULL, PRIMARY KEY(device_id, name), UNIQUE(device_id, nv_index))",
    "CREATE TABLE extension_data(device_id INTEGER NOT NULL REFERENCES devices(id), obj_index INTEGER NOT NULL,"
    " key TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY(device_id, obj_index, key))",
    // The devices themselves, apart from the database.
    "CREATE TABLE device_state(device_id INTEGER PRIMARY KEY REFERENCES devices(id),"
    " commissioned INTEGER NOT NULL, reachable INTEGER NOT NULL, app_number INTEGER NOT NULL,"
    " app_version TEXT NOT NULL)",
    "CREATE TABLE device_cp(device_id INTEGER NOT NULL REFERENCES devices(id), name TEXT NOT NULL,"
    " value BLOB NOT NULL, PRIMARY KEY(device_id, name))",
    "CREATE TABLE device_nv(device_id INTEGER NOT NULL REFERENCES devices(id), name TEXT NOT NULL,"
    " value BLOB NOT NULL, PRIMARY KEY(device_id, name))",
    // Test and demonstration support.
    "CREATE TABLE device_faults(device_id INTEGER PRIMARY KEY REFERENCES devices(id),"
    " cp_name TEXT NOT NULL DEFAULT '', cp_fault INTEGER NOT NULL DEFAULT 0, latency_ms INTEGER NOT NULL DEFAULT 0,"
    " latency_sleep INTEGER NOT NULL DEFAULT 0, download_fails INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE device_counters(device_id INTEGER PRIMARY KEY REFERENCES devices(id),"
    " reads INTEGER NOT NULL DEFAULT 0, writes INTEGER NOT NULL DEFAULT 0,"
    " bytes_read INTEGER NOT NULL DEFAULT 0, bytes_written INTEGER NOT NULL DEFAULT 0,"
    " tests INTEGER NOT NULL DEFAULT 0, downloads INTEGER NOT NULL DEFAULT 0,"
    " channel_us INTEGER NOT NULL DEFAULT 0)",
};

// Version 2: channels and the routers joining them; every device sits on a
// channel (those of an older file on the default one), and the traffic is
// also kept per channel.
const char *const kSchemaV2[] = {
    "CREATE TABLE channels(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)",
    "CREATE TABLE routers(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,"
    " near_channel_id INTEGER NOT NULL REFERENCES channels(id), far_channel_id INTEGER NOT NULL REFERENCES channels(id),"
    " CHECK(near_channel_id <> far_channel_id))",
    "CREATE TABLE device_channels(device_id INTEGER PRIMARY KEY REFERENCES devices(id),"
    " channel_id INTEGER NOT NULL REFERENCES channels(id))",
    // The traffic per device and channel: a device moved to another channel
    // leaves what it did with the channel that carried it.
    "CREATE TABLE traffic(device_id INTEGER NOT NULL REFERENCES devices(id),"
    " channel_id INTEGER NOT NULL REFERENCES channels(id),"
    " reads INTEGER NOT NULL DEFAULT 0, writes INTEGER NOT NULL DEFAULT 0,"
    " bytes_read INTEGER NOT NULL DEFAULT 0, bytes_written INTEGER NOT NULL DEFAULT 0,"
    " tests INTEGER NOT NULL DEFAULT 0, downloads INTEGER NOT NULL DEFAULT 0,"
    " channel_us INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(device_id, channel_id))",
};

// Filling the version-2 tables of an older file, once the default channel exists.
const char *const kSchemaV2Fill[] = {
    "INSERT INTO device_channels(device_id, channel_id) SELECT id, 1 FROM devices",
    // The traffic so far happened on the one channel there was.
    "INSERT INTO traffic(device_id, channel_id, reads, writes, bytes_read, bytes_written, tests, downloads, channel_us)"
    " SELECT device_id, 1, reads, writes, bytes_read, bytes_written, tests, downloads, channel_us FROM device_counters",
    "DROP TABLE device_counters",
};

QByteArray toBlob(const QVariant &v)
{
    return v.isNull() ? QByteArray() : v.toByteArray();
}

} // namespace

// --- Counters ---------------------------------------------------------------

Counters &Counters::operator+=(const Counters &o)
{
    deviceReads += o.deviceReads;
    deviceWrites += o.deviceWrites;
    bytesRead += o.bytesRead;
    bytesWritten += o.bytesWritten;
    deviceTests += o.deviceTests;
    downloads += o.downloads;
    channelMicros += o.channelMicros;
    return *this;
}

bool Counters::operator==(const Counters &o) const
{
    return deviceReads == o.deviceReads && deviceWrites == o.deviceWrites && bytesRead == o.bytesRead
        && bytesWritten == o.bytesWritten && deviceTests == o.deviceTests && downloads == o.downloads
        && channelMicros == o.channelMicros;
}

qint64 wallMicros(const ChannelTraffic &traffic)
{
    qint64 wall = 0;
    for (const auto &entry : traffic)
        wall = std::max(wall, entry.second.channelMicros);
    return wall;
}

QString scopeText(CpScope s)
{
    switch (s) {
    case CpScope::Device:
        return QStringLiteral("dev");
    case CpScope::Object:
        return QStringLiteral("obj");
    case CpScope::Nv:
        return QStringLiteral("nv");
    }
    return QString();
}

static CpScope scopeFromText(const QString &s)
{
    if (s == QLatin1String("dev"))
        return CpScope::Device;
    if (s == QLatin1String("nv"))
        return CpScope::Nv;
    return CpScope::Object;
}

// --- NetworkDb --------------------------------------------------------------

NetworkDb::NetworkDb() = default;

NetworkDb::~NetworkDb()
{
    close();
}

QString NetworkDb::pathFor(const QString &root, const QString &networkName)
{
    return QDir(root).filePath(networkName + kDatabaseSuffix);
}

void NetworkDb::fail(const QString &what, const QString &sqlError) const
{
    throw LnsError(lns::ErrDatabase,
                   QStringLiteral("network database %1: %2 (%3)").arg(m_location.display(), what, sqlError));
}

void NetworkDb::fail(const QString &what, const QSqlError &error) const
{
    // What a user can act on comes first; the statement only where SQLite's
    // answer says nothing a user could act on.
    const QString reason = m_engine ? m_engine->troubleText(error) : QString();
    // A refused right is no fault of the database: the user is told what
    // right is missing, and the change is refused.
    if (m_engine && m_engine->isMissingRight(error))
        throw LnsError(lns::ErrNoRight, QStringLiteral("network database %1: %2").arg(m_location.display(), reason));
    fail(reason.isEmpty() ? what : reason, error.text());
}

NetworkDb::Probe NetworkDb::probe(const QString &path)
{
    auto refuse = [&](const QString &why) {
        throw LnsError(lns::ErrDatabase, QStringLiteral("network database %1: %2").arg(QDir::toNativeSeparators(path), why));
    };
    const QFileInfo fi(path);
    if (!fi.exists() || !fi.isFile())
        refuse(QStringLiteral("file does not exist"));

    Probe result;
    const QString name = nextConnectionName("probe");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // Read-only: a file that is not ours must come out byte-identical, and
        // no journal files may appear beside it. Without a write-ahead log
        // beside the file everything is in the file itself, so it is read as
        // immutable (SQLite then creates nothing); with one (another process
        // has the network open) the log must be read too.
        const bool hasLog = QFileInfo::exists(path + QStringLiteral("-wal"));
        if (hasLog) {
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=30000"));
        } else {
            db.setDatabaseName(QUrl::fromLocalFile(fi.absoluteFilePath()).toString(QUrl::FullyEncoded)
                               + QStringLiteral("?immutable=1"));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        }
        QString why;
        // A failing query of a file that SQLite itself cannot read is told by
        // SQLite's reason (a damaged file), not by what the probe asked.
        const auto sqlite = DbEngine::make(Engine::Sqlite);
        const auto unreadable = [&sqlite](const QSqlError &error, const QString &otherwise) {
            const QString trouble = sqlite->troubleText(error);
            return trouble.isEmpty() ? otherwise : trouble + QStringLiteral(" (") + error.text() + QLatin1Char(')');
        };
        if (!db.open()) {
            why = unreadable(db.lastError(), QStringLiteral("cannot be opened (%1)").arg(db.lastError().text()));
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name='schema_version'"))) {
                why = unreadable(q.lastError(),
                                 QStringLiteral("not a readable SQLite database, or corrupt (%1)").arg(q.lastError().text()));
            } else if (!q.next()) {
                why = QStringLiteral("not a network database of this object server (no schema version)");
            } else {
                q.finish();
                if (!q.prepare(QStringLiteral("SELECT version FROM schema_version WHERE component = ?"))) {
                    why = QStringLiteral("schema version unreadable (%1)").arg(q.lastError().text());
                } else {
                    q.addBindValue(kSchemaComponent);
                    if (!q.exec() || !q.next()) {
                        why = unreadable(q.lastError(), QStringLiteral("not a network database of this object server"
                                                                       " (foreign schema version table)"));
                    } else {
                        result.version = q.value(0).toInt();
                        q.finish();
                        if (result.version > kSchemaVersion) {
                            why = QStringLiteral("schema version %1 is newer than this object server's (%2)")
                                      .arg(result.version)
                                      .arg(kSchemaVersion);
                        } else if (result.version < 1) {
                            why = QStringLiteral("invalid schema version %1").arg(result.version);
                        } else if (!q.exec(QStringLiteral("SELECT key, value FROM network"))) {
                            why = unreadable(q.lastError(),
                                             QStringLiteral("network table unreadable (%1)").arg(q.lastError().text()));
                        } else {
                            while (q.next()) {
                                const QString key = q.value(0).toString();
                                if (key == QLatin1String("name"))
                                    result.networkName = q.value(1).toString();
                                else if (key == QLatin1String("refuse_open"))
                                    result.refuseOpen = q.value(1).toString() == QLatin1String("1");
                            }
                            q.finish();
                            // A damaged file may still answer the first queries.
                            // A file cut short is told by its header: it holds
                            // fewer pages than the header counts. (Checking
                            // every page would cost a read of the whole file at
                            // each open; a page damaged otherwise is reported
                            // by SQLite when it is read.) With a write-ahead log
                            // beside it the header may lag behind the log.
                            if (!hasLog) {
                                qint64 pages = 0, pageSize = 0;
                                if (q.exec(QStringLiteral("PRAGMA page_count")) && q.next())
                                    pages = q.value(0).toLongLong();
                                q.finish();
                                if (q.exec(QStringLiteral("PRAGMA page_size")) && q.next())
                                    pageSize = q.value(0).toLongLong();
                                q.finish();
                                if (pages <= 0 || pageSize <= 0 || fi.size() < pages * pageSize)
                                    why = QStringLiteral("the file is damaged or not a database (%1 byte(s) where its"
                                                         " header counts %2 page(s) of %3)")
                                              .arg(fi.size())
                                              .arg(pages)
                                              .arg(pageSize);
                            }
                        }
                    }
                }
            }
        }
        db.close();
        if (!why.isEmpty()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            refuse(why);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

void NetworkDb::openConnection(const DatabaseLocation &location, bool creating)
{
    m_location = location;
    m_engine = DbEngine::make(location.engine);
    m_connection = nextConnectionName("db");
    try {
        m_engine->connect(m_connection, location, creating);
    } catch (...) {
        m_connection.clear();
        throw;
    }
    m_open = true;
    m_databaseUser.clear();
    try {
        for (const QString &sql : m_engine->sessionSetup(creating))
            run(sql);
        if (const QString sql = m_engine->currentUserSql(); !sql.isEmpty()) {
            QSqlQuery &q = query(sql);
            exec(q);
            m_databaseUser = q.next() ? q.value(0).toString() : QString();
            q.finish();
        }
    } catch (...) {
        close();
        throw;
    }
}

void NetworkDb::create(const QString &path, const QString &networkName)
{
    create(DatabaseLocation::file(path), networkName);
}

void NetworkDb::create(const DatabaseLocation &location, const QString &networkName)
{
    close();
    if (location.isRemote())
        checkRemoteName(location.network);
    if (networkExists(location))
        throw LnsError(lns::ErrDatabase, QStringLiteral("network database %1 exists already").arg(location.display()));
    openConnection(location, true);
    try {
        Transaction tx(*this);
        // On a server the network's schema is made in the same transaction
        // as its tables: a failure leaves no empty network behind.
        if (location.isRemote())
            run(QStringLiteral("CREATE SCHEMA ") + quoteIdentifier(location.network));
        createSchema();
        writehistory::ensureSchema(*this);
        run(QStringLiteral("INSERT INTO network(key, value) VALUES('name', ?)"), {networkName});
        run(QStringLiteral("INSERT INTO network(key, value) VALUES('created', ?)"),
            {QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
        run(QStringLiteral("INSERT INTO network(key, value) VALUES('refuse_open', '0')"));
        tx.commit();
    } catch (...) {
        close();
        if (!location.isRemote())
            dropNetwork(location);
        throw;
    }
}

void NetworkDb::createSchema()
{
    // A new file goes through the same steps as an old one being upgraded,
    // so both end with the same tables.
    for (const char *sql : kSchemaV1)
        runDdl(QString::fromLatin1(sql));
    run(QStringLiteral("INSERT INTO schema_version(component, version) VALUES(?, 1)"), {kSchemaComponent});
    upgradeToChannels();
}

int NetworkDb::storedVersion()
{
    QSqlQuery &q = query(QStringLiteral("SELECT version FROM schema_version WHERE component = ?"));
    exec(q, {kSchemaComponent});
    const int v = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return v;
}

void NetworkDb::upgradeToChannels()
{
    for (const char *sql : kSchemaV2)
        runDdl(QString::fromLatin1(sql));
    run(QStringLiteral("INSERT INTO channels(id, name) VALUES(?, ?)"), {kDefaultChannelId, kDefaultChannel});
    syncIdentity(QStringLiteral("channels"));
    for (const char *sql : kSchemaV2Fill)
        run(QString::fromLatin1(sql));
    touchStructure();
    run(QStringLiteral("UPDATE schema_version SET version = 2 WHERE component = ?"), {kSchemaComponent});
}

void NetworkDb::upgrade()
{
    // The version is read again inside the write lock: another process may
    // have upgraded the file since the probe.
    Transaction tx(*this);
    const int from = storedVersion();
    if (from == kSchemaVersion)
        return;
    if (from == 1)
        upgradeToChannels();
    else
        fail(QStringLiteral("no upgrade from schema version %1").arg(from), QString());
    tx.commit();
}

NetworkDb::Probe NetworkDb::open(const QString &path)
{
    return open(DatabaseLocation::file(path));
}

NetworkDb::Probe NetworkDb::open(const DatabaseLocation &location)
{
    close();
    // A file is looked at read-only first; a server's network on the
    // connection, before anything is written.
    Probe p = location.isRemote() ? Probe() : probe(location.path);
    openConnection(location, false);
    try {
        if (location.isRemote())
            p = probeRemote();
        if (p.version < kSchemaVersion)
            upgrade();
        writehistory::ensureSchema(*this);
    } catch (...) {
        close();
        throw;
    }
    return p;
}

NetworkDb::Probe NetworkDb::probeRemote()
{
    const auto refuse = [this](const QString &why) {
        throw LnsError(lns::ErrDatabase, QStringLiteral("network database %1: %2").arg(m_location.display(), why));
    };
    Probe result;
    {
        QSqlQuery &q = query(QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname = ?"));
        exec(q, {m_location.network});
        const bool exists = q.next() && q.value(0).toInt() > 0;
        q.finish();
        if (!exists)
            refuse(QStringLiteral("the server holds no such network"));
        QSqlQuery &usage = query(QStringLiteral("SELECT has_schema_privilege(?, 'USAGE')"));
        exec(usage, {m_location.network});
        const bool allowed = usage.next() && usage.value(0).toBool();
        usage.finish();
        if (!allowed)
            refuse(QStringLiteral("the database user has no right on this network (it needs the role %1 or %2)")
                       .arg(kReaderRole, kCommissionerRole));
    }
    if (!tableExists(QStringLiteral("schema_version")))
        refuse(QStringLiteral("not a network database of this object server (no schema version)"));
    result.version = storedVersion();
    if (result.version == 0)
        refuse(QStringLiteral("not a network database of this object server (foreign schema version table)"));
    if (result.version > kSchemaVersion)
        refuse(QStringLiteral("schema version %1 is newer than this object server's (%2)")
                   .arg(result.version)
                   .arg(kSchemaVersion));
    result.networkName = setting(QStringLiteral("name"));
    result.refuseOpen = setting(QStringLiteral("refuse_open")) == QLatin1String("1");
    return result;
}

void NetworkDb::close()
{
    m_cache.clear();
    if (!m_connection.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            if (db.isOpen()) {
                if (m_txDepth > 0) {
                    QSqlQuery q(db);
                    q.exec(QStringLiteral("ROLLBACK"));
                }
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(m_connection);
        m_connection.clear();
    }
    m_txDepth = 0;
    m_open = false;
}

QSqlQuery &NetworkDb::query(const QString &sql)
{
    if (!m_open)
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network database is not open"));
    auto it = m_cache.find(sql);
    if (it == m_cache.end()) {
        auto q = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection, false));
        if (!q->prepare(sql))
            fail(QStringLiteral("cannot prepare \"%1\"").arg(sql), q->lastError());
        it = m_cache.emplace(sql, std::move(q)).first;
    }
    return *it->second;
}

void NetworkDb::exec(QSqlQuery &q, const QVariantList &values)
{
    for (int i = 0; i < values.size(); ++i)
        q.bindValue(i, values.at(i));
    if (!q.exec())
        fail(QStringLiteral("statement failed: \"%1\"").arg(q.lastQuery()), q.lastError());
}

void NetworkDb::run(const QString &sql, const QVariantList &values)
{
    if (!m_open)
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network database is not open"));
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (values.isEmpty()) {
        if (!q.exec(sql))
            fail(QStringLiteral("statement failed: \"%1\"").arg(sql), q.lastError());
        return;
    }
    if (!q.prepare(sql))
        fail(QStringLiteral("cannot prepare \"%1\"").arg(sql), q.lastError());
    exec(q, values);
}

void NetworkDb::runDdl(const QString &portable)
{
    run(m_engine ? m_engine->ddl(portable) : portable);
}

bool NetworkDb::tableExists(const QString &table)
{
    if (!m_open)
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network database is not open"));
    QSqlQuery &q = query(m_engine->tableExistsSql());
    exec(q, {table});
    const bool exists = q.next() && q.value(0).toInt() > 0;
    q.finish();
    return exists;
}

void NetworkDb::syncIdentity(const QString &table)
{
    if (!m_open)
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network database is not open"));
    const QString sql = m_engine->syncIdentitySql(table);
    if (!sql.isEmpty())
        run(sql);
}

int NetworkDb::insertReturningId(QSqlQuery &q, const QVariantList &values)
{
    exec(q, values);
    if (!q.next()) {
        q.finish();
        fail(QStringLiteral("no id returned by \"%1\"").arg(q.lastQuery()), QStringLiteral("inconsistent"));
    }
    const int id = q.value(0).toInt();
    q.finish();
    return id;
}

// --- Transaction ------------------------------------------------------------

NetworkDb::Transaction::Transaction(NetworkDb &db) : m_db(db)
{
    start(nullptr);
}

NetworkDb::Transaction::Transaction(NetworkDb &db, const QVector<int> &devices) : m_db(db)
{
    start(&devices);
}

void NetworkDb::Transaction::start(const QVector<int> *devices)
{
    // Devices in ascending order: two writers that lock the same devices
    // lock them in the same order and never wait for each other in a ring.
    QVector<int> ids;
    if (devices) {
        ids = *devices;
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    }
    const DbEngine &engine = *m_db.m_engine;
    if (m_db.m_txDepth > 0) {
        if (!m_db.m_txNetworkWide) {
            if (!devices)
                throw LnsError(lns::ErrDatabase, QStringLiteral("a change of the whole network cannot join a"
                                                                " transaction of single devices"));
            lockDevices(ids);
        }
        ++m_db.m_txDepth;
        return;
    }
    if (!m_db.m_open)
        throw LnsError(lns::ErrNotOpen, QStringLiteral("network database is not open"));
    m_db.run(engine.beginWrite());
    // From here on an error must roll the transaction back.
    ++m_db.m_txDepth;
    m_db.m_txNetworkWide = !devices;
    m_db.m_txDevices.clear();
    try {
        for (const QString &lock : devices ? engine.devicesLock() : engine.networkLock())
            m_db.run(lock);
        lockDevices(ids);
    } catch (...) {
        rollback();
        throw;
    }
}

void NetworkDb::Transaction::lockDevices(const QVector<int> &ids)
{
    for (int id : ids) {
        if (m_db.m_txDevices.contains(id))
            continue;
        const QString lock = m_db.m_engine->deviceLock(id);
        if (!lock.isEmpty())
            m_db.run(lock);
        m_db.m_txDevices.insert(id);
    }
}

void NetworkDb::lockSharedRows(const QString &what)
{
    if (m_txDepth == 0)
        throw LnsError(lns::ErrDatabase, QStringLiteral("rows shared by all devices (%1) locked outside a transaction")
                                             .arg(what));
    if (m_txNetworkWide)
        return;
    const QString lock = m_engine->sharedRowsLock();
    if (!lock.isEmpty())
        run(lock, {what});
}

NetworkDb::Transaction::~Transaction()
{
    if (m_done)
        return;
    // Not committed: an exception is on its way. Only the outermost level
    // talks to the engine; inner levels leave the decision to it.
    rollback();
}

void NetworkDb::Transaction::rollback()
{
    m_done = true;
    if (--m_db.m_txDepth == 0 && m_db.m_open) {
        for (auto &entry : m_db.m_cache)
            entry.second->finish();
        QSqlQuery q(QSqlDatabase::database(m_db.m_connection, false));
        q.exec(QStringLiteral("ROLLBACK"));
    }
}

void NetworkDb::Transaction::commit()
{
    if (m_done)
        return;
    if (m_db.m_txDepth == 1) {
        for (auto &entry : m_db.m_cache)
            entry.second->finish();
        m_db.run(QStringLiteral("COMMIT")); // throws: the destructor then rolls back
    }
    --m_db.m_txDepth;
    m_done = true;
}

// --- Settings ---------------------------------------------------------------

QString NetworkDb::setting(const QString &key) const
{
    auto *self = const_cast<NetworkDb *>(this);
    QSqlQuery &q = self->query(QStringLiteral("SELECT value FROM network WHERE key = ?"));
    self->exec(q, {key});
    const QString v = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return v;
}

void NetworkDb::setSetting(const QString &key, const QString &value)
{
    QSqlQuery &q = query(QStringLiteral("INSERT INTO network(key, value) VALUES(?, ?)"
                                        " ON CONFLICT(key) DO UPDATE SET value = excluded.value"));
    exec(q, {key, value.isNull() ? QStringLiteral("") : value});
}

// --- Structure --------------------------------------------------------------

QVector<SubsystemRow> NetworkDb::subsystems()
{
    return selectRows<SubsystemRow>(QStringLiteral("SELECT id, parent_id, name, position FROM subsystems ORDER BY position, id"), [](const QSqlQuery &q) {
        SubsystemRow r;
        r.id = q.value(0).toInt();
        r.parentId = q.value(1).isNull() ? 0 : q.value(1).toInt();
        r.name = q.value(2).toString();
        r.position = q.value(3).toInt();
        return r;
    });
}

QVector<DeviceRow> NetworkDb::devices()
{
    return selectRows<DeviceRow>(QStringLiteral("SELECT id, subsystem_id, lns_index, name, template, program_id, position,"
                                        " COALESCE(channel_id, 1) FROM devices LEFT JOIN device_channels ON device_id = id"
                                        " ORDER BY subsystem_id, position, id"), [](const QSqlQuery &q) {
        DeviceRow r;
        r.id = q.value(0).toInt();
        r.subsystemId = q.value(1).toInt();
        r.index = q.value(2).toInt();
        r.name = q.value(3).toString();
        r.templateName = q.value(4).toString();
        r.programId = q.value(5).toString();
        r.position = q.value(6).toInt();
        r.channelId = q.value(7).toInt();
        return r;
    });
}

namespace {

const QString kLonMarkObjectColumns = QStringLiteral("SELECT device_id, obj_index, name FROM lonmark_objects");
const QString kCpColumns = QStringLiteral("SELECT device_id, name, scope, owner_index, cp_index, type, element_length,"
                                          " dimension, factory FROM cps");
const QString kNvColumns = QStringLiteral("SELECT device_id, name, nv_index, object_index, direction, type, size,"
                                          " type_index, initial FROM nvs");

LonMarkObjectRow lonMarkObjectFrom(const QSqlQuery &q)
{
    return LonMarkObjectRow{q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString()};
}

CpRow cpFrom(const QSqlQuery &q)
{
    CpRow r;
    r.deviceId = q.value(0).toInt();
    r.name = q.value(1).toString();
    r.scope = scopeFromText(q.value(2).toString());
    r.ownerIndex = q.value(3).toInt();
    r.cpIndex = q.value(4).toInt();
    r.type = q.value(5).toString();
    r.elementLength = q.value(6).toInt();
    r.dimension = q.value(7).toInt();
    r.factory = toBlob(q.value(8));
    return r;
}

NvRow nvFrom(const QSqlQuery &q)
{
    NvRow r;
    r.deviceId = q.value(0).toInt();
    r.name = q.value(1).toString();
    r.nvIndex = q.value(2).toInt();
    r.objectIndex = q.value(3).toInt();
    r.input = q.value(4).toString() == QLatin1String("in");
    r.typeName = q.value(5).toString();
    r.size = q.value(6).toInt();
    r.typeIndex = q.value(7).toInt();
    r.initial = toBlob(q.value(8));
    return r;
}

} // namespace

QVector<LonMarkObjectRow> NetworkDb::lonMarkObjects()
{
    return selectRows<LonMarkObjectRow>(kLonMarkObjectColumns + QStringLiteral(" ORDER BY device_id, obj_index"),
                                        lonMarkObjectFrom);
}

QVector<LonMarkObjectRow> NetworkDb::lonMarkObjectsOf(int deviceId)
{
    return selectRows<LonMarkObjectRow>(kLonMarkObjectColumns + QStringLiteral(" WHERE device_id = ? ORDER BY obj_index"),
                                        {deviceId}, lonMarkObjectFrom);
}

QVector<CpRow> NetworkDb::cpsOf(int deviceId)
{
    return selectRows<CpRow>(kCpColumns + QStringLiteral(" WHERE device_id = ? ORDER BY scope, owner_index, cp_index"),
                             {deviceId}, cpFrom);
}

QVector<NvRow> NetworkDb::nvsOf(int deviceId)
{
    return selectRows<NvRow>(kNvColumns + QStringLiteral(" WHERE device_id = ? ORDER BY nv_index"), {deviceId}, nvFrom);
}

QVector<ChannelRow> NetworkDb::channels()
{
    return selectRows<ChannelRow>(QStringLiteral("SELECT id, name FROM channels ORDER BY id"), [](const QSqlQuery &q) {
        return ChannelRow{q.value(0).toInt(), q.value(1).toString()};
    });
}

QVector<RouterRow> NetworkDb::routers()
{
    return selectRows<RouterRow>(QStringLiteral("SELECT id, name, near_channel_id, far_channel_id FROM routers ORDER BY id"),
                                 [](const QSqlQuery &q) {
                                     return RouterRow{q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt(),
                                                      q.value(3).toInt()};
                                 });
}

void NetworkDb::touchStructure()
{
    exec(query(QStringLiteral("INSERT INTO network(key, value) VALUES(?, '1') ON CONFLICT(key) DO UPDATE SET"
                              " value = CAST(CAST(network.value AS INTEGER) + 1 AS TEXT)")),
         {kStructureSerialSetting});
}

QVector<CpRow> NetworkDb::cps()
{
    return selectRows<CpRow>(kCpColumns + QStringLiteral(" ORDER BY device_id, scope, owner_index, cp_index"), cpFrom);
}

QVector<NvRow> NetworkDb::nvs()
{
    return selectRows<NvRow>(kNvColumns + QStringLiteral(" ORDER BY device_id, nv_index"), nvFrom);
}

void NetworkDb::setNvTypeIndex(int deviceId, const QString &nv, int typeIndex)
{
    exec(query(QStringLiteral("UPDATE nvs SET type_index = ? WHERE device_id = ? AND name = ?")), {typeIndex, deviceId, nv});
}

// --- Device memory ----------------------------------------------------------

DeviceState NetworkDb::deviceState(int deviceId)
{
    QSqlQuery &q = query(QStringLiteral("SELECT commissioned, reachable, app_number, app_version FROM device_state"
                                        " WHERE device_id = ?"));
    exec(q, {deviceId});
    if (!q.next()) {
        q.finish();
        fail(QStringLiteral("device %1 has no state record").arg(deviceId), QStringLiteral("inconsistent"));
    }
    DeviceState s;
    s.commissioned = q.value(0).toInt() != 0;
    s.reachable = q.value(1).toInt() != 0;
    s.appNumber = q.value(2).toInt();
    s.appVersion = q.value(3).toString();
    q.finish();
    return s;
}

void NetworkDb::setCommissioned(int deviceId, bool on)
{
    exec(query(QStringLiteral("UPDATE device_state SET commissioned = ? WHERE device_id = ?")), {on ? 1 : 0, deviceId});
}

void NetworkDb::setReachable(int deviceId, bool on)
{
    exec(query(QStringLiteral("UPDATE device_state SET reachable = ? WHERE device_id = ?")), {on ? 1 : 0, deviceId});
}

void NetworkDb::setApplication(int deviceId, int number, const QString &version)
{
    exec(query(QStringLiteral("UPDATE device_state SET app_number = ?, app_version = ? WHERE device_id = ?")),
         {number, version, deviceId});
}

QByteArray NetworkDb::blob(const QString &sql, const QVariantList &values, const QString &what)
{
    QSqlQuery &q = query(sql);
    exec(q, values);
    if (!q.next()) {
        q.finish();
        fail(what, QStringLiteral("no such row"));
    }
    const QByteArray b = toBlob(q.value(0));
    q.finish();
    return b;
}

QByteArray NetworkDb::deviceCp(int deviceId, const QString &cp)
{
    return blob(QStringLiteral("SELECT value FROM device_cp WHERE device_id = ? AND name = ?"), {deviceId, cp},
                QStringLiteral("device memory of CP %1 missing").arg(cp));
}

void NetworkDb::setDeviceCp(int deviceId, const QString &cp, const QByteArray &bytes)
{
    exec(query(QStringLiteral("UPDATE device_cp SET value = ? WHERE device_id = ? AND name = ?")), {bytes, deviceId, cp});
}

QByteArray NetworkDb::databaseCp(int deviceId, const QString &cp)
{
    return blob(QStringLiteral("SELECT db_value FROM cps WHERE device_id = ? AND name = ?"), {deviceId, cp},
                QStringLiteral("CP %1 missing").arg(cp));
}

void NetworkDb::setDatabaseCp(int deviceId, const QString &cp, const QByteArray &bytes)
{
    exec(query(QStringLiteral("UPDATE cps SET db_value = ? WHERE device_id = ? AND name = ?")), {bytes, deviceId, cp});
}

QByteArray NetworkDb::deviceNv(int deviceId, const QString &nv)
{
    return blob(QStringLiteral("SELECT value FROM device_nv WHERE device_id = ? AND name = ?"), {deviceId, nv},
                QStringLiteral("device memory of NV %1 missing").arg(nv));
}

void NetworkDb::setDeviceNv(int deviceId, const QString &nv, const QByteArray &bytes)
{
    exec(query(QStringLiteral("UPDATE device_nv SET value = ? WHERE device_id = ? AND name = ?")), {bytes, deviceId, nv});
}

bool NetworkDb::extensionData(int deviceId, int objectIndex, const QString &key, QString *value)
{
    QSqlQuery &q = query(QStringLiteral("SELECT value FROM extension_data WHERE device_id = ? AND obj_index = ? AND key = ?"));
    exec(q, {deviceId, objectIndex, key});
    const bool found = q.next();
    if (found && value)
        *value = q.value(0).toString();
    q.finish();
    return found;
}

void NetworkDb::setExtensionData(int deviceId, int objectIndex, const QString &key, const QString &value)
{
    exec(query(QStringLiteral("INSERT INTO extension_data(device_id, obj_index, key, value) VALUES(?, ?, ?, ?)"
                              " ON CONFLICT(device_id, obj_index, key) DO UPDATE SET value = excluded.value")),
         {deviceId, objectIndex, key, value.isNull() ? QStringLiteral("") : value});
}

// --- Faults -----------------------------------------------------------------

DeviceFaults NetworkDb::deviceFaults(int deviceId)
{
    DeviceFaults f;
    f.unreachable = !deviceState(deviceId).reachable;
    QSqlQuery &q = query(QStringLiteral("SELECT cp_name, cp_fault, latency_ms, latency_sleep, download_fails"
                                        " FROM device_faults WHERE device_id = ?"));
    exec(q, {deviceId});
    if (q.next()) {
        f.cpName = q.value(0).toString();
        f.cpFault = static_cast<CpFault>(q.value(1).toInt() & 3);
        f.latencyMs = q.value(2).toInt();
        f.sleep = q.value(3).toInt() != 0;
        f.downloadFails = q.value(4).toInt() != 0;
    }
    q.finish();
    if (f.cpFault == CpFault::Off)
        f.cpName.clear();
    return f;
}

void NetworkDb::setDeviceFaults(int deviceId, const DeviceFaults &f)
{
    Transaction tx(*this, {deviceId});
    setReachable(deviceId, !f.unreachable);
    const bool cpOff = f.cpFault == CpFault::Off || f.cpName.isEmpty();
    exec(query(QStringLiteral("INSERT INTO device_faults(device_id, cp_name, cp_fault, latency_ms, latency_sleep,"
                              " download_fails) VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(device_id) DO UPDATE SET"
                              " cp_name = excluded.cp_name, cp_fault = excluded.cp_fault, latency_ms = excluded.latency_ms,"
                              " latency_sleep = excluded.latency_sleep, download_fails = excluded.download_fails")),
         {deviceId, cpOff ? QStringLiteral("") : f.cpName, cpOff ? 0 : int(f.cpFault), qMax(0, f.latencyMs), f.sleep ? 1 : 0,
          f.downloadFails ? 1 : 0});
    tx.commit();
}

void NetworkDb::clearAllFaults()
{
    Transaction tx(*this);
    run(QStringLiteral("DELETE FROM device_faults"));
    run(QStringLiteral("UPDATE device_state SET reachable = 1"));
    setSetting(QStringLiteral("refuse_open"), QStringLiteral("0"));
    tx.commit();
}

// --- Counters ---------------------------------------------------------------

void NetworkDb::addCounters(int deviceId, const Counters &c)
{
    if (c.isZero())
        return;
    // Charged to the channel the device sits on now.
    exec(query(QStringLiteral(
             "INSERT INTO traffic(device_id, channel_id, reads, writes, bytes_read, bytes_written, tests, downloads,"
             " channel_us) SELECT CAST(? AS BIGINT),"
             " COALESCE((SELECT channel_id FROM device_channels WHERE device_id = CAST(? AS BIGINT)), 1),"
             " CAST(? AS BIGINT), CAST(? AS BIGINT), CAST(? AS BIGINT), CAST(? AS BIGINT), CAST(? AS BIGINT),"
             " CAST(? AS BIGINT), CAST(? AS BIGINT) WHERE true ON CONFLICT(device_id, channel_id) DO UPDATE SET"
             " reads = traffic.reads + excluded.reads, writes = traffic.writes + excluded.writes,"
             " bytes_read = traffic.bytes_read + excluded.bytes_read,"
             " bytes_written = traffic.bytes_written + excluded.bytes_written,"
             " tests = traffic.tests + excluded.tests, downloads = traffic.downloads + excluded.downloads,"
             " channel_us = traffic.channel_us + excluded.channel_us")),
         {deviceId, deviceId, c.deviceReads, c.deviceWrites, c.bytesRead, c.bytesWritten, c.deviceTests, c.downloads,
          c.channelMicros});
}

static Counters countersFrom(QSqlQuery &q)
{
    Counters c;
    c.deviceReads = q.value(0).toLongLong();
    c.deviceWrites = q.value(1).toLongLong();
    c.bytesRead = q.value(2).toLongLong();
    c.bytesWritten = q.value(3).toLongLong();
    c.deviceTests = q.value(4).toLongLong();
    c.downloads = q.value(5).toLongLong();
    c.channelMicros = q.value(6).toLongLong();
    return c;
}

Counters NetworkDb::counters(int deviceId)
{
    QSqlQuery &q = query(QStringLiteral(
        "SELECT COALESCE(SUM(reads),0), COALESCE(SUM(writes),0), COALESCE(SUM(bytes_read),0),"
        " COALESCE(SUM(bytes_written),0), COALESCE(SUM(tests),0), COALESCE(SUM(downloads),0),"
        " COALESCE(SUM(channel_us),0) FROM traffic WHERE device_id = ?"));
    exec(q, {deviceId});
    Counters c;
    if (q.next())
        c = countersFrom(q);
    q.finish();
    return c;
}

Counters NetworkDb::totals()
{
    QSqlQuery &q = query(QStringLiteral(
        "SELECT COALESCE(SUM(reads),0), COALESCE(SUM(writes),0), COALESCE(SUM(bytes_read),0),"
        " COALESCE(SUM(bytes_written),0), COALESCE(SUM(tests),0), COALESCE(SUM(downloads),0),"
        " COALESCE(SUM(channel_us),0) FROM traffic"));
    exec(q);
    Counters c;
    if (q.next())
        c = countersFrom(q);
    q.finish();
    return c;
}

ChannelTraffic NetworkDb::channelCounters()
{
    QSqlQuery &q = query(QStringLiteral(
        "SELECT id, name, COALESCE(SUM(reads),0), COALESCE(SUM(writes),0), COALESCE(SUM(bytes_read),0),"
        " COALESCE(SUM(bytes_written),0), COALESCE(SUM(tests),0), COALESCE(SUM(downloads),0),"
        " COALESCE(SUM(channel_us),0) FROM channels LEFT JOIN traffic ON channel_id = id GROUP BY id ORDER BY id"));
    exec(q);
    ChannelTraffic out;
    while (q.next()) {
        Counters c;
        c.deviceReads = q.value(2).toLongLong();
        c.deviceWrites = q.value(3).toLongLong();
        c.bytesRead = q.value(4).toLongLong();
        c.bytesWritten = q.value(5).toLongLong();
        c.deviceTests = q.value(6).toLongLong();
        c.downloads = q.value(7).toLongLong();
        c.channelMicros = q.value(8).toLongLong();
        out.append({ChannelRow{q.value(0).toInt(), q.value(1).toString()}, c});
    }
    q.finish();
    return out;
}

void NetworkDb::resetCounters()
{
    run(QStringLiteral("DELETE FROM traffic"));
}

} // namespace lnssim
