// The `aerolis` tool end to end: the built executable against the simulated
// demo network in a temporary folder, compared with the window started on
// the same network in this process.
#include "toolrun.h"

#include <cli/commands.h>
#include <cli/paramview.h>
#include <host/hoststate.h>
#include <lnssim/networkadmin.h>
#include <params/paramfile.h>
#include <platform/registry.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>


class TestCli : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args) { return runTool(f, args, 60000); }

    // A fresh demo controller of kinds 1 and 2 carries no application record
    // yet: its first write loads the application the record names. Bring
    // the device there first, as any first commissioning would.
    void settle(ConfigFixture &f, const QString &room)
    {
        const QString file = f.env.file(QStringLiteral("settle.dat"));
        QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status, 0);
        QCOMPARE(tool(f, {QStringLiteral("write"), objectOf(room), file}).status, 0);
    }


private Q_SLOTS:
    void usageAndRefusals_data();
    void usageAndRefusals();
    void readGivesTheWindowsFile_data();
    void readGivesTheWindowsFile();
    void readJsonAgreesWithTheWindow_data();
    void readJsonAgreesWithTheWindow();
    void writeOfTheReadFileWritesNothing_data();
    void writeOfTheReadFileWritesNothing();
    void changedFileWritesExactlyTheChangedCp_data();
    void changedFileWritesExactlyTheChangedCp();
    void dryRunWritesNothing();
    void outOfRangeFileIsRefused();
    void diffShowsADatabaseOnlyWrite();
    void diffOfTwoFiles_data();
    void diffOfTwoFiles();
    void controlItems_data();
    void controlItems();
    void setOccupancyReachesTheDevice();
    void monitorPrintsUpdates();
};

void TestCli::usageAndRefusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errPart");
    QTest::addColumn<bool>("german");
    const QString obj = objectOf(QStringLiteral("Room101"));
    QTest::newRow("no command") << QStringList{} << 2 << "Missing argument: COMMAND" << false;
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "Unknown command: frobnicate" << false;
    QTest::newRow("read without object") << QStringList{"read"} << 2 << "Missing argument: OBJECT" << false;
    QTest::newRow("unknown option") << QStringList{"read", obj, "--bogus"} << 2 << "Unknown option: --bogus" << false;
    QTest::newRow("-o without file") << QStringList{"read", obj, "-o"} << 2 << "Missing argument: -o" << false;
    QTest::newRow("write without file") << QStringList{"write", obj} << 2 << "Missing argument: FILE" << false;
    QTest::newRow("monitor seconds not a number") << QStringList{"monitor", obj, "--seconds", "x"} << 2 << "Not a number: x" << false;
    QTest::newRow("object not in network") << QStringList{"read", "Demo.Building.Floor1.Room999.Controller"} << 1
                                           << "Device not found: Room999 in Demo.Building.Floor1." << false;
    QTest::newRow("network not there") << QStringList{"read", "Nowhere.Building.Floor1.Room101.Controller"} << 1
                                       << "Network not found: Nowhere." << false;
    QTest::newRow("file missing") << QStringList{"write", obj, "/nonexistent/x.dat"} << 1
                                  << "The selected file cannot be opened." << false;
    QTest::newRow("unknown mode") << QStringList{"set-mode", obj, "sideways"} << 1 << "Unknown mode: sideways" << false;
    QTest::newRow("unreachable device") << QStringList{"read", objectOf(QStringLiteral("Room205"))} << 3
                                        << "Communication with device failed." << false;
    // The same texts in the configured language.
    QTest::newRow("German: unknown command") << QStringList{"frobnicate"} << 2 << "Unbekannter Befehl: frobnicate" << true;
    QTest::newRow("German: missing argument") << QStringList{"write", obj} << 2 << "Fehlendes Argument: FILE" << true;
    QTest::newRow("German: not a number") << QStringList{"monitor", obj, "--seconds", "x"} << 2 << "Keine Zahl: x" << true;
    QTest::newRow("German: unknown mode") << QStringList{"set-mode", obj, "sideways"} << 1 << "Unbekannte Betriebsart: sideways"
                                          << true;
    QTest::newRow("German: object not in network") << QStringList{"read", "Demo.Building.Floor1.Room999.Controller"} << 1
                                                   << "Gerät nicht gefunden: Room999 in Demo.Building.Floor1." << true;
    QTest::newRow("German: file missing") << QStringList{"write", obj, "/nonexistent/x.dat"} << 1
                                          << "Die ausgewählte Datei kann nicht geöffnet werden." << true;
}

void TestCli::usageAndRefusals()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, errPart);
    QFETCH(bool, german);
    ConfigFixture f;
    if (german)
        QVERIFY(platform::Registry::write(host::kFamilyKey, QStringLiteral("Options"), QStringLiteral("Language"),
                                          QStringLiteral("1000")));
    const Run r = tool(f, args);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(errPart), qPrintable(r.err));
    // A refusal writes nothing.
    QCOMPARE(f.admin->totals().deviceWrites, 0);
}

void TestCli::readGivesTheWindowsFile_data()
{
    QTest::addColumn<QString>("room");
    for (const char *room : {"Room101", "Room102", "Room103", "Room104", "Room105"})
        QTest::newRow(room) << QString::fromLatin1(room);
}

void TestCli::readGivesTheWindowsFile()
{
    QFETCH(QString, room);
    ConfigFixture f;
    const QString file = f.env.file(QStringLiteral("read.dat"));
    const Run r = tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file});
    QCOMPARE(r.status, 0);
    // The window's save of the same controller.
    f.start(room);
    QVERIFY(f.config());
    const QString saved = f.env.file(QStringLiteral("saved.dat"));
    // As the window's save command: the check first, then the file.
    QVERIFY(f.config()->checkValues());
    QVERIFY(f.config()->Parameters().WriteToFile(saved, params::kDataFilePlugInName,
                                                 host::state().conn.device->programId(), params::kDataFileVersion));
    QCOMPARE(QString::fromLatin1(fileBytes(file)).split(QLatin1Char('\n')),
             QString::fromLatin1(fileBytes(saved)).split(QLatin1Char('\n')));
    // Without -o the same bytes go to standard output.
    const Run toStdout = tool(f, {QStringLiteral("read"), objectOf(room)});
    QCOMPARE(toStdout.status, 0);
    QCOMPARE(toStdout.out.toLatin1(), fileBytes(saved));
}

void TestCli::readJsonAgreesWithTheWindow_data() { readGivesTheWindowsFile_data(); }

void TestCli::readJsonAgreesWithTheWindow()
{
    QFETCH(QString, room);
    ConfigFixture f;
    const Run r = tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("--json")});
    QCOMPARE(r.status, 0);
    const QJsonArray list = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("parameters")).toArray();
    f.start(room);
    params::cParams &p = f.config()->Parameters();
    QCOMPARE(list.size(), p.AllParameters().size());
    int compared = 0;
    for (const QJsonValue &v : list) {
        const QJsonObject o = v.toObject();
        const QString name = o.value(QStringLiteral("name")).toString();
        const QString kind = o.value(QStringLiteral("kind")).toString();
        const QString shown = o.value(QStringLiteral("text")).toString();
        // What the window's controls show, read from the controls themselves.
        if (kind == QLatin1String("text-box")) {
            auto x = p.TextBoxParameterByName(name);
            QVERIFY2(x, qPrintable(name));
            QCOMPARE(shown, x->TextBoxControl()->text());
            QCOMPARE(o.value(QStringLiteral("unit")).toString(), x->UnitMnemonic());
            QCOMPARE(o.value(QStringLiteral("value")).toString(), QString::number(x->Value()));
            ++compared;
        } else if (kind == QLatin1String("combo-box")) {
            auto x = p.ComboBoxParameterByName(name);
            QVERIFY2(x, qPrintable(name));
            QCOMPARE(shown, x->ComboBoxControl()->currentText());
            ++compared;
        } else if (kind == QLatin1String("check-box")) {
            auto x = p.CheckBoxParameterByName(name);
            QVERIFY2(x, qPrintable(name));
            QCOMPARE(shown == QLatin1String("[x]"), x->CheckBoxControl()->isChecked());
            ++compared;
        } else {
            auto x = p.ParameterAllByName(name);
            QVERIFY2(x, qPrintable(name));
            ++compared;
        }
        // The CP's bytes are the device's.
        const QJsonArray bytes = o.value(QStringLiteral("cpBytes")).toArray();
        if (o.value(QStringLiteral("available")).toBool() && !bytes.isEmpty()) {
            const QByteArray device = f.admin->deviceCp(f.deviceId(room), o.value(QStringLiteral("cp")).toString());
            QByteArray got;
            for (const QJsonValue &b : bytes)
                got.append(char(b.toInt()));
            QCOMPARE(got, device);
        }
    }
    QVERIFY(compared > 20);
}

void TestCli::writeOfTheReadFileWritesNothing_data() { readGivesTheWindowsFile_data(); }

void TestCli::writeOfTheReadFileWritesNothing()
{
    QFETCH(QString, room);
    ConfigFixture f;
    settle(f, room);
    const QString file = f.env.file(QStringLiteral("read.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status, 0);
    f.admin->resetCounters();
    const Run r = tool(f, {QStringLiteral("write"), objectOf(room), file});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(f.admin->counters(f.deviceId(room)).deviceWrites, 0);
    QCOMPARE(f.admin->counters(f.deviceId(room)).downloads, 0);
    QVERIFY2(r.out.contains(QStringLiteral("Result: nothing to write")), qPrintable(r.out));
    QVERIFY(!r.out.contains(QStringLiteral("Written: ")));
}

void TestCli::changedFileWritesExactlyTheChangedCp_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("cp");
    QTest::newRow("comfort heating setpoint, kind 1") << "Room101" << QByteArray("HeatSetpointComfort") << QByteArray("2150") << "";
    QTest::newRow("comfort heating setpoint, kind 3") << "Room103" << QByteArray("HeatSetpointComfort") << QByteArray("2150") << "";
    QTest::newRow("comfort heating setpoint, kind 5") << "Room105" << QByteArray("HeatSetpointComfort") << QByteArray("2150") << "";
}

void TestCli::changedFileWritesExactlyTheChangedCp()
{
    QFETCH(QString, room);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    ConfigFixture f;
    settle(f, room);
    const QString file = f.env.file(QStringLiteral("read.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status, 0);
    const QByteArray original = fileBytes(file);
    QVERIFY2(original.contains(key + " = "), original.constData());
    const QByteArray changed = withValue(original, key, value);
    QVERIFY(changed != original);
    QVERIFY(writeBytes(file, changed));

    f.admin->resetCounters();
    const Run r = tool(f, {QStringLiteral("write"), objectOf(room), file});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    const int id = f.deviceId(room);
    QCOMPARE(f.admin->counters(id).deviceWrites, 1);
    const QStringList written = r.out.split(QLatin1Char('\n')).filter(QStringLiteral("Written: "));
    QCOMPARE(written.size(), 1);
    QVERIFY(f.consistent(id));
    // Read back: the device holds the file's value.
    const Run again = tool(f, {QStringLiteral("read"), objectOf(room)});
    QVERIFY(again.out.toLatin1().contains(key + " = " + value));
}

void TestCli::dryRunWritesNothing()
{
    ConfigFixture f;
    const QString room = QStringLiteral("Room103");
    const QString file = f.env.file(QStringLiteral("read.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status, 0);
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "2150")));
    const int id = f.deviceId(room);
    f.admin->resetCounters();
    const Run r = tool(f, {QStringLiteral("write"), objectOf(room), file, QStringLiteral("--dry-run")});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(f.admin->counters(id).deviceWrites, 0);
    QCOMPARE(r.out.split(QLatin1Char('\n')).filter(QStringLiteral("Would write: ")).size(), 1);
    QVERIFY(r.out.contains(QStringLiteral("Result: dry run, nothing written.")));
    // The model's cost of what would be written is given.
    QVERIFY(lineWith(r.out, QStringLiteral("Modelled channel time:")).contains(QStringLiteral("for 1 CP writes")));
    // A real write afterwards sends the same CP.
    const Run w = tool(f, {QStringLiteral("write"), objectOf(room), file});
    const QString would = lineWith(r.out, QStringLiteral("Would write: ")).section(QLatin1Char(' '), 2, 2);
    QVERIFY(lineWith(w.out, QStringLiteral("Written: ")).contains(would));
}

void TestCli::outOfRangeFileIsRefused()
{
    ConfigFixture f;
    const QString room = QStringLiteral("Room103");
    const QString file = f.env.file(QStringLiteral("read.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status, 0);
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "99000")));
    f.admin->resetCounters();
    const Run r = tool(f, {QStringLiteral("write"), objectOf(room), file});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("HeatSetpointComfort = 99000 in the file: allowed 500 to 5000")), qPrintable(r.err));
    QCOMPARE(f.admin->counters(f.deviceId(room)).deviceWrites, 0);
    // A foreign file is refused as the window refuses it.
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "PlugInName", "other")));
    const Run foreign = tool(f, {QStringLiteral("write"), objectOf(room), file});
    QCOMPARE(foreign.status, 1);
    QVERIFY2(foreign.err.contains(QStringLiteral("not valid for this plug-in")), qPrintable(foreign.err));
}

void TestCli::diffShowsADatabaseOnlyWrite()
{
    ConfigFixture f;
    const QString room = QStringLiteral("Room103");
    const int id = f.deviceId(room);
    const QString file = f.env.file(QStringLiteral("read.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status, 0);
    const Run same = tool(f, {QStringLiteral("diff"), objectOf(room), file});
    QVERIFY2(same.status == 0, qPrintable(same.out + same.err));
    QVERIFY(same.out.contains(QStringLiteral("All values agree.")));

    // A write that reached the database only: the device keeps its old bytes.
    QString cp;
    QByteArray before;
    const Run json = tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("--json")});
    for (const QJsonValue &v : QJsonDocument::fromJson(json.out.toUtf8()).object().value(QStringLiteral("parameters")).toArray()) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("name")).toString() == QLatin1String("HeatSetpointComfort")) {
            cp = o.value(QStringLiteral("cp")).toString();
            for (const QJsonValue &b : o.value(QStringLiteral("cpBytes")).toArray())
                before.append(char(b.toInt()));
        }
    }
    QVERIFY(!cp.isEmpty() && !before.isEmpty());
    QVERIFY(writeBytes(file, withValue(fileBytes(file), "HeatSetpointComfort", "2150")));
    QCOMPARE(tool(f, {QStringLiteral("write"), objectOf(room), file}).status, 0);
    QVERIFY(f.admin->databaseCp(id, cp) != before);
    f.admin->setDeviceCp(id, cp, before);
    QVERIFY(f.admin->databaseCp(id, cp) != before);
    QCOMPARE(f.admin->deviceCp(id, cp), before);

    const Run r = tool(f, {QStringLiteral("diff"), objectOf(room), file});
    QCOMPARE(r.status, 6);
    const QString marked = lineWith(r.out, QStringLiteral("HeatSetpointComfort"));
    QVERIFY2(marked.startsWith(QLatin1String("* ")), qPrintable(r.out));
    const QStringList cols = marked.mid(2).split(QLatin1Char('\t'));
    QCOMPARE(cols.size(), 4);
    // As the page shows them: text and unit.
    QCOMPARE(cols.at(2), QString::fromUtf8("21.5 °C")); // database
    QCOMPARE(cols.at(3), QString::fromUtf8("21.5 °C")); // file
    QVERIFY(cols.at(1) != cols.at(2));                  // device
    QVERIFY(r.out.contains(QStringLiteral("1 values differ.")));

    // Only the differing row. The diff's start read the device, which
    // brought the database copy up to it: the database-only write is staged
    // again.
    QCOMPARE(tool(f, {QStringLiteral("write"), objectOf(room), file}).status, 0);
    f.admin->setDeviceCp(id, cp, before);
    const Run only = tool(f, {QStringLiteral("diff"), objectOf(room), file, QStringLiteral("--only-differences")});
    QCOMPARE(only.status, 6);
    const QStringList lines = only.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(1), marked);
}

void TestCli::diffOfTwoFiles_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value"); // empty: the key left out of the second file
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("row"); // the marked row; empty: none
    QTest::addColumn<int>("lines");   // lines of output
    QTest::newRow("same") << QByteArray("OffDelay") << QByteArray("600") << QStringList{} << 0 << QString() << -1;
    QTest::newRow("one value") << QByteArray("OffDelay") << QByteArray("610") << QStringList{} << 6
                               << "* OffDelay\t600\t610" << -1;
    QTest::newRow("one value, only differences") << QByteArray("OffDelay") << QByteArray("610")
                                                 << QStringList{"--only-differences"} << 6
                                                 << "* OffDelay\t600\t610" << 3;
    QTest::newRow("key case") << QByteArray("offdelay") << QByteArray("600") << QStringList{"--only-differences"} << 0
                              << QString() << 2;
    QTest::newRow("key missing") << QByteArray("OffDelay") << QByteArray() << QStringList{"--only-differences"} << 6
                                 << "* OffDelay\t600\t-" << 3;
}

// Two parameter files, key by key, in the files' own form.
void TestCli::diffOfTwoFiles()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QStringList, extra);
    QFETCH(int, status);
    QFETCH(QString, row);
    QFETCH(int, lines);
    ConfigFixture f;
    const QString first = f.env.file(QStringLiteral("a.dat"));
    const QString second = f.env.file(QStringLiteral("b.dat"));
    QCOMPARE(tool(f, {QStringLiteral("read"), objectOf(QStringLiteral("Room101")), QStringLiteral("-o"), first}).status, 0);
    const QByteArray bytes = fileBytes(first);
    QVERIFY(bytes.contains("\nOffDelay = 600\r\n"));
    QByteArray other = bytes;
    if (value.isEmpty())
        other.replace("\nOffDelay = 600\r\n", "\n");
    else
        other.replace("\nOffDelay = 600\r\n", "\n" + key + " = " + value + "\r\n");
    QVERIFY(writeBytes(second, other));
    const qint64 readsBefore = f.admin->totals().deviceReads;
    const Run r = tool(f, QStringList{QStringLiteral("diff"), first, second} + extra);
    QVERIFY2(r.status == status, qPrintable(r.out + r.err));
    const QStringList out = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(out.first(), QStringLiteral("  Parameter\t%1\t%2").arg(first, second));
    QCOMPARE(out.filter(QRegularExpression(QStringLiteral("^\\* "))), row.isEmpty() ? QStringList() : QStringList{row});
    if (lines >= 0)
        QCOMPARE(out.size(), lines);
    QCOMPARE(out.last(), status == 0 ? QStringLiteral("All values agree.") : QStringLiteral("1 values differ."));
    // Files alone: no device was asked.
    QCOMPARE(f.admin->totals().deviceReads, readsBefore);
}

void TestCli::controlItems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("occupancy");
    QTest::addColumn<int>("data");
    QTest::newRow("mode by English name") << "heat" << false << 1;
    QTest::newRow("mode by German name") << "Kühlen" << false << 3;
    QTest::newRow("mode by number") << "6" << false << 6;
    QTest::newRow("mode, case ignored") << "Night Purge" << false << 4;
    QTest::newRow("mode unknown") << "sideways" << false << -1;
    QTest::newRow("mode number outside the list") << "7" << false << -1;
    QTest::newRow("occupancy standby") << "standby" << true << 3;
    QTest::newRow("occupancy German") << "Absenkbetrieb" << true << 1;
    QTest::newRow("occupancy by number") << "255" << true << 255;
    QTest::newRow("occupancy number outside the list") << "2" << true << -1;
}

void TestCli::controlItems()
{
    QFETCH(QString, text);
    QFETCH(bool, occupancy);
    QFETCH(int, data);
    const std::optional<int> got = cli::controlItem(text, occupancy);
    QCOMPARE(got.value_or(-1), data);
}

void TestCli::setOccupancyReachesTheDevice()
{
    ConfigFixture f;
    const QString room = QStringLiteral("Room102");
    const int id = f.deviceId(room);
    settle(f, room);
    const Run r = tool(f, {QStringLiteral("set-occupancy"), objectOf(room), QStringLiteral("standby")});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY(r.out.contains(QStringLiteral("Sent: standby")));
    // current_state is the NV's first byte: OC_STANDBY is 3.
    QCOMPARE(int(quint8(f.admin->deviceNv(id, QStringLiteral("nviOccSchedule")).at(0))), 3);
    const Run m = tool(f, {QStringLiteral("set-mode"), objectOf(room), QStringLiteral("cool")});
    QVERIFY2(m.status == 0, qPrintable(m.out + m.err));
    QCOMPARE(int(quint8(f.admin->deviceNv(id, QStringLiteral("nviApplicMode")).at(0))), 3);
}

void TestCli::monitorPrintsUpdates()
{
    ConfigFixture f;
    settle(f, QStringLiteral("Room102"));
    const Run r = tool(f, {QStringLiteral("monitor"), objectOf(QStringLiteral("Room102")), QStringLiteral("--json"),
                           QStringLiteral("--seconds"), QStringLiteral("3")});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    const QJsonObject last = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    QVERIFY(last.contains(QStringLiteral("setpoint")));
    QVERIFY(!last.value(QStringLiteral("mode")).toString().isEmpty());
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
