// `aerolis undo`: a write taken back from the record of writes, byte for
// byte on the device, recorded itself, and the refusals that write nothing.
// The built tool on the demo network in a temporary folder.
#include "toolrun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

const QString kRoom = QStringLiteral("Room101");

// The records of `object` as the tool lists them, newest first.
QJsonArray historyOf(ConfigFixture &f, const QString &object)
{
    const Run r = runTool(f, {QStringLiteral("history"), object, QStringLiteral("--json")}, 60000);
    return QJsonDocument::fromJson(r.out.toUtf8()).array();
}

} // namespace

class TestCliUndo : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args) { return runTool(f, args, 60000); }

    // Writes `values` (file key -> value) to Room101 through the tool; the
    // device's bytes of `cps` as they were before.
    QHash<QString, QByteArray> writeValues(ConfigFixture &f, const QList<QPair<QByteArray, QByteArray>> &values,
                                           const QStringList &cps)
    {
        const int id = f.admin->device(kRoom).id;
        QHash<QString, QByteArray> before;
        for (const QString &cp : cps)
            before.insert(cp, f.admin->deviceCp(id, cp));
        const QString file = f.env.file(QStringLiteral("room101.dat"));
        const Run read = tool(f, {QStringLiteral("read"), objectOf(kRoom), QStringLiteral("-o"), file});
        if (read.status != 0)
            return {};
        QByteArray bytes = fileBytes(file);
        for (const auto &v : values)
            bytes = withValue(bytes, v.first, v.second);
        if (!writeBytes(file, bytes) || tool(f, {QStringLiteral("write"), objectOf(kRoom), file}).status != 0)
            return {};
        return before;
    }

private Q_SLOTS:
    void undoRestoresTheBytesAndIsRecorded();
    void undoSinceATime();
    void dryRunWritesNothing();
    void refusals_data();
    void refusals();
};

// The last write is taken back exactly; the undo is a write of its own in
// the record, and undoing it writes the value again.
void TestCliUndo::undoRestoresTheBytesAndIsRecorded()
{
    ConfigFixture f;
    const int id = f.admin->device(kRoom).id;
    const QHash<QString, QByteArray> before = writeValues(f, {{"OffDelay", "610"}}, {QStringLiteral("OffDelay")});
    QVERIFY(!before.isEmpty());
    const QByteArray written = f.admin->deviceCp(id, QStringLiteral("OffDelay"));
    QVERIFY(written != before.value(QStringLiteral("OffDelay")));
    const int recordsBefore = historyOf(f, objectOf(kRoom)).size();

    Run r = tool(f, {QStringLiteral("undo"), kRoom});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("Restored OffDelay")), qPrintable(r.out));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("OffDelay")), before.value(QStringLiteral("OffDelay")));

    const QJsonArray records = historyOf(f, objectOf(kRoom));
    QVERIFY(records.size() > recordsBefore);
    const QJsonObject newest = records.first().toObject();
    QCOMPARE(newest.value(QStringLiteral("command")).toString(), QStringLiteral("undo Room101"));
    bool offDelayUndone = false;
    for (const QJsonValue &v : records) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("run")) != newest.value(QStringLiteral("run")))
            break;
        if (o.value(QStringLiteral("item")).toString() == QLatin1String("OffDelay"))
            offDelayUndone = true;
    }
    QVERIFY(offDelayUndone);

    // The undo is the newest run now: undoing it brings the write back.
    r = tool(f, {QStringLiteral("undo"), kRoom});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("OffDelay")), written);
}

// Two writes at different times, undone to a time before both.
void TestCliUndo::undoSinceATime()
{
    ConfigFixture f;
    const int id = f.admin->device(kRoom).id;
    const QString start = QDateTime::currentDateTimeUtc().addSecs(-1).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
    const QHash<QString, QByteArray> first = writeValues(f, {{"OffDelay", "610"}}, {QStringLiteral("OffDelay")});
    QVERIFY(!first.isEmpty());
    const QHash<QString, QByteArray> second = writeValues(f, {{"OffDelay", "620"}}, {QStringLiteral("OffDelay")});
    QVERIFY(!second.isEmpty());
    QVERIFY(second.value(QStringLiteral("OffDelay")) != first.value(QStringLiteral("OffDelay")));

    const Run r = tool(f, {QStringLiteral("undo"), kRoom, QStringLiteral("--to"), start});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("OffDelay")), first.value(QStringLiteral("OffDelay")));
}

void TestCliUndo::dryRunWritesNothing()
{
    ConfigFixture f;
    const int id = f.admin->device(kRoom).id;
    QVERIFY(!writeValues(f, {{"OffDelay", "610"}}, {QStringLiteral("OffDelay")}).isEmpty());
    const QByteArray written = f.admin->deviceCp(id, QStringLiteral("OffDelay"));
    const int records = historyOf(f, objectOf(kRoom)).size();
    const qint64 writesBefore = f.admin->counters(id).deviceWrites;

    const Run r = tool(f, {QStringLiteral("undo"), kRoom, QStringLiteral("--dry-run")});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(QStringLiteral("Would restore OffDelay")), qPrintable(r.out));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("OffDelay")), written);
    QCOMPARE(f.admin->counters(id).deviceWrites, writesBefore);
    QCOMPARE(historyOf(f, objectOf(kRoom)).size(), records);
}

// One line each, and the device and the record unchanged.
void TestCliUndo::refusals_data()
{
    QTest::addColumn<bool>("writeFirst");
    QTest::addColumn<bool>("unreachable");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing recorded") << false << false << QStringList{kRoom} << 1
                                      << "No CP write is recorded for Demo.Building.Floor1.Room101";
    QTest::newRow("no write since") << true << false << QStringList{kRoom, "--to", "2999-01-01"} << 1
                                    << "since 2999-01-01; nothing was written.";
    QTest::newRow("not a time") << true << false << QStringList{kRoom, "--to", "soon"} << 2 << "Not a time: soon";
    QTest::newRow("no object") << true << false << QStringList{} << 2 << "Missing argument: OBJECT";
    QTest::newRow("two objects") << true << false << QStringList{kRoom, "Room102"} << 2 << "Too many arguments";
    QTest::newRow("unknown device") << true << false << QStringList{"Room999"} << 1 << "Device not found: Room999";
    QTest::newRow("device not answering") << true << true << QStringList{kRoom} << 3 << "Room101";
}

void TestCliUndo::refusals()
{
    QFETCH(bool, writeFirst);
    QFETCH(bool, unreachable);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    ConfigFixture f;
    const int id = f.admin->device(kRoom).id;
    if (writeFirst)
        QVERIFY(!writeValues(f, {{"OffDelay", "610"}}, {QStringLiteral("OffDelay")}).isEmpty());
    const QByteArray held = f.admin->deviceCp(id, QStringLiteral("OffDelay"));
    const int records = historyOf(f, objectOf(kRoom)).size();
    if (unreachable)
        f.admin->setUnreachable(id, true);

    const Run r = tool(f, QStringList{QStringLiteral("undo")} + args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.err.trimmed().count(QLatin1Char('\n')), status == 2 ? 1 : 0); // usage errors add the usage line
    f.admin->setUnreachable(id, false);
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("OffDelay")), held);
    QCOMPARE(historyOf(f, objectOf(kRoom)).size(), records);
}

QTEST_MAIN(TestCliUndo)
#include "tst_cli_undo.moc"
