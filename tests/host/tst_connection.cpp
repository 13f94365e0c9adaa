// Connecting to the simulated object server and finding the device and
// object the plug-in was started for, with every way that can fail.
#include "demorooms.h"
#include "hostfixture.h"
#include "simserver.h"

#include <host/connection.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>

#include <QCryptographicHash>
#include <QtTest>

using platform::MsgIcon;

namespace {

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QString cmd(int commandId, const QString &object)
{
    return QStringLiteral("/COMMANDID:%1/CLASSID:28/OBJECTNAME:%2").arg(commandId).arg(object);
}

} // namespace

class ConnFixture : public HostFixture
{
public:
    ConnFixture()
    {
        wireDemoNetwork(env.lnsRoot(), appFolder);
    }
    QString dbPath() const { return QDir(env.lnsRoot()).filePath(QStringLiteral("Demo.lnsdb")); }
    // Every CP of every device, in the database and in the device, and each
    // device's state: what a start must never change.
    QByteArray networkData() const
    {
        lnssim::NetworkAdmin a(env.lnsRoot(), QStringLiteral("Demo"));
        a.open();
        QByteArray out;
        for (const lnssim::DeviceInfo &d : a.devices()) {
            out += d.name.toUtf8() + char(d.state.commissioned) + char(d.state.reachable)
                + QByteArray::number(d.state.appNumber) + d.state.appVersion.toUtf8();
            for (const lnssim::CpComparison &c : a.compareCps(d.id))
                out += c.name.toUtf8() + c.database + c.device;
        }
        return out;
    }
    lnssim::Counters counters(const QString &device) const
    {
        lnssim::NetworkAdmin a(env.lnsRoot(), QStringLiteral("Demo"));
        a.open();
        return a.counters(a.device(device).id);
    }
};

class TstConnection : public QObject
{
    Q_OBJECT
private slots:
    void opensWindowForCommand_data()
    {
        QTest::addColumn<int>("commandId");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("commandIndex");
        QTest::newRow("configure") << 13 << "Room101" << 1;
        QTest::newRow("control") << 22 << "Room101" << 4;
        QTest::newRow("configure, second floor") << 13 << "Room204" << 1;
        // Configuration opens even when the device does not answer.
        QTest::newRow("configure an unreachable device") << 13 << "Room205" << 1;
    }
    void opensWindowForCommand()
    {
        QFETCH(int, commandId);
        QFETCH(QString, device);
        QFETCH(int, commandIndex);
        ConnFixture f;
        host::Main({cmd(commandId, demoControllerPath(device))});
        QVERIFY2(f.messages->shown.isEmpty(), f.messages->shown.isEmpty() ? "" : qPrintable(f.messages->shown.first().text));
        QCOMPARE(f.window->displays, 1);
        QCOMPARE(f.window->setupCommands, QList<int>{commandIndex});
        const host::HostState &s = host::state();
        QCOMPARE(s.commandIndex, commandIndex);
        QCOMPARE(s.conn.device->name(), device);
        QCOMPARE(s.conn.object->name(), QStringLiteral("Controller"));
        QCOMPARE(s.conn.object->classId(), 28);
        QVERIFY(s.conn.deviceTemplate);
        QCOMPARE(s.connectionTitle(), device + " / Controller");
        QVERIFY(!s.abortFlag);
        QVERIFY(f.status->history.contains(QStringLiteral("Connecting to LNS server ...")));
        QVERIFY(f.status->history.contains(QStringLiteral("Reading configuration ...")));
        QVERIFY(f.traced("[M_LcaPlugIn] Public Sub FetchObjects()"));
    }

    // Every failure: its message, icon and title, the abort, and a network
    // database that is byte for byte what it was.
    void failures_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("messageId");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("title");
        // What the trace log and the error logger are told, beyond the message.
        QTest::addColumn<QString>("reason");
        const int crit = int(MsgIcon::Critical), excl = int(MsgIcon::Exclamation);
        QTest::newRow("unknown device") << cmd(13, "Demo.Building.Floor1.Room999.Controller") << "" << 1437 << crit
                                        << "Room999 / Controller"
                                        << "FetchObjects 6: device Room999 not found in Demo.Building.Floor1; closest: "
                                           "Demo.Building.Floor1.Room101, Demo.Building.Floor1.Room102, "
                                           "Demo.Building.Floor1.Room103";
        QTest::newRow("unknown object") << cmd(13, "Demo.Building.Floor1.Room101.Valve") << "" << 1437 << crit
                                        << "Room101 / Valve"
                                        << "FetchObjects 6: object Valve not found in device "
                                           "Demo.Building.Floor1.Room101; closest: ";
        QTest::newRow("unknown subsystem") << cmd(13, "Demo.Building.Floor9.Room101.Controller") << "" << 1437
                                           << crit << "Room101 / Controller"
                                           << "FetchObjects 6: subsystem Floor9 not found in Demo.Building; "
                                              "closest: Floor1, Floor2";
        QTest::newRow("template does not match") << cmd(13, "Demo.Building.Floor1.Room101.Controller") << "mismatch"
                                                 << 1437 << crit << "Room101 / Controller"
                                                 << "FetchObjects 6: template AerolisCtrl-T1 expects program id";
        QTest::newRow("unknown network") << cmd(13, "Nowhere.Building.Floor1.Room101.Controller") << "" << 1436
                                         << crit << "Room101 / Controller"
                                         << "FetchObjects 4: network Nowhere not found; closest: Demo";
        QTest::newRow("network refuses") << cmd(13, "Demo.Building.Floor1.Room101.Controller") << "refuse" << 1436
                                         << crit << "Room101 / Controller"
                                         << "FetchObjects 4: network Demo refuses to be opened";
        QTest::newRow("corrupt database") << cmd(13, "Broken.Building.Floor1.Room101.Controller") << "corrupt"
                                          << 1436 << crit << "Room101 / Controller"
                                          << "FetchObjects 4: network database ";
        QTest::newRow("object name not understood")
            << cmd(13, "Room101") << "" << 1436 << crit << " / "
            << "FetchObjects 4: object name not understood: Room101; the device name alone names "
               "Demo.Building.Floor1.Room101.Controller";
        QTest::newRow("no object server") << cmd(13, "Demo.Building.Floor1.Room101.Controller") << "noserver"
                                          << 1508 << excl << "Room101 / Controller" << "";
        QTest::newRow("control on an unreachable device") << cmd(22, "Demo.Building.Floor2.Room205.Controller") << ""
                                                          << 1491 << excl << "Room205 / Controller" << "";
    }
    void failures()
    {
        QFETCH(QString, line);
        QFETCH(QString, setup);
        QFETCH(int, messageId);
        QFETCH(int, icon);
        QFETCH(QString, title);
        QFETCH(QString, reason);
        ConnFixture f;
        QString watched = f.dbPath();
        if (setup == QLatin1String("mismatch")) {
            // The template now expects another program id for T1 devices.
            const QString iniPath = QDir(f.appFolder).filePath("AerolisCtrl.ini");
            QFile ini(iniPath);
            QVERIFY(ini.open(QIODevice::ReadOnly));
            QByteArray text = ini.readAll();
            ini.close();
            text.replace("ProgramId=90:00:9D:51:0A:04:04:01", "ProgramId=90:00:9D:51:0A:04:04:F1");
            QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ini.write(text);
            ini.close();
        } else if (setup == QLatin1String("refuse")) {
            lnssim::NetworkAdmin a(f.env.lnsRoot(), "Demo");
            a.open();
            a.setRefuseOpen(true);
        } else if (setup == QLatin1String("corrupt")) {
            watched = QDir(f.env.lnsRoot()).filePath("Broken.lnsdb");
            QFile bad(watched);
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write(QByteArray("this is not a network database\n").repeated(100));
        } else if (setup == QLatin1String("noserver")) {
            host::state().env.server.newObjectServer = nullptr;
        }
        // The device test of the control command is counted in the file's
        // traffic counters; the network's data must stay as it was.
        const bool testsDevice = messageId == 1491;
        const QByteArray before = testsDevice ? f.networkData() : fileHash(watched);
        host::Main({line});
        QCOMPARE(f.messages->shown.size(), 1);
        const platform::Message m = f.messages->shown.first();
        QString expected = gLoadResString(messageId);
        if (messageId == 1508)
            expected = platform::fillPlaceholders(expected, {"Aerolis Controller"});
        QCOMPARE(m.text, expected);
        QCOMPARE(int(m.icon), icon);
        QCOMPARE(m.title, title);
        QVERIFY(host::state().abortFlag);
        QCOMPARE(host::exitStatus(), 1);
        QCOMPARE(f.window->displays, 0);
        QVERIFY(!host::statusWindow().isShown());
        QCOMPARE(testsDevice ? f.networkData() : fileHash(watched), before);
        if (messageId == 1437)
            QVERIFY(f.status->history.contains(QStringLiteral("Disconnecting from LNS server ...")));
        if (!reason.isEmpty()) {
            // The trace log's step line, and the same reason in the error
            // logger's line.
            const QStringList &lines = platform::TraceLog::instance().recent();
            const auto has = [&lines](const QString &start, const QString &part) {
                return std::any_of(lines.begin(), lines.end(),
                                   [&](const QString &l) { return l.startsWith(start) && l.contains(part); });
            };
            QVERIFY2(has(reason, reason), qPrintable(lines.join(QLatin1Char('\n'))));
            QVERIFY2(has(QStringLiteral("ERROR in [M_LcaPlugIn] FetchObjects: "), reason.section(QStringLiteral(": "), 1)),
                     qPrintable(lines.join(QLatin1Char('\n'))));
        }
    }

    void germanMessages()
    {
        ConnFixture f;
        platform::Registry::write(host::kFamilyKey, "Options", "Language", "1000");
        host::Main({cmd(13, "Demo.Building.Floor1.Room999.Controller")});
        QCOMPARE(f.messages->shown.size(), 1);
        QCOMPARE(f.messages->shown.first().text, platform::rawString(2437).replace(platform::kLineBreakMark, "\n"));
    }

    void accessibilityCheckIsCached()
    {
        ConnFixture f;
        host::Main({cmd(13, "Demo.Building.Floor1.Room101.Controller")});
        QCOMPARE(f.window->displays, 1);
        // The configuration command opens without testing the device.
        QCOMPARE(f.counters("Room101").deviceTests, 0);
        QVERIFY(host::DeviceAccessible(nullptr, false));
        QVERIFY(host::DeviceAccessible(nullptr, false));
        // The second check within 10 seconds is answered from the first.
        QCOMPARE(f.counters("Room101").deviceTests, 1);
        QVERIFY(host::DeviceAccessible(nullptr, true));
        QCOMPARE(f.counters("Room101").deviceTests, 2);
        // The answer about one device is not the answer about another (a
        // copy run checks one target after the other within seconds).
        auto unreachable = demoRoom(host::state().conn.system, QStringLiteral("Room205"));
        QVERIFY(!host::DeviceAccessible(unreachable, false));
        QCOMPARE(f.counters("Room205").deviceTests, 1);
        auto reachable = host::state().conn.appDevices->item(QStringLiteral("Room102"));
        QVERIFY(host::DeviceAccessible(reachable, false));
        QVERIFY(host::DeviceAccessible(reachable, false));
        QCOMPARE(f.counters("Room102").deviceTests, 1);
    }

    void unreachableDeviceClearsReachableFlag()
    {
        ConnFixture f;
        host::Main({cmd(13, "Demo.Building.Floor2.Room205.Controller")});
        QCOMPARE(f.window->displays, 1);
        platform::TraceLog::instance().clearRecent();
        QVERIFY(!host::DeviceAccessible(nullptr, true));
        QVERIFY(!host::state().deviceReachable);
        // Why the device is taken as not accessible stays in the trace log.
        const QStringList traced = platform::TraceLog::instance().recent().filter(QStringLiteral("DeviceAccessible: caught error"));
        QCOMPARE(traced.size(), 1);
        // Another device of the network answers, and does not touch the flag
        // that belongs to the connection's device.
        host::state().deviceReachable = true;
        auto other = host::state().conn.appDevices->item(QStringLiteral("Room201"));
        QVERIFY(host::DeviceAccessible(other, true));
        QVERIFY(host::state().deviceReachable);
    }

    void endAppClosesWhatItOpened()
    {
        ConnFixture f;
        host::Main({cmd(13, "Demo.Building.Floor1.Room101.Controller")});
        lns::NetworkPtr net = host::state().conn.network;
        lns::ObjectServerPtr server = host::state().conn.objectServer;
        QVERIFY(net && net->isOpen());
        host::EndApp();
        QVERIFY(!net->isOpen());
        QVERIFY(!server->isOpen());
        QVERIFY(!host::state().conn.device);
        QCOMPARE(f.window->unloads, 1);
        QCOMPARE(f.window->monitoringStops, 1);
    }
};

QTEST_GUILESS_MAIN(TstConnection)
#include "tst_connection.moc"
