// The record of writes kept in the network database: every write that
// reaches a device or the database leaves exactly its record, with the bytes
// before and after; a write that is cancelled, fails or cannot be recorded
// leaves neither the write nor a record.
#include "demorooms.h"
#include "simfixture.h"

#include <lnssim/networkdb.h>
#include <lnssim/writehistory.h>

#include <QSqlDatabase>
#include <QSqlQuery>

using namespace lnssim;

namespace {

const QString kRoom101 = QStringLiteral("Demo.Building.Floor1.Room101");
const QString kRoom102 = QStringLiteral("Demo.Building.Floor1.Room102");

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// Runs SQL on the network file through a connection of its own, as another
// program would.
void runSql(const QString &path, const QStringList &statements)
{
    const QString name = QStringLiteral("history-test-%1").arg(quintptr(&statements));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &sql : statements)
            QVERIFY2(q.exec(sql), qPrintable(sql + QStringLiteral(": ") + q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// The version of the record the file holds.
int recordVersionIn(const QString &path)
{
    const QString name = QStringLiteral("history-version-%1").arg(quintptr(&path));
    int version = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("SELECT version FROM schema_version WHERE component = ?"));
            q.addBindValue(lnssim::kHistoryComponent);
            if (q.exec() && q.next())
                version = q.value(0).toInt();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return version;
}

} // namespace

class TestSimHistory : public QObject
{
    Q_OBJECT

    QVector<lns::WriteRecord> history(const QString &scope = QString(), const QDateTime &since = {}, int limit = 0)
    {
        lns::HistoryFilter filter;
        filter.device = scope;
        filter.since = since;
        filter.limit = limit;
        return f->network->writeHistory(filter);
    }
    QString file() const { return NetworkDb::pathFor(f->env.lnsRoot(), QStringLiteral("Demo")); }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<SimFixture>();
        f->open();
    }
    void cleanup()
    {
        lns::setWriteCommand(QString());
        f.reset();
    }

    // A transaction over two devices: one record per CP written, under one
    // transaction number, with the device's bytes before and the bytes after.
    void transactionIsRecordedWithItsBytes()
    {
        QVERIFY(history().isEmpty());
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        const QByteArray heatXpBefore = admin->deviceCp(id, QStringLiteral("HeatXp"));
        // The device holds other bytes than the database: the record shows
        // what the device held.
        admin->setDeviceCp(id, QStringLiteral("HeatTi"), bytes({0, 77}));
        f->system->startTransaction();
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t44"));
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatTi"))->setValue(QStringLiteral("0\t50"));
        f->objectCp(QStringLiteral("Room102"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("2\t3"));
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t45"));
        QVERIFY(history().isEmpty()); // nothing before the commit
        f->system->commitTransaction();

        const QVector<lns::WriteRecord> all = history();
        QCOMPARE(all.size(), 3);
        QVERIFY(all.at(0).id > all.at(1).id && all.at(1).id > all.at(2).id);
        QCOMPARE(all.at(0).transaction, all.at(2).transaction);
        // Oldest last: the write order of the transaction.
        QCOMPARE(all.at(2).device, kRoom101);
        QCOMPARE(all.at(2).item, QStringLiteral("HeatXp"));
        QCOMPARE(all.at(2).before, heatXpBefore);
        QCOMPARE(all.at(2).after, bytes({1, 45}));
        QCOMPARE(all.at(1).item, QStringLiteral("HeatTi"));
        QCOMPARE(all.at(1).before, bytes({0, 77}));
        QCOMPARE(all.at(1).after, bytes({0, 50}));
        QCOMPARE(all.at(0).device, kRoom102);
        for (const lns::WriteRecord &r : all) {
            QCOMPARE(r.kind, lns::WriteKind::Cp);
            QCOMPARE(r.object, QStringLiteral("Controller"));
            QCOMPARE(r.outcome, lns::WriteOutcome::DeviceAndDatabase);
            QCOMPARE(r.tool, QStringLiteral("tst_lnssim_history"));
            QVERIFY(!r.user.isEmpty());
            QVERIFY(!r.host.isEmpty());
            QVERIFY(qAbs(r.time.secsTo(QDateTime::currentDateTimeUtc())) < 120);
        }
        // A second transaction gets the next number.
        f->objectCp(QStringLiteral("Room102"), QStringLiteral("HeatTi"))->setValue(QStringLiteral("0\t9"));
        QCOMPARE(history().at(0).transaction, all.at(0).transaction + 1);
    }

    void scopeChoosesTheRecords_data()
    {
        QTest::addColumn<QString>("scope");
        QTest::addColumn<int>("count");
        QTest::newRow("all") << "" << 3;
        QTest::newRow("device") << kRoom101 << 2;
        QTest::newRow("object of the device") << kRoom101 + ".Controller" << 2;
        QTest::newRow("subsystem") << "Demo.Building.Floor1" << 3;
        QTest::newRow("network") << "Demo" << 3;
        QTest::newRow("other floor") << "Demo.Building.Floor2" << 0;
        QTest::newRow("name prefix is no subsystem") << "Demo.Building.Floor" << 0;
        QTest::newRow("wildcards are plain text") << "Demo.Building.Floor_" << 0;
        QTest::newRow("unknown object") << kRoom101 + ".Nothing" << 0;
    }
    void scopeChoosesTheRecords()
    {
        QFETCH(QString, scope);
        QFETCH(int, count);
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t1"));
        // The device's own CP belongs to the controller's record as well.
        auto calib = f->device(QStringLiteral("Room101"))->configProperties()->item(QStringLiteral("TempCalib"));
        calib->setFormatSpecifier(lns::kRawFormat);
        calib->setValue(QStringLiteral("0\t3"));
        f->objectCp(QStringLiteral("Room102"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t2"));
        QCOMPARE(history(scope).size(), count);
    }

    void sinceAndLimit()
    {
        for (int i = 0; i < 5; ++i)
            f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("0\t%1").arg(i));
        const QVector<lns::WriteRecord> all = history();
        QCOMPARE(all.size(), 5);
        const QVector<lns::WriteRecord> two = history(QString(), {}, 2);
        QCOMPARE(two.size(), 2);
        QCOMPARE(two.at(0).after, bytes({0, 4}));
        QCOMPARE(two.at(1).after, bytes({0, 3}));
        QCOMPARE(history(QString(), all.at(0).time.addSecs(1)).size(), 0);
        QCOMPARE(history(QString(), all.at(4).time).size(), 5);
    }

    // What ends without a change leaves no record.
    void noRecordWithoutAWrite_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("cancelled") << "cancel";
        QTest::newRow("CP write fault") << "fault";
        QTest::newRow("device unreachable") << "unreachable";
        QTest::newRow("reads only") << "read";
    }
    void noRecordWithoutAWrite()
    {
        QFETCH(QString, end);
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        if (end == QLatin1String("fault"))
            admin->setCpFault(id, QStringLiteral("HeatTi"), CpFault::Write);
        if (end == QLatin1String("unreachable"))
            admin->setUnreachable(id, true);
        f->system->startTransaction();
        f->objectCp(QStringLiteral("Room102"), QStringLiteral("HeatXp"))->value();
        if (end != QLatin1String("read")) {
            f->objectCp(QStringLiteral("Room102"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("7\t7"));
            f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatTi"))->setValue(QStringLiteral("5\t5"));
        }
        if (end == QLatin1String("cancel")) {
            f->system->cancelTransaction();
        } else if (end == QLatin1String("read")) {
            f->system->commitTransaction();
        } else {
            QVERIFY_LNS_ERROR(f->system->commitTransaction(), end == QLatin1String("fault") ? lns::ErrDeviceFailed
                                                                                           : lns::ErrDeviceUnreachable);
        }
        QVERIFY(history().isEmpty());
    }

    // Each kind of write names what it changed.
    void eachKindOfWrite_data()
    {
        QTest::addColumn<QString>("write");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("outcome");
        const int both = int(lns::WriteOutcome::DeviceAndDatabase);
        const int db = int(lns::WriteOutcome::DatabaseOnly);
        QTest::newRow("CP outside a transaction") << "cp" << "Room101" << int(lns::WriteKind::Cp) << "Controller"
                                                  << "HeatTi" << bytes({0, 30}) << bytes({0, 45}) << both;
        QTest::newRow("CP of a device not on the network") << "cp" << "Room206" << int(lns::WriteKind::Cp)
                                                           << "Controller" << "HeatTi" << bytes({0, 30})
                                                           << bytes({0, 45}) << db;
        QTest::newRow("NV value") << "nv" << "Room101" << int(lns::WriteKind::Nv) << "Controller" << "nviApplicMode"
                                  << bytes({0}) << bytes({3}) << both;
        QTest::newRow("extension data") << "ext" << "Room101" << int(lns::WriteKind::ExtensionData) << "Controller"
                                        << "Site" << QByteArray() << QByteArray("Hall A") << db;
        QTest::newRow("extension data in a transaction")
            << "ext-tx" << "Room101" << int(lns::WriteKind::ExtensionData) << "Controller"
            << "Site" << QByteArray() << QByteArray("Hall B") << db;
        QTest::newRow("application") << "app" << "Room103" << int(lns::WriteKind::Application) << ""
                                     << "qrt_ceiling_1.apb" << QByteArray("APP") << QByteArray("APP") << both;
        QTest::newRow("NV type") << "nv-type" << "Room101" << int(lns::WriteKind::NvType) << "Controller"
                                 << "nvoOaDamper" << QByteArray("81") << QByteArray("105") << db;
        QTest::newRow("database from the device") << "update" << "Room103" << int(lns::WriteKind::Cp) << ""
                                                  << "TempCalib" << bytes({0, 0}) << bytes({0, 9}) << db;
    }
    void eachKindOfWrite()
    {
        QFETCH(QString, write);
        QFETCH(QString, device);
        QFETCH(int, kind);
        QFETCH(QString, object);
        QFETCH(QString, item);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(int, outcome);
        auto admin = f->admin();
        const DeviceInfo info = admin->device(device);
        QByteArray applicationBefore;
        if (write == QLatin1String("cp")) {
            f->objectCp(device, item)->setValue(QStringLiteral("0\t45"));
        } else if (write == QLatin1String("nv")) {
            admin->setDeviceNv(info.id, item, before);
            f->nv(device, item)->setFormatSpecifier(lns::kRawFormat);
            f->nv(device, item)->setValue(QStringLiteral("3"));
        } else if (write == QLatin1String("ext")) {
            f->controller(device)->setExtensionData(item, QString::fromUtf8(after));
        } else if (write == QLatin1String("ext-tx")) {
            f->system->startTransaction();
            f->controller(device)->setExtensionData(item, QString::fromUtf8(after));
            f->system->commitTransaction();
        } else if (write == QLatin1String("app")) {
            const DeviceState state = info.state;
            applicationBefore = QStringLiteral("%1 %2").arg(state.appNumber).arg(state.appVersion).toUtf8();
            f->device(device)->loadApplication(QStringLiteral("apps/ceiling/") + item);
        } else if (write == QLatin1String("nv-type")) {
            f->nv(device, item)->changeType(after.toInt(), info.programId, 0);
        } else if (write == QLatin1String("update")) {
            admin->setDeviceCp(info.id, item, after);
            f->device(device)->update(1);
        }
        const QVector<lns::WriteRecord> records = history();
        QCOMPARE(records.size(), 1);
        const lns::WriteRecord &r = records.at(0);
        QCOMPARE(r.device, QStringLiteral("Demo.Building.%1.%2").arg(demoFloorOf(device), device));
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(r.object, object);
        QCOMPARE(r.item, item);
        if (write == QLatin1String("app")) {
            QCOMPARE(r.before, applicationBefore);
            QVERIFY2(r.after.contains(' '), r.after.constData());
            const DeviceState state = admin->device(device).state;
            QCOMPARE(r.after, QStringLiteral("%1 %2").arg(state.appNumber).arg(state.appVersion).toUtf8());
        } else {
            QCOMPARE(r.before, before);
            QCOMPARE(r.after, after);
        }
        QCOMPARE(int(r.outcome), outcome);
    }

    void commandCanBeNamed()
    {
        lns::setWriteCommand(QStringLiteral("copy room101.dat"));
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t1"));
        lns::setWriteCommand(QString());
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t2"));
        const QVector<lns::WriteRecord> records = history();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(1).command, QStringLiteral("copy room101.dat"));
        QCOMPARE(records.at(0).command, QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')));
    }

    // No write without its record: when the record cannot be stored, the
    // write is taken back as a whole.
    void writeThatCannotBeRecordedChangesNothing()
    {
        auto admin = f->admin();
        const int id = admin->device(QStringLiteral("Room101")).id;
        const QByteArray before = admin->deviceCp(id, QStringLiteral("HeatXp"));
        runSql(file(), {QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON write_history"
                                       " BEGIN SELECT RAISE(ABORT, 'the record is full'); END")});
        f->system->startTransaction();
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("9\t9"));
        bool thrown = false;
        try {
            f->system->commitTransaction();
        } catch (const lns::LnsError &e) {
            thrown = true;
            QCOMPARE(e.number(), int(lns::ErrDatabase));
            QVERIFY2(e.description().contains(QLatin1String("could not be recorded, nothing was changed")),
                     qPrintable(e.description()));
            QVERIFY2(e.description().contains(QLatin1String("the record is full")), qPrintable(e.description()));
        }
        QVERIFY(thrown);
        QCOMPARE(admin->deviceCp(id, QStringLiteral("HeatXp")), before);
        QCOMPARE(admin->databaseCp(id, QStringLiteral("HeatXp")), before);
        runSql(file(), {QStringLiteral("DROP TRIGGER refuse")});
        QVERIFY(history().isEmpty());
    }

    // A network made before the record existed gets it on its first open,
    // an older record is upgraded keeping its rows; a record of a newer
    // version is refused rather than written wrongly.
    void recordVersions_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("opens");
        QTest::newRow("none yet") << 0 << true;
        QTest::newRow("first version, no runs") << 1 << true;
        QTest::newRow("second version, no database user") << 2 << true;
        QTest::newRow("this version") << kHistoryVersion << true;
        QTest::newRow("newer") << kHistoryVersion + 1 << false;
    }
    void recordVersions()
    {
        QFETCH(int, stored);
        QFETCH(bool, opens);
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t1"));
        f->network->close();
        if (stored == 0)
            runSql(file(), {QStringLiteral("DROP TABLE write_history"),
                            QStringLiteral("DELETE FROM schema_version WHERE component = '%1'").arg(kHistoryComponent)});
        else if (stored == 1)
            // The first record had no run column: its rows stay and read
            // with an empty run.
            runSql(file(), {QStringLiteral("CREATE TABLE v1(id INTEGER PRIMARY KEY, txn INTEGER NOT NULL,"
                                           " time INTEGER NOT NULL, user TEXT NOT NULL, host TEXT NOT NULL,"
                                           " tool TEXT NOT NULL, command TEXT NOT NULL, device TEXT NOT NULL,"
                                           " object TEXT NOT NULL, kind TEXT NOT NULL, item TEXT NOT NULL,"
                                           " before BLOB, after BLOB, outcome TEXT NOT NULL)"),
                            QStringLiteral("INSERT INTO v1 SELECT id, txn, time, user, host, tool, command, device,"
                                           " object, kind, item, before, after, outcome FROM write_history"),
                            QStringLiteral("DROP TABLE write_history"),
                            QStringLiteral("ALTER TABLE v1 RENAME TO write_history"),
                            QStringLiteral("UPDATE schema_version SET version = 1 WHERE component = '%1'")
                                .arg(kHistoryComponent)});
        else if (stored == 2)
            runSql(file(), {QStringLiteral("ALTER TABLE write_history DROP COLUMN db_user"),
                            QStringLiteral("UPDATE schema_version SET version = 2 WHERE component = '%1'")
                                .arg(kHistoryComponent)});
        else
            runSql(file(), {QStringLiteral("UPDATE schema_version SET version = %1 WHERE component = '%2'")
                                .arg(stored)
                                .arg(kHistoryComponent)});
        if (!opens) {
            QVERIFY_LNS_ERROR(f->network->open(false), lns::ErrDatabase);
            return;
        }
        f->network->open(false);
        f->system = f->network->system();
        QCOMPARE(history().size(), stored == 0 ? 0 : 1);
        f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t2"));
        const QVector<lns::WriteRecord> records = history();
        QCOMPARE(records.size(), stored == 0 ? 1 : 2);
        QCOMPARE(f->objectCp(QStringLiteral("Room101"), QStringLiteral("HeatXp"))->value(), QStringLiteral("1\t2"));
        // The new record names this run; one kept from the first version
        // names none.
        QCOMPARE(records.first().run, lns::currentWriteOrigin().run);
        QVERIFY(!records.first().run.isEmpty());
        if (stored == 1)
            QCOMPARE(records.last().run, QString());
        if (stored == 2)
            QCOMPARE(records.last().run, records.first().run);
        // A file has no database users.
        for (const lns::WriteRecord &r : records)
            QCOMPARE(r.databaseUser, QString());
        f->network->close();
        QCOMPARE(recordVersionIn(file()), kHistoryVersion);
    }

private:
    std::unique_ptr<SimFixture> f;
};

QTEST_GUILESS_MAIN(TestSimHistory)
#include "tst_lnssim_history.moc"
