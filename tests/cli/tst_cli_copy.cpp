// `aerolis copy` and the object selectors: the built tool against the
// simulated demo network (two floors, Room205 unreachable, Room206 not
// commissioned), the devices inspected through the network administration.
#include "toolrun.h"

#include <cli/commands.h>
#include <cli/selection.h>
#include <lnssim/networkadmin.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList objectsOf(const QStringList &rooms)
{
    QStringList out;
    for (const QString &r : rooms)
        out << objectOf(r);
    return out;
}

// The "[Settings]" lines of a parameter file.
QList<QByteArray> settings(const QByteArray &file)
{
    QList<QByteArray> out;
    bool in = false;
    for (const QByteArray &raw : file.split('\n')) {
        const QByteArray l = raw.trimmed();
        if (l.startsWith('['))
            in = l == "[Settings]";
        else if (in && !l.isEmpty())
            out << l;
    }
    return out;
}

// The objects the outcome lines of a copy name, in their order.
QStringList objectsInOutcome(const QString &out)
{
    QStringList keys;
    for (const QString &l : out.split(QLatin1Char('\n'))) {
        const QString key = l.section(QLatin1Char(':'), 0, 0).trimmed();
        if (key.startsWith(QLatin1String("Demo.")))
            keys << key;
    }
    return keys;
}

} // namespace

class TestCliCopy : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args) { return runTool(f, args); }

    // The parameter file of Room101 with a changed comfort heating setpoint.
    QString changedFile(ConfigFixture &f)
    {
        const QString file = f.env.file(QStringLiteral("set.dat"));
        const Run r = tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room101")), QStringLiteral("-o"), file});
        if (r.status != 0 || !writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "2150")))
            return QString();
        return file;
    }

private Q_SLOTS:
    void copyWritesTheReachableAndReportsTheUnreachable();
    void retryWritesOnlyTheFailed();
    void outcomeOfATarget_data();
    void outcomeOfATarget();
    void everyTargetReceivesTheFile_data();
    void everyTargetReceivesTheFile();
    void retryBuildsWhatTheFirstRunBuilt();
    void strictRefusesReplacedValues_data();
    void strictRefusesReplacedValues();
    void selection_data();
    void selection();
    void selectorsOfTheTool_data();
    void selectorsOfTheTool();
    void badInputWritesNothing_data();
    void badInputWritesNothing();
    void writesOnlyWhatTheDatabaseLacks_data();
    void writesOnlyWhatTheDatabaseLacks();
    void verifyReadsBackWhatWasWritten();
    void channelsWorkAtOnce_data();
    void channelsWorkAtOnce();
    void readCostsOneReadPerCp_data();
    void readCostsOneReadPerCp();
};

void TestCliCopy::copyWritesTheReachableAndReportsTheUnreachable()
{
    ConfigFixture f;
    const QString file = changedFile(f);
    QVERIFY(!file.isEmpty());
    const QString result = f.env.file(QStringLiteral("result.tsv"));
    const int id205 = f.deviceId(QStringLiteral("Room205"));
    const QVector<lnssim::CpComparison> room205 = f.admin->compareCps(id205);
    f.admin->resetCounters();
    const QStringList rooms{"Room101", "Room103", "Room106", "Room205", "Room202"};
    const Run r = tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(rooms)
                              + QStringList{QStringLiteral("--result"), result});
    QVERIFY2(r.status == 3, qPrintable(r.out + r.err));
    // One line per object in the order given, then the summary.
    QCOMPARE(objectsInOutcome(r.out), objectsOf(rooms));
    QVERIFY2(r.out.contains(objectOf(QStringLiteral("Room205")) + QStringLiteral(": failed")), qPrintable(r.out));
    QVERIFY2(r.out.contains(QStringLiteral("4 of 5 objects written, 1 failed.")), qPrintable(r.out));
    // Progress lines without a terminal.
    QCOMPARE(r.err.split(QLatin1Char('\n')).filter(QStringLiteral("Writing set ")).size(), 5);

    // The reachable ones hold the file's values: the same template (Room106)
    // the whole set, the compatible one (Room103, Room202) the changed value.
    // Room205 unchanged, in the device and in the database (the attempt to
    // reach it is counted, nothing arrived).
    const QVector<lnssim::CpComparison> after205 = f.admin->compareCps(id205);
    QCOMPARE(after205.size(), room205.size());
    for (int i = 0; i < after205.size(); ++i) {
        QCOMPARE(after205.at(i).device, room205.at(i).device);
        QCOMPARE(after205.at(i).database, room205.at(i).database);
    }
    for (const QString &room : {QStringLiteral("Room101"), QStringLiteral("Room106")}) {
        const Run read = tool(f, {QStringLiteral("read"), objectOf(room)});
        QCOMPARE(read.status, 0);
        QCOMPARE(settings(read.out.toLatin1()), settings(fileBytes(file)));
    }
    for (const QString &room : {QStringLiteral("Room103"), QStringLiteral("Room202")}) {
        const Run read = tool(f, {QStringLiteral("read"), objectOf(room)});
        QVERIFY(settings(read.out.toLatin1()).contains("HeatSetpointComfort = 2150"));
        QVERIFY(f.consistent(f.deviceId(room)));
    }
    // The result file names every object and its outcome.
    const QStringList lines = QString::fromUtf8(fileBytes(result)).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("# aerolis copy result\t1"));
    const QStringList failed = lines.filter(QStringLiteral("\tfailed\t"));
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.first().startsWith(objectOf(QStringLiteral("Room205")) + QLatin1Char('\t')));
    QCOMPARE(lines.filter(QStringLiteral("\twritten\t")).size() + lines.filter(QStringLiteral("\tapp-loaded\t")).size(), 4);
}

void TestCliCopy::retryWritesOnlyTheFailed()
{
    ConfigFixture f;
    const QString file = changedFile(f);
    const QString result = f.env.file(QStringLiteral("result.tsv"));
    // The unreachable one first: no other target depends on it.
    const QStringList rooms{"Room205", "Room101", "Room106"};
    const Run first = tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(rooms)
                                  + QStringList{QStringLiteral("--result"), result});
    QVERIFY2(first.status == 3, qPrintable(first.out + first.err));
    QCOMPARE(objectsInOutcome(first.out), objectsOf(rooms));
    QVERIFY(first.out.contains(QStringLiteral("2 of 3 objects written, 1 failed.")));

    f.admin->setUnreachable(f.deviceId(QStringLiteral("Room205")), false);
    f.admin->resetCounters();
    const Run again = tool(f, {QStringLiteral("copy"), file, QStringLiteral("--retry-failed"), result,
                               QStringLiteral("--result"), result});
    QVERIFY2(again.status == 0, qPrintable(again.out + again.err));
    QCOMPARE(objectsInOutcome(again.out), QStringList{objectOf(QStringLiteral("Room205"))});
    QVERIFY(f.admin->counters(f.deviceId(QStringLiteral("Room205"))).deviceWrites > 0);
    QCOMPARE(f.admin->counters(f.deviceId(QStringLiteral("Room101"))).deviceWrites, 0);
    QCOMPARE(f.admin->counters(f.deviceId(QStringLiteral("Room106"))).deviceWrites, 0);
    const Run read = tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room205"))});
    QCOMPARE(settings(read.out.toLatin1()), settings(fileBytes(file)));
    // Nothing failed any more: a third run has nothing to do.
    f.admin->resetCounters();
    const Run third = tool(f, {QStringLiteral("copy"), file, QStringLiteral("--retry-failed"), result});
    QCOMPARE(third.status, 0);
    QVERIFY2(third.out.contains(QStringLiteral("No object failed in")), qPrintable(third.out));
    QCOMPARE(f.admin->totals().deviceWrites, 0);
}

void TestCliCopy::outcomeOfATarget_data()
{
    QTest::addColumn<QString>("fault"); // on Room106, a kind-1 controller
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("status");
    QTest::newRow("none: application loaded, set written") << "" << "app-loaded" << "application loaded, written" << 0;
    QTest::newRow("download fails") << "download" << "written-app-missing" << "written, application not loaded" << 4;
    // The application goes in before the set's transaction, which the
    // fault then takes back: the device was changed, not completely.
    QTest::newRow("a CP write fails") << "cp" << "app-loaded-not-written"
                                      << "application loaded, parameters not written (" << 4;
    // The object server takes the set into the database of a device not
    // commissioned (it goes out at commissioning); its application cannot
    // be checked.
    QTest::newRow("not commissioned") << "commissioned" << "written-app-missing" << "written, application not loaded" << 4;
}

void TestCliCopy::outcomeOfATarget()
{
    QFETCH(QString, fault);
    QFETCH(QString, outcome);
    QFETCH(QString, line);
    QFETCH(int, status);
    ConfigFixture f;
    const QString file = changedFile(f);
    const int id = f.deviceId(QStringLiteral("Room106"));
    if (fault == QLatin1String("download"))
        f.admin->setDownloadFault(id, true);
    else if (fault == QLatin1String("cp"))
        f.admin->setCpFault(id, QStringLiteral("SetPoints"), lnssim::CpFault::Write);
    else if (fault == QLatin1String("commissioned"))
        f.admin->setCommissioned(id, false);
    const QString result = f.env.file(QStringLiteral("result.tsv"));
    f.admin->resetCounters();
    const Run r = tool(f, {QStringLiteral("copy"), file, objectOf(QStringLiteral("Room101")), objectOf(QStringLiteral("Room106")),
                           QStringLiteral("--result"), result});
    QVERIFY2(r.status == status, qPrintable(r.out + r.err));
    QVERIFY2(lineWith(r.out, objectOf(QStringLiteral("Room106"))).contains(line), qPrintable(r.out));
    const QString row = lineWith(QString::fromUtf8(fileBytes(result)), objectOf(QStringLiteral("Room106")) + QLatin1Char('\t'));
    QCOMPARE(row.section(QLatin1Char('\t'), 1, 1), outcome);
    // Two targets of one template that both took set and application cost
    // the same device writes.
    if (outcome == QLatin1String("app-loaded"))
        QCOMPARE(f.admin->counters(f.deviceId(QStringLiteral("Room101"))).deviceWrites, f.admin->counters(id).deviceWrites);

    // The fault gone, a retry of the result file finishes what was left
    // undone: the device ends with the file's values and its application.
    f.admin->clearFaults();
    f.admin->setCommissioned(id, true);
    const Run again = tool(f, {QStringLiteral("copy"), file, QStringLiteral("--retry-failed"), result});
    QVERIFY2(again.status == 0, qPrintable(again.out + again.err));
    if (status == 0) {
        QVERIFY2(again.out.contains(QStringLiteral("No object failed in")), qPrintable(again.out));
        return;
    }
    QCOMPARE(objectsInOutcome(again.out), QStringList{objectOf(QStringLiteral("Room106"))});
    const Run read = tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room106"))});
    QCOMPARE(settings(read.out.toLatin1()), settings(fileBytes(file)));
    QCOMPARE(f.admin->device(QStringLiteral("Room106")).state.appNumber,
             f.admin->device(QStringLiteral("Room101")).state.appNumber);
}

void TestCliCopy::everyTargetReceivesTheFile_data()
{
    QTest::addColumn<QString>("fileOf");      // the room whose read makes the file
    QTest::addColumn<QByteArray>("edit");     // "Key=value" changed in the file, or empty
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<QString>("room");        // the target checked
    QTest::addColumn<QStringList>("expected"); // lines of its parameter file afterwards
    QTest::addColumn<QString>("notedFor");    // a target that gets a note naming...
    QTest::addColumn<QString>("notedKey");    // ...this key of the file
    // Room103's template has no OffDelay: Room101 gets it all the same.
    QTest::newRow("a value the first target's template lacks")
        << "Room101" << QByteArray("OffDelay=610") << QStringList{"Room103", "Room101"} << "Room101"
        << QStringList{"OffDelay = 610"} << "Room103" << "OffDelay";
    // Room104 is cooling-only: its page logic sets the heating setpoints to
    // 15 °C; Room201 heats and keeps the file's.
    QTest::newRow("the page logic of the first target's kind")
        << "Room102" << QByteArray() << QStringList{"Room104", "Room201"} << "Room201"
        << QStringList{"HeatSetpointComfort = 2100", "HeatSetpointStandby = 1900", "HeatSetpointEconomy = 1600"}
        << "Room104" << "HeatSetpointComfort";
    QTest::newRow("that target alone")
        << "Room102" << QByteArray() << QStringList{"Room201"} << "Room201"
        << QStringList{"HeatSetpointComfort = 2100", "HeatSetpointStandby = 1900", "HeatSetpointEconomy = 1600"}
        << "" << "";
    // A kind-3 file names its application in the mode CPs: a kind-3 target
    // takes it, a kind-1 target's application is its own (named).
    QTest::newRow("a kind-3 file's application")
        << "Room103" << QByteArray("HvacAppMode=1") << QStringList{"Room101", "Room202"} << "Room202"
        << QStringList{"HvacAppMode = 1", "NumValves = 0,1"} << "Room101" << "HvacAppMode";
    // A kind-4 target keeps its own application: the first target's is not
    // spread to it.
    QTest::newRow("the first target's application")
        << "Room102" << QByteArray() << QStringList{"Room201", "Room104"} << "Room104"
        << QStringList{"HvacAppMode = 4", "NumValves = 0,1", "HeatSetpointComfort = 1500"} << "" << "";
}

void TestCliCopy::everyTargetReceivesTheFile()
{
    QFETCH(QString, fileOf);
    QFETCH(QByteArray, edit);
    QFETCH(QStringList, targets);
    QFETCH(QString, room);
    QFETCH(QStringList, expected);
    QFETCH(QString, notedFor);
    QFETCH(QString, notedKey);
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("set.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(fileOf), QStringLiteral("-o"), file}).status, 0);
    if (!edit.isEmpty())
        QVERIFY(writeBytes(file, withValue(fileBytes(file), edit.left(edit.indexOf('=')), edit.mid(edit.indexOf('=') + 1))));

    const Run r = tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(targets));
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("%1 of %1 objects written, 0 failed.").arg(targets.size())), qPrintable(r.out));
    const Run read = tool(f, {QStringLiteral("read"), objectOf(room)});
    QCOMPARE(read.status, 0);
    const QList<QByteArray> held = settings(read.out.toLatin1());
    for (const QString &line : expected)
        QVERIFY2(held.contains(line.toLatin1()), qPrintable(line + QStringLiteral(" not in\n") + read.out));
    if (!notedFor.isEmpty()) {
        // The note follows the target's own line.
        const QStringList lines = r.out.split(QLatin1Char('\n'));
        const int at = lines.indexOf(QRegularExpression(QRegularExpression::escape(objectOf(notedFor)) + QStringLiteral(": .*")));
        QVERIFY2(at >= 0 && at + 1 < lines.size(), qPrintable(r.out));
        QVERIFY2(lines.at(at + 1).startsWith(QLatin1String("  ")) && lines.at(at + 1).contains(notedKey), qPrintable(r.out));
    }
}

// A retry builds for a target exactly what the first run would have
// written to it: the same bytes whether the first run reached it or not.
void TestCliCopy::retryBuildsWhatTheFirstRunBuilt()
{
    const QStringList cps{"SetPoints", "HvacAppMode", "NumValves", "HeatXp", "CoolXp"};
    const QStringList targets{"Room201", "Room104"};
    QHash<QString, QByteArray> reached;
    {
        ConfigFixture f;
        const QString file = f.env.file(QStringLiteral("set.dat"));
        QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room102")), QStringLiteral("-o"), file}).status, 0);
        const Run r = tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(targets));
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        for (const QString &cp : cps)
            reached.insert(cp, f.admin->deviceCp(f.deviceId(QStringLiteral("Room104")), cp));
    }
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("set.dat"));
    const QString result = f.env.file(QStringLiteral("result.tsv"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room102")), QStringLiteral("-o"), file}).status, 0);
    const int id = f.deviceId(QStringLiteral("Room104"));
    f.admin->setCpFault(id, QStringLiteral("SetPoints"), lnssim::CpFault::Write);
    const Run first = tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(targets)
                                  + QStringList{QStringLiteral("--result"), result});
    QVERIFY2(first.status == 3, qPrintable(first.out + first.err));
    f.admin->clearFaults();
    const Run again = tool(f, {QStringLiteral("copy"), file, QStringLiteral("--retry-failed"), result});
    QVERIFY2(again.status == 0, qPrintable(again.out + again.err));
    for (const QString &cp : cps)
        QVERIFY2(f.admin->deviceCp(id, cp) == reached.value(cp), qPrintable(cp));
}

void TestCliCopy::selection_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("named");
    QTest::addColumn<QStringList>("rooms");
    QTest::addColumn<QString>("error");
    const QStringList floor1{"Room101", "Room102", "Room103", "Room104", "Room105", "Room106"};
    const QStringList floor2{"Room201", "Room202", "Room203", "Room204", "Room205", "Room206"};
    QTest::newRow("named, in order") << QStringList{} << objectsOf({"Room203", "Room101"})
                                     << QStringList{"Room203", "Room101"} << "";
    QTest::newRow("named twice") << QStringList{} << objectsOf({"Room101", "Room101"}) << QStringList{"Room101"} << "";
    QTest::newRow("all") << QStringList{"--all"} << QStringList{} << floor1 + floor2 << "";
    QTest::newRow("subsystem") << QStringList{"--subsystem", "Demo.Building.Floor2"} << QStringList{} << floor2 << "";
    QTest::newRow("subsystem and below") << QStringList{"--subsystem", "Demo.Building"} << QStringList{}
                                         << floor1 + floor2 << "";
    QTest::newRow("template") << QStringList{"--template", "AerolisCtrl-T1"} << QStringList{}
                              << QStringList{"Room101", "Room106", "Room205"} << "";
    QTest::newRow("template in subsystem") << QStringList{"--template", "AerolisCtrl-T2", "--subsystem", "Demo.Building.Floor2"}
                                           << QStringList{} << QStringList{"Room201", "Room206"} << "";
    QTest::newRow("named first, selector after, once")
        << QStringList{"--template", "AerolisCtrl-T3"} << objectsOf({"Room202"}) << QStringList{"Room202", "Room103"} << "";
    QTest::newRow("network option") << QStringList{"--all", "--network", "Demo"} << QStringList{} << floor1 + floor2 << "";
    QTest::newRow("unknown object") << QStringList{} << objectsOf({"Room999"}) << QStringList{}
                                    << "Object not found: Demo.Building.Floor2.Room999.Controller";
    QTest::newRow("not an object name") << QStringList{} << QStringList{"Room101"} << QStringList{} << "Object not found: Room101";
    QTest::newRow("unknown subsystem") << QStringList{"--subsystem", "Demo.Building.Floor9"} << QStringList{} << QStringList{}
                                       << "Unknown subsystem: Demo.Building.Floor9";
    QTest::newRow("unknown template") << QStringList{"--template", "Other-T1"} << QStringList{} << QStringList{}
                                      << "Not a device template of this plug-in: Other-T1";
    QTest::newRow("unknown network") << QStringList{"--all", "--network", "Nowhere"} << QStringList{} << QStringList{}
                                     << "Unknown network: Nowhere";
    QTest::newRow("nothing given") << QStringList{} << QStringList{} << QStringList{} << "No object selected.";
}

void TestCliCopy::selection()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, named);
    QFETCH(QStringList, rooms);
    QFETCH(QString, error);
    ConfigFixture f;
    f.admin->close();
    const cli::ParsedArgs a = cli::parseArgs(args, cli::selectorFlagNames(), cli::selectorValueNames());
    QCOMPARE(a.status, 0);
    const cli::Selection s = cli::selectObjects(a, named);
    f.admin->open();
    QCOMPARE(s.error, error);
    QCOMPARE(s.status, error.isEmpty() ? 0 : 1);
    QCOMPARE(s.objects, objectsOf(rooms));
    for (const cli::SelectedObject &o : s.details)
        QVERIFY(o.ofThisType);
}

void TestCliCopy::strictRefusesReplacedValues_data()
{
    QTest::addColumn<bool>("strict");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("room104"); // the start of cooling-only Room104's line
    // Room104's page logic replaces the file's heating setpoints: named
    // below its line, or with --strict its refusal; Room201 takes the file.
    QTest::newRow("named") << false << 0 << "written";
    QTest::newRow("strict") << true << 1
                            << "refused, nothing was written: HeatSetpointComfort: 21.0 in the file, 15.0 written: cooling-only controller";
}

void TestCliCopy::strictRefusesReplacedValues()
{
    QFETCH(bool, strict);
    QFETCH(int, status);
    QFETCH(QString, room104);
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("set.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room102")), QStringLiteral("-o"), file}).status, 0);
    const int id = f.deviceId(QStringLiteral("Room104"));
    const QByteArray setPoints = f.admin->deviceCp(id, QStringLiteral("SetPoints"));
    f.admin->resetCounters();
    QStringList args{QStringLiteral("copy"), file, objectOf(QStringLiteral("Room104")), objectOf(QStringLiteral("Room201"))};
    if (strict)
        args << QStringLiteral("--strict");
    const Run r = tool(f, args);
    QVERIFY2(r.status == status, qPrintable(r.out + r.err));
    QVERIFY2(lineWith(r.out, objectOf(QStringLiteral("Room104")) + QStringLiteral(": ")).contains(QStringLiteral(": ") + room104),
             qPrintable(r.out));
    QVERIFY2(lineWith(r.out, objectOf(QStringLiteral("Room201")) + QStringLiteral(": ")).contains(QStringLiteral("written")),
             qPrintable(r.out));
    QCOMPARE(r.out.contains(QStringLiteral("  HeatSetpointComfort: 21.0 in the file, 15.0 written: cooling-only controller")),
             !strict);
    if (strict) {
        QCOMPARE(f.admin->counters(id).deviceWrites, 0);
        QCOMPARE(f.admin->deviceCp(id, QStringLiteral("SetPoints")), setPoints);
    }
}

void TestCliCopy::selectorsOfTheTool_data()
{
    QTest::addColumn<QStringList>("selector");
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QStringList>("skipped");
    QTest::addColumn<int>("status");
    // A kind-1 file goes to the kind-1 and kind-3 controllers (compatible
    // program ids); a selector means the controllers that can take the
    // file, the others are listed once as skipped.
    QTest::newRow("template") << QStringList{"--template", "AerolisCtrl-T3"} << QStringList{"Room103", "Room202"}
                              << QStringList{} << 0;
    QTest::newRow("subsystem") << QStringList{"--subsystem", "Demo.Building.Floor1"}
                               << QStringList{"Room101", "Room103", "Room106"}
                               << QStringList{"Room102", "Room104", "Room105"} << 0;
    QTest::newRow("all") << QStringList{"--all"} << QStringList{"Room101", "Room103", "Room106", "Room202", "Room205"}
                         << QStringList{"Room102", "Room104", "Room105", "Room201", "Room203", "Room204", "Room206"} << 0;
}

void TestCliCopy::selectorsOfTheTool()
{
    QFETCH(QStringList, selector);
    QFETCH(QStringList, written);
    QFETCH(QStringList, skipped);
    QFETCH(int, status);
    ConfigFixture f;
    const QString file = changedFile(f);
    f.admin->setUnreachable(f.deviceId(QStringLiteral("Room205")), false);
    f.admin->resetCounters();
    const QString result = f.env.file(QStringLiteral("result.tsv"));
    const Run r = tool(f, QStringList{QStringLiteral("copy"), file} + selector
                              + QStringList{QStringLiteral("--result"), result});
    QVERIFY2(r.status == status, qPrintable(r.out + r.err));
    QVERIFY2(!r.out.contains(QStringLiteral("refused")), qPrintable(r.out));
    // In the result file a skipped object has its outcome and the reason alone.
    const QString rows = QString::fromUtf8(fileBytes(result));
    for (const QString &room : skipped) {
        const QStringList cols = lineWith(rows, objectOf(room) + QLatin1Char('\t')).split(QLatin1Char('\t'));
        QCOMPARE(cols.size(), 3);
        QCOMPARE(cols.at(1), QStringLiteral("skipped"));
        QVERIFY2(cols.at(2).startsWith(QLatin1String("its program id ")), qPrintable(cols.at(2)));
        QCOMPARE(f.admin->counters(f.deviceId(room)).deviceWrites, 0);
    }
    for (const QString &room : written)
        QVERIFY(f.admin->counters(f.deviceId(room)).deviceWrites > 0);
    // One line per written object, the skipped ones once in the summary.
    QCOMPARE(objectsInOutcome(r.out), objectsOf(written));
    const QString skippedLine = QStringLiteral("%1 skipped, their program id cannot take this file: %2")
                                    .arg(skipped.size())
                                    .arg(objectsOf(skipped).join(QStringLiteral(", ")));
    QCOMPARE(r.out.contains(skippedLine), !skipped.isEmpty());
    QCOMPARE(r.out.count(QStringLiteral(" skipped, ")), skipped.isEmpty() ? 0 : 1);
}

void TestCliCopy::badInputWritesNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errPart");
    const QString obj = objectOf(QStringLiteral("Room101"));
    QTest::newRow("no file") << QStringList{} << 2 << "Missing argument: FILE";
    QTest::newRow("no object") << QStringList{"@FILE@"} << 2 << "Missing argument: OBJECT";
    QTest::newRow("unknown option") << QStringList{"@FILE@", obj, "--bogus"} << 2 << "Unknown option: --bogus";
    QTest::newRow("missing file") << QStringList{"/nonexistent/x.dat", obj} << 1 << "The selected file cannot be opened.";
    QTest::newRow("foreign file") << QStringList{"@FOREIGN@", obj} << 1 << "@FOREIGN@";
    // Each target refuses the value with its allowed range.
    QTest::newRow("out of range") << QStringList{"@RANGE@", obj, objectOf(QStringLiteral("Room106"))} << 1
                                  << "Room106.Controller: refused, nothing was written: HeatSetpointComfort = 99000 in the file: allowed 500 to 5000";
    QTest::newRow("unknown object") << QStringList{"@FILE@", obj, objectOf(QStringLiteral("Room999"))} << 1
                                    << "Device not found: Room999 in Demo.Building.Floor2. Closest:";
    QTest::newRow("unknown subsystem") << QStringList{"@FILE@", "--subsystem", "Demo.Cellar"} << 1
                                       << "Unknown subsystem: Demo.Cellar";
    QTest::newRow("unknown template") << QStringList{"@FILE@", "--template", "Nope"} << 1
                                      << "Not a device template of this plug-in: Nope";
    QTest::newRow("file of another program id") << QStringList{"@FILE@", objectOf(QStringLiteral("Room102"))} << 1
                                                << "refused";
    QTest::newRow("foreign result file") << QStringList{"@FILE@", "--retry-failed", "@FOREIGN@"} << 1
                                         << "Not a copy result file";
    QTest::newRow("no transaction per channel") << QStringList{"@FILE@", obj, "--per-channel", "0"} << 2
                                                << "--per-channel takes a whole number from 1 to 16: 0";
    QTest::newRow("per channel not a number") << QStringList{"@FILE@", obj, "--per-channel", "two"} << 2
                                              << "--per-channel takes a whole number from 1 to 16: two";
}

void TestCliCopy::badInputWritesNothing()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, errPart);
    ConfigFixture f;
    const QString file = changedFile(f);
    const QString foreign = f.env.file(QStringLiteral("foreign.txt"));
    QVERIFY(writeBytes(foreign, "This is no parameter file.\n"));
    const QString range = f.env.file(QStringLiteral("range.dat"));
    QVERIFY(writeBytes(range, withValue(fileBytes(file), "HeatSetpointComfort", "99000")));
    for (QString &a : args)
        a.replace(QStringLiteral("@FILE@"), file).replace(QStringLiteral("@FOREIGN@"), foreign).replace(QStringLiteral("@RANGE@"), range);
    errPart.replace(QStringLiteral("@FOREIGN@"), foreign);
    f.admin->resetCounters();
    const Run r = tool(f, QStringList{QStringLiteral("copy")} + args);
    QVERIFY2(r.status == status, qPrintable(QString::number(r.status) + r.out + r.err));
    QVERIFY2((r.err + r.out).contains(errPart), qPrintable(r.out + r.err));
    QCOMPARE(f.admin->totals().deviceWrites, 0);
}

// Targets that hold the file already: --skip-matching leaves out every CP
// whose database copy holds the bytes, a dry run writes nothing and names
// what it would write.
void TestCliCopy::writesOnlyWhatTheDatabaseLacks_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("changed"); // the file changes one value
    QTest::addColumn<int>("writes");   // device writes per target
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("outPart");
    QTest::newRow("unchanged, skip matching") << QStringList{"--skip-matching"} << false << 0 << "written"
                                              << "3 of 3 objects written";
    QTest::newRow("one value changed, skip matching") << QStringList{"--skip-matching"} << true << 1 << "written"
                                                      << "3 of 3 objects written";
    QTest::newRow("dry run, skip matching") << QStringList{"--skip-matching", "--dry-run"} << true << 0 << "dry-run"
                                            << "would write 1 CP(s): SetPoints";
    QTest::newRow("dry run, unchanged") << QStringList{"--skip-matching", "--dry-run"} << false << 0 << "dry-run"
                                        << "nothing to write";
}

void TestCliCopy::writesOnlyWhatTheDatabaseLacks()
{
    QFETCH(QStringList, options);
    QFETCH(bool, changed);
    QFETCH(int, writes);
    QFETCH(QString, outcome);
    QFETCH(QString, outPart);
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("set.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room101")), QStringLiteral("-o"), file}).status, 0);
    const QStringList rooms{"Room103", "Room202", "Room106"};
    QCOMPARE(tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(rooms)).status, 0);
    if (changed)
        QVERIFY(writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "2150")));
    const QString result = f.env.file(QStringLiteral("result.tsv"));
    f.admin->resetCounters();
    const Run r = tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(rooms) + options
                              + QStringList{QStringLiteral("--result"), result});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(outPart), qPrintable(r.out));
    for (const QString &room : rooms) {
        QCOMPARE(f.admin->counters(f.deviceId(room)).deviceWrites, qint64(writes));
        const QString row = lineWith(QString::fromUtf8(fileBytes(result)), objectOf(room) + QLatin1Char('\t'));
        QCOMPARE(row.section(QLatin1Char('\t'), 1, 1), outcome);
        QVERIFY(f.consistent(f.deviceId(room)));
    }
    const bool written = outcome == QLatin1String("written");
    const Run read = tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room106"))});
    QCOMPARE(settings(read.out.toLatin1()).contains("HeatSetpointComfort = 2150"), changed && written);
}

// --verify reads back each CP the copy wrote, and nothing else.
void TestCliCopy::verifyReadsBackWhatWasWritten()
{
    ConfigFixture f;
    const QString file = changedFile(f);
    QVERIFY(!file.isEmpty());
    const QString room = QStringLiteral("Room103");
    const int id = f.deviceId(room);
    QCOMPARE(tool(f, {QStringLiteral("copy"), file, objectOf(room)}).status, 0);
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "2050")));
    f.admin->resetCounters();
    QCOMPARE(tool(f, {QStringLiteral("copy"), file, objectOf(room), QStringLiteral("--skip-matching")}).status, 0);
    const lnssim::Counters plain = f.admin->counters(id);
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "2100")));
    f.admin->resetCounters();
    const Run r = tool(f, {QStringLiteral("copy"), file, objectOf(room), QStringLiteral("--skip-matching"),
                           QStringLiteral("--verify")});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    const lnssim::Counters verified = f.admin->counters(id);
    QCOMPARE(verified.deviceWrites, qint64(1));
    QCOMPARE(verified.deviceReads - plain.deviceReads, qint64(1));
}

// Three channels, one unreachable target among them: the others are
// written, each object has its outcome, and the run's modelled wall time is
// the busiest channel's. The simulator counts the transactions in flight
// per channel: never more than the copy allows.
void TestCliCopy::channelsWorkAtOnce_data()
{
    QTest::addColumn<int>("perChannel");
    QTest::newRow("one per channel") << 1;
    QTest::newRow("two per channel") << 2;
}

void TestCliCopy::channelsWorkAtOnce()
{
    QFETCH(int, perChannel);
    ConfigFixture f;
    const QString file = changedFile(f);
    QVERIFY(!file.isEmpty());
    const QStringList rooms = roomsOnThreeChannels(f);
    QCOMPARE(channelCount(f, rooms), 3);
    const QString result = f.env.file(QStringLiteral("result.tsv"));
    f.admin->resetCounters();
    const Run r = tool(f, QStringList{QStringLiteral("copy"), file} + objectsOf(rooms)
                              + QStringList{QStringLiteral("--per-channel"), QString::number(perChannel),
                                            QStringLiteral("--result"), result});
    QVERIFY2(r.status == 3, qPrintable(r.out + r.err));
    QCOMPARE(objectsInOutcome(r.out), objectsOf(rooms));
    const QString results = QString::fromUtf8(fileBytes(result));
    for (const QString &room : rooms) {
        const QString state = lineWith(results, objectOf(room) + QLatin1Char('\t')).section(QLatin1Char('\t'), 1, 1);
        if (room == QLatin1String("Room205"))
            QCOMPARE(state, QStringLiteral("failed"));
        else
            QVERIFY2(state == QLatin1String("written") || state == QLatin1String("app-loaded"), qPrintable(room + state));
    }

    const lnssim::NetworkAdmin::RunFigures run = f.admin->lastRun();
    qint64 busiest = 0;
    int used = 0;
    for (const auto &entry : f.admin->channelCounters()) {
        busiest = std::max(busiest, entry.second.channelMicros);
        used += entry.second.transactions() > 0 ? 1 : 0;
    }
    QCOMPARE(used, 3);
    QVERIFY(busiest > 0);
    // Floor1 and Floor2 have two targets each: one lane carries both, or
    // two carry one each at the same time.
    QCOMPARE(run.peakInFlight, perChannel);
    if (perChannel == 1)
        QCOMPARE(run.wallMicros, busiest);
    else
        QVERIFY2(run.wallMicros < busiest, qPrintable(QStringLiteral("%1 / %2").arg(run.wallMicros).arg(busiest)));
    QVERIFY(run.wallMicros < f.admin->totals().channelMicros);
}

// A read costs one device read per CP its parameters and its application
// check need, each CP once, and the device tests the start asks for.
void TestCliCopy::readCostsOneReadPerCp_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<int>("reads");
    QTest::addColumn<int>("tests");
    // Kinds 1 and 2: the collection without the mode CPs (24), then the
    // forced application check reads the two mode CPs; its device test
    // comes after the one of the window's navigation.
    QTest::newRow("kind 1") << "Room101" << 26 << 2;
    QTest::newRow("kind 2") << "Room102" << 26 << 2;
    // Kinds 3 and 4: the mode CPs are parameters; no application check.
    QTest::newRow("kind 3") << "Room103" << 25 << 1;
    QTest::newRow("kind 4") << "Room104" << 25 << 1;
    // Kind 5: every parameter, the forced check without a CP read.
    QTest::newRow("kind 5") << "Room105" << 25 << 2;
}

void TestCliCopy::readCostsOneReadPerCp()
{
    QFETCH(QString, room);
    QFETCH(int, reads);
    QFETCH(int, tests);
    ConfigFixture f;
    f.admin->resetCounters();
    const Run r = tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("--json")});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    // The distinct CPs of the parameters the tool lists.
    QSet<QString> cps;
    const QJsonArray list = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("parameters")).toArray();
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        if (!o.value(QStringLiteral("cp")).toString().isEmpty())
            cps.insert(o.value(QStringLiteral("cp")).toString());
    }
    const lnssim::Counters c = f.admin->counters(f.deviceId(room));
    QCOMPARE(c.deviceReads, qint64(reads));
    QCOMPARE(c.deviceReads, qint64(cps.size()));
    QCOMPARE(c.deviceTests, qint64(tests));
    QCOMPARE(c.deviceWrites, qint64(0));
}

QTEST_MAIN(TestCliCopy)
#include "tst_cli_copy.moc"
