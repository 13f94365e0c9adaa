// `aerolis history`: what a write through the tool leaves in the network
// database's record, as the tool lists it, and the command's refusals. The
// built tool on the demo network in a temporary folder.
#include "toolrun.h"

#include <host/hoststate.h>
#include <params/paramcollection.h>
#include <params/paramtextbox.h>
#include <platform/registry.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

QString rawBytes(const QByteArray &bytes)
{
    QStringList parts;
    for (char c : bytes)
        parts << QString::number(quint8(c));
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestCliHistory : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args) { return runTool(f, args, 60000); }

private Q_SLOTS:
    void writeLeavesItsRecord();
    void listingForms_data();
    void listingForms();
    void valuesAsThePagesShowThem_data();
    void valuesAsThePagesShowThem();
    void refusals_data();
    void refusals();
};

// A changed value written by the tool: every CP it wrote is listed with the
// bytes the device held before and holds now, the other controllers have no
// record, and a read leaves none.
void TestCliHistory::writeLeavesItsRecord()
{
    ConfigFixture f;
    const QString room101 = objectOf(QStringLiteral("Room101"));
    const QString file = f.env.file(QStringLiteral("room101.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), room101, QStringLiteral("-o"), file}).status, 0);
    Run r = tool(f, {QStringLiteral("history"), room101, QStringLiteral("--json")});
    QCOMPARE(r.status, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 0);

    const int id = f.admin->device(QStringLiteral("Room101")).id;
    const QByteArray offDelayBefore = f.admin->deviceCp(id, QStringLiteral("OffDelay"));
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "OffDelay", "610")));
    r = tool(f, {QStringLiteral("write"), room101, file});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));

    r = tool(f, {QStringLiteral("history"), QStringLiteral("Room101"), QStringLiteral("--json")});
    QCOMPARE(r.status, 0);
    const QJsonArray records = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QVERIFY2(!records.isEmpty(), qPrintable(r.out));
    bool offDelaySeen = false;
    for (const QJsonValue &v : records) {
        const QJsonObject o = v.toObject();
        QCOMPARE(o.value(QStringLiteral("device")).toString(), QStringLiteral("Demo.Building.Floor1.Room101"));
        QCOMPARE(o.value(QStringLiteral("tool")).toString(), QStringLiteral("aerolis"));
        QVERIFY(o.value(QStringLiteral("command")).toString().startsWith(QLatin1String("write ")));
        // The application the write loaded and its note in the object's
        // extension data go with the CPs.
        const QString kind = o.value(QStringLiteral("kind")).toString();
        QVERIFY2(QStringList({"cp", "application", "extension"}).contains(kind), qPrintable(kind));
        if (kind != QLatin1String("cp"))
            continue;
        // Written to the device, or the database copy taking over what the
        // device holds: either way the device holds the bytes recorded.
        const QString cp = o.value(QStringLiteral("item")).toString();
        QCOMPARE(o.value(QStringLiteral("after")).toString(), rawBytes(f.admin->deviceCp(id, cp)));
        if (cp == QLatin1String("OffDelay")) {
            offDelaySeen = true;
            QCOMPARE(o.value(QStringLiteral("outcome")).toString(), QStringLiteral("written"));
            QCOMPARE(o.value(QStringLiteral("before")).toString(), rawBytes(offDelayBefore));
            QVERIFY(o.value(QStringLiteral("before")) != o.value(QStringLiteral("after")));
        }
    }
    QVERIFY(offDelaySeen);
    r = tool(f, {QStringLiteral("history"), objectOf(QStringLiteral("Room102")), QStringLiteral("--json")});
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), 0);
    r = tool(f, {QStringLiteral("history"), QStringLiteral("--network"), QStringLiteral("Demo"), QStringLiteral("--json")});
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).array().size(), records.size());
}

void TestCliHistory::listingForms_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<bool>("german");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<bool>("recordsListed");
    QTest::newRow("table") << QStringList{} << false
                           << "Time\tObject\tItem\tBefore\tAfter\tOutcome\tUser\tCommand" << true;
    QTest::newRow("table in German") << QStringList{} << true
                                     << "Zeit\tObjekt\tElement\tVorher\tNachher\tErgebnis\tBenutzer\tBefehl" << true;
    QTest::newRow("since a date to come") << QStringList{"--since", "2999-01-01"} << false
                                          << "No write is recorded for Demo.Building.Floor1.Room101.Controller."
                                          << false;
    QTest::newRow("since a past time, UTC") << QStringList{"--since", "2000-01-01T00:00Z"} << false
                                            << "Time\tObject\tItem\tBefore\tAfter\tOutcome\tUser\tCommand" << true;
}

void TestCliHistory::listingForms()
{
    QFETCH(QStringList, extra);
    QFETCH(bool, german);
    QFETCH(QString, firstLine);
    QFETCH(bool, recordsListed);
    ConfigFixture f;
    const QString room101 = objectOf(QStringLiteral("Room101"));
    const QString file = f.env.file(QStringLiteral("room101.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), room101, QStringLiteral("-o"), file}).status, 0);
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "OffDelay", "610")));
    QCOMPARE(tool(f, {QStringLiteral("write"), room101, file}).status, 0);
    if (german)
        QVERIFY(platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                          QStringLiteral("1000")));
    const Run r = tool(f, QStringList{QStringLiteral("history"), room101} + extra);
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), firstLine);
    QCOMPARE(lines.size() > 1, recordsListed);
    if (recordsListed) {
        for (const QString &line : lines.mid(1)) {
            const QStringList columns = line.split(QLatin1Char('\t'));
            QCOMPARE(columns.size(), 8);
            QVERIFY2(columns.at(1).startsWith(QLatin1String("Demo.Building.Floor1.Room101")), qPrintable(line));
            QVERIFY2(columns.at(7).startsWith(QLatin1String("aerolis write ")), qPrintable(line));
        }
        QVERIFY2(r.out.contains(QStringLiteral("\tOffDelay\t")), qPrintable(r.out));
    }
}

// The values of a record as the controller's page shows them: the caption,
// the text and the unit the window shows for the written value; bytes, with
// one line saying why, when the controller cannot be opened. The JSON keeps
// the bytes beside the shown texts.
void TestCliHistory::valuesAsThePagesShowThem_data()
{
    QTest::addColumn<bool>("reachable");
    QTest::newRow("controller answers") << true;
    QTest::newRow("controller does not answer") << false;
}

void TestCliHistory::valuesAsThePagesShowThem()
{
    QFETCH(bool, reachable);
    ConfigFixture f;
    const QString room101 = objectOf(QStringLiteral("Room101"));
    const QString file = f.env.file(QStringLiteral("room101.dat"));
    const int id = f.admin->device(QStringLiteral("Room101")).id;
    QCOMPARE(tool(f, {QStringLiteral("read"), room101, QStringLiteral("-o"), file}).status, 0);
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "OffDelay", "610")));
    QCOMPARE(tool(f, {QStringLiteral("write"), room101, file}).status, 0);
    const QByteArray written = f.admin->deviceCp(id, QStringLiteral("OffDelay"));

    // What the window shows for it.
    f.start(QStringLiteral("Room101"));
    QVERIFY(f.config());
    const auto offDelay = f.config()->Parameters().TextBoxParameterByName(QStringLiteral("OffDelay"));
    QVERIFY(offDelay && offDelay->TextBoxControl());
    const QString shown = offDelay->TextBoxControl()->text() + QLatin1Char(' ') + offDelay->UnitMnemonic();
    QVERIFY(!offDelay->UnitMnemonic().isEmpty());
    f.win->setParametersChanged(false);
    host::state().mainWindow.reset();
    f.win.reset();
    if (!reachable)
        f.admin->setUnreachable(id, true);

    const Run r = tool(f, {QStringLiteral("history"), room101});
    QCOMPARE(r.status, 0);
    QString after;
    for (const QString &line : r.out.split(QLatin1Char('\n'))) {
        const QStringList columns = line.split(QLatin1Char('\t'));
        if (columns.size() == 8 && columns.at(2) == QLatin1String("OffDelay"))
            after = columns.at(4);
    }
    if (reachable) {
        QVERIFY2(after.endsWith(QStringLiteral(": ") + shown), qPrintable(after + QStringLiteral(" / ") + shown));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    } else {
        QCOMPARE(after, rawBytes(written));
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY2(r.err.startsWith(room101 + QStringLiteral(" could not be opened; values are shown as bytes")),
                 qPrintable(r.err));
    }

    const Run json = tool(f, {QStringLiteral("history"), room101, QStringLiteral("--json")});
    QCOMPARE(json.status, 0);
    bool seen = false;
    for (const QJsonValue &v : QJsonDocument::fromJson(json.out.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("item")).toString() != QLatin1String("OffDelay"))
            continue;
        seen = true;
        QCOMPARE(o.value(QStringLiteral("after")).toString(), rawBytes(written));
        QCOMPARE(o.value(QStringLiteral("afterShown")).toString(), after);
    }
    QVERIFY(seen);
}

void TestCliHistory::refusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QString room101 = objectOf(QStringLiteral("Room101"));
    QTest::newRow("nothing named") << QStringList{} << 2 << "Missing argument: OBJECT | --network NAME";
    QTest::newRow("object and network") << QStringList{room101, "--network", "Demo"} << 2
                                        << "Missing argument: OBJECT | --network NAME";
    QTest::newRow("two objects") << QStringList{room101, room101} << 2 << "Too many arguments";
    QTest::newRow("not a time") << QStringList{room101, "--since", "yesterday"} << 2 << "Not a time: yesterday";
    QTest::newRow("not a date") << QStringList{room101, "--since", "2026-13-01"} << 2 << "Not a time: 2026-13-01";
    QTest::newRow("unknown option") << QStringList{room101, "--all"} << 2 << "Unknown option: --all";
    QTest::newRow("unknown device") << QStringList{"Room999"} << 1 << "Device not found: Room999";
    QTest::newRow("unknown network") << QStringList{"--network", "Nowhere"} << 1 << "Unknown network: Nowhere";
}

void TestCliHistory::refusals()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    ConfigFixture f;
    const Run r = tool(f, QStringList{QStringLiteral("history")} + args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

QTEST_MAIN(TestCliHistory)
#include "tst_cli_history.moc"
