// The two engines a network database runs on, behind one interface.
//
// Local access keeps one SQLite file per network in a folder (the embedded
// default). Remote access keeps the networks on a PostgreSQL server, one
// PostgreSQL schema per network in the database the connection string names,
// so that several technicians' programs work on one network at once. Both
// hold the same tables and run the same statements; what SQL spells
// differently (column types, the start of a writing transaction, how a table
// is looked up, the identity counters) is decided here and nowhere else.
#pragma once

#include <lns/serverenvironment.h>

#include <QSqlError>
#include <QString>
#include <QStringList>

#include <memory>

namespace lnssim {

enum class Engine { Sqlite, Postgres };

using lns::kServerVariable;

// Where the database of one network lives.
struct DatabaseLocation
{
    Engine engine = Engine::Sqlite;
    QString path;    // SQLite: the file
    QString server;  // PostgreSQL: libpq connection string ("host=... dbname=...")
    QString network; // PostgreSQL: the network, which is also the schema's name

    static DatabaseLocation file(const QString &path);
    static DatabaseLocation remote(const QString &server, const QString &network);
    bool isRemote() const { return engine == Engine::Postgres; }
    // Tells two locations apart within this process.
    QString key() const;
    // For messages: the file, or the network and the server (never a password).
    QString display() const;
};

// Where networks live: a folder of network files (local access) or a
// database server (remote access).
struct NetworkHome
{
    QString root;   // local: the folder
    QString server; // remote: the libpq connection string; empty for local

    static NetworkHome local(const QString &root) { return NetworkHome{root, QString()}; }
    static NetworkHome remote(const QString &server) { return NetworkHome{QString(), server}; }
    bool isRemote() const { return !server.isEmpty(); }
    DatabaseLocation locationOf(const QString &network) const;
    // For messages: the folder, or the server (never a password).
    QString display() const;
};

// The libpq connection string of remote access: `interfaceName` when it is
// one (it holds "key=value"), else AEROLIS_LNS_SERVER. Access mode 2 (over the
// Internet) requires verified TLS: sslmode=verify-full is added, and a string
// that asks for anything weaker is refused. A password in the string is
// refused too: it belongs in libpq's password file or PGPASSWORD, never on a
// command line or in a log. Throws lns::LnsError(ErrNotOpen) with the reason.
QString remoteServer(int accessMode, const QString &interfaceName = QString());
// Checks a connection string given by the user (as remoteServer does).
QString checkedServer(const QString &connectionString, bool requireTls);
// The connection string without what must not be shown (a password).
QString displayServer(const QString &connectionString);

class DbEngine
{
public:
    virtual ~DbEngine() = default;
    static std::unique_ptr<DbEngine> make(Engine engine);

    virtual Engine kind() const = 0;
    // Adds and opens the Qt connection `name` to the location. For remote
    // access the network's schema becomes the search path; `create` makes
    // the schema first (refused when it exists). Throws lns::LnsError.
    virtual void connect(const QString &name, const DatabaseLocation &location, bool create) const = 0;
    // Statements run on every new connection.
    virtual QStringList sessionSetup(bool creating) const = 0;
    // A table definition in the engine's types.
    virtual QString ddl(const QString &portable) const = 0;
    // The statement that starts a writing transaction. On a file it takes
    // the file's write lock: one writer at a time per network.
    virtual QString beginWrite() const = 0;
    // Statements, run right after the start, that let the transaction change
    // anything in the network: it waits for every other writer, and they for
    // it. Empty where the start took such a lock already.
    virtual QStringList networkLock() const = 0;
    // Statements, run right after the start, that let the transaction change
    // the rows of single devices: writers of other devices go on at the same
    // time, a network-wide writer waits for them. Empty where the start took
    // a lock on everything already.
    virtual QStringList devicesLock() const = 0;
    // A statement that locks one device's rows until the transaction ends:
    // two writers of one device take turns. Empty as for devicesLock().
    virtual QString deviceLock(int deviceId) const = 0;
    // A statement, with one parameter (a name for what is locked), that
    // makes writers of different devices take turns from here until their
    // transaction ends: for reading and then writing rows that all devices
    // share. Empty as for devicesLock().
    virtual QString sharedRowsLock() const = 0;
    // One parameter (the table's name); answers one row whose first column
    // is non-zero when the table exists.
    virtual QString tableExistsSql() const = 0;
    // After rows were inserted with explicit ids: lets the next generated id
    // follow them. Empty when the engine needs nothing.
    virtual QString syncIdentitySql(const QString &table) const = 0;
    // Answers one row: the user the server knows the connection by. Empty
    // when the engine has no users (a file).
    virtual QString currentUserSql() const = 0;
    // What an error means for the user where the engine tells it (a full
    // disk, a server that cannot be reached, a missing right); empty else.
    virtual QString troubleText(const QSqlError &error) const = 0;
    // Whether the error is the server's refusal of a right the user lacks.
    virtual bool isMissingRight(const QSqlError &error) const = 0;
};

// A name as an SQL identifier, quoted.
QString quoteIdentifier(const QString &name);
// Throws ErrBadValue for a network name a server cannot hold as a schema.
void checkRemoteName(const QString &network);

// Who may do what on a network on a server. Readers read, compare, monitor
// and report; commissioners also write, copy, download and register. Each is
// a PostgreSQL group role holding the grants on the networks' schemas.
enum class NetworkRole { Reader, Commissioner };
inline const QString kReaderRole = QStringLiteral("aerolis_reader");
inline const QString kCommissionerRole = QStringLiteral("aerolis_commissioner");
// Grants the role's rights on the network to the role (made when missing)
// and makes `user` (an existing login role) a member of it. Run by a user
// who may grant them (the network's owner). Throws lns::LnsError.
void grantNetworkRole(const QString &server, const QString &network, NetworkRole role, const QString &user);

// The networks a server holds (schemas with a network database), by name.
QStringList remoteNetworks(const QString &server);
// Removes a network from its server, or its file; nothing when it is absent.
void dropNetwork(const DatabaseLocation &location);
// Whether the network exists (its file, or its schema on the server).
bool networkExists(const DatabaseLocation &location);
// Gives a network another name in one step, replacing a network of that name.
void renameNetwork(const DatabaseLocation &from, const QString &toName);

} // namespace lnssim
