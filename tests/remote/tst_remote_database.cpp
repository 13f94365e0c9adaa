// The network database on a PostgreSQL server: remote access gives the same
// device and database bytes as local access on the same network, a network
// goes to the server and back byte for byte, every refusal (no server, wrong
// password, no TLS, no network, a newer schema) is one clear message at the
// step the program reports, two writers on one network take turns, and a
// server killed during a copy loses no committed write.
#include "demorooms.h"
#include "remotefixture.h"
#include "testenv.h"

#include <lns/connector.h>
#include <lns/rawtext.h>
#include <lnssim/networkadmin.h>
#include <lnssim/networkcopy.h>
#include <lnssim/projectregistrations.h>
#include <lnssim/simobjects.h>
#include <lnssim/simobjectserver.h>
#include <lnssim/writehistory.h>

#include <QProcess>
#include <QRegularExpression>
#include <QSqlRecord>

#include <atomic>
#include <thread>

using namespace lnssim;

namespace {

// What a device ends with, as another program sees it: every CP's device and
// database bytes, its traffic, and the record of writes made to it.
struct DeviceSnapshot
{
    QVector<QPair<QByteArray, QByteArray>> cps;
    Counters counters;
    QStringList history;
    bool operator==(const DeviceSnapshot &o) const
    {
        return cps == o.cps && counters == o.counters && history == o.history;
    }
};

DeviceSnapshot snapshotOf(const NetworkHome &home, const QString &device)
{
    NetworkAdmin admin(home, kDemo);
    admin.open();
    const DeviceInfo info = admin.device(device);
    DeviceSnapshot s;
    for (const CpComparison &c : admin.compareCps(info.id))
        s.cps << qMakePair(c.database, c.device);
    s.counters = admin.counters(info.id);
    for (const lns::WriteRecord &r : writehistory::select(admin.db(), {}, QDateTime(), 0))
        s.history << QStringLiteral("%1 %2 %3 %4 %5").arg(r.device, r.item, QString::fromLatin1(r.before.toHex()),
                                                         QString::fromLatin1(r.after.toHex()),
                                                         lns::writeOutcomeText(r.outcome));
    return s;
}

// Every row of every table of a network file, in a fixed order.
QStringList dumpFile(const QString &path)
{
    QStringList out;
    const QString name = QStringLiteral("dump-") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            return {QStringLiteral("cannot open ") + path};
        QSqlQuery tables(db);
        tables.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
        QStringList names;
        while (tables.next())
            names << tables.value(0).toString();
        for (const QString &t : qAsConst(names)) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT * FROM %1").arg(t));
            QStringList rows;
            while (q.next()) {
                QStringList fields;
                for (int i = 0; i < q.record().count(); ++i) {
                    const QVariant v = q.value(i);
                    fields << (v.isNull() ? QStringLiteral("NULL")
                                          : v.typeId() == QMetaType::QByteArray ? QString::fromLatin1(v.toByteArray().toHex())
                                                                                : v.toString());
                }
                rows << t + QLatin1Char('|') + fields.join(QLatin1Char('|'));
            }
            rows.sort();
            out << rows;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

struct ToolResult
{
    int code = -1;
    QString out;
    QString err;
};

ToolResult runTool(const QStringList &args)
{
    QProcess p;
    p.start(TestEnvironment::binDir() + QStringLiteral("/aerolis-net"),
            QStringList{QStringLiteral("--ini"), TestEnvironment::iniPath()} + args);
    if (!p.waitForFinished(120000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// A server of the test's own (scripts/pg-cluster), which the test may kill
// and start again; stopped and removed at the end.
class OwnCluster
{
public:
    OwnCluster()
    {
        const ToolResult r = script({QStringLiteral("start")});
        static const QRegularExpression exported(QStringLiteral("^export (\\w+)='(.*)'$"));
        for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch m = exported.match(line);
            if (m.hasMatch())
                m_vars.insert(m.captured(1), m.captured(2));
        }
        m_error = r.err;
    }
    ~OwnCluster()
    {
        if (!folder().isEmpty())
            script({QStringLiteral("stop"), folder()});
    }
    OwnCluster(const OwnCluster &) = delete;
    OwnCluster &operator=(const OwnCluster &) = delete;

    QString folder() const { return m_vars.value(QStringLiteral("AEROLIS_PG_CLUSTER")); }
    QString server() const { return m_vars.value(QStringLiteral("AEROLIS_TEST_PG_SERVER")); }
    QString passwordFile() const { return m_vars.value(QStringLiteral("PGPASSFILE")); }
    QString error() const { return m_error; }
    bool kill() { return script({QStringLiteral("kill"), folder()}).code == 0; }
    bool restart() { return script({QStringLiteral("restart"), folder()}).code == 0; }

private:
    static ToolResult script(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(AEROLIS_SOURCE_DIR "/scripts/pg-cluster"), args);
        if (!p.waitForFinished(120000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QHash<QString, QString> m_vars;
    QString m_error;
};

// A copy run in a process of its own (remote_copyhelper): the same three
// controller CPs written to each room named, one transaction per room. It
// opens the network and waits for a line on its input before it writes.
QProcess *startCopy(QObject *parent, int value, const QStringList &rooms, const QString &root)
{
    auto *p = new QProcess(parent);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->start(TestEnvironment::binDir() + QStringLiteral("/remote_copyhelper"),
             QStringList{root, TestEnvironment::iniPath(), QStringLiteral("1"), QString::number(value)} + rooms);
    return p;
}

bool waitForLine(QProcess *p, const QByteArray &line)
{
    QByteArray seen;
    while (!seen.contains(line)) {
        if (!p->waitForReadyRead(60000))
            return false;
        seen += p->readAll();
    }
    return true;
}

} // namespace

class TestRemoteDatabase : public QObject
{
    Q_OBJECT
private:
    void makeDemoOnBoth() { ::makeDemoOnBoth(*env, *srv); }
    NetworkHome local() const { return folderHome(*env); }
    NetworkHome remote() const { return serverHome(*srv); }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        srv = std::make_unique<TestServer>();
    }
    void cleanup()
    {
        srv.reset();
        env.reset();
    }

    void remoteAccessGivesTheSameBytesAsLocal_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("cp");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("one CP") << "Room101" << "HeatXp" << "1\t44" << QByteArray("\x01\x2C", 2);
        QTest::newRow("a CP of twelve bytes")
            << "Room203" << "SetPoints" << "8\t0\t9\t1\t10\t2\t8\t3\t7\t4\t6\t5"
            << QByteArray("\x08\x00\x09\x01\x0A\x02\x08\x03\x07\x04\x06\x05", 12);
        QTest::newRow("older application") << "Room104" << "CoolXp" << "0\t250" << QByteArray("\x00\xFA", 2);
    }

    void remoteAccessGivesTheSameBytesAsLocal()
    {
        REQUIRE_TEST_SERVER(srv->server());
        QFETCH(QString, device);
        QFETCH(QString, cp);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        makeDemoOnBoth();
        ScopedEnv server("AEROLIS_LNS_SERVER", srv->server());
        QMap<int, QString> readBack;
        for (const int accessMode : {0, 1}) {
            auto objectServer = SimObjectServer::create(env->lnsRoot(), TestEnvironment::iniPath());
            objectServer->open(accessMode);
            auto network = objectServer->networks()->item(kDemo);
            network->open(accessMode != 0);
            const lns::SystemPtr system = network->system();
            demoControllerCp(system, device, cp)->setValue(text);
            readBack.insert(accessMode, demoControllerCp(system, device, QStringLiteral("HeatTi"))->value());
            network->close();
        }
        QCOMPARE(readBack.value(1), readBack.value(0));
        const DeviceSnapshot local = snapshotOf(this->local(), device);
        const DeviceSnapshot remote = snapshotOf(this->remote(), device);
        NetworkAdmin admin(this->remote(), kDemo);
        admin.open();
        const int id = admin.device(device).id;
        QCOMPARE(admin.deviceCp(id, cp), bytes);
        QCOMPARE(admin.databaseCp(id, cp), bytes);
        QCOMPARE(remote.history.size(), 1);
        QVERIFY(remote.counters.deviceWrites > 0);
        QCOMPARE(remote.cps, local.cps);
        QCOMPARE(remote.counters.deviceReads, local.counters.deviceReads);
        QCOMPARE(remote.counters.bytesWritten, local.counters.bytesWritten);
        QCOMPARE(remote.counters.channelMicros, local.counters.channelMicros);
        QCOMPARE(remote.history, local.history);
    }

    void exportThenImportIsByteIdentical()
    {
        REQUIRE_TEST_SERVER(srv->server());
        DemoNetwork::create(env->lnsRoot(), demoTemplateFile(), false);
        {
            // A history, traffic, a fault and a registration to carry across.
            auto objectServer = SimObjectServer::create(env->lnsRoot(), TestEnvironment::iniPath());
            objectServer->open(0);
            auto network = objectServer->networks()->item(kDemo);
            network->open(false);
            demoControllerCp(network->system(), QStringLiteral("Room102"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("0\t1"));
            network->close();
            NetworkAdmin admin(local(), kDemo);
            admin.open();
            admin.setCpFault(admin.device(QStringLiteral("Room103")).id, QStringLiteral("HeatXp"), CpFault::Write);
            PlugInRegistration r;
            r.templateName = QStringLiteral("AerolisCtrl-T1");
            r.programId = QStringLiteral("90:00:00:00:00:00:00:01");
            r.registrationNumber = 1;
            r.description = QStringLiteral("Configuration");
            r.manufacturerId = QStringLiteral("norda");
            r.version = QStringLiteral("1.3");
            r.name = QStringLiteral("Configure");
            r.progIdPrefix = QStringLiteral("nordaQRT");
            r.className = QStringLiteral("Application");
            r.commandId = 1;
            r.classId = 28;
            ProjectRegistrations(admin.db()).add(r);
        }
        const QString original = NetworkDb::pathFor(env->lnsRoot(), kDemo);
        const QStringList before = dumpFile(original);
        QVERIFY(before.size() > 100);

        const CopyResult exported = copyNetwork(local(), remote(), kDemo, false);
        QCOMPARE(exported.rows, qint64(before.size()));
        const QString back = env->file(QStringLiteral("imported"));
        copyNetwork(remote(), NetworkHome::local(back), kDemo, false);
        const QStringList after = dumpFile(NetworkDb::pathFor(back, kDemo));
        QCOMPARE(after, before);
        QCOMPARE(dumpFile(original), before); // the source is only read
    }

    void refusals_data()
    {
        QTest::addColumn<int>("accessMode");
        QTest::addColumn<QString>("serverText"); // %S: the test server's connection string
        QTest::addColumn<QString>("password");   // PGPASSWORD, null: unset
        QTest::addColumn<QString>("network");
        QTest::addColumn<bool>("serverOpens");   // false: the 1508 step fails; true: the 1436 step
        QTest::addColumn<QString>("message");

        QTest::newRow("no server named") << 1 << QString() << QString() << kDemo << false << "set AEROLIS_LNS_SERVER";
        QTest::newRow("server unreachable")
            << 1 << "host=127.0.0.1 port=1 dbname=aerolis user=nobody" << QString() << kDemo << false
            << "the database server cannot be reached";
        QTest::newRow("wrong password") << 1 << "%S user=technician" << "wrong" << kDemo << false
                                        << "refuses the user name or password";
        QTest::newRow("password on the command line")
            << 1 << "%S password=secret" << QString() << kDemo << false << "holds a password";
        QTest::newRow("not key=value") << 1 << "postgresql://127.0.0.1/aerolis" << QString() << kDemo << false
                                       << "as key=value pairs";
        QTest::newRow("Internet without verified TLS")
            << 2 << "%S sslmode=require" << QString() << kDemo << false << "needs sslmode=verify-full";
        QTest::newRow("Internet, server without TLS")
            << 2 << "%S" << QString() << kDemo << false << "no verified TLS connection";
        QTest::newRow("network on neither engine") << 1 << "%S" << QString() << "Nowhere" << true << "Nowhere";
        QTest::newRow("newer schema") << 1 << "%S" << QString() << kDemo << true << "schema version 99 is newer";
    }

    void refusals()
    {
        REQUIRE_TEST_SERVER(srv->server());
        QFETCH(int, accessMode);
        QFETCH(QString, serverText);
        QFETCH(QString, password);
        QFETCH(QString, network);
        QFETCH(bool, serverOpens);
        QFETCH(QString, message);
        makeDemoOnBoth();
        QVERIFY2(srv->exec({QStringLiteral("DO $$ BEGIN CREATE ROLE technician LOGIN PASSWORD 'right';"
                                           " EXCEPTION WHEN duplicate_object THEN NULL; END $$")}),
                 qPrintable(srv->lastError()));
        if (message.contains(QLatin1String("newer")))
            QVERIFY2(srv->exec({QStringLiteral("UPDATE \"Demo\".schema_version SET version = 99 WHERE component = '%1'")
                                    .arg(kSchemaComponent)}),
                     qPrintable(srv->lastError()));
        const QString server = serverText.isNull() ? QString() : QString(serverText).replace(QStringLiteral("%S"), srv->server());
        {
            ScopedEnv named("AEROLIS_LNS_SERVER", server);
            ScopedEnv secret("PGPASSWORD", password);

            lns::Connection c;
            c.objectServer = SimObjectServer::create(env->lnsRoot(), TestEnvironment::iniPath());
            lns::Connector connector;
            const bool opened = connector.openObjectServer(c, accessMode);
            QCOMPARE(opened, serverOpens);
            if (opened)
                QVERIFY(!connector.openNetwork(c, network, true));
            QVERIFY2(connector.lastError().contains(message), qPrintable(connector.lastError()));
            QVERIFY2(!connector.lastError().contains(QLatin1String("secret")), qPrintable(connector.lastError()));
            connector.closeAll(c);
        }

        // Nothing was written: the network on the server is as it was.
        QVERIFY(srv->exec({QStringLiteral("DO $$ BEGIN IF (SELECT count(*) FROM \"Demo\".write_history) <> 0 THEN"
                                          " RAISE EXCEPTION 'written'; END IF; END $$")}));
    }

    void networkInterfaceNamesTheServer()
    {
        REQUIRE_TEST_SERVER(srv->server());
        makeDemoOnBoth();
        ScopedEnv unnamed("AEROLIS_LNS_SERVER", QString());
        lns::Connection c;
        c.objectServer = SimObjectServer::create(env->lnsRoot(), TestEnvironment::iniPath());
        lns::Connector connector;
        QVERIFY2(connector.openObjectServer(c, 1, srv->server()), qPrintable(connector.lastError()));
        QVERIFY2(connector.openNetwork(c, kDemo, true), qPrintable(connector.lastError()));
        QCOMPARE(std::dynamic_pointer_cast<SimNetwork>(c.network)->location().engine, Engine::Postgres);
        connector.closeAll(c);
    }

    void rolesDecideWhoMayWrite_data()
    {
        QTest::addColumn<QString>("role"); // empty: no grant at all
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("writes");
        QTest::addColumn<QString>("message");
        QTest::newRow("reader") << "reader" << true << false << "lacks the commissioning right";
        QTest::newRow("commissioner") << "commissioner" << true << true << QString();
        QTest::newRow("no role") << QString() << false << false << "has no right on this network";
    }

    void rolesDecideWhoMayWrite()
    {
        REQUIRE_TEST_SERVER(srv->server());
        QFETCH(QString, role);
        QFETCH(bool, opens);
        QFETCH(bool, writes);
        QFETCH(QString, message);
        makeDemoOnBoth();
        const QString user = QStringLiteral("tech_") + (role.isEmpty() ? QStringLiteral("none") : role);
        QVERIFY2(srv->exec({QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN PASSWORD 'pw'; EXCEPTION WHEN"
                                           " duplicate_object THEN NULL; END $$").arg(user)}),
                 qPrintable(srv->lastError()));
        if (!role.isEmpty()) {
            const ToolResult granted = runTool({QStringLiteral("--server"), srv->server(), QStringLiteral("grant"), role, user});
            QVERIFY2(granted.code == 0, qPrintable(granted.err));
        }
        NetworkAdmin admin(remote(), kDemo);
        admin.open();
        const int id = admin.device(QStringLiteral("Room101")).id;
        const QByteArray before = admin.deviceCp(id, QStringLiteral("HeatXp"));
        QString failure;
        QString readBack;
        {
            ScopedEnv named("AEROLIS_LNS_SERVER", srv->server() + QStringLiteral(" user=") + user);
            ScopedEnv password("PGPASSWORD", QStringLiteral("pw"));
            auto objectServer = SimObjectServer::create(env->lnsRoot(), TestEnvironment::iniPath());
            objectServer->open(1);
            auto network = objectServer->networks()->item(kDemo);
            try {
                network->open(true);
            } catch (const lns::LnsError &e) {
                failure = e.description();
            }
            QCOMPARE(failure.isEmpty(), opens);
            if (opens) {
                const auto system = network->system();
                readBack = demoControllerCp(system, QStringLiteral("Room101"), QStringLiteral("HeatTi"))->value();
                try {
                    demoControllerCp(system, QStringLiteral("Room101"), QStringLiteral("HeatXp"))->setValue(QStringLiteral("1\t44"));
                } catch (const lns::LnsError &e) {
                    failure = e.description();
                }
                network->close();
                QVERIFY(!readBack.isEmpty());
            }
        }
        QCOMPARE(failure.isEmpty(), writes);
        QVERIFY2(failure.contains(message), qPrintable(failure));
        QCOMPARE(admin.deviceCp(id, QStringLiteral("HeatXp")), writes ? QByteArray("\x01\x2C", 2) : before);
        // The record names the database user who wrote.
        const QVector<lns::WriteRecord> records = writehistory::select(admin.db(), {}, QDateTime(), 0);
        QCOMPARE(records.size(), writes ? 1 : 0);
        if (writes)
            QCOMPARE(records.first().databaseUser, user);
    }

    // A copy writes three CPs to each room, one transaction per room; the
    // server dies while the fifth room's transaction is open. The four rooms
    // before keep their new set, the fifth and the rest their old one; run
    // again after the server is back, the copy completes.
    void serverKilledDuringACopyLosesNothing()
    {
        REQUIRE_TEST_SERVER(srv->server());
        OwnCluster cluster;
        QVERIFY2(!cluster.server().isEmpty(), qPrintable(cluster.error()));
        ScopedEnv passwords("PGPASSFILE", cluster.passwordFile());
        const QString server = cluster.server();
        ScopedEnv named("AEROLIS_LNS_SERVER", server);
        DemoNetwork::create(env->lnsRoot(), demoTemplateFile(), false);
        const NetworkHome home = NetworkHome::remote(checkedServer(server, false));
        copyNetwork(local(), home, kDemo, false);

        const QStringList rooms{QStringLiteral("Room101"), QStringLiteral("Room102"), QStringLiteral("Room103"),
                                QStringLiteral("Room104"), QStringLiteral("Room105"), QStringLiteral("Room106")};
        const QStringList set{QStringLiteral("HeatXp"), QStringLiteral("HeatTi"), QStringLiteral("CoolXp")};
        const QString text = QStringLiteral("0\t77");
        const QByteArray written("\x00\x4D", 2);
        constexpr int kKilledAt = 4; // 0-based: the fifth room
        QMap<QString, QVector<QByteArray>> before;
        {
            NetworkAdmin admin(home, kDemo);
            admin.open();
            for (const QString &room : rooms)
                for (const QString &cp : set)
                    before[room] << admin.deviceCp(admin.device(room).id, cp);
        }
        const auto copy = [&](int killAt, QString *failure) {
            auto objectServer = SimObjectServer::create(env->lnsRoot(), TestEnvironment::iniPath());
            objectServer->open(1);
            auto network = objectServer->networks()->item(kDemo);
            network->open(true);
            const auto system = network->system();
            int done = 0;
            try {
                for (int i = 0; i < rooms.size(); ++i) {
                    system->startTransaction();
                    for (const QString &cp : set)
                        demoControllerCp(system, rooms.at(i), cp)->setValue(text);
                    if (i == killAt && !cluster.kill())
                        qWarning("the server could not be killed");
                    system->commitTransaction();
                    ++done;
                }
            } catch (const lns::LnsError &e) {
                *failure = e.description();
            }
            network->close();
            return done;
        };
        QString failure;
        QCOMPARE(copy(kKilledAt, &failure), kKilledAt);
        QVERIFY2(failure.contains(QLatin1String("cannot be reached")), qPrintable(failure));

        QVERIFY(cluster.restart());
        {
            NetworkAdmin admin(home, kDemo);
            admin.open();
            for (int i = 0; i < rooms.size(); ++i) {
                const int id = admin.device(rooms.at(i)).id;
                for (int c = 0; c < set.size(); ++c) {
                    const QByteArray expected = i < kKilledAt ? written : before[rooms.at(i)].at(c);
                    QCOMPARE(admin.deviceCp(id, set.at(c)), expected);
                    QCOMPARE(admin.databaseCp(id, set.at(c)), expected);
                }
            }
            QCOMPARE(writehistory::count(admin.db()), qint64(kKilledAt * set.size()));
        }
        failure.clear();
        QCOMPARE(copy(-1, &failure), int(rooms.size()));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        NetworkAdmin admin(home, kDemo);
        admin.open();
        for (const QString &room : rooms)
            for (const QString &cp : set)
                QCOMPARE(admin.deviceCp(admin.device(room).id, cp), written);
    }

    // Two copy runs, each a process of its own, write the same three CPs to
    // overlapping sets of rooms at once, several passes each. Writers take
    // turns: every room ends with one run's whole set, on the device and in
    // the database, and that set is the one the last recorded transaction on
    // the room wrote; no write is lost from the record or the counters.
    void concurrentCopiesOnOverlappingRoomsLeaveWholeSets()
    {
        REQUIRE_TEST_SERVER(srv->server());
        makeDemoOnBoth();
        ScopedEnv named("AEROLIS_LNS_SERVER", srv->server());
        const QStringList set{QStringLiteral("HeatXp"), QStringLiteral("HeatTi"), QStringLiteral("CoolXp")};
        const QStringList firstRooms{QStringLiteral("Room101"), QStringLiteral("Room102"), QStringLiteral("Room103"),
                                     QStringLiteral("Room104"), QStringLiteral("Room201")};
        const QStringList secondRooms{QStringLiteral("Room202"), QStringLiteral("Room201"), QStringLiteral("Room104"),
                                      QStringLiteral("Room103"), QStringLiteral("Room105")};
        constexpr int kPasses = 25;
        const QMap<int, QStringList> runs{{11, firstRooms}, {22, secondRooms}};
        QStringList allRooms;
        for (const QStringList &rooms : runs)
            for (const QString &room : rooms)
                if (!allRooms.contains(room))
                    allRooms << room;

        QMap<QString, Counters> countersBefore;
        {
            NetworkAdmin admin(remote(), kDemo);
            admin.open();
            for (const QString &room : qAsConst(allRooms))
                countersBefore.insert(room, admin.counters(admin.device(room).id));
        }
        QList<QProcess *> processes;
        for (auto it = runs.cbegin(); it != runs.cend(); ++it) {
            QStringList passes;
            for (int i = 0; i < kPasses; ++i)
                passes << it.value();
            processes << startCopy(this, it.key(), passes, env->lnsRoot());
        }
        // Both have the network open; they start writing together.
        for (QProcess *p : qAsConst(processes))
            QVERIFY2(waitForLine(p, "READY"), qPrintable(QString::fromUtf8(p->readAll())));
        for (QProcess *p : qAsConst(processes)) {
            p->write("go\n");
            QVERIFY(p->waitForBytesWritten(10000));
        }
        for (QProcess *p : qAsConst(processes)) {
            QVERIFY(p->waitForFinished(120000));
            const QString output = QString::fromUtf8(p->readAll());
            QVERIFY2(p->exitCode() == 0, qPrintable(output));
            QVERIFY2(output.contains(QStringLiteral("DONE %1").arg(firstRooms.size() * kPasses)), qPrintable(output));
        }

        NetworkAdmin admin(remote(), kDemo);
        admin.open();
        const QVector<lns::WriteRecord> records = writehistory::select(admin.db(), {}, QDateTime(), 0);
        QCOMPARE(records.size(), 2 * kPasses * firstRooms.size() * set.size());
        // Each recorded transaction is one run's set on one room: three rows,
        // one device, one value.
        QHash<qint64, QSet<QString>> transactions;
        int turns = 0;
        for (int i = 0; i < records.size(); ++i) {
            const lns::WriteRecord &r = records.at(i);
            transactions[r.transaction] << r.device + QLatin1Char(' ') + QString::fromLatin1(r.after.toHex());
            if (i > 0 && r.after != records.at(i - 1).after)
                ++turns;
        }
        QCOMPARE(transactions.size(), 2 * kPasses * int(firstRooms.size()));
        for (auto it = transactions.cbegin(); it != transactions.cend(); ++it)
            QVERIFY2(it.value().size() == 1, qPrintable(QStringList(it.value().values()).join(QLatin1String(", "))));
        // The runs did write at the same time: their writes alternate.
        QVERIFY2(turns > 2, qPrintable(QString::number(turns)));
        for (const QString &room : qAsConst(allRooms)) {
            const int id = admin.device(room).id;
            QSet<QByteArray> held;
            for (const QString &cp : set) {
                const QByteArray bytes = admin.deviceCp(id, cp);
                QCOMPARE(admin.databaseCp(id, cp), bytes);
                held << bytes;
            }
            QCOMPARE(held.size(), 1); // one run's whole set
            QSet<int> writers;
            for (auto it = runs.cbegin(); it != runs.cend(); ++it)
                if (it.value().contains(room))
                    writers << it.key();
            const QByteArray value = *held.cbegin();
            QVERIFY2(value.size() == 2 && writers.contains(quint8(value.at(1))), qPrintable(room));
            // The newest recorded transaction on the room wrote what it holds,
            // all three CPs of it.
            qint64 newest = -1;
            int rowsOfRoom = 0;
            for (const lns::WriteRecord &r : records) {
                if (!r.device.endsWith(QLatin1Char('.') + room))
                    continue;
                ++rowsOfRoom;
                if (newest < 0)
                    newest = r.transaction;
                if (r.transaction == newest)
                    QCOMPARE(r.after, value);
            }
            QCOMPARE(rowsOfRoom, writers.size() * kPasses * int(set.size()));
            const Counters after = admin.counters(id);
            QCOMPARE(after.deviceWrites - countersBefore.value(room).deviceWrites,
                     qint64(writers.size() * kPasses * set.size()));
        }
    }

    void writersOnOneNetworkTakeTurns()
    {
        REQUIRE_TEST_SERVER(srv->server());
        makeDemoOnBoth();
        const DatabaseLocation location = remote().locationOf(kDemo);
        NetworkDb first;
        first.open(location);
        std::atomic<bool> secondOpen{false};
        QString secondSaw;
        QString secondError;
        {
            NetworkDb::Transaction tx(first);
            first.setSetting(QStringLiteral("turn"), QStringLiteral("first"));
            std::thread second([&] {
                try {
                    NetworkDb db;
                    db.open(location);
                    secondOpen = true;
                    NetworkDb::Transaction tx2(db);
                    secondSaw = db.setting(QStringLiteral("turn"));
                    db.setSetting(QStringLiteral("turn"), QStringLiteral("second"));
                    tx2.commit();
                } catch (const lns::LnsError &e) {
                    secondError = e.description();
                    secondOpen = true;
                }
            });
            while (!secondOpen)
                QThread::msleep(10);
            // Time for the second writer to run ahead if it could.
            QThread::msleep(300);
            tx.commit();
            second.join();
        }
        QVERIFY2(secondError.isEmpty(), qPrintable(secondError));
        QCOMPARE(secondSaw, QStringLiteral("first"));
        QCOMPARE(first.setting(QStringLiteral("turn")), QStringLiteral("second"));
    }

    // Writers of different devices go on at once; writers of one device, and
    // a network-wide writer against any other, take turns. The second writer
    // reads the first one's CP before writing its own, so a turn shows in
    // what it saw: the first writer's bytes once that one has committed.
    void writersOfOneDeviceTakeTurns_data()
    {
        QTest::addColumn<QStringList>("firstHolds");  // device names; empty: the whole network
        QTest::addColumn<QStringList>("secondHolds");
        QTest::addColumn<bool>("secondWaits");
        const QStringList a{QStringLiteral("Room101")};
        const QStringList b{QStringLiteral("Room203")};
        QTest::newRow("other device") << a << b << false;
        QTest::newRow("same device") << a << a << true;
        QTest::newRow("two devices, one shared") << a << (b + a) << true;
        QTest::newRow("network-wide after a device") << a << QStringList() << true;
        QTest::newRow("device after network-wide") << QStringList() << b << true;
    }
    void writersOfOneDeviceTakeTurns()
    {
        REQUIRE_TEST_SERVER(srv->server());
        QFETCH(QStringList, firstHolds);
        QFETCH(QStringList, secondHolds);
        QFETCH(bool, secondWaits);
        makeDemoOnBoth();
        const DatabaseLocation location = remote().locationOf(kDemo);
        QHash<QString, int> ids;
        {
            NetworkAdmin admin(remote(), kDemo);
            admin.open();
            for (const QString &name : firstHolds + secondHolds + QStringList{QStringLiteral("Room101")})
                ids.insert(name, admin.device(name).id);
        }
        const auto idsOf = [&ids](const QStringList &names) {
            QVector<int> out;
            for (const QString &n : names)
                out << ids.value(n);
            return out;
        };
        const QString cpName = QStringLiteral("HeatXp");
        // The first writer always changes Room101.
        const int firstId = ids.value(QStringLiteral("Room101"));
        const int secondId = ids.value(secondHolds.isEmpty() ? QStringLiteral("Room101") : secondHolds.first());
        const QByteArray firstBytes("\x01\x01", 2);
        const QByteArray secondBytes("\x02\x02", 2);

        NetworkDb first;
        first.open(location);
        QByteArray before = first.databaseCp(firstId, cpName);
        std::atomic<bool> secondStarted{false};
        std::atomic<bool> secondDone{false};
        QByteArray secondSaw;
        QString secondError;
        std::thread second;
        {
            std::unique_ptr<NetworkDb::Transaction> tx =
                firstHolds.isEmpty() ? std::make_unique<NetworkDb::Transaction>(first)
                                     : std::make_unique<NetworkDb::Transaction>(first, idsOf(firstHolds));
            first.setDatabaseCp(firstId, cpName, firstBytes);
            second = std::thread([&] {
                try {
                    NetworkDb db;
                    db.open(location);
                    secondStarted = true;
                    std::unique_ptr<NetworkDb::Transaction> tx2 =
                        secondHolds.isEmpty() ? std::make_unique<NetworkDb::Transaction>(db)
                                              : std::make_unique<NetworkDb::Transaction>(db, idsOf(secondHolds));
                    secondSaw = db.databaseCp(firstId, cpName);
                    db.setDatabaseCp(secondId, cpName, secondBytes);
                    tx2->commit();
                } catch (const lns::LnsError &e) {
                    secondError = e.description();
                    secondStarted = true;
                }
                secondDone = true;
            });
            while (!secondStarted)
                QThread::msleep(10);
            if (secondWaits) {
                // Time for the second writer to run ahead if it could.
                QThread::msleep(300);
            } else {
                for (int i = 0; i < 3000 && !secondDone; ++i)
                    QThread::msleep(10);
            }
            const bool doneWhileFirstHeld = secondDone;
            tx->commit();
            second.join();
            QVERIFY2(secondError.isEmpty(), qPrintable(secondError));
            QCOMPARE(doneWhileFirstHeld, !secondWaits);
        }
        // A writer that went ahead saw the copy as it was; one that waited
        // saw the first writer's committed bytes.
        QCOMPARE(secondSaw, secondWaits ? firstBytes : before);
        NetworkDb check;
        check.open(location);
        QCOMPARE(check.databaseCp(secondId, cpName), secondBytes);
        if (secondId != firstId)
            QCOMPARE(check.databaseCp(firstId, cpName), firstBytes);
    }

    // A copy onto a network that exists already is refused without --force
    // and leaves the target as it was; with --force the target is replaced.
    void toolOverwritesOnlyWithForce_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("export onto the server") << "export";
        QTest::newRow("import into the folder") << "import";
    }
    void toolOverwritesOnlyWithForce()
    {
        REQUIRE_TEST_SERVER(srv->server());
        QFETCH(QString, command);
        makeDemoOnBoth();
        const DatabaseLocation target =
            (command == QLatin1String("export") ? remote() : local()).locationOf(kDemo);
        const auto marker = [&target] {
            NetworkDb db;
            db.open(target);
            return db.setting(QStringLiteral("marker"));
        };
        {
            NetworkDb db;
            db.open(target);
            NetworkDb::Transaction tx(db);
            db.setSetting(QStringLiteral("marker"), QStringLiteral("kept"));
            tx.commit();
        }
        const QStringList args{QStringLiteral("--root"), env->lnsRoot(), QStringLiteral("--server"), srv->server(),
                               command};
        ToolResult r = runTool(args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("network Demo exists already"))
                     && r.err.contains(QLatin1String("replace it with --force")),
                 qPrintable(r.err));
        QCOMPARE(marker(), QStringLiteral("kept"));
        r = runTool(args + QStringList{QStringLiteral("--force")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(marker(), QString());
    }

    void toolCreatesListsExportsAndImports()
    {
        REQUIRE_TEST_SERVER(srv->server());
        const QString root = env->lnsRoot();
        ToolResult r = runTool({QStringLiteral("--server"), srv->server(), QStringLiteral("--network"),
                                QStringLiteral("Site"), QStringLiteral("create-demo"), QStringLiteral("--static")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        r = runTool({QStringLiteral("--server"), srv->server(), QStringLiteral("--network"), QStringLiteral("Site"),
                     QStringLiteral("list")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out.count(QStringLiteral("Site.Building.Floor")), 12);

        r = runTool({QStringLiteral("--root"), root, QStringLiteral("--server"), srv->server(),
                     QStringLiteral("--network"), QStringLiteral("Site"), QStringLiteral("import")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(QFileInfo::exists(NetworkDb::pathFor(root, QStringLiteral("Site"))));
        // Exporting it back onto itself is refused without --force, and the
        // server's network stays.
        r = runTool({QStringLiteral("--root"), root, QStringLiteral("--server"), srv->server(),
                     QStringLiteral("--network"), QStringLiteral("Site"), QStringLiteral("export")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("exists already")), qPrintable(r.err));
        QVERIFY(remoteNetworks(srv->server()).contains(QStringLiteral("Site")));
        r = runTool({QStringLiteral("--root"), root, QStringLiteral("--server"), srv->server(),
                     QStringLiteral("--network"), QStringLiteral("Site"), QStringLiteral("export"),
                     QStringLiteral("--force")});
        QVERIFY2(r.code == 0, qPrintable(r.err));

        r = runTool({QStringLiteral("--server"), srv->server() + QStringLiteral(" password=secret"),
                     QStringLiteral("list")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("holds a password")) && !r.err.contains(QLatin1String("secret")),
                 qPrintable(r.err));
    }

private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TestServer> srv;
};

QTEST_GUILESS_MAIN(TestRemoteDatabase)
#include "tst_remote_database.moc"
