// Names a user types for `aerolis`: what is missing is named with the
// closest existing names, and a device name alone is taken when one network
// holds it. The built tool on the demo network in a temporary folder.
#include "toolrun.h"

#include <host/hoststate.h>
#include <lns/objectlookup.h>
#include <platform/registry.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TestCliNames : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args) { return runTool(f, args, 60000); }

private Q_SLOTS:
    void missingNamesAreNamed_data();
    void missingNamesAreNamed();
    void deviceNameAloneIsTaken_data();
    void deviceNameAloneIsTaken();
    void deviceNameInTwoNetworks();
    void closestNames_data();
    void closestNames();
};

void TestCliNames::missingNamesAreNamed_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("german");
    const QString room999 = QStringLiteral("Demo.Building.Floor1.Room999.Controller");
    const QString room999Missing = QStringLiteral(
        "Device not found: Room999 in Demo.Building.Floor1. Closest: Demo.Building.Floor1.Room101, "
        "Demo.Building.Floor1.Room102, Demo.Building.Floor1.Room103");
    QTest::newRow("read, device not in its subsystem") << QStringList{"read", room999} << room999Missing << false;
    QTest::newRow("diff, the same") << QStringList{"diff", room999} << room999Missing << false;
    QTest::newRow("monitor, the same") << QStringList{"monitor", room999, "--seconds", "0"} << room999Missing << false;
    QTest::newRow("set-mode, the same") << QStringList{"set-mode", room999, "heat"} << room999Missing << false;
    QTest::newRow("report, the same") << QStringList{"report", room999, "--csv", "OUT"} << room999Missing << false;
    QTest::newRow("copy, the same") << QStringList{"copy", "OUT", "Demo.Building.Floor1.Room101.Controller", room999}
                                    << room999Missing << false;
    QTest::newRow("network") << QStringList{"read", "Nowhere.Building.Floor1.Room101.Controller"}
                             << "Network not found: Nowhere. Closest: Demo" << false;
    QTest::newRow("subsystem") << QStringList{"read", "Demo.Building.Floor9.Room101.Controller"}
                               << "Subsystem not found: Floor9 in Demo.Building. Closest: Floor1, Floor2" << false;
    // The device exists, on another floor: that is the first hint.
    QTest::newRow("device on another floor")
        << QStringList{"read", "Demo.Building.Floor2.Room101.Controller"}
        << "Device not found: Room101 in Demo.Building.Floor2. Closest: Demo.Building.Floor1.Room101," << false;
    QTest::newRow("object") << QStringList{"read", "Demo.Building.Floor1.Room101.Controler"}
                            << "Object not found: Controler in Demo.Building.Floor1.Room101. Closest: Controller"
                            << false;
    QTest::newRow("device name alone")
        << QStringList{"read", "Room999"}
        << "Device not found: Room999 in Demo. Closest: Demo.Building.Floor1.Room101" << false;
    QTest::newRow("device and object") << QStringList{"read", "Room101.Valve"}
                                       << "Object not found: Valve in Demo.Building.Floor1.Room101." << false;
    QTest::newRow("empty part") << QStringList{"read", "Demo..Room101"}
                                << "Not an object name: Demo..Room101 (give network.subsystem path.device.object"
                                << false;
    QTest::newRow("German: device")
        << QStringList{"read", room999}
        << "Gerät nicht gefunden: Room999 in Demo.Building.Floor1. Am nächsten: Demo.Building.Floor1.Room101" << true;
    QTest::newRow("German: network") << QStringList{"read", "Nowhere.Building.Floor1.Room101.Controller"}
                                     << "Netzwerk nicht gefunden: Nowhere. Am nächsten: Demo" << true;
}

void TestCliNames::missingNamesAreNamed()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    QFETCH(bool, german);
    ConfigFixture f;
    if (german)
        QVERIFY(platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                          QStringLiteral("1000")));
    args.replaceInStrings(QStringLiteral("OUT"), f.env.file(QStringLiteral("report.csv")));
    const Run r = tool(f, args);
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(expected), qPrintable(r.err));
    // One line, and nothing touched.
    QCOMPARE(r.err.trimmed().count(QLatin1Char('\n')), 0);
    QCOMPARE(f.admin->totals().deviceWrites, 0);
    QCOMPARE(f.admin->totals().deviceReads, 0);
}

void TestCliNames::deviceNameAloneIsTaken_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("room");
    QTest::newRow("device name") << "Room101" << "Room101";
    QTest::newRow("device name, second floor") << "Room204" << "Room204";
    QTest::newRow("device and object") << "Room103.Controller" << "Room103";
}

void TestCliNames::deviceNameAloneIsTaken()
{
    QFETCH(QString, typed);
    QFETCH(QString, room);
    ConfigFixture f;
    const QString byName = f.env.file(QStringLiteral("typed.dat"));
    const QString whole = f.env.file(QStringLiteral("whole.dat"));
    const Run r = tool(f, {QStringLiteral("read"), typed, QStringLiteral("-o"), byName});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), whole}).status, 0);
    QCOMPARE(fileBytes(byName), fileBytes(whole));
    // The JSON names the object that was opened.
    const Run json = tool(f, {QStringLiteral("read"), typed, QStringLiteral("--json")});
    QCOMPARE(json.status, 0);
    QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).object().value(QStringLiteral("object")).toString(),
             objectOf(room));
    // The report takes it as well and names the whole object.
    const QString csv = f.env.file(QStringLiteral("report.csv"));
    const Run report = tool(f, {QStringLiteral("report"), typed, QStringLiteral("--csv"), csv});
    QVERIFY2(report.status == 0, qPrintable(report.err));
    QVERIFY(fileBytes(csv).contains(objectOf(room).toUtf8()));
}

void TestCliNames::deviceNameInTwoNetworks()
{
    ConfigFixture f;
    lnssim::DemoNetwork::create(f.env.lnsRoot(), f.ini, false, QStringLiteral("Annex"));
    const Run r = tool(f, {QStringLiteral("read"), QStringLiteral("Room101")});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("The device name Room101 is in several networks: "
                                           "Annex.Building.Floor1.Room101, Demo.Building.Floor1.Room101")),
             qPrintable(r.err));
    // The whole name still opens the one meant.
    QCOMPARE(tool(f, {QStringLiteral("read"), QStringLiteral("Annex.Building.Floor1.Room101.Controller")}).status, 0);
}

void TestCliNames::closestNames_data()
{
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("closest");
    QTest::newRow("equal distances in natural order")
        << "Room999" << QStringList{"Room102", "Room10", "Room101", "Room103"} << QStringList{"Room10", "Room101", "Room102"};
    QTest::newRow("one letter wrong") << "Controler" << QStringList{"NodeObject", "Controller"}
                                      << QStringList{"Controller", "NodeObject"};
    QTest::newRow("numbers as numbers") << "Floor9" << QStringList{"Floor10", "Floor2", "Floor1"}
                                        << QStringList{"Floor1", "Floor2", "Floor10"};
    QTest::newRow("letter case ignored") << "ROOM110" << QStringList{"Room101", "Room110"}
                                         << QStringList{"Room110", "Room101"};
    QTest::newRow("nothing to choose from") << "Room1" << QStringList{} << QStringList{};
}

void TestCliNames::closestNames()
{
    QFETCH(QString, wanted);
    QFETCH(QStringList, names);
    QFETCH(QStringList, closest);
    QCOMPARE(lns::closestNames(wanted, names), closest);
}

QTEST_MAIN(TestCliNames)
#include "tst_cli_names.moc"
