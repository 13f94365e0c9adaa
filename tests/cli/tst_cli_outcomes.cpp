// What `aerolis` says and answers: monitor lines, the device column of
// diff, the status of a device that does not answer, and network database
// trouble (a damaged file, a read-only folder, a full disk) told as such with
// its own status. The built tool on the demo network in a temporary folder;
// the folder and disk conditions are real ones, made in a user namespace
// (`unshare`) so that they hold for a test run as root too.
#include "toolrun.h"

#include <host/hoststate.h>
#include <platform/registry.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kTool = QStringLiteral("TOOL");

// Runs `program` as the tool runs (the fixture's network, registry and
// platform; $TOOL is the tool's path) and leaves the fixture's own
// connection to the network closed: the network may be unreadable now.
Run runProgram(ConfigFixture &f, const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("AEROLIS_LNS_ROOT"), f.env.lnsRoot());
    e.insert(QStringLiteral("AEROLIS_REGISTRY_ROOT"), f.env.file(QStringLiteral("registry")));
    e.insert(QStringLiteral("AEROLIS_UNATTENDED"), QStringLiteral("1"));
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    e.insert(kTool, TestEnvironment::binDir() + QStringLiteral("/aerolis"));
    p.setProcessEnvironment(e);
    f.admin->close();
    p.start(program, args);
    Run r;
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    else
        p.kill();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Runs `script` with sh inside a new user namespace; "$@" are `args`.
// `asRoot`: mapped to root with a mount namespace of its own (to mount a
// small disk); else an unprivileged user, for whom file permissions hold.
Run runInNamespace(ConfigFixture &f, bool asRoot, const QString &script, const QStringList &args)
{
    QStringList unshare{QStringLiteral("--user")};
    if (asRoot)
        unshare << QStringLiteral("--map-root-user") << QStringLiteral("--mount");
    return runProgram(f, QStringLiteral("unshare"),
                      unshare + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh")} + args);
}

bool namespacesAvailable()
{
    QProcess p;
    p.start(QStringLiteral("unshare"), {QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                        QStringLiteral("--mount"), QStringLiteral("true")});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A parameter file of `room` with its comfort heating setpoint changed.
QString changedFile(ConfigFixture &f, const QString &room)
{
    const QString file = f.env.file(QStringLiteral("changed.dat"));
    if (runTool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status != 0)
        return QString();
    writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "2150"));
    return file;
}

// Every CP of the device, device and database bytes.
QByteArray deviceImage(lnssim::NetworkAdmin &admin, int id)
{
    QByteArray out;
    for (const lnssim::CpComparison &c : admin.compareCps(id))
        out += c.name.toUtf8() + c.device + c.database;
    return out;
}

} // namespace

class TestCliOutcomes : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args) { return runTool(f, args, 60000); }

private Q_SLOTS:
    void unreachableDeviceIsACommunicationFailure_data();
    void unreachableDeviceIsACommunicationFailure();
    void monitorLinesAreLabelled_data();
    void monitorLinesAreLabelled();
    void monitorJsonCarriesTheTime();
    void diffOfAnAgreeingControllerAgrees_data();
    void diffOfAnAgreeingControllerAgrees();
    void databaseTroubleIsNamed_data();
    void databaseTroubleIsNamed();
    void fullDiskAtAnyPointIsNamed();
};

void TestCliOutcomes::unreachableDeviceIsACommunicationFailure_data()
{
    QTest::addColumn<QStringList>("args");
    const QString room = objectOf(QStringLiteral("Room205"));
    QTest::newRow("monitor") << QStringList{"monitor", room, "--seconds", "1"};
    QTest::newRow("set-mode") << QStringList{"set-mode", room, "heat"};
    QTest::newRow("set-occupancy") << QStringList{"set-occupancy", room, "standby"};
    QTest::newRow("read") << QStringList{"read", room};
    QTest::newRow("diff") << QStringList{"diff", room};
    QTest::newRow("report") << QStringList{"report", room, "--csv", "OUT"};
}

void TestCliOutcomes::unreachableDeviceIsACommunicationFailure()
{
    QFETCH(QStringList, args);
    ConfigFixture f;
    QVERIFY(!f.admin->device(QStringLiteral("Room205")).state.reachable);
    args.replaceInStrings(QStringLiteral("OUT"), f.env.file(QStringLiteral("report.csv")));
    const Run r = tool(f, args);
    QCOMPARE(r.status, 3);
    QVERIFY2(!r.err.trimmed().isEmpty(), qPrintable(r.out));
    QCOMPARE(f.admin->totals().deviceWrites, 0);
}

void TestCliOutcomes::monitorLinesAreLabelled_data()
{
    QTest::addColumn<bool>("german");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("onOff");
    QTest::newRow("English") << false
                             << QStringList{"Mode", "Setpoint", "Occupancy", "Heating primary", "Heating secondary",
                                            "Cooling", "Economizer", "Fan speed", "Fan level", "Night purge",
                                            "Energy hold-off", "Frost alarm"}
                             << QStringList{"on", "off"};
    QTest::newRow("German") << true
                            << QStringList{"Betriebsart", "Sollwert", "Belegung", "Heizen primär", "Heizen sekundär",
                                           "Kühlen", "Außenluftklappe", "Lüfterdrehzahl", "Lüfterstufe",
                                           "Nachtauskühlung", "Energiesperre", "Frostalarm"}
                            << QStringList{"ein", "aus"};
}

void TestCliOutcomes::monitorLinesAreLabelled()
{
    QFETCH(bool, german);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, onOff);
    ConfigFixture f;
    if (german)
        QVERIFY(platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                          QStringLiteral("1000")));
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    const Run r = tool(f, {QStringLiteral("monitor"), objectOf(QStringLiteral("Room103")), QStringLiteral("--seconds"),
                           QStringLiteral("2")});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    static const QRegularExpression stamp(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)  (.*)$"));
    static const QRegularExpression setpoint(QStringLiteral("^-?\\d+\\.\\d \u00B0C$"));
    static const QRegularExpression percent(QStringLiteral("^(-|\\d+(\\.\\d+)? %)$"));
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = stamp.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const QDateTime at = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY2(at >= started && at <= QDateTime::currentDateTime(), qPrintable(line));
        const QStringList fields = m.captured(2).split(QStringLiteral("; "));
        QCOMPARE(fields.size(), labels.size());
        QStringList values;
        for (int i = 0; i < fields.size(); ++i) {
            QVERIFY2(fields.at(i).startsWith(labels.at(i) + QStringLiteral(": ")), qPrintable(line));
            values << fields.at(i).mid(labels.at(i).size() + 2);
            QVERIFY2(!values.last().isEmpty(), qPrintable(line));
        }
        QVERIFY2(setpoint.match(values.at(1)).hasMatch(), qPrintable(line));
        for (int i = 3; i <= 7; ++i)
            QVERIFY2(percent.match(values.at(i)).hasMatch(), qPrintable(line));
        for (int i = 9; i <= 11; ++i)
            QVERIFY2(onOff.contains(values.at(i)), qPrintable(line));
    }
}

void TestCliOutcomes::monitorJsonCarriesTheTime()
{
    ConfigFixture f;
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    const Run r = tool(f, {QStringLiteral("monitor"), objectOf(QStringLiteral("Room103")), QStringLiteral("--json"),
                           QStringLiteral("--seconds"), QStringLiteral("2")});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    const QStringList keys{"cool",   "economizer",  "energyHoldOff", "fan",        "fanLevel", "frostAlarm", "heatPrimary",
                           "heatSecondary", "mode", "nightPurge",    "occupancy", "setpoint", "time"};
    for (const QString &line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        QCOMPARE(o.keys(), keys);
        const QDateTime at = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        QVERIFY2(at.isValid() && at >= started && at <= QDateTime::currentDateTime(), qPrintable(line));
        // The page's own texts, as before.
        QVERIFY(!o.value(QStringLiteral("mode")).toString().isEmpty());
        QVERIFY(o.value(QStringLiteral("setpoint")).toString().contains(QLatin1Char('.')));
    }
}

void TestCliOutcomes::diffOfAnAgreeingControllerAgrees_data()
{
    QTest::addColumn<QString>("room");
    for (const char *room : {"Room101", "Room102", "Room103", "Room104", "Room105"})
        QTest::newRow(room) << QString::fromLatin1(room);
}

void TestCliOutcomes::diffOfAnAgreeingControllerAgrees()
{
    QFETCH(QString, room);
    ConfigFixture f;
    // Device and database hold the same bytes for every CP: no value can
    // differ, whatever the page logic shows for the controller's kind.
    QVERIFY(f.consistent(f.deviceId(room)));
    const Run r = tool(f, {QStringLiteral("diff"), objectOf(room)});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY(r.out.contains(QStringLiteral("All values agree.")));
    for (const QString &line : r.out.split(QLatin1Char('\n')).mid(1, 40)) {
        const QStringList cols = line.mid(2).split(QLatin1Char('\t'));
        if (cols.size() == 3)
            QCOMPARE(cols.at(1), cols.at(2));
    }
}

void TestCliOutcomes::databaseTroubleIsNamed_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reason");
    QTest::newRow("damaged file, read") << "damaged" << "read" << "the file is damaged or not a database";
    QTest::newRow("damaged file, write") << "damaged" << "write" << "the file is damaged or not a database";
    QTest::newRow("read-only folder and file, write") << "read-only" << "write" << "read-only";
    QTest::newRow("read-only folder and file, monitor") << "read-only" << "monitor" << "read-only";
    QTest::newRow("read-only folder, writable file, write") << "read-only folder" << "write" << "read-only";
    QTest::newRow("full disk, write") << "full" << "write" << "the disk is full";
    QTest::newRow("full disk, report") << "full" << "report" << "the disk is full";
}

void TestCliOutcomes::databaseTroubleIsNamed()
{
    QFETCH(QString, condition);
    QFETCH(QString, command);
    QFETCH(QString, reason);
    if (condition != QLatin1String("damaged") && !namespacesAvailable())
        QSKIP("user namespaces (unshare) are not available: folder and disk conditions cannot be made");
    ConfigFixture f;
    const QString room = QStringLiteral("Room103");
    const int id = f.deviceId(room);
    const QString file = changedFile(f, room);
    QVERIFY(!file.isEmpty());
    QStringList args{command, objectOf(room)};
    if (command == QLatin1String("write"))
        args << file;
    else if (command == QLatin1String("monitor"))
        args << QStringLiteral("--seconds") << QStringLiteral("1");
    else if (command == QLatin1String("report"))
        args << QStringLiteral("--csv") << f.env.file(QStringLiteral("report.csv"));
    const QByteArray before = deviceImage(*f.admin, id);
    const QString db = QDir(f.env.lnsRoot()).filePath(QStringLiteral("Demo.lnsdb"));
    QString where = db;

    Run r;
    if (condition == QLatin1String("damaged")) {
        // Pages of the file overwritten, as a crash of the disk would leave it.
        f.admin->close();
        QFile damaged(db);
        QVERIFY(damaged.open(QIODevice::ReadWrite));
        QVERIFY(damaged.seek(4096));
        QVERIFY(damaged.write(QByteArray(20000, char(0x5a))) == 20000);
        damaged.close();
        r = runProgram(f, TestEnvironment::binDir() + QStringLiteral("/aerolis"), args);
    } else if (condition.startsWith(QLatin1String("read-only"))) {
        // An unprivileged user: the folder (and the file) cannot be written.
        QFile::setPermissions(f.env.path(), QFile::permissions(f.env.path()) | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(file, QFile::permissions(file) | QFile::ReadOther);
        QFile::setPermissions(f.env.lnsRoot(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        const bool fileWritable = condition == QLatin1String("read-only folder");
        QFile::setPermissions(db, QFile::ReadOwner | QFile::ReadOther
                                      | (fileWritable ? QFile::WriteOwner | QFile::WriteOther : QFile::Permissions()));
        r = runInNamespace(f, false, QStringLiteral("exec \"$TOOL\" \"$@\""), args);
        QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(f.env.lnsRoot(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    } else {
        // A small disk holding the network, filled up; the network is
        // copied back out for the check below.
        const QString disk = f.env.file(QStringLiteral("disk"));
        const QString kept = f.env.file(QStringLiteral("kept"));
        QVERIFY(QDir().mkpath(disk) && QDir().mkpath(kept));
        const QString script = QStringLiteral(
            "mount -t tmpfs -o size=1m none \"%1\" || exit 90\n"
            "cp \"%2\" \"%1/\" || exit 91\n"
            "dd if=/dev/zero of=\"%1/filler\" bs=4k >/dev/null 2>&1\n"
            "AEROLIS_LNS_ROOT=\"%1\" \"$TOOL\" \"$@\"; status=$?\n"
            "rm -f \"%1/filler\"; cp \"%1\"/Demo.lnsdb* \"%3/\"\n"
            "exit $status\n")
                                   .arg(disk, db, kept);
        r = runInNamespace(f, true, script, args);
        where = QDir(disk).filePath(QStringLiteral("Demo.lnsdb"));
        lnssim::NetworkAdmin copy(kept, QStringLiteral("Demo"));
        copy.open();
        QCOMPARE(deviceImage(copy, id), before);
    }
    QCOMPARE(r.status, 5);
    const QString line = r.err.trimmed();
    QVERIFY2(!line.contains(QLatin1Char('\n')), qPrintable(r.err));
    QVERIFY2(line.contains(QStringLiteral("Network database failure: ") + QDir::toNativeSeparators(where) + QStringLiteral(": ")),
             qPrintable(r.err));
    QVERIFY2(line.contains(reason), qPrintable(r.err));
    QVERIFY2(!r.out.contains(QStringLiteral("Written: ")), qPrintable(r.out));
    if (condition != QLatin1String("damaged") && condition != QLatin1String("full")) {
        f.admin->open();
        QCOMPARE(deviceImage(*f.admin, id), before);
    }
}

void TestCliOutcomes::fullDiskAtAnyPointIsNamed()
{
    if (!namespacesAvailable())
        QSKIP("user namespaces (unshare) are not available: a small disk cannot be mounted");
    ConfigFixture f;
    const QString room = QStringLiteral("Room103");
    const QString file = changedFile(f, room);
    QVERIFY(!file.isEmpty());
    const QString db = QDir(f.env.lnsRoot()).filePath(QStringLiteral("Demo.lnsdb"));
    const QString disk = f.env.file(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(disk));
    // The disk fills up at a different point of the write for each amount of
    // room left: during the start, while reading, at the commit, or not at
    // all. Whatever the point, the answer is the database's trouble or
    // success, never a device's failure or a refusal.
    const QString script = QStringLiteral(
        "free=$1; shift\n"
        "mount -t tmpfs -o size=2m none \"%1\" || exit 90\n"
        "cp \"%2\" \"%1/\" || exit 91\n"
        "dd if=/dev/zero of=\"%1/filler\" bs=4k >/dev/null 2>&1\n"
        "truncate -s -$((free * 4096)) \"%1/filler\"\n"
        "AEROLIS_LNS_ROOT=\"%1\" \"$TOOL\" \"$@\"\n")
                               .arg(disk, db);
    QList<int> statuses;
    for (int free = 0; free <= 64; free += 4) {
        const Run r = runInNamespace(f, true, script, {QString::number(free), QStringLiteral("write"), objectOf(room), file});
        statuses << r.status;
        QVERIFY2(r.status == 0 || r.status == 5, qPrintable(QStringLiteral("%1 pages free: %2 %3").arg(free).arg(r.status).arg(r.err)));
        if (r.status == 5)
            QVERIFY2(r.err.contains(QStringLiteral("the disk is full")), qPrintable(r.err));
    }
    // The range covers both: a disk too full to work on and one with room.
    QVERIFY(statuses.contains(5));
    QVERIFY(statuses.contains(0));
}

QTEST_MAIN(TestCliOutcomes)
#include "tst_cli_outcomes.moc"
