#include "projectregistrations.h"

#include "simobjects.h"

#include <QDateTime>
#include <QVariant>

namespace lnssim {

using lns::LnsError;

namespace {

const QString kColumns = QStringLiteral(
    "template, program_id, registration_number, name, command_id, class_id, description, manufacturer_id,"
    " progid_prefix, class_name, version");

PlugInRegistration fromQuery(const QSqlQuery &q)
{
    PlugInRegistration r;
    r.templateName = q.value(0).toString();
    r.programId = q.value(1).toString();
    r.registrationNumber = q.value(2).toInt();
    r.name = q.value(3).toString();
    r.commandId = q.value(4).toInt();
    r.classId = q.value(5).toInt();
    r.description = q.value(6).toString();
    r.manufacturerId = q.value(7).toString();
    r.progIdPrefix = q.value(8).toString();
    r.className = q.value(9).toString();
    r.version = q.value(10).toString();
    return r;
}

} // namespace

bool PlugInRegistration::operator==(const PlugInRegistration &o) const
{
    return templateName == o.templateName && programId == o.programId && registrationNumber == o.registrationNumber
        && name == o.name && commandId == o.commandId && classId == o.classId && description == o.description
        && manufacturerId == o.manufacturerId && progIdPrefix == o.progIdPrefix && className == o.className
        && version == o.version;
}

ProjectRegistrations::ProjectRegistrations(NetworkDb &db) : m_db(db) {}

bool ProjectRegistrations::tableExists()
{
    return m_db.tableExists(QStringLiteral("plugin_registrations"));
}

void ProjectRegistrations::ensureTable()
{
    // Inside the caller's transaction: table and version row appear together
    // with the first registration or not at all.
    m_db.runDdl(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS plugin_registrations(template TEXT NOT NULL, program_id TEXT NOT NULL,"
        " registration_number INTEGER NOT NULL, name TEXT NOT NULL, command_id INTEGER NOT NULL,"
        " class_id INTEGER NOT NULL, description TEXT NOT NULL, manufacturer_id TEXT NOT NULL,"
        " progid_prefix TEXT NOT NULL, class_name TEXT NOT NULL, version TEXT NOT NULL, registered TEXT NOT NULL,"
        " PRIMARY KEY(template, command_id, class_id, progid_prefix, class_name))"));
    m_db.run(QStringLiteral("INSERT INTO schema_version(component, version) VALUES(?, ?) ON CONFLICT DO NOTHING"),
             {kProjectsComponent, kProjectsSchemaVersion});
}

void ProjectRegistrations::add(const PlugInRegistration &r)
{
    if (r.templateName.trimmed().isEmpty() || r.name.trimmed().isEmpty() || r.progIdPrefix.isEmpty()
        || r.className.isEmpty())
        throw LnsError(lns::ErrBadValue,
                       QStringLiteral("a plug-in registration needs a template, a command name and a ProgID"));
    NetworkDb::Transaction tx(m_db);
    ensureTable();
    m_db.run(QStringLiteral("INSERT INTO plugin_registrations(") + kColumns
                 + QStringLiteral(", registered) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                                  " ON CONFLICT(template, command_id, class_id, progid_prefix, class_name) DO UPDATE SET"
                                  " program_id = excluded.program_id, registration_number = excluded.registration_number,"
                                  " name = excluded.name, description = excluded.description,"
                                  " manufacturer_id = excluded.manufacturer_id, version = excluded.version,"
                                  " registered = excluded.registered"),
             {r.templateName, r.programId, r.registrationNumber, r.name, r.commandId, r.classId, r.description,
              r.manufacturerId, r.progIdPrefix, r.className, r.version,
              QDateTime::currentDateTimeUtc().toString(Qt::ISODate)});
    tx.commit();
}

QVector<PlugInRegistration> ProjectRegistrations::all()
{
    return forTemplate(QString(), -1);
}

QVector<PlugInRegistration> ProjectRegistrations::forTemplate(const QString &templateName, int classId)
{
    QVector<PlugInRegistration> result;
    if (!tableExists())
        return result;
    QSqlQuery &q = m_db.query(QStringLiteral("SELECT ") + kColumns
                              + QStringLiteral(" FROM plugin_registrations WHERE (? = '' OR template = ?)"
                                               " AND (? < 0 OR class_id = ?)"
                                               " ORDER BY template, command_id, class_id, progid_prefix, class_name"));
    const QString t = templateName.isNull() ? QString(QLatin1String("")) : templateName;
    m_db.exec(q, {t, t, classId, classId});
    while (q.next())
        result << fromQuery(q);
    q.finish();
    return result;
}

int ProjectRegistrations::removePlugIn(const QString &progIdPrefix)
{
    if (!tableExists())
        return 0;
    NetworkDb::Transaction tx(m_db);
    // ProgIDs compare without regard to case (ASCII, as SQLite's lower()).
    QSqlQuery &q = m_db.query(QStringLiteral("DELETE FROM plugin_registrations WHERE lower(progid_prefix) = lower(?)"
                                             " RETURNING 1"));
    m_db.exec(q, {progIdPrefix});
    int removed = 0;
    while (q.next())
        ++removed;
    q.finish();
    tx.commit();
    return removed;
}

qint64 ProjectRegistrations::totalChanges()
{
    if (m_db.engine() != Engine::Sqlite)
        throw LnsError(lns::ErrNotSupported, QStringLiteral("the count of changed rows is kept for network files only"));
    QSqlQuery &q = m_db.query(QStringLiteral("SELECT total_changes()"));
    m_db.exec(q);
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return n;
}

NetworkDb *networkDatabase(const lns::NetworkPtr &network)
{
    auto sim = std::dynamic_pointer_cast<SimNetwork>(network);
    if (!sim || !sim->session())
        return nullptr;
    return &sim->session()->db();
}

} // namespace lnssim
