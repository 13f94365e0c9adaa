// aerolis-net, run as the built program against a temporary root.
#include "testenv.h"

#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>

#include <QProcess>
#include <QtTest>

using namespace lnssim;

class TestNetTool : public QObject
{
    Q_OBJECT
private:
    struct Result
    {
        int code = -1;
        QString out;
        QString err;
    };

    Result run(const QStringList &args, bool withRoot = true)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("AEROLIS_LNS_ROOT"));
        p.setProcessEnvironment(env);
        QStringList all;
        if (withRoot)
            all << QStringLiteral("--root") << m_env->lnsRoot();
        all << args;
        p.start(TestEnvironment::binDir() + QStringLiteral("/aerolis-net"), all);
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

    std::unique_ptr<TestEnvironment> m_env;

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        QCOMPARE(run({QStringLiteral("create-demo")}).code, 0);
    }
    void cleanup() { m_env.reset(); }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"explode"};
        QTest::newRow("show without device") << QStringList{"show"};
        QTest::newRow("fault on/off misspelt") << QStringList{"fault", "Room101", "unreachable", "yes"};
        QTest::newRow("fault cp mode") << QStringList{"fault", "Room101", "cp", "HeatXp", "sometimes"};
        QTest::newRow("latency not a number") << QStringList{"fault", "Room101", "latency", "soon"};
        QTest::newRow("unknown fault") << QStringList{"fault", "Room101", "smoke", "on"};
        QTest::newRow("stats option") << QStringList{"stats", "--now"};
        QTest::newRow("root without value") << QStringList{"list", "--root"};
    }

    void badUsage()
    {
        QFETCH(QStringList, args);
        const Result r = run(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QLatin1String("usage: aerolis-net")), qPrintable(r.err));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("demo exists") << QStringList{"create-demo"} << "--force";
        QTest::newRow("unknown device") << QStringList{"show", "Room999"} << "Room999";
        QTest::newRow("unknown CP") << QStringList{"fault", "Room101", "cp", "NoSuchCp", "read"} << "NoSuchCp";
        QTest::newRow("unknown network") << QStringList{"--network", "Other", "list"} << "does not exist";
        QTest::newRow("missing template file") << QStringList{"--ini", "/nonexistent/x.ini", "create-demo", "--force"}
                                               << "cannot be read";
    }

    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Result r = run(args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void listGivesPasteableObjectNames()
    {
        const Result r = run({QStringLiteral("list")});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 12);
        QVERIFY(lines.at(0).startsWith(QLatin1String("Demo.Building.Floor1.Room101.Controller ")));
        QVERIFY(lines.at(0).contains(QLatin1String("AerolisCtrl-T1")));
        QVERIFY(lines.at(0).contains(QLatin1String("90:00:9D:51:0A:04:04:01")));
        QCOMPARE(r.out.count(QLatin1String("unreachable")), 1);
        QCOMPARE(r.out.count(QLatin1String("not-commissioned")), 1);
        // The object name works as the argument of show.
        const QString objectName = lines.at(4).section(QLatin1Char(' '), 0, 0);
        const Result s = run({QStringLiteral("show"), objectName});
        QCOMPARE(s.code, 0);
        QVERIFY(s.out.startsWith(objectName));
    }

    void showMarksDifferences()
    {
        {
            NetworkAdmin admin(m_env->lnsRoot(), QStringLiteral("Demo"));
            admin.open();
            admin.setDeviceCp(admin.device(QStringLiteral("Room101")).id, QStringLiteral("HeatTi"), QByteArray("\x00\x2D", 2));
        }
        const Result r = run({QStringLiteral("show"), QStringLiteral("Building.Floor1.Room101")});
        QCOMPARE(r.code, 0);
        QString heatTi;
        for (const QString &line : r.out.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("HeatTi ")))
                heatTi = line;
        }
        QVERIFY2(heatTi.contains(QLatin1String("0 30")) && heatTi.contains(QLatin1String("0 45")), qPrintable(heatTi));
        QVERIFY(heatTi.contains(QLatin1String("differs")));
        QVERIFY(r.out.contains(QLatin1String("1 CP(s) differ")));
        QCOMPARE(r.out.count(QLatin1String("differs")), 1);
    }

    void faultsReachTheDatabase()
    {
        QCOMPARE(run({"fault", "Room102", "unreachable", "on"}).code, 0);
        QCOMPARE(run({"fault", "Room103", "cp", "HeatXp", "both"}).code, 0);
        QCOMPARE(run({"fault", "Room104", "latency", "25", "--sleep"}).code, 0);
        QCOMPARE(run({"fault", "Room105", "download", "on"}).code, 0);
        QCOMPARE(run({"fault", "network", "refuse", "on"}).code, 0);
        {
            NetworkAdmin admin(m_env->lnsRoot(), QStringLiteral("Demo"));
            admin.open();
            QVERIFY(admin.faults(admin.device(QStringLiteral("Room102")).id).unreachable);
            const DeviceFaults cp = admin.faults(admin.device(QStringLiteral("Room103")).id);
            QCOMPARE(cp.cpName, QStringLiteral("HeatXp"));
            QCOMPARE(cp.cpFault, CpFault::Both);
            const DeviceFaults lat = admin.faults(admin.device(QStringLiteral("Room104")).id);
            QCOMPARE(lat.latencyMs, 25);
            QVERIFY(lat.sleep);
            QVERIFY(admin.faults(admin.device(QStringLiteral("Room105")).id).downloadFails);
            QVERIFY(admin.refuseOpen());
        }
        // The object server refuses the network now.
        auto server = SimObjectServer::create(m_env->lnsRoot(), TestEnvironment::iniPath());
        server->open(0);
        bool refused = false;
        try {
            server->networks()->item(QStringLiteral("Demo"))->open(false);
        } catch (const lns::LnsError &e) {
            refused = e.number() == lns::ErrNetworkRefused;
        }
        QVERIFY(refused);

        QCOMPARE(run({"fault", "clear"}).code, 0);
        NetworkAdmin admin(m_env->lnsRoot(), QStringLiteral("Demo"));
        admin.open();
        QVERIFY(!admin.refuseOpen());
        for (const DeviceInfo &d : admin.devices()) {
            const DeviceFaults f = admin.faults(d.id);
            QVERIFY(!f.unreachable && f.cpFault == CpFault::Off && f.latencyMs == 0 && !f.downloadFails);
        }
    }

    void statsShowsWhatTheServerCounted()
    {
        {
            auto server = SimObjectServer::create(m_env->lnsRoot(), TestEnvironment::iniPath());
            server->open(0);
            auto net = server->networks()->item(QStringLiteral("Demo"));
            net->open(false);
            auto dev = net->system()->subsystems()->item(1)->subsystems()->item(1)->appDevices()->item(QStringLiteral("Room101"));
            dev->test(4);
            dev->lonMarkObjects()->item(1)->configProperties()->item(QStringLiteral("HeatXp"))->value();
            net->close();
        }
        Result r = run({QStringLiteral("stats")});
        QCOMPARE(r.code, 0);
        QString room101, total;
        for (const QString &line : r.out.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("Room101 ")))
                room101 = line;
            if (line.startsWith(QLatin1String("total ")))
                total = line;
        }
        // test 6994 us + 2-byte read 6277 us = 13.271 ms
        QVERIFY2(room101.contains(QLatin1String("reads 1 ")) && room101.contains(QLatin1String("tests 1 "))
                     && room101.contains(QLatin1String("channel 13.3 ms")),
                 qPrintable(room101));
        QVERIFY2(total.contains(QLatin1String("channel 13.3 ms")), qPrintable(total));
        r = run({QStringLiteral("stats"), QStringLiteral("--reset")});
        QCOMPARE(r.code, 0);
        r = run({QStringLiteral("stats")});
        QVERIFY2(r.out.contains(QLatin1String("channel 0.0 ms")), qPrintable(r.out));
        QVERIFY(!r.out.contains(QLatin1String("channel 13.3 ms")));
    }

    void createDemoForceReplaces()
    {
        {
            NetworkAdmin admin(m_env->lnsRoot(), QStringLiteral("Demo"));
            admin.open();
            admin.setUnreachable(admin.device(QStringLiteral("Room101")).id, true);
        }
        QCOMPARE(run({QStringLiteral("create-demo"), QStringLiteral("--force")}).code, 0);
        NetworkAdmin admin(m_env->lnsRoot(), QStringLiteral("Demo"));
        admin.open();
        QVERIFY(admin.device(QStringLiteral("Room101")).state.reachable);
        QCOMPARE(QDir(m_env->lnsRoot()).entryList({QStringLiteral("*.lnsdb")}, QDir::Files),
                 QStringList{QStringLiteral("Demo.lnsdb")});
    }

    void rootFromTheEnvironment()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("AEROLIS_LNS_ROOT"), m_env->lnsRoot());
        p.setProcessEnvironment(env);
        p.start(TestEnvironment::binDir() + QStringLiteral("/aerolis-net"), {QStringLiteral("list")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()).count(QLatin1String(".Controller")), 12);
    }
};

QTEST_GUILESS_MAIN(TestNetTool)
#include "tst_lnssim_nettool.moc"
