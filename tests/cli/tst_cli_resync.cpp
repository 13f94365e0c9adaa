// `aerolis resync`: device and database copy compared across controllers,
// the differing CPs listed with their page values, push and pull bringing
// them in line with their record, the price against the simulator's count of
// device transactions, and a device that does not answer. The built tool on
// the demo network in a temporary folder.
#include "toolrun.h"

#include <lns/rawtext.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kRoom = QStringLiteral("Room101");
const QString kOther = QStringLiteral("Room102");
const QString kUnreachable = QStringLiteral("Room205");
const QString kCp = QStringLiteral("OffDelay");

// The lines below the object's own line that name a CP (indented).
QStringList cpLinesOf(const QString &out, const QString &object)
{
    QStringList lines;
    bool inObject = false;
    for (const QString &l : out.split(QLatin1Char('\n'))) {
        if (!l.startsWith(QLatin1Char(' '))) {
            inObject = l.startsWith(object + QLatin1Char(':'));
            continue;
        }
        if (inObject)
            lines << l.trimmed();
    }
    return lines;
}

// The numbers a price line gives, in order.
QList<qint64> numbersOf(const QString &line)
{
    QList<qint64> out;
    const QRegularExpression number(QStringLiteral("(\\d+)(?:\\.\\d+)?"));
    for (auto it = number.globalMatch(line); it.hasNext();)
        out << it.next().captured(1).toLongLong();
    return out;
}

QJsonArray historyOf(ConfigFixture &f, const QString &object)
{
    const Run r = runTool(f, {QStringLiteral("history"), object, QStringLiteral("--json")}, 60000);
    return QJsonDocument::fromJson(r.out.toUtf8()).array();
}

// The newest record of `cp` in `records` (newest first).
QJsonObject newestOf(const QJsonArray &records, const QString &cp)
{
    for (const QJsonValue &v : records)
        if (v.toObject().value(QStringLiteral("item")).toString() == cp)
            return v.toObject();
    return {};
}

} // namespace

class TestCliResync : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args) { return runTool(f, args, 120000); }

    // Bytes for the CP that neither side holds yet.
    static QByteArray otherBytes(const QByteArray &held)
    {
        QByteArray b = held;
        b[b.size() - 1] = char(quint8(b.back()) + 10);
        return b;
    }

private Q_SLOTS:
    void databaseOnlyWriteIsFoundAndKept();
    void bringsInLine_data();
    void bringsInLine();
    void unreachableDeviceIsOneLine();
    void refusals_data();
    void refusals();
};

// A write that reached only the database shows as exactly that CP, with the
// values as the pages show them; comparing changes neither side, so a second
// run finds it again. The price is what the simulator counted.
void TestCliResync::databaseOnlyWriteIsFoundAndKept()
{
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    const QByteArray device = f.admin->deviceCp(id, kCp);
    const QByteArray database = otherBytes(device);
    f.admin->db().setDatabaseCp(id, kCp, database);
    f.admin->resetCounters();

    // One controller of each kind (Room101 to Room105), and another.
    QStringList rooms;
    for (int i = 1; i <= 6; ++i)
        rooms << QStringLiteral("Room10%1").arg(i);
    for (int pass = 0; pass < 2; ++pass) {
        const Run r = tool(f, QStringList{QStringLiteral("resync")} + rooms);
        QVERIFY2(r.status == 6, qPrintable(r.out + r.err));
        const QStringList lines = cpLinesOf(r.out, objectOf(kRoom));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(kCp + QLatin1Char('\t')), qPrintable(lines.first()));
        // Page values with their unit, not bytes: 600 and 610 scaled.
        QVERIFY2(lines.first().contains(QStringLiteral("device: ")) && lines.first().contains(QStringLiteral("database: ")),
                 qPrintable(lines.first()));
        QVERIFY2(!lines.first().contains(lns::formatDecimal(database)), qPrintable(lines.first()));
        QVERIFY2(cpLinesOf(r.out, objectOf(kOther)).isEmpty(), qPrintable(r.out));
        QVERIFY2(lineWith(r.out, objectOf(kOther)).contains(QStringLiteral("agree")), qPrintable(r.out));
        QCOMPARE(f.admin->databaseCp(id, kCp), database);
        QCOMPARE(f.admin->deviceCp(id, kCp), device);

        // The price before the run: the CP reads the simulator counted.
        const QList<qint64> price = numbersOf(lineWith(r.out, QStringLiteral("Resync of")));
        QVERIFY2(price.size() >= 2, qPrintable(r.out));
        QCOMPARE(price.at(0), rooms.size());
        const lnssim::Counters counted = f.admin->totals();
        QCOMPARE(price.at(1), counted.deviceReads);
        QCOMPARE(counted.deviceWrites, 0);
        f.admin->resetCounters();
    }
}

// --push writes the database values into the device, --pull takes the
// device values into the database; either way both sides hold the changed
// side's bytes, and the change is recorded by the tool's resync command.
void TestCliResync::bringsInLine_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("databaseChanged");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("push") << QStringLiteral("--push") << true << QStringLiteral("written");
    QTest::newRow("pull") << QStringLiteral("--pull") << false << QStringLiteral("database only");
}

void TestCliResync::bringsInLine()
{
    QFETCH(QString, flag);
    QFETCH(bool, databaseChanged);
    QFETCH(QString, outcome);
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    const QByteArray held = f.admin->deviceCp(id, kCp);
    const QByteArray changed = otherBytes(held);
    if (databaseChanged)
        f.admin->db().setDatabaseCp(id, kCp, changed);
    else
        f.admin->setDeviceCp(id, kCp, changed);
    f.admin->resetCounters();

    const Run r = tool(f, {QStringLiteral("resync"), kRoom, kOther, flag});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(cpLinesOf(r.out, objectOf(kRoom)).size(), 1);
    QCOMPARE(f.admin->deviceCp(id, kCp), changed);
    QCOMPARE(f.admin->databaseCp(id, kCp), changed);
    QVERIFY(f.consistent(id));
    QVERIFY(f.consistent(f.deviceId(kOther)));

    // What was priced is what the devices saw: the comparison's reads, and
    // for a push the second read of the differing controller and its write.
    qint64 reads = numbersOf(lineWith(r.out, QStringLiteral("Resync of"))).value(1, -1);
    qint64 writes = 0;
    if (databaseChanged) {
        const QList<qint64> push = numbersOf(lineWith(r.out, QStringLiteral("Writing the database values")));
        QVERIFY2(push.size() >= 3, qPrintable(r.out));
        QCOMPARE(push.at(0), 1);
        reads += push.at(1);
        writes = push.at(2);
        QCOMPARE(writes, 1);
    }
    const lnssim::Counters counted = f.admin->totals();
    QCOMPARE(counted.deviceReads, reads);
    QCOMPARE(counted.deviceWrites, writes);

    const QJsonObject record = newestOf(historyOf(f, objectOf(kRoom)), kCp);
    QCOMPARE(record.value(QStringLiteral("tool")).toString(), QStringLiteral("aerolis"));
    QVERIFY2(record.value(QStringLiteral("command")).toString().startsWith(QStringLiteral("resync ")),
             qPrintable(record.value(QStringLiteral("command")).toString()));
    QCOMPARE(record.value(QStringLiteral("before")).toString(), lns::formatDecimal(held));
    QCOMPARE(record.value(QStringLiteral("after")).toString(), lns::formatDecimal(changed));
    QCOMPARE(record.value(QStringLiteral("outcome")).toString(), outcome);

    // In line now: nothing left to find.
    const Run again = tool(f, {QStringLiteral("resync"), kRoom});
    QVERIFY2(again.status == 0, qPrintable(again.out + again.err));
}

// A controller that does not answer is one line; the others are compared
// and pushed all the same, and the run is partly done.
void TestCliResync::unreachableDeviceIsOneLine()
{
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    const QByteArray changed = otherBytes(f.admin->deviceCp(id, kCp));
    f.admin->db().setDatabaseCp(id, kCp, changed);
    const int lost = f.deviceId(kUnreachable);
    QVERIFY(f.admin->faults(lost).unreachable);

    const Run r = tool(f, {QStringLiteral("resync"), kUnreachable, kRoom, QStringLiteral("--push")});
    QVERIFY2(r.status == 4, qPrintable(r.out + r.err));
    QStringList about;
    for (const QString &l : r.out.split(QLatin1Char('\n')))
        if (l.contains(objectOf(kUnreachable)))
            about << l;
    QCOMPARE(about.size(), 1);
    QVERIFY2(about.first().startsWith(objectOf(kUnreachable) + QStringLiteral(": not compared: ")), qPrintable(about.first()));
    QVERIFY2(lineWith(r.out, QStringLiteral("controller(s) compared")).contains(QStringLiteral("1 not reached")),
             qPrintable(r.out));
    QCOMPARE(f.admin->deviceCp(id, kCp), changed);
}

void TestCliResync::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("push and pull") << QStringList{kRoom, "--push", "--pull"} << 2
                                   << "--push and --pull cannot be given together.";
    QTest::newRow("nothing chosen") << QStringList{} << 2 << "OBJECT";
    QTest::newRow("no such room") << QStringList{"Room999"} << 1 << "Room999";
    QTest::newRow("bad lane count") << QStringList{kRoom, "--per-channel", "0"} << 2 << "--per-channel";
}

// Refused before any device is read: one line, nothing changed.
void TestCliResync::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    ConfigFixture f;
    const int id = f.deviceId(kRoom);
    const QByteArray changed = otherBytes(f.admin->deviceCp(id, kCp));
    f.admin->db().setDatabaseCp(id, kCp, changed);
    f.admin->resetCounters();
    const Run r = tool(f, QStringList{QStringLiteral("resync")} + args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(f.admin->totals().transactions(), 0);
    QCOMPARE(f.admin->databaseCp(id, kCp), changed);
}

QTEST_MAIN(TestCliResync)
#include "tst_cli_resync.moc"
