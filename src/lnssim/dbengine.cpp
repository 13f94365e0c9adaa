#include "dbengine.h"
#include "networkdb.h"

#include <lns/lnsobjects.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace lnssim {

using lns::LnsError;

namespace {

std::atomic<int> g_serverConnections{0};

const QString kSqliteDriver = QStringLiteral("QSQLITE");
const QString kPostgresDriver = QStringLiteral("QPSQL");
// A server that does not answer is given up after this many seconds, unless
// the connection string says otherwise.
constexpr int kConnectTimeoutSeconds = 10;
// PostgreSQL cuts identifiers longer than this many bytes.
constexpr int kMaxIdentifierBytes = 63;

// One key=value pair of a libpq connection string.
struct ConnectionOption
{
    QString key;
    QString value; // as written, quotes included
};

QVector<ConnectionOption> parseConnectionString(const QString &text)
{
    static const QRegularExpression pair(
        QStringLiteral("\\G\\s*([A-Za-z_]+)\\s*=\\s*('(?:[^'\\\\]|\\\\.)*'|[^\\s']+)\\s*"));
    QVector<ConnectionOption> options;
    int at = 0;
    while (at < text.size()) {
        const QRegularExpressionMatch m = pair.match(text, at);
        if (!m.hasMatch() || m.capturedLength() == 0) {
            if (text.mid(at).trimmed().isEmpty())
                break;
            throw LnsError(lns::ErrNotOpen,
                           QStringLiteral("\"%1\" is not a server connection string of key=value pairs"
                                          " (for example \"host=site-server dbname=aerolis user=technician\")")
                               .arg(displayServer(text)));
        }
        options.push_back({m.captured(1).toLower(), m.captured(2)});
        at = m.capturedEnd();
    }
    return options;
}

QString joinOptions(const QVector<ConnectionOption> &options)
{
    QStringList parts;
    for (const ConnectionOption &o : options)
        parts << o.key + QLatin1Char('=') + o.value;
    return parts.join(QLatin1Char(' '));
}

QString unquoted(const QString &value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))
        return value.mid(1, value.size() - 2).replace(QStringLiteral("\\'"), QStringLiteral("'"));
    return value;
}

// A connection to a server outside any network's schema, for listing,
// removing and renaming networks.
class ServerConnection
{
public:
    explicit ServerConnection(const QString &server)
        : m_name(QStringLiteral("lnssim-server-%1").arg(++g_serverConnections)), m_server(server)
    {
        const auto engine = DbEngine::make(Engine::Postgres);
        engine->connect(m_name, DatabaseLocation::remote(server, QString()), false);
        for (const QString &sql : engine->sessionSetup(false))
            exec(sql);
    }
    ~ServerConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    ServerConnection(const ServerConnection &) = delete;
    ServerConnection &operator=(const ServerConnection &) = delete;

    QSqlQuery exec(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        // Statements without values run as they are: the server prepares
        // no schema changes.
        bool ok = values.isEmpty() ? q.exec(sql) : q.prepare(sql);
        for (int i = 0; ok && i < values.size(); ++i)
            q.bindValue(i, values.at(i));
        if (ok && !values.isEmpty())
            ok = q.exec();
        if (!ok) {
            const QString trouble = DbEngine::make(Engine::Postgres)->troubleText(q.lastError());
            throw LnsError(lns::ErrDatabase, QStringLiteral("database server %1: %2 (%3)")
                                                 .arg(displayServer(m_server),
                                                      trouble.isEmpty() ? QStringLiteral("statement failed") : trouble,
                                                      q.lastError().text()));
        }
        return q;
    }

private:
    QString m_name;
    QString m_server;
};

void removeFiles(const QString &path)
{
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    QFile::remove(path);
}

// --- SQLite -----------------------------------------------------------------

class SqliteEngine : public DbEngine
{
public:
    Engine kind() const override { return Engine::Sqlite; }

    void connect(const QString &name, const DatabaseLocation &location, bool) const override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kSqliteDriver, name);
        db.setDatabaseName(location.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
        if (!db.open()) {
            const QSqlError err = db.lastError();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            const QString trouble = troubleText(err);
            throw LnsError(lns::ErrDatabase, QStringLiteral("network database %1: %2 (%3)")
                                                 .arg(location.display(),
                                                      trouble.isEmpty() ? QStringLiteral("cannot be opened") : trouble,
                                                      err.text()));
        }
    }

    QStringList sessionSetup(bool creating) const override
    {
        QStringList s;
        if (creating)
            s << QStringLiteral("PRAGMA journal_mode=WAL");
        s << QStringLiteral("PRAGMA synchronous=NORMAL") << QStringLiteral("PRAGMA foreign_keys=ON");
        return s;
    }

    QString ddl(const QString &portable) const override { return portable; }

    // IMMEDIATE: a writer never has to upgrade a read lock. A file has one
    // write lock, so every writer holds all of the network.
    QString beginWrite() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    QStringList networkLock() const override { return {}; }
    QStringList devicesLock() const override { return {}; }
    QString deviceLock(int) const override { return QString(); }
    QString sharedRowsLock() const override { return QString(); }

    QString tableExistsSql() const override
    {
        return QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
    }

    QString syncIdentitySql(const QString &) const override { return QString(); }

    QString currentUserSql() const override { return QString(); }

    bool isMissingRight(const QSqlError &) const override { return false; }

    QString troubleText(const QSqlError &error) const override
    {
        // SQLite's primary result codes (the low byte of an extended code).
        enum : int { Perm = 3, Busy = 5, Locked = 6, ReadOnly = 8, IoErr = 10, Corrupt = 11, Full = 13,
                     CantOpen = 14, NotADb = 26 };
        // Extended: the shared-memory file beside the database could not
        // grow, which on a local disk means there is no room left.
        constexpr int ShmSize = IoErr | (19 << 8);
        bool numeric = false;
        const int extended = error.nativeErrorCode().toInt(&numeric);
        if (!numeric)
            return QString();
        if (extended == ShmSize)
            return QStringLiteral("the disk is full (no room for the database's shared-memory file)");
        switch (extended & 0xff) {
        case Full:
            return QStringLiteral("the disk is full");
        case ReadOnly:
            return QStringLiteral("read-only, the file or its folder cannot be written");
        case Corrupt:
        case NotADb:
            return QStringLiteral("the file is damaged or not a database");
        case CantOpen:
            return QStringLiteral("the file cannot be opened or created (missing, or its folder cannot be written)");
        case IoErr:
            return QStringLiteral("the disk could not be read or written");
        case Perm:
            return QStringLiteral("access denied");
        case Busy:
        case Locked:
            return QStringLiteral("locked by another program");
        default:
            return QString();
        }
    }
};

// --- PostgreSQL -------------------------------------------------------------

class PostgresEngine : public DbEngine
{
public:
    Engine kind() const override { return Engine::Postgres; }

    void connect(const QString &name, const DatabaseLocation &location, bool) const override
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(kPostgresDriver, name);
        // The whole libpq string goes to the driver as it stands: libpq
        // itself reads the password file and PGPASSWORD.
        db.setConnectOptions(location.server);
        const bool opened = db.open();
        QString failure;
        if (!opened) {
            failure = describe(db.lastError(), QStringLiteral("cannot connect"));
        } else if (!location.network.isEmpty()) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SET search_path TO ") + quoteIdentifier(location.network)))
                failure = describe(q.lastError(), QStringLiteral("the network's schema cannot be chosen"));
        }
        if (!failure.isEmpty()) {
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            throw LnsError(lns::ErrDatabase, QStringLiteral("network database %1: %2").arg(location.display(), failure));
        }
    }

    QStringList sessionSetup(bool) const override
    {
        // As long as SQLite waits for another writer; notices are not errors.
        return {QStringLiteral("SET lock_timeout = '30s'"), QStringLiteral("SET client_min_messages = warning")};
    }

    QString ddl(const QString &portable) const override
    {
        struct Rule
        {
            QRegularExpression from;
            QString to;
        };
        static const Rule rules[] = {
            {QRegularExpression(QStringLiteral("\\bINTEGER PRIMARY KEY\\b")),
             QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")},
            // Counters and times outgrow 32 bits; SQLite's INTEGER has 64.
            {QRegularExpression(QStringLiteral("\\bINTEGER\\b")), QStringLiteral("BIGINT")},
            {QRegularExpression(QStringLiteral("\\bBLOB\\b")), QStringLiteral("BYTEA")},
            {QRegularExpression(QStringLiteral("\\bREAL\\b")), QStringLiteral("DOUBLE PRECISION")},
            // Texts compare and sort byte by byte, as in SQLite (the record's
            // device ranges depend on "." sorting before "/").
            {QRegularExpression(QStringLiteral("\\bTEXT\\b")), QStringLiteral("TEXT COLLATE \"C\"")},
        };
        QString sql = portable;
        for (const Rule &r : rules)
            sql.replace(r.from, r.to);
        return sql;
    }

    // Transaction-long advisory locks, taken at the start so that two
    // writers never interleave their read-then-write steps. The network's
    // lock is one key (its schema's hash): a network-wide writer holds it
    // alone, a writer of devices shares it. A device's lock is the pair
    // (schema hash, device id), a key space apart from the single keys.
    QString beginWrite() const override { return QStringLiteral("BEGIN"); }
    QStringList networkLock() const override
    {
        return {QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(current_schema())::bigint)")};
    }
    QStringList devicesLock() const override
    {
        return {QStringLiteral("SELECT pg_advisory_xact_lock_shared(hashtext(current_schema())::bigint)")};
    }
    QString deviceLock(int deviceId) const override
    {
        return QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(current_schema()), %1)").arg(deviceId);
    }
    QString sharedRowsLock() const override
    {
        return QStringLiteral("SELECT pg_advisory_xact_lock(hashtext(current_schema() || '/' || CAST(? AS TEXT))::bigint)");
    }

    QString tableExistsSql() const override
    {
        return QStringLiteral("SELECT count(*) FROM pg_class WHERE relname = ? AND relkind = 'r'"
                              " AND relnamespace = (SELECT oid FROM pg_namespace WHERE nspname = current_schema())");
    }

    QString syncIdentitySql(const QString &table) const override
    {
        return QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), COALESCE(MAX(id), 0) + 1, false)"
                              " FROM %1")
            .arg(table);
    }

    QString currentUserSql() const override { return QStringLiteral("SELECT current_user"); }

    bool isMissingRight(const QSqlError &error) const override
    {
        // insufficient_privilege
        return error.nativeErrorCode() == QLatin1String("42501");
    }

    QString troubleText(const QSqlError &error) const override
    {
        const QString state = error.nativeErrorCode();
        const QString text = error.text();
        if (state == QLatin1String("28P01") || text.contains(QLatin1String("password authentication failed")))
            return QStringLiteral("the server refuses the user name or password");
        if (text.contains(QLatin1String("no password supplied")))
            return QStringLiteral("the server asks for a password: put it in the password file (~/.pgpass) or"
                                  " PGPASSWORD");
        if (state == QLatin1String("28000"))
            return QStringLiteral("the server refuses this user or computer");
        if (state == QLatin1String("42501")) {
            // A user without any grant on the network is refused its schema;
            // a reader is refused the tables only commissioning changes.
            if (text.contains(QLatin1String("for schema")))
                return QStringLiteral("the database user has no right on this network (it needs the role %1 or %2)")
                    .arg(kReaderRole, kCommissionerRole);
            return QStringLiteral("the database user lacks the commissioning right (role %1: writes, copies,"
                                  " downloads, registrations)")
                .arg(kCommissionerRole);
        }
        if (state == QLatin1String("3D000"))
            return QStringLiteral("the server has no database of the name the connection string gives");
        if (state == QLatin1String("53100"))
            return QStringLiteral("the server's disk is full");
        if (state == QLatin1String("55P03") || state == QLatin1String("40001") || state == QLatin1String("40P01"))
            return QStringLiteral("locked by another program");
        if (text.contains(QLatin1String("SSL")) || text.contains(QLatin1String("certificate")))
            return QStringLiteral("no verified TLS connection to the server");
        if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P"))
            || text.contains(QLatin1String("could not connect")) || text.contains(QLatin1String("Connection refused"))
            || text.contains(QLatin1String("connection to server")) || text.contains(QLatin1String("timeout expired"))
            || text.contains(QLatin1String("server closed the connection"))
            || text.contains(QLatin1String("no connection to the server"))
            || text.contains(QLatin1String("could not translate host name")))
            return QStringLiteral("the database server cannot be reached");
        return QString();
    }

private:
    QString describe(const QSqlError &error, const QString &otherwise) const
    {
        const QString trouble = troubleText(error);
        return (trouble.isEmpty() ? otherwise : trouble) + QStringLiteral(" (") + error.text().trimmed()
            + QLatin1Char(')');
    }
};

} // namespace

// --- DatabaseLocation ---------------------------------------------------------

DatabaseLocation DatabaseLocation::file(const QString &path)
{
    DatabaseLocation l;
    l.engine = Engine::Sqlite;
    l.path = path;
    return l;
}

DatabaseLocation DatabaseLocation::remote(const QString &server, const QString &network)
{
    DatabaseLocation l;
    l.engine = Engine::Postgres;
    l.server = server;
    l.network = network;
    return l;
}

QString DatabaseLocation::key() const
{
    if (!isRemote())
        return path;
    return QStringLiteral("server:") + server + QLatin1Char('#') + network;
}

QString DatabaseLocation::display() const
{
    if (!isRemote())
        return QDir::toNativeSeparators(path);
    if (network.isEmpty())
        return QStringLiteral("on server \"%1\"").arg(displayServer(server));
    return QStringLiteral("of network %1 on server \"%2\"").arg(network, displayServer(server));
}

DatabaseLocation NetworkHome::locationOf(const QString &network) const
{
    if (isRemote())
        return DatabaseLocation::remote(server, network);
    return DatabaseLocation::file(NetworkDb::pathFor(root, network));
}

QString NetworkHome::display() const
{
    return isRemote() ? QStringLiteral("server \"%1\"").arg(displayServer(server)) : QDir::toNativeSeparators(root);
}

// --- connection strings -------------------------------------------------------

QString displayServer(const QString &connectionString)
{
    static const QRegularExpression password(QStringLiteral("\\bpassword\\s*=\\s*('(?:[^'\\\\]|\\\\.)*'|\\S*)"),
                                             QRegularExpression::CaseInsensitiveOption);
    return QString(connectionString).replace(password, QStringLiteral("password=***")).trimmed();
}

QString checkedServer(const QString &connectionString, bool requireTls)
{
    if (connectionString.trimmed().isEmpty())
        throw LnsError(lns::ErrNotOpen, QStringLiteral("no database server given"));
    if (connectionString.contains(QLatin1String("://")))
        throw LnsError(lns::ErrNotOpen, QStringLiteral("give the database server as key=value pairs (for example"
                                                       " \"host=site-server dbname=aerolis\"), not as an address"));
    QVector<ConnectionOption> options = parseConnectionString(connectionString);
    bool hasTimeout = false;
    bool hasSslMode = false;
    for (const ConnectionOption &o : options) {
        if (o.key == QLatin1String("password"))
            throw LnsError(lns::ErrNotOpen,
                           QStringLiteral("the server connection string holds a password; put it in the password"
                                          " file (~/.pgpass, or PGPASSFILE) or in PGPASSWORD instead, so that it"
                                          " appears on no command line and in no log"));
        if (o.key == QLatin1String("connect_timeout"))
            hasTimeout = true;
        if (o.key == QLatin1String("sslmode")) {
            hasSslMode = true;
            if (requireTls && unquoted(o.value) != QLatin1String("verify-full"))
                throw LnsError(lns::ErrNotOpen,
                               QStringLiteral("access over the Internet needs sslmode=verify-full, the server"
                                              " connection string asks for sslmode=%1")
                                   .arg(unquoted(o.value)));
        }
    }
    if (requireTls && !hasSslMode)
        options.push_back({QStringLiteral("sslmode"), QStringLiteral("verify-full")});
    if (!hasTimeout)
        options.push_back({QStringLiteral("connect_timeout"), QString::number(kConnectTimeoutSeconds)});
    return joinOptions(options);
}

QString remoteServer(int accessMode, const QString &interfaceName)
{
    const QString given = interfaceName.contains(QLatin1Char('=')) ? interfaceName
                                                                     : qEnvironmentVariable(qPrintable(kServerVariable));
    if (given.trimmed().isEmpty())
        throw LnsError(lns::ErrNotOpen, QStringLiteral("remote access needs a database server: set %1 to its"
                                                       " connection string (for example \"host=site-server"
                                                       " dbname=aerolis\")")
                                            .arg(kServerVariable));
    return checkedServer(given, accessMode == 2);
}

// --- engines --------------------------------------------------------------------

std::unique_ptr<DbEngine> DbEngine::make(Engine engine)
{
    if (engine == Engine::Postgres)
        return std::make_unique<PostgresEngine>();
    return std::make_unique<SqliteEngine>();
}

QString quoteIdentifier(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

void checkRemoteName(const QString &network)
{
    if (network.isEmpty() || network.toUtf8().size() > kMaxIdentifierBytes)
        throw LnsError(lns::ErrBadValue, QStringLiteral("network name \"%1\" is empty or longer than a server allows"
                                                        " (%2 bytes)")
                                             .arg(network)
                                             .arg(kMaxIdentifierBytes));
}

void grantNetworkRole(const QString &server, const QString &network, NetworkRole role, const QString &user)
{
    if (!networkExists(DatabaseLocation::remote(server, network)))
        throw LnsError(lns::ErrNoSuchNetwork,
                       QStringLiteral("network %1 does not exist on server \"%2\"").arg(network, displayServer(server)));
    const QString schema = quoteIdentifier(network);
    const QString group = role == NetworkRole::Reader ? kReaderRole : kCommissionerRole;
    const QString to = quoteIdentifier(group);
    ServerConnection c(server);
    c.exec(QStringLiteral("BEGIN"));
    c.exec(QStringLiteral("DO $$ BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END $$").arg(to));
    c.exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(schema, to));
    c.exec(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA %1 TO %2").arg(schema, to));
    if (role == NetworkRole::Reader) {
        // What a read changes besides the device: the database's copy of a
        // CP read from the device, and the channel's traffic counters.
        c.exec(QStringLiteral("GRANT UPDATE (db_value) ON %1.cps TO %2").arg(schema, to));
        c.exec(QStringLiteral("GRANT INSERT, UPDATE ON %1.traffic TO %2").arg(schema, to));
    } else {
        c.exec(QStringLiteral("GRANT CREATE ON SCHEMA %1 TO %2").arg(schema, to));
        c.exec(QStringLiteral("GRANT INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %1 TO %2").arg(schema, to));
        c.exec(QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA %1 TO %2").arg(schema, to));
    }
    c.exec(QStringLiteral("GRANT %1 TO %2").arg(to, quoteIdentifier(user)));
    c.exec(QStringLiteral("COMMIT"));
}

QStringList remoteNetworks(const QString &server)
{
    ServerConnection c(server);
    QSqlQuery q = c.exec(QStringLiteral(
        "SELECT n.nspname FROM pg_namespace n WHERE EXISTS (SELECT 1 FROM pg_class c WHERE c.relnamespace = n.oid"
        " AND c.relname = 'schema_version' AND c.relkind = 'r') ORDER BY n.nspname COLLATE \"C\""));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

bool networkExists(const DatabaseLocation &location)
{
    if (!location.isRemote())
        return QFileInfo::exists(location.path);
    ServerConnection c(location.server);
    QSqlQuery q = c.exec(QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname = ?"), {location.network});
    return q.next() && q.value(0).toInt() > 0;
}

void dropNetwork(const DatabaseLocation &location)
{
    if (!location.isRemote()) {
        removeFiles(location.path);
        return;
    }
    ServerConnection c(location.server);
    c.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(quoteIdentifier(location.network)));
}

void renameNetwork(const DatabaseLocation &from, const QString &toName)
{
    if (!from.isRemote()) {
        const QString target = NetworkDb::pathFor(QFileInfo(from.path).absolutePath(), toName);
        removeFiles(target);
        if (!QFile::rename(from.path, target))
            throw LnsError(lns::ErrDatabase, QStringLiteral("cannot move the new network into place at %1").arg(target));
        return;
    }
    checkRemoteName(toName);
    ServerConnection c(from.server);
    c.exec(QStringLiteral("BEGIN"));
    c.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(quoteIdentifier(toName)));
    c.exec(QStringLiteral("ALTER SCHEMA %1 RENAME TO %2").arg(quoteIdentifier(from.network), quoteIdentifier(toName)));
    c.exec(QStringLiteral("COMMIT"));
}

} // namespace lnssim
