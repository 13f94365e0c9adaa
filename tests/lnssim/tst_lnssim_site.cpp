// A site of several channels: channels and routers in the network database
// (and the upgrade of a file made before them), traffic and modelled wall
// time per channel, generated sites, moving a device, and a network opened
// once per process whose device structure is read when first used.
#include "testenv.h"

#include <lns/rawtext.h>
#include <lnssim/nettool.h>
#include <lnssim/channeltimeline.h>
#include <lns/worklanes.h>
#include <lnssim/networkadmin.h>
#include <lnssim/networkstore.h>
#include <lnssim/simobjects.h>
#include <lnssim/simobjectserver.h>

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace lnssim;

namespace {

platform::IniFile templateFile()
{
    platform::IniFile ini;
    if (!ini.setFileName(TestEnvironment::iniPath()))
        qFatal("device template %s missing", qPrintable(TestEnvironment::iniPath()));
    return ini;
}

QString demoPath(const TestEnvironment &env)
{
    return NetworkDb::pathFor(env.lnsRoot(), QStringLiteral("Demo"));
}

// Turns a current network file back into one of schema version 1, as the
// object server wrote it before channels existed: the traffic per device
// alone, no channels, no structure serial; everything else stays.
void makeVersion1(const QString &path)
{
    const QString name = QStringLiteral("downgrade");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const char *sql : {"CREATE TABLE device_counters(device_id INTEGER PRIMARY KEY REFERENCES devices(id),"
                                " reads INTEGER NOT NULL DEFAULT 0, writes INTEGER NOT NULL DEFAULT 0,"
                                " bytes_read INTEGER NOT NULL DEFAULT 0, bytes_written INTEGER NOT NULL DEFAULT 0,"
                                " tests INTEGER NOT NULL DEFAULT 0, downloads INTEGER NOT NULL DEFAULT 0,"
                                " channel_us INTEGER NOT NULL DEFAULT 0)",
                                "INSERT INTO device_counters SELECT device_id, SUM(reads), SUM(writes), SUM(bytes_read),"
                                " SUM(bytes_written), SUM(tests), SUM(downloads), SUM(channel_us) FROM traffic GROUP BY device_id",
                                "DROP TABLE traffic", "DROP TABLE device_channels", "DROP TABLE routers",
                                "DROP TABLE channels", "DELETE FROM network WHERE key = 'structure_serial'",
                                "UPDATE schema_version SET version = 1 WHERE component = 'aerolis-lnssim'",
                                "PRAGMA wal_checkpoint(TRUNCATE)"})
            QVERIFY2(q.exec(QString::fromLatin1(sql)), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

struct Opened
{
    std::shared_ptr<SimObjectServer> server;
    lns::NetworkPtr network;

    explicit Opened(const TestEnvironment &env)
    {
        server = SimObjectServer::create(env.lnsRoot(), TestEnvironment::iniPath());
        server->open(0);
        network = server->networks()->item(QStringLiteral("Demo"));
        network->open(false);
    }
    ~Opened()
    {
        if (network && network->isOpen())
            network->close();
    }
    std::shared_ptr<NetworkSession> session() const
    {
        return std::dynamic_pointer_cast<SimNetwork>(network)->session();
    }
    lns::AppDevicePtr device(const QString &subsystem, const QString &name) const
    {
        return network->system()
            ->subsystems()
            ->item(QStringLiteral("Building"))
            ->subsystems()
            ->item(subsystem)
            ->appDevices()
            ->item(name);
    }
    // Reads every CP of the device's Controller object from the device.
    int readController(const QString &subsystem, const QString &name) const
    {
        auto cps = device(subsystem, name)->lonMarkObjects()->item(QStringLiteral("Controller"))->configProperties();
        for (int p = 1; p <= cps->count(); ++p) {
            auto cp = cps->itemAt(p);
            cp->setFormatSpecifier(lns::kRawFormat);
            cp->value();
        }
        return cps->count();
    }
};

Counters trafficOf(const ChannelTraffic &traffic, const QString &channel)
{
    for (const auto &entry : traffic) {
        if (entry.first.name == channel)
            return entry.second;
    }
    return Counters();
}

QString subsystemOf(const QString &device)
{
    if (device.startsWith(QLatin1String("Room1")))
        return QStringLiteral("Floor1");
    if (device.startsWith(QLatin1String("Room2")))
        return QStringLiteral("Floor2");
    return QString();
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- a file made before channels -------------------------------------

    void upgradeOldFile_data()
    {
        QTest::addColumn<bool>("throughServer"); // else through the administration
        QTest::addColumn<bool>("withTraffic");
        QTest::newRow("object server, fresh counters") << true << false;
        QTest::newRow("object server, traffic so far") << true << true;
        QTest::newRow("administration, fresh counters") << false << false;
        QTest::newRow("administration, traffic so far") << false << true;
    }

    void upgradeOldFile()
    {
        QFETCH(bool, throughServer);
        QFETCH(bool, withTraffic);
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false);
        QByteArray heatXp;
        if (withTraffic) {
            Opened o(env);
            o.readController(QStringLiteral("Floor1"), QStringLiteral("Room101"));
            auto cp = o.device(QStringLiteral("Floor1"), QStringLiteral("Room101"))
                          ->lonMarkObjects()
                          ->item(QStringLiteral("Controller"))
                          ->configProperties()
                          ->item(QStringLiteral("HeatXp"));
            cp->setFormatSpecifier(lns::kRawFormat);
            heatXp = cp->value().toLatin1();
        }
        Counters before;
        QStringList devicesBefore;
        {
            NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
            admin.open();
            before = admin.totals();
            for (const DeviceInfo &d : admin.devices())
                devicesBefore << d.objectName;
        }
        makeVersion1(demoPath(env));
        QCOMPARE(NetworkDb::probe(demoPath(env)).version, 1);

        NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
        std::unique_ptr<Opened> opened;
        if (throughServer)
            opened = std::make_unique<Opened>(env);
        admin.open();
        QCOMPARE(NetworkDb::probe(demoPath(env)).version, kSchemaVersion);

        // Every device is on the one channel there is, the traffic so far
        // with it; nothing else changed.
        const QVector<ChannelRow> channels = admin.channels();
        QCOMPARE(channels.size(), 1);
        QCOMPARE(channels.first().name, kDefaultChannel);
        QVERIFY(admin.routers().isEmpty());
        QStringList devicesAfter;
        for (const DeviceInfo &d : admin.devices()) {
            devicesAfter << d.objectName;
            QCOMPARE(d.channel, kDefaultChannel);
        }
        QCOMPARE(devicesAfter, devicesBefore);
        QCOMPARE(admin.totals(), before);
        QCOMPARE(trafficOf(admin.channelCounters(), kDefaultChannel), before);
        QCOMPARE(withTraffic, !before.isZero());

        if (throughServer) {
            // The upgraded network works as before, its traffic on the backbone.
            auto cp = opened->device(QStringLiteral("Floor1"), QStringLiteral("Room101"))
                          ->lonMarkObjects()
                          ->item(QStringLiteral("Controller"))
                          ->configProperties()
                          ->item(QStringLiteral("HeatXp"));
            cp->setFormatSpecifier(lns::kRawFormat);
            const QString value = cp->value();
            if (withTraffic)
                QCOMPARE(value.toLatin1(), heatXp);
            QCOMPARE(trafficOf(admin.channelCounters(), kDefaultChannel), admin.totals());
            QCOMPARE(admin.totals().deviceReads, before.deviceReads + 1);
        }
    }

    // --- traffic per channel and wall time -------------------------------

    // The time line of the process: transactions of one work lane follow
    // one another, lanes overlap; the wall time is what that gives, and the
    // transactions in flight per channel are counted.
    void workLanes_data()
    {
        QTest::addColumn<QStringList>("devices"); // each read in the lane given
        QTest::addColumn<QList<int>>("lanes");
        QTest::addColumn<QString>("wall"); // "sum" or "busiest"
        QTest::addColumn<int>("peak");
        QTest::newRow("one lane, two channels") << QStringList{"Room101", "Room201"} << QList<int>{1, 1} << "sum" << 1;
        QTest::newRow("a lane per channel") << QStringList{"Room101", "Room201"} << QList<int>{1, 2} << "busiest" << 1;
        QTest::newRow("a lane per channel, two devices on one")
            << QStringList{"Room101", "Room102", "Room201"} << QList<int>{1, 1, 2} << "busiest" << 1;
        QTest::newRow("two lanes on one channel")
            << QStringList{"Room101", "Room102"} << QList<int>{1, 2} << "less than busiest" << 2;
    }

    void workLanes()
    {
        QFETCH(QStringList, devices);
        QFETCH(QList<int>, lanes);
        QFETCH(QString, wall);
        QFETCH(int, peak);
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false);
        NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
        admin.open();
        {
            Opened o(env);
            ChannelTimeline::of(admin.path()).reset();
            for (int i = 0; i < devices.size(); ++i) {
                lns::setWorkLane(lanes.at(i));
                o.readController(subsystemOf(devices.at(i)), devices.at(i));
            }
            lns::setWorkLane(0);
        }
        qint64 busiest = 0;
        for (const auto &entry : admin.channelCounters())
            busiest = std::max(busiest, entry.second.channelMicros);
        const NetworkAdmin::RunFigures run = admin.lastRun();
        if (wall == QLatin1String("sum"))
            QCOMPARE(run.wallMicros, admin.totals().channelMicros);
        else if (wall == QLatin1String("busiest"))
            QCOMPARE(run.wallMicros, busiest);
        else
            QVERIFY(run.wallMicros > 0 && run.wallMicros < busiest);
        QVERIFY(run.wallMicros <= admin.totals().channelMicros);
        QCOMPARE(run.peakInFlight, peak);
    }

    void channelCharging_data()
    {
        QTest::addColumn<QStringList>("devices"); // each has its Controller's CPs read
        QTest::addColumn<QString>("moveFirstTo");  // the first device's channel before the reads
        QTest::addColumn<int>("busyChannels");
        QTest::newRow("one device") << QStringList{"Room101"} << QString() << 1;
        QTest::newRow("two devices, one channel") << QStringList{"Room101", "Room102"} << QString() << 1;
        QTest::newRow("two devices, two channels") << QStringList{"Room101", "Room201"} << QString() << 2;
        QTest::newRow("three devices, two channels") << QStringList{"Room101", "Room102", "Room203"} << QString() << 2;
        QTest::newRow("moved onto the other floor's channel")
            << QStringList{"Room101", "Room201"} << QStringLiteral("Floor2") << 1;
        QTest::newRow("moved onto the backbone") << QStringList{"Room101", "Room102"} << kDefaultChannel << 2;
    }

    void channelCharging()
    {
        QFETCH(QStringList, devices);
        QFETCH(QString, moveFirstTo);
        QFETCH(int, busyChannels);
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false);
        NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
        admin.open();
        if (!moveFirstTo.isEmpty())
            admin.moveDevice(admin.device(devices.first()).id, moveFirstTo);
        {
            Opened o(env);
            for (const QString &d : devices)
                o.readController(subsystemOf(d), d);
        }
        // Each channel carries what its devices did, no more, no less.
        QHash<QString, Counters> expected;
        for (const QString &d : devices) {
            const DeviceInfo info = admin.device(d);
            expected[info.channel] += admin.counters(info.id);
        }
        const ChannelTraffic traffic = admin.channelCounters();
        Counters sum;
        qint64 busiest = 0;
        int busy = 0;
        for (const auto &entry : traffic) {
            QCOMPARE(entry.second, expected.value(entry.first.name));
            sum += entry.second;
            busiest = std::max(busiest, entry.second.channelMicros);
            if (!entry.second.isZero())
                ++busy;
        }
        QCOMPARE(busy, busyChannels);
        QCOMPARE(sum, admin.totals());
        // The channels overlap: the run takes as long as the busiest one; on
        // one channel that is the whole.
        QCOMPARE(wallMicros(traffic), busiest);
        if (busyChannels == 1)
            QCOMPARE(wallMicros(traffic), admin.totals().channelMicros);
        else
            QVERIFY(wallMicros(traffic) < admin.totals().channelMicros);

        // A reset clears the channels too.
        admin.resetCounters();
        QCOMPARE(wallMicros(admin.channelCounters()), qint64(0));
    }

    // --- generated sites ---------------------------------------------------

    void createDemoSizes_data()
    {
        QTest::addColumn<int>("controllers");
        QTest::addColumn<int>("channels");
        QTest::newRow("the demo alone") << 0 << 1;
        QTest::newRow("ten on one channel") << 10 << 1;
        QTest::newRow("ten on three channels") << 10 << 3;
        QTest::newRow("one per channel") << 7 << 7;
        QTest::newRow("twenty-five on four channels") << 25 << 4;
    }

    void createDemoSizes()
    {
        QFETCH(int, controllers);
        QFETCH(int, channels);
        TestEnvironment env;
        const QStringList args{QStringLiteral("--root"), env.lnsRoot(), QStringLiteral("create-demo"),
                               QStringLiteral("--static"), QStringLiteral("--controllers"), QString::number(controllers),
                               QStringLiteral("--channels"), QString::number(channels)};
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        NetTool tool(TestEnvironment::iniPath());
        QCOMPARE(tool.run(controllers == 0 ? args.mid(0, 4) : args, out, err), int(NetTool::Ok));
        QVERIFY2(errText.isEmpty(), qPrintable(errText));

        NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
        admin.open();
        const QVector<DeviceInfo> all = admin.devices();
        QCOMPARE(all.size(), 12 + controllers);
        // The backbone, the two floors, and the lines when there are
        // controllers; every channel but the backbone behind its router.
        QCOMPARE(admin.channels().size(), 3 + (controllers > 0 ? channels : 0));
        QCOMPARE(admin.routers().size(), admin.channels().size() - 1);
        for (const RouterRow &r : admin.routers())
            QCOMPARE(r.nearChannelId, kDefaultChannelId);

        QHash<QString, int> perChannel;
        QHash<QString, int> perKind;
        QStringList names;
        for (const DeviceInfo &d : all) {
            ++perChannel[d.channel];
            if (!d.name.startsWith(QLatin1String("Ctrl"))) {
                QCOMPARE(d.channel, d.subsystemPath.section(QLatin1Char('.'), -1));
                continue;
            }
            ++perKind[d.templateName];
            names << d.name;
            QCOMPARE(d.subsystemPath, QStringLiteral("Building.") + d.channel);
            QVERIFY(d.state.commissioned && d.state.reachable);
        }
        QCOMPARE(perChannel.value(QStringLiteral("Floor1")), 6);
        QCOMPARE(perChannel.value(QStringLiteral("Floor2")), 6);
        QCOMPARE(perChannel.value(kDefaultChannel), 0);
        // Spread evenly over the lines and the five kinds.
        for (int c = 1; c <= (controllers > 0 ? channels : 0); ++c) {
            const int n = perChannel.value(QStringLiteral("Line%1").arg(c, 2, 10, QLatin1Char('0')));
            QVERIFY2(n == controllers / channels || n == (controllers + channels - 1) / channels, qPrintable(QString::number(n)));
        }
        for (int k = 1; k <= (controllers > 0 ? 5 : 0); ++k) {
            const int n = perKind.value(QStringLiteral("AerolisCtrl-T%1").arg(k));
            QVERIFY(n == controllers / 5 || n == (controllers + 4) / 5);
        }
        QStringList expectedNames;
        for (int i = 1; i <= controllers; ++i)
            expectedNames << QStringLiteral("Ctrl%1").arg(i, 4, 10, QLatin1Char('0'));
        names.sort();
        QCOMPARE(names, expectedNames);

        // Deterministic: made again elsewhere, the same devices on the same channels.
        TestEnvironment again;
        DemoNetwork::create(again.lnsRoot(), templateFile(), false, QStringLiteral("Demo"), SiteSize{controllers, channels});
        NetworkAdmin other(again.lnsRoot(), QStringLiteral("Demo"));
        other.open();
        const QVector<DeviceInfo> second = other.devices();
        QCOMPARE(second.size(), all.size());
        for (int i = 0; i < all.size(); ++i) {
            QCOMPARE(second.at(i).objectName, all.at(i).objectName);
            QCOMPARE(second.at(i).templateName, all.at(i).templateName);
            QCOMPARE(second.at(i).channel, all.at(i).channel);
        }
    }

    // --- moving a device, and bad input ------------------------------------

    void moveDevice_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("channel");
        QTest::newRow("to the other floor") << "Room101" << "Floor2";
        QTest::newRow("by object name") << "Demo.Building.Floor2.Room203.Controller" << "Floor1";
        QTest::newRow("onto the backbone") << "Room205" << "Backbone";
        QTest::newRow("onto its own channel") << "Room102" << "Floor1";
    }

    void moveDevice()
    {
        QFETCH(QString, device);
        QFETCH(QString, channel);
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false);
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        NetTool tool(TestEnvironment::iniPath());
        QCOMPARE(tool.run({QStringLiteral("--root"), env.lnsRoot(), QStringLiteral("move"), device, channel}, out, err),
                 int(NetTool::Ok));
        NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
        admin.open();
        const DeviceInfo moved = admin.device(device);
        QCOMPARE(moved.channel, channel);
        QVERIFY2(outText.contains(QStringLiteral("to channel ") + channel), qPrintable(outText));
        // Its traffic from now on goes to the new channel (an unreachable
        // device's unanswered test occupies it as well).
        {
            Opened o(env);
            try {
                o.device(moved.subsystemPath.section(QLatin1Char('.'), -1), moved.name)->test(4);
            } catch (const lns::LnsError &) {
                QVERIFY(!moved.state.reachable);
            }
        }
        const Counters onChannel = trafficOf(admin.channelCounters(), channel);
        QCOMPARE(onChannel.deviceTests, qint64(1));
        QCOMPARE(onChannel, admin.totals());
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const int usage = NetTool::BadUsage, failed = NetTool::Failed;
        QTest::newRow("controllers not a number") << QStringList{"create-demo", "--force", "--controllers", "many"}
                                                  << usage << "\"many\" is not a whole number";
        QTest::newRow("controllers negative") << QStringList{"create-demo", "--force", "--controllers", "-3"} << usage
                                              << "from 0 to 10000, not -3";
        QTest::newRow("controllers too many") << QStringList{"create-demo", "--force", "--controllers", "10001"} << usage
                                              << "from 0 to 10000, not 10001";
        QTest::newRow("controllers without a value") << QStringList{"create-demo", "--force", "--controllers"} << usage
                                                     << "--controllers needs a value";
        QTest::newRow("no channel") << QStringList{"create-demo", "--force", "--controllers", "5", "--channels", "0"}
                                    << usage << "from 1 to 100, not 0";
        QTest::newRow("channels too many") << QStringList{"create-demo", "--force", "--controllers", "500", "--channels", "101"}
                                           << usage << "from 1 to 100, not 101";
        QTest::newRow("channels not a number") << QStringList{"create-demo", "--force", "--controllers", "5", "--channels", "2.5"}
                                               << usage << "\"2.5\" is not a whole number";
        QTest::newRow("channels without controllers") << QStringList{"create-demo", "--force", "--channels", "3"} << usage
                                                      << "--channels needs --controllers";
        QTest::newRow("more channels than controllers")
            << QStringList{"create-demo", "--force", "--controllers", "2", "--channels", "3"} << usage
            << "3 channel(s) for 2 controller(s)";
        QTest::newRow("site exists") << QStringList{"create-demo", "--controllers", "5"} << failed << "--force";
        QTest::newRow("move without channel") << QStringList{"move", "Room101"} << usage << "move: wrong number of arguments";
        QTest::newRow("move unknown channel") << QStringList{"move", "Room101", "Floor9"} << failed
                                              << "network Demo has no channel \"Floor9\"";
        QTest::newRow("move unknown device") << QStringList{"move", "Room999", "Floor2"} << failed
                                             << "network Demo has no device \"Room999\"";
        QTest::newRow("move channel of another case") << QStringList{"move", "Room101", "floor2"} << failed
                                                      << "no channel \"floor2\"";
    }

    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false);
        const QByteArray before = fileHash(demoPath(env));
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        NetTool tool(TestEnvironment::iniPath());
        QCOMPARE(tool.run(QStringList{QStringLiteral("--root"), env.lnsRoot()} + args, out, err), exitCode);
        // One line says what is wrong (a usage error adds the usage after it).
        const QString first = errText.section(QLatin1Char('\n'), 0, 0);
        QVERIFY2(first.startsWith(QLatin1String("aerolis-net: ")) && first.contains(message), qPrintable(errText));
        if (exitCode == NetTool::Failed)
            QCOMPARE(errText.count(QLatin1Char('\n')), 1);
        QVERIFY(outText.isEmpty());
        // Nothing changed.
        QCOMPARE(fileHash(demoPath(env)), before);
        QVERIFY(!QFile::exists(demoPath(env) + QStringLiteral("-wal")) || QFile(demoPath(env) + QStringLiteral("-wal")).size() == 0);
    }

    // --- opening once, reading on first use ----------------------------------

    void lazyStructure_data()
    {
        QTest::addColumn<QString>("subsystem");
        QTest::addColumn<QString>("device");
        QTest::newRow("demo room") << "Floor1" << "Room101";
        QTest::newRow("not commissioned") << "Floor2" << "Room206";
        QTest::newRow("site controller, first line") << "Line01" << "Ctrl0001";
        QTest::newRow("site controller, last line") << "Line03" << "Ctrl0030";
    }

    void lazyStructure()
    {
        QFETCH(QString, subsystem);
        QFETCH(QString, device);
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false, QStringLiteral("Demo"), SiteSize{30, 3});
        Opened o(env);
        const std::shared_ptr<NetworkStore> store = o.session()->store();
        QCOMPARE(store->loadedDevices(), 0);

        // Finding the device reads nothing of its structure...
        const lns::AppDevicePtr dev = o.device(subsystem, device);
        const DeviceInfo info = [&] {
            NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
            admin.open();
            return admin.device(device);
        }();
        QCOMPARE(dev->index(), info.index);
        QCOMPARE(store->loadedDevices(), 0);

        // ...its objects do, for that device alone, and answer as the
        // database holds them.
        NetworkDb db;
        db.open(demoPath(env));
        QVector<LonMarkObjectRow> objects;
        for (const LonMarkObjectRow &r : db.lonMarkObjects()) {
            if (r.deviceId == info.id)
                objects << r;
        }
        auto lmos = dev->lonMarkObjects();
        QCOMPARE(store->loadedDevices(), 1);
        QVERIFY(store->structureLoaded(info.id));
        QCOMPARE(lmos->count(), objects.size());
        for (const LonMarkObjectRow &r : objects)
            QCOMPARE(lmos->item(r.index)->name(), r.name);

        QStringList expectedCps, cps;
        for (const CpRow &r : db.cps()) {
            if (r.deviceId == info.id)
                expectedCps << QStringLiteral("%1 %2/%3 #%4 %5x%6").arg(r.name, scopeText(r.scope)).arg(r.ownerIndex).arg(r.cpIndex).arg(r.elementLength).arg(r.dimension);
        }
        auto addCps = [&](const lns::CollectionPtr<lns::ConfigProperty> &c, CpScope scope, int owner) {
            for (int p = 1; p <= c->count(); ++p) {
                auto cp = c->itemAt(p);
                cps << QStringLiteral("%1 %2/%3 #%4 %5x%6").arg(cp->name(), scopeText(scope)).arg(owner).arg(cp->index()).arg(cp->elementByteLength()).arg(cp->dimension());
            }
        };
        addCps(dev->configProperties(), CpScope::Device, 0);
        addCps(lmos->item(1)->configProperties(), CpScope::Object, 1);
        QStringList expectedNvs, nvs;
        for (const NvRow &r : db.nvs()) {
            if (r.deviceId == info.id)
                expectedNvs << QStringLiteral("%1 #%2").arg(r.name).arg(r.nvIndex);
        }
        auto allNvs = dev->networkVariables();
        for (int p = 1; p <= allNvs->count(); ++p) {
            auto nv = allNvs->itemAt(p);
            nvs << QStringLiteral("%1 #%2").arg(nv->name()).arg(nv->index());
            auto nvCps = nv->configProperties();
            if (nvCps->count() > 0)
                addCps(nvCps, CpScope::Nv, nv->index());
        }
        expectedCps.sort();
        cps.sort();
        expectedNvs.sort();
        nvs.sort();
        QCOMPARE(cps, expectedCps);
        QCOMPARE(nvs, expectedNvs);
        QCOMPARE(store->loadedDevices(), 1);
        db.close();
    }

    void openOncePerProcess()
    {
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false, QStringLiteral("Demo"), SiteSize{10, 2});
        const int opensBefore = NetworkStore::opensInProcess();
        Opened first(env);
        first.readController(QStringLiteral("Floor1"), QStringLiteral("Room101"));
        QCOMPARE(NetworkStore::opensInProcess(), opensBefore + 1);

        // A second server of this process opening the same network reuses it,
        // with what was read already.
        Opened second(env);
        QCOMPARE(NetworkStore::opensInProcess(), opensBefore + 1);
        QCOMPARE(second.session()->store(), first.session()->store());
        QCOMPARE(second.session()->store()->loadedDevices(), 1);

        // Each keeps its own transaction.
        second.network->system()->startTransaction();
        QVERIFY(!first.network->system()->inTransaction());
        second.network->system()->cancelTransaction();

        // Another program adds a device: the next open sees it.
        {
            NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
            admin.open();
            NewDevice d;
            d.subsystemPath = QStringLiteral("Building.Line02");
            d.name = QStringLiteral("Added");
            d.templateName = QStringLiteral("AerolisCtrl-T3");
            d.channel = QStringLiteral("Line02");
            admin.addDevice(d, templateFile());
        }
        Opened third(env);
        QCOMPARE(third.device(QStringLiteral("Line02"), QStringLiteral("Added"))->name(), QStringLiteral("Added"));
        QCOMPARE(third.readController(QStringLiteral("Line02"), QStringLiteral("Added")) > 0, true);
        QCOMPARE(NetworkStore::opensInProcess(), opensBefore + 1);

        // Closing one leaves the others working.
        first.network->close();
        QCOMPARE(second.readController(QStringLiteral("Floor2"), QStringLiteral("Room201")) > 0, true);

        // When every open is closed and the file is made anew, the next open
        // reads the new file.
        second.network->close();
        third.network->close();
        DemoNetwork::create(env.lnsRoot(), templateFile(), true);
        Opened fourth(env);
        QCOMPARE(NetworkStore::opensInProcess(), opensBefore + 2);
        QCOMPARE(fourth.session()->allDevices().size(), 12);
    }

    void refusedWhenReused()
    {
        TestEnvironment env;
        DemoNetwork::create(env.lnsRoot(), templateFile(), false);
        Opened first(env);
        {
            NetworkAdmin admin(env.lnsRoot(), QStringLiteral("Demo"));
            admin.open();
            admin.setRefuseOpen(true);
        }
        auto server = SimObjectServer::create(env.lnsRoot(), TestEnvironment::iniPath());
        server->open(0);
        auto network = server->networks()->item(QStringLiteral("Demo"));
        bool refused = false;
        try {
            network->open(false);
        } catch (const lns::LnsError &e) {
            refused = e.number() == lns::ErrNetworkRefused;
        }
        QVERIFY(refused);
        QVERIFY(!network->isOpen());
        QVERIFY(first.network->isOpen());
    }
};

QTEST_GUILESS_MAIN(TestSite)
#include "tst_lnssim_site.moc"
