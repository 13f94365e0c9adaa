#include "writehistory.h"

#include <lns/lnsobjects.h>

namespace lnssim::writehistory {

namespace {

using lns::LnsError;

// Times are stored as milliseconds since 1970 (UTC): quick to read back and
// ordered as the writes happened.
constexpr int kColumns = 15;
constexpr int kRowsPerStatement = 500;

const char *const kSchemaV1[] = {
    "CREATE TABLE write_history(id INTEGER PRIMARY KEY, txn INTEGER NOT NULL, time INTEGER NOT NULL,"
    " \"user\" TEXT NOT NULL, host TEXT NOT NULL, tool TEXT NOT NULL, command TEXT NOT NULL,"
    " device TEXT NOT NULL, object TEXT NOT NULL, kind TEXT NOT NULL, item TEXT NOT NULL,"
    " before BLOB, after BLOB, outcome TEXT NOT NULL)",
    "CREATE INDEX write_history_device ON write_history(device, id)",
    "CREATE INDEX write_history_txn ON write_history(txn)",
    "CREATE INDEX write_history_time ON write_history(time)",
};
// The run of the program: an undo takes back one run even when the same
// command line ran twice.
const char *const kUpgradeToV2[] = {
    "ALTER TABLE write_history ADD COLUMN run TEXT NOT NULL DEFAULT ''",
};
// The database user beside the session's user: on a server they differ (a
// shared laptop account, a personal database login). Empty for a file.
const char *const kUpgradeToV3[] = {
    "ALTER TABLE write_history ADD COLUMN db_user TEXT NOT NULL DEFAULT ''",
};

int storedVersion(NetworkDb &db)
{
    QSqlQuery &q = db.query(QStringLiteral("SELECT version FROM schema_version WHERE component = ?"));
    db.exec(q, {kHistoryComponent});
    const int version = q.next() ? q.value(0).toInt() : 0;
    q.finish();
    return version;
}

// A null text binds as SQL NULL; the record's text columns hold "" instead.
QString text(const QString &s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

// The devices below a path ("Demo.Building" -> "Demo.Building.Floor1.Room101")
// sort between path + "." and path + "/" ("/" follows "."), a range the
// device index answers.
QPair<QString, QString> belowRange(const QString &path)
{
    return {path + QLatin1Char('.'), path + QLatin1Char('/')};
}

} // namespace

void ensureSchema(NetworkDb &db)
{
    const int version = storedVersion(db);
    if (version == kHistoryVersion)
        return;
    if (version > kHistoryVersion)
        throw LnsError(lns::ErrDatabase, QStringLiteral("the record of writes in %1 is of version %2, newer than this"
                                                        " object server's (%3)")
                                             .arg(db.path())
                                             .arg(version)
                                             .arg(kHistoryVersion));
    NetworkDb::Transaction tx(db);
    if (version < 1) {
        for (const char *sql : kSchemaV1)
            db.runDdl(QString::fromLatin1(sql));
    }
    if (version < 2) {
        for (const char *sql : kUpgradeToV2)
            db.runDdl(QString::fromLatin1(sql));
    }
    for (const char *sql : kUpgradeToV3)
        db.runDdl(QString::fromLatin1(sql));
    db.run(QStringLiteral("DELETE FROM schema_version WHERE component = ?"), {kHistoryComponent});
    db.run(QStringLiteral("INSERT INTO schema_version(component, version) VALUES(?, ?)"),
           {kHistoryComponent, kHistoryVersion});
    tx.commit();
}

void append(NetworkDb &db, const QVector<NotedWrite> &writes, const lns::WriteOrigin &origin, const QDateTime &time)
{
    if (writes.isEmpty())
        return;
    // The transaction number is the highest so far plus one: writers of
    // other devices wait here until this transaction ends. That also gives
    // the records ids in the order their transactions are committed.
    db.lockSharedRows(QStringLiteral("write_history"));
    QSqlQuery &last = db.query(QStringLiteral("SELECT COALESCE(MAX(txn), 0) FROM write_history"));
    db.exec(last);
    const qint64 txn = (last.next() ? last.value(0).toLongLong() : 0) + 1;
    last.finish();
    const qint64 when = time.toMSecsSinceEpoch();
    for (int from = 0; from < writes.size(); from += kRowsPerStatement) {
        const int n = std::min<int>(kRowsPerStatement, writes.size() - from);
        QString sql = QStringLiteral("INSERT INTO write_history(txn, time, \"user\", host, tool, command, device, object,"
                                     " kind, item, before, after, outcome, run, db_user) VALUES ");
        QVariantList values;
        values.reserve(n * kColumns);
        for (int i = 0; i < n; ++i) {
            const NotedWrite &w = writes.at(from + i);
            sql += i == 0 ? QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)") : QStringLiteral(",(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
            values << txn << when << text(origin.user) << text(origin.host) << text(origin.tool) << text(origin.command)
                   << text(w.device) << text(w.object) << lns::writeKindText(w.kind) << text(w.item) << w.before
                   << w.after << lns::writeOutcomeText(w.outcome) << text(origin.run)
                   << text(db.databaseUser());
        }
        QSqlQuery &q = db.query(sql);
        db.exec(q, values);
        q.finish();
    }
}

QVector<lns::WriteRecord> select(NetworkDb &db, const QStringList &devices, const QDateTime &since, int limit)
{
    QString sql = QStringLiteral("SELECT id, txn, time, \"user\", host, tool, command, device, object, kind, item, before,"
                                 " after, outcome, run, db_user FROM write_history");
    QStringList where;
    QVariantList values;
    if (!devices.isEmpty()) {
        QStringList any;
        for (const QString &d : devices) {
            const auto below = belowRange(d);
            any << QStringLiteral("device = ?") << QStringLiteral("(device > ? AND device < ?)");
            values << d << below.first << below.second;
        }
        where << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    if (since.isValid()) {
        where << QStringLiteral("time >= ?");
        values << since.toMSecsSinceEpoch();
    }
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY id DESC");
    if (limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values << limit;
    }
    QVector<lns::WriteRecord> rows;
    QSqlQuery &q = db.query(sql);
    q.setForwardOnly(true);
    db.exec(q, values);
    while (q.next()) {
        lns::WriteRecord r;
        r.id = q.value(0).toLongLong();
        r.transaction = q.value(1).toLongLong();
        r.time = QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong(), Qt::UTC);
        r.user = q.value(3).toString();
        r.host = q.value(4).toString();
        r.tool = q.value(5).toString();
        r.command = q.value(6).toString();
        r.device = q.value(7).toString();
        r.object = q.value(8).toString();
        if (!lns::writeKindFromText(q.value(9).toString(), &r.kind))
            throw LnsError(lns::ErrDatabase, QStringLiteral("record %1 of the writes has an unknown kind \"%2\"")
                                                 .arg(r.id)
                                                 .arg(q.value(9).toString()));
        r.item = q.value(10).toString();
        r.before = q.value(11).toByteArray();
        r.after = q.value(12).toByteArray();
        if (!lns::writeOutcomeFromText(q.value(13).toString(), &r.outcome))
            throw LnsError(lns::ErrDatabase, QStringLiteral("record %1 of the writes has an unknown outcome \"%2\"")
                                                 .arg(r.id)
                                                 .arg(q.value(13).toString()));
        r.run = q.value(14).toString();
        r.databaseUser = q.value(15).toString();
        rows << r;
    }
    q.finish();
    return rows;
}

qint64 count(NetworkDb &db)
{
    QSqlQuery &q = db.query(QStringLiteral("SELECT COUNT(*) FROM write_history"));
    db.exec(q);
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return n;
}

qint64 lastId(NetworkDb &db)
{
    QSqlQuery &q = db.query(QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM write_history"));
    db.exec(q);
    const qint64 id = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return id;
}

std::optional<lns::WriteRecord> lastCpChangeAfter(NetworkDb &db, const QString &device, const QString &cp, qint64 afterId)
{
    QSqlQuery &q = db.query(QStringLiteral("SELECT id, time, \"user\", host, tool, db_user FROM write_history"
                                           " WHERE device = ? AND id > ? AND kind = ? AND item = ?"
                                           " ORDER BY id DESC LIMIT 1"));
    db.exec(q, {device, afterId, lns::writeKindText(lns::WriteKind::Cp), cp});
    std::optional<lns::WriteRecord> found;
    if (q.next()) {
        lns::WriteRecord r;
        r.id = q.value(0).toLongLong();
        r.time = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong(), Qt::UTC);
        r.user = q.value(2).toString();
        r.host = q.value(3).toString();
        r.tool = q.value(4).toString();
        r.databaseUser = q.value(5).toString();
        r.device = device;
        r.item = cp;
        found = r;
    }
    q.finish();
    return found;
}

} // namespace lnssim::writehistory
