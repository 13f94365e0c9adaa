// The `aerolis` tool on a network held by a database server: every command
// gives through remote access what it gives through local access on the same
// network (exported to the server), a reader is refused a write with the
// right it lacks, and a server that cannot be reached is the product's
// message and the communication status, with nothing written anywhere, and
// a write over another session's change needs --force. Copy and monitor
// give the same through both accesses too.
#include "demorooms.h"
#include "remotefixture.h"
#include "testenv.h"

#include <lnssim/dbengine.h>
#include <lnssim/networkadmin.h>
#include <lnssim/networkcopy.h>
#include <lnssim/simobjectserver.h>

#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace lnssim;

namespace {

const QString kRoom = QStringLiteral("Room101");

struct Run
{
    int status = -1;
    QByteArray out;
    QString err;
};

// The built tool, with the test's network folder and registry; `extra`
// variables added (a user's password, for example).
Run tool(const QStringList &args, const QHash<QString, QString> &extra = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove(QStringLiteral("AEROLIS_LNS_SERVER"));
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        e.insert(it.key(), it.value());
    p.setProcessEnvironment(e);
    p.start(TestEnvironment::binDir() + QStringLiteral("/aerolis"), args);
    Run r;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    else
        p.kill();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing) ") + path.toUtf8();
}

// A local port nobody listens on.
quint16 closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) != 0)
        qFatal("no free local port");
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace

class TestRemoteTool : public QObject
{
    Q_OBJECT
private:
    NetworkHome local() const { return folderHome(*env); }
    NetworkHome remote() const { return serverHome(*srv); }
    QStringList onServer() const { return {QStringLiteral("--server"), srv->server()}; }

    void makeDemoOnBoth() { ::makeDemoOnBoth(*env, *srv); }

    QByteArray deviceCp(const NetworkHome &home, const QString &cp)
    {
        NetworkAdmin admin(home, kDemo);
        admin.open();
        return admin.deviceCp(admin.device(kRoom).id, cp);
    }

    // A parameter file of the room with its comfort heating setpoint at
    // 21.5 °C (read through local access).
    QString changedParameterFile()
    {
        const Run read = tool({QStringLiteral("read"), kRoom});
        if (read.status != 0)
            qFatal("read failed: %s", qPrintable(read.err));
        QByteArray bytes = read.out;
        bytes.replace("HeatSetpointComfort = 2100", "HeatSetpointComfort = 2150");
        const QString path = env->file(QStringLiteral("comfort.dat"));
        QFile f(path);
        if (!bytes.contains("HeatSetpointComfort = 2150") || !f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("parameter file not made");
        return path;
    }

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

    void commandsGiveTheSameThroughBothAccesses_data()
    {
        // Arguments after the command; an output file "OUT" is compared
        // byte for byte besides standard output.
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("read, short name") << QStringList{QStringLiteral("read"), kRoom} << 0;
        QTest::newRow("read, whole name, json")
            << QStringList{QStringLiteral("read"), QStringLiteral("Demo.Building.Floor1.Room101.Controller"), QStringLiteral("--json")}
            << 0;
        QTest::newRow("diff") << QStringList{QStringLiteral("diff"), kRoom} << 0;
        QTest::newRow("report csv of a floor")
            << QStringList{QStringLiteral("report"), QStringLiteral("--subsystem"), QStringLiteral("Demo.Building.Floor1"),
                           QStringLiteral("--csv"), QStringLiteral("OUT")}
            << 0;
        QTest::newRow("history") << QStringList{QStringLiteral("history"), QStringLiteral("--network"), kDemo} << 0;
        QTest::newRow("no such device") << QStringList{QStringLiteral("read"), QStringLiteral("Room999")} << 1;
    }

    void commandsGiveTheSameThroughBothAccesses()
    {
        REQUIRE_TEST_SERVER(srv->server());
        QFETCH(QStringList, args);
        QFETCH(int, status);
        makeDemoOnBoth();
        QMap<QString, Run> runs;
        QMap<QString, QByteArray> files;
        for (const QString &access : {QStringLiteral("local"), QStringLiteral("remote")}) {
            const QString out = env->file(access + QStringLiteral(".out"));
            QStringList given = args;
            given.replaceInStrings(QStringLiteral("OUT"), out);
            if (access == QLatin1String("remote"))
                given = onServer() + given;
            runs.insert(access, tool(given));
            if (args.contains(QStringLiteral("OUT")))
                files.insert(access, fileBytes(out));
        }
        const Run &l = runs.value(QStringLiteral("local"));
        const Run &r = runs.value(QStringLiteral("remote"));
        QVERIFY2(l.status == status, qPrintable(l.err));
        QCOMPARE(r.status, l.status);
        QCOMPARE(r.out, l.out);
        QCOMPARE(QString(r.err).replace(env->file(QStringLiteral("remote.out")), QStringLiteral("OUT")),
                 QString(l.err).replace(env->file(QStringLiteral("local.out")), QStringLiteral("OUT")));
        QCOMPARE(files.value(QStringLiteral("remote")), files.value(QStringLiteral("local")));
        if (status == 0)
            QVERIFY(!l.out.isEmpty() || !files.value(QStringLiteral("local")).isEmpty());
    }

    // A copy run through remote access reports what it reports through
    // local access, and leaves every target as it leaves it there.
    void copyGivesTheSameThroughBothAccesses()
    {
        REQUIRE_TEST_SERVER(srv->server());
        makeDemoOnBoth();
        const QString file = changedParameterFile();
        // Room102 and Room105 are of other kinds and refuse the file.
        const QStringList targets{QStringLiteral("Room102"), QStringLiteral("Room103"), QStringLiteral("Room105")};
        const QString localResult = env->file(QStringLiteral("local.result"));
        const QString remoteResult = env->file(QStringLiteral("remote.result"));
        const Run l = tool(QStringList{QStringLiteral("copy"), file} + targets
                           + QStringList{QStringLiteral("--result"), localResult});
        const Run r = tool(onServer() + QStringList{QStringLiteral("copy"), file} + targets
                           + QStringList{QStringLiteral("--result"), remoteResult});
        QVERIFY2(l.status == 1, qPrintable(l.err)); // the refusal of Room102
        QCOMPARE(r.status, l.status);
        QCOMPARE(r.out, l.out);
        QCOMPARE(QString(r.err).replace(remoteResult, localResult), l.err);
        QCOMPARE(fileBytes(remoteResult), fileBytes(localResult));
        NetworkAdmin localAdmin(local(), kDemo);
        localAdmin.open();
        NetworkAdmin remoteAdmin(remote(), kDemo);
        remoteAdmin.open();
        for (const QString &room : targets) {
            const QVector<CpComparison> onFile = localAdmin.compareCps(localAdmin.device(room).id);
            const QVector<CpComparison> onServer = remoteAdmin.compareCps(remoteAdmin.device(room).id);
            QCOMPARE(onServer.size(), onFile.size());
            for (int i = 0; i < onFile.size(); ++i) {
                QCOMPARE(onServer.at(i).name, onFile.at(i).name);
                QCOMPARE(onServer.at(i).device, onFile.at(i).device);
                QCOMPARE(onServer.at(i).database, onFile.at(i).database);
            }
        }
        QCOMPARE(remoteAdmin.deviceCp(remoteAdmin.device(QStringLiteral("Room103")).id, QStringLiteral("SetPoints")).mid(6, 2),
                 QByteArray("\x08\x66", 2)); // the file's 21.50 °C arrived
    }

    // The monitor shows the same first values through both accesses (each
    // line starts with the time it was taken, left out).
    void monitorGivesTheSameThroughBothAccesses()
    {
        REQUIRE_TEST_SERVER(srv->server());
        makeDemoOnBoth();
        const QStringList args{QStringLiteral("monitor"), QStringLiteral("Room103"), QStringLiteral("--seconds"),
                               QStringLiteral("1")};
        const Run l = tool(args);
        const Run r = tool(onServer() + args);
        QVERIFY2(l.status == 0, qPrintable(l.err));
        QCOMPARE(r.status, l.status);
        const auto firstValues = [](const QByteArray &out) {
            const QString line = QString::fromUtf8(out.left(out.indexOf('\n')));
            const int values = line.indexOf(QLatin1String("  "));
            return values < 0 ? line : line.mid(values + 2);
        };
        QVERIFY2(firstValues(l.out).startsWith(QLatin1String("Mode: ")), l.out.constData());
        QCOMPARE(firstValues(r.out), firstValues(l.out));
    }

    // A write through remote access changes the server's network only, and
    // the device ends with the bytes a local write gives.
    void writeThroughRemoteAccessEndsAsLocal()
    {
        REQUIRE_TEST_SERVER(srv->server());
        makeDemoOnBoth();
        const QString file = changedParameterFile();
        const QByteArray before = deviceCp(local(), QStringLiteral("SetPoints"));
        const Run r = tool(onServer() + QStringList{QStringLiteral("write"), kRoom, file});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(deviceCp(local(), QStringLiteral("SetPoints")), before);
        QVERIFY(deviceCp(remote(), QStringLiteral("SetPoints")) != before);
        const Run l = tool({QStringLiteral("write"), kRoom, file});
        QVERIFY2(l.status == 0, qPrintable(l.err));
        QCOMPARE(r.out, l.out);
        QCOMPARE(deviceCp(remote(), QStringLiteral("SetPoints")), deviceCp(local(), QStringLiteral("SetPoints")));
        // Both read back the same now.
        QCOMPARE(tool(onServer() + QStringList{QStringLiteral("read"), kRoom}).out,
                 tool({QStringLiteral("read"), kRoom}).out);
    }

    // Another session changes a CP while `write` is between its read of the
    // controller and its write: the tool refuses, names the CP, and leaves
    // the other session's bytes; with --force it writes over them. The
    // device answers slowly (every transaction really waits), so that the
    // other session's write lands inside the tool's run. On a server the
    // other session's write waits only for the device transaction under
    // way; on a file, a program that keeps working a device holds the file
    // and the other one gets its turn only after it (docs/decisions.md).
    void writeOverAnotherSessionsChangeOnlyWithForce_data()
    {
        QTest::addColumn<bool>("force");
        QTest::newRow("refused") << false;
        QTest::newRow("--force") << true;
    }
    void writeOverAnotherSessionsChangeOnlyWithForce()
    {
        REQUIRE_TEST_SERVER(srv->server());
        QFETCH(bool, force);
        makeDemoOnBoth();
        const QString file = changedParameterFile();
        const NetworkHome home = remote();
        int id = 0;
        QByteArray fromFile;
        QByteArray other;
        {
            NetworkAdmin admin(home, kDemo);
            admin.open();
            id = admin.device(kRoom).id;
            // What the file gives (comfort heating, the fourth setpoint, at
            // 21.50 °C), and another session's change of the last setpoint.
            const QByteArray before = admin.deviceCp(id, QStringLiteral("SetPoints"));
            QCOMPARE(before.mid(6, 2), QByteArray("\x08\x34", 2)); // 21.00 °C
            fromFile = before;
            fromFile[7] = char(0x66);
            other = before;
            other[11] = char(quint8(before.at(11)) + 1);
            admin.setLatency(id, 150, true);
            admin.resetCounters();
        }
        QProcess run;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("AEROLIS_LNS_SERVER"));
        run.setProcessEnvironment(e);
        run.start(TestEnvironment::binDir() + QStringLiteral("/aerolis"),
                  onServer() + QStringList{QStringLiteral("write"), kRoom, file}
                      + (force ? QStringList{QStringLiteral("--force")} : QStringList()));
        // The tool's read of the controller is under way once it read more
        // than the application version.
        {
            NetworkAdmin admin(home, kDemo);
            admin.open();
            for (int i = 0; i < 3000 && admin.counters(id).deviceReads < 3; ++i)
                QThread::msleep(20);
            QVERIFY2(admin.counters(id).deviceReads >= 3, "the tool did not start reading");
        }
        {
            const ScopedEnv named("AEROLIS_LNS_SERVER", checkedServer(srv->server(), false));
            auto server = SimObjectServer::create(env->lnsRoot(), TestEnvironment::iniPath());
            server->open(1);
            auto network = server->networks()->item(kDemo);
            network->open(true);
            demoControllerCp(network->system(), kRoom, QStringLiteral("SetPoints"))->setValue(lns::formatRaw(other));
            network->close();
        }
        QVERIFY(run.waitForFinished(120000));
        const QString err = QString::fromUtf8(run.readAllStandardError());
        NetworkAdmin admin(home, kDemo);
        admin.open();
        admin.setLatency(id, 0, false);
        if (force) {
            QVERIFY2(run.exitCode() == 0, qPrintable(err));
            QCOMPARE(admin.deviceCp(id, QStringLiteral("SetPoints")), fromFile);
        } else {
            QVERIFY2(run.exitCode() == 1, qPrintable(err));
            QVERIFY2(err.contains(QLatin1String("CP SetPoints")) && err.contains(QLatin1String("--force")), qPrintable(err));
            QCOMPARE(admin.deviceCp(id, QStringLiteral("SetPoints")), other);
            QCOMPARE(admin.databaseCp(id, QStringLiteral("SetPoints")), other);
        }
    }

    void aReaderIsRefusedAWrite()
    {
        REQUIRE_TEST_SERVER(srv->server());
        makeDemoOnBoth();
        const QString file = changedParameterFile();
        const QString user = QStringLiteral("tool_reader");
        QVERIFY2(srv->exec({QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN PASSWORD 'pw'; EXCEPTION WHEN"
                                           " duplicate_object THEN NULL; END $$")
                                .arg(user)}),
                 qPrintable(srv->lastError()));
        grantNetworkRole(checkedServer(srv->server(), false), kDemo, NetworkRole::Reader, user);
        const QByteArray before = deviceCp(remote(), QStringLiteral("SetPoints"));
        const QStringList asReader{QStringLiteral("--server"), srv->server() + QStringLiteral(" user=") + user};
        const QHash<QString, QString> password{{QStringLiteral("PGPASSWORD"), QStringLiteral("pw")}};
        // Reading is the reader's right.
        const Run read = tool(asReader + QStringList{QStringLiteral("read"), kRoom}, password);
        QVERIFY2(read.status == 0, qPrintable(read.err));
        const Run write = tool(asReader + QStringList{QStringLiteral("write"), kRoom, file}, password);
        QVERIFY2(write.status == 1, qPrintable(write.err));
        QVERIFY2(write.err.contains(QStringLiteral("lacks the commissioning right")), qPrintable(write.err));
        QCOMPARE(deviceCp(remote(), QStringLiteral("SetPoints")), before);
    }

    void aServerThatCannotBeUsedIsTold_data()
    {
        QTest::addColumn<QString>("server"); // "CLOSED": a local port nobody listens on
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString write = QStringLiteral("write");
        QTest::newRow("unreachable, read")
            << "host=127.0.0.1 port=CLOSED dbname=aerolis" << QStringList{QStringLiteral("read"), kRoom} << 3
            << "The LNS server can not be opened";
        QTest::newRow("unreachable, write, whole name")
            << "host=127.0.0.1 port=CLOSED dbname=aerolis"
            << QStringList{write, QStringLiteral("Demo.Building.Floor1.Room101.Controller"), QStringLiteral("FILE")} << 3
            << "The LNS server can not be opened";
        QTest::newRow("unreachable, history")
            << "host=127.0.0.1 port=CLOSED dbname=aerolis"
            << QStringList{QStringLiteral("history"), QStringLiteral("--network"), kDemo} << 3 << "cannot be reached";
        QTest::newRow("unreachable, copy")
            << "host=127.0.0.1 port=CLOSED dbname=aerolis"
            << QStringList{QStringLiteral("copy"), QStringLiteral("FILE"), kRoom, QStringLiteral("Room102")} << 3
            << "The LNS server can not be opened";
        QTest::newRow("password on the command line")
            << "host=127.0.0.1 port=CLOSED password=secret" << QStringList{write, kRoom, QStringLiteral("FILE")} << 3
            << "password file";
        QTest::newRow("no value") << QString() << QStringList{QStringLiteral("read"), kRoom} << 2 << "--server";
    }

    // Nothing is written anywhere: the local network, which the tool must
    // not fall back to, stays as it was.
    void aServerThatCannotBeUsedIsTold()
    {
        QFETCH(QString, server);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        DemoNetwork::create(env->lnsRoot(), demoTemplateFile(), false);
        const QString file = changedParameterFile();
        const QByteArray before = deviceCp(local(), QStringLiteral("SetPoints"));
        server.replace(QStringLiteral("CLOSED"), QString::number(closedPort()));
        args.replaceInStrings(QStringLiteral("FILE"), file);
        const Run r = tool((server.isEmpty() ? args : QStringList{QStringLiteral("--server"), server} + args)
                           + (server.isEmpty() ? QStringList{QStringLiteral("--server")} : QStringList()));
        QVERIFY2(r.status == status, qPrintable(r.err));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("secret")), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(deviceCp(local(), QStringLiteral("SetPoints")), before);
    }

private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TestServer> srv;
};

QTEST_GUILESS_MAIN(TestRemoteTool)
#include "tst_remote_tool.moc"
