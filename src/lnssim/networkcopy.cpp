#include "networkcopy.h"

#include "networkdb.h"
#include "projectregistrations.h"
#include "roomcontroller.h"

#include <lns/lnsobjects.h>

#include <QDir>
#include <QSqlRecord>

namespace lnssim {

using lns::LnsError;

namespace {

// Every table a network database may hold, parents before the rows that
// refer to them.
const char *const kTables[] = {
    "schema_version", "network", "subsystems", "channels", "devices", "routers", "device_channels",
    "lonmark_objects", "cps", "nvs", "extension_data", "device_state", "device_cp", "device_nv", "device_faults",
    "traffic", "write_history", "plugin_registrations", "device_room",
};
// Tables whose ids the engine generates.
const char *const kIdentityTables[] = {"subsystems", "channels", "devices", "routers", "write_history"};

// Tables some networks have only once a feature was used.
void createOptionalTables(NetworkDb &source, NetworkDb &target)
{
    if (source.tableExists(QStringLiteral("plugin_registrations")))
        ProjectRegistrations(target).ensureTable();
    if (source.tableExists(QStringLiteral("device_room")))
        RoomStore::ensureTable(target);
}

qint64 copyTable(NetworkDb &source, NetworkDb &target, const QString &table)
{
    QSqlQuery &read = source.query(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table));
    source.exec(read);
    const QSqlRecord columns = read.record();
    QStringList names, marks;
    for (int i = 0; i < columns.count(); ++i) {
        names << quoteIdentifier(columns.fieldName(i));
        marks << QStringLiteral("?");
    }
    QSqlQuery &write = target.query(QStringLiteral("INSERT INTO %1(%2) VALUES(%3)")
                                        .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    qint64 rows = 0;
    QVariantList values;
    while (read.next()) {
        values.clear();
        for (int i = 0; i < columns.count(); ++i)
            values << read.value(i);
        target.exec(write, values);
        ++rows;
    }
    read.finish();
    return rows;
}

} // namespace

CopyResult copyNetwork(const NetworkHome &from, const NetworkHome &to, const QString &name, bool replace)
{
    const DatabaseLocation sourceLocation = from.locationOf(name);
    const DatabaseLocation finalLocation = to.locationOf(name);
    if (sourceLocation.key() == finalLocation.key())
        throw LnsError(lns::ErrBadValue, QStringLiteral("network %1 cannot be copied onto itself").arg(name));
    if (!networkExists(sourceLocation))
        throw LnsError(lns::ErrNoSuchNetwork, QStringLiteral("network %1 does not exist in %2").arg(name, from.display()));
    if (!replace && networkExists(finalLocation))
        throw LnsError(lns::ErrDatabase, QStringLiteral("network %1 exists already in %2; replace it with --force")
                                             .arg(name, to.display()));
    if (!to.isRemote() && !QDir().mkpath(to.root))
        throw LnsError(lns::ErrDatabase, QStringLiteral("folder %1 cannot be created").arg(to.display()));
    NetworkDb source;
    source.open(sourceLocation); // brings it to the current schema first

    const DatabaseLocation building = to.locationOf(name + QStringLiteral(".building"));
    dropNetwork(building);
    CopyResult result;
    NetworkDb target;
    try {
        target.create(building, name);
        createOptionalTables(source, target);
        NetworkDb::Transaction tx(target);
        QStringList present;
        for (const char *t : kTables) {
            if (source.tableExists(QString::fromLatin1(t)))
                present << QString::fromLatin1(t);
        }
        // What creating the target put in (its settings, the default
        // channel) gives way to the source's rows.
        for (auto it = present.crbegin(); it != present.crend(); ++it)
            target.run(QStringLiteral("DELETE FROM %1").arg(*it));
        for (const QString &t : qAsConst(present)) {
            result.rows += copyTable(source, target, t);
            ++result.tables;
        }
        for (const char *t : kIdentityTables)
            target.syncIdentity(QString::fromLatin1(t));
        tx.commit();
        target.close();
        source.close();
        renameNetwork(building, name);
    } catch (...) {
        target.close();
        dropNetwork(building);
        throw;
    }
    return result;
}

} // namespace lnssim
