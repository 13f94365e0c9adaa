// `aerolis write` tells what happened: the built tool against the simulated
// demo network in a temporary folder (device and database inspected through
// the network administration), and the judgement of a file's values against
// what one controller receives, on the window started in this process.
#include "toolrun.h"

#include <configuration/fileapply.h>
#include <host/hoststate.h>
#include <lnssim/networkadmin.h>
#include <params/paramfile.h>

#include <QTest>

#include <sys/stat.h>

namespace {

// The file with `key = value`: the entry replaced, or added at the end of
// the [Settings] section (the last section of the tool's files).
QByteArray withEntry(const QByteArray &file, const QByteArray &key, const QByteArray &value)
{
    const QByteArray changed = withValue(file, key, value);
    if (changed != file || file.contains("\n" + key + " = " + value + "\r"))
        return changed;
    return file + key + " = " + value + "\r\n";
}

// The non-empty lines of a text.
QStringList linesOf(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestCliWrite : public QObject
{
    Q_OBJECT

    Run tool(ConfigFixture &f, const QStringList &args, int timeoutMs = 60000) { return runTool(f, args, timeoutMs); }

    // The parameter file the tool reads from `room`.
    QByteArray readFile(ConfigFixture &f, const QString &room)
    {
        const QString file = f.env.file(QStringLiteral("read-%1.dat").arg(room));
        if (tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file}).status != 0)
            return QByteArray();
        return fileBytes(file);
    }

    QString fileWith(ConfigFixture &f, const QByteArray &bytes)
    {
        const QString file = f.env.file(QStringLiteral("edited.dat"));
        return writeBytes(file, bytes) ? file : QString();
    }

private Q_SLOTS:
    void unusableFileValueIsRefused_data();
    void unusableFileValueIsRefused();
    void valueNotReceivedAsWrittenIsNamed_data();
    void valueNotReceivedAsWrittenIsNamed();
    void outcomeOfTheWrite_data();
    void outcomeOfTheWrite();
    void applicationStepIsToldOnce_data();
    void applicationStepIsToldOnce();
    void checkRefusalIsOneLine_data();
    void checkRefusalIsOneLine();
    void nonRegularFileIsRefused_data();
    void nonRegularFileIsRefused();
    void judgedFates_data();
    void judgedFates();
};

// ---- values the file holds in a form the device cannot take ----

void TestCliWrite::unusableFileValueIsRefused_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("dryRun");
    QTest::addColumn<QStringList>("parts");
    struct Row
    {
        const char *name;
        const char *key;
        QByteArray value;
        QStringList parts;
    };
    const Row rows[] = {
        {"displayed number", "HeatSetpointComfort", "21.5",
         {"HeatSetpointComfort = 21.5 in the file", "not a whole number", "e.g. 2150 for 21.5 °C",
          "allowed 500 to 5000 (5.0 to 50.0 °C)"}},
        {"letters", "HeatXp", "abc", {"HeatXp = abc in the file", "not a number", "allowed 50 to 1000 (0.5 to 10.0 K)"}},
        {"number with letters after it", "HeatXp", "250abc",
         {"HeatXp = 250abc in the file", "not a whole number", "allowed 50 to 1000"}},
        {"beyond 32 bits", "HeatXp", "99999999999", {"HeatXp = 99999999999 in the file", "too large", "allowed 50 to 1000"}},
        {"non-ASCII digits", "HeatTi", "\xD9\xA2\xD9\xA5", {"HeatTi = ", "not a number", "allowed 1 to 65534"}},
        {"no value", "HeatTi", "", {"HeatTi = \"\" in the file", "no value", "allowed 1 to 65534"}},
        {"out of range", "HeatXp", "99999", {"HeatXp = 99999 in the file", "allowed 50 to 1000 (0.5 to 10.0 K)"}},
        {"not in the list", "SetPointMode", "7", {"SetPointMode = 7 in the file", "not in the list"}},
    };
    for (const Row &r : rows) {
        for (const bool dry : {false, true})
            QTest::newRow(qPrintable(QString::fromLatin1(r.name) + (dry ? QStringLiteral(", dry run") : QString())))
                << QByteArray(r.key) << r.value << dry << r.parts;
    }
}

void TestCliWrite::unusableFileValueIsRefused()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(bool, dryRun);
    QFETCH(QStringList, parts);
    ConfigFixture f;
    // A kind-1 controller without application record: a write that went
    // ahead would load an application.
    const QString room = QStringLiteral("Room101");
    const QByteArray original = readFile(f, room);
    QVERIFY(original.contains(key + " = "));
    const QString file = fileWith(f, withValue(original, key, value));
    f.admin->resetCounters();
    QStringList args{QStringLiteral("write"), objectOf(room), file};
    if (dryRun)
        args << QStringLiteral("--dry-run");
    const Run r = tool(f, args);
    QCOMPARE(r.status, 1);
    // One line, the error first, naming the file's value and the form or
    // range the device takes.
    const QStringList err = linesOf(r.err);
    QCOMPARE(err.size(), 1);
    QVERIFY2(err.first().startsWith(QStringLiteral("aerolis: ") + file + QStringLiteral(": refused, nothing was written: ")),
             qPrintable(r.err));
    for (const QString &part : parts)
        QVERIFY2(err.first().contains(part), qPrintable(part + QStringLiteral(" | ") + r.err));
    QVERIFY(!r.err.contains(QStringLiteral("red marked")));
    QVERIFY(!r.out.contains(QStringLiteral("Written: ")));
    const int id = f.deviceId(room);
    QCOMPARE(f.admin->counters(id).deviceWrites, 0);
    QCOMPARE(f.admin->counters(id).downloads, 0);
}

// ---- values the controller does not receive as the file holds them ----

void TestCliWrite::valueNotReceivedAsWrittenIsNamed_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("cp");       // CP whose device bytes the write must leave alone
    QTest::addColumn<QByteArray>("readBack"); // entry the target's file holds afterwards
    struct Row
    {
        const char *name, *source, *target, *key, *value, *line, *cp, *readBack;
    };
    const Row rows[] = {
        {"cooling-only controller: economy heating setpoint", "Room104", "Room104", "HeatSetpointEconomy", "1600",
         "HeatSetpointEconomy: 16.0 in the file, 15.0 written: cooling-only controller", "", "HeatSetpointEconomy = 1500"},
        {"cooling band of a kind-1 file on a heating-only kind 3", "Room101", "Room103", "CoolXp", "300",
         "CoolXp: 3.0 in the file, not written: heating-only controller", "CoolXp", ""},
        {"parameter the kind has no CP for", "Room101", "Room103", "OffDelay", "610",
         "OffDelay: 610 in the file, not written: this controller kind has no OffDelay", "", ""},
        {"key of no parameter", "Room103", "Room103", "Frobnicate", "1",
         "Frobnicate: 1 in the file, not written: belongs to no parameter", "", ""},
    };
    for (const Row &r : rows)
        for (const bool strict : {false, true})
            QTest::newRow(qPrintable(QString::fromLatin1(r.name) + (strict ? QStringLiteral(", strict") : QString())))
                << QString::fromLatin1(r.source) << QString::fromLatin1(r.target) << QByteArray(r.key)
                << QByteArray(r.value) << QString::fromLatin1(r.line) << QString::fromLatin1(r.cp)
                << QByteArray(r.readBack);
}

void TestCliWrite::valueNotReceivedAsWrittenIsNamed()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QString, line);
    QFETCH(QString, cp);
    QFETCH(QByteArray, readBack);
    const bool strict = QByteArray(QTest::currentDataTag()).endsWith(", strict");
    ConfigFixture f;
    const QString file = fileWith(f, withEntry(readFile(f, source), key, value));
    QVERIFY(!file.isEmpty());
    const int id = f.deviceId(target);
    const QByteArray cpBefore = cp.isEmpty() ? QByteArray() : f.admin->deviceCp(id, cp);
    f.admin->resetCounters();
    QStringList args{QStringLiteral("write"), objectOf(target), file};
    if (strict)
        args << QStringLiteral("--strict");
    const Run r = tool(f, args);
    if (strict) {
        QCOMPARE(r.status, 1);
        QCOMPARE(linesOf(r.err).size(), 1);
        QVERIFY2(r.err.contains(line), qPrintable(r.err));
        QCOMPARE(f.admin->counters(id).deviceWrites, 0);
        return;
    }
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    // Named once, in one line.
    QCOMPARE(linesOf(r.out).count(line), 1);
    if (!cp.isEmpty())
        QCOMPARE(f.admin->deviceCp(id, cp), cpBefore);
    if (!readBack.isEmpty())
        QVERIFY2(readFile(f, target).contains("\n" + readBack + "\r"), readBack.constData());
}

// ---- the outcome of a write in the copy's words and statuses ----

void TestCliWrite::outcomeOfTheWrite_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("settled");   // the application is in place before
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("errLine"); // start of the one line on standard error
    QTest::addColumn<bool>("reached");    // the changed CP reached device and database
    const QString obj = objectOf(QStringLiteral("Room106"));
    QTest::newRow("application loaded and parameters written")
        << "" << false << 0 << "Result: application loaded, written." << "" << true;
    QTest::newRow("parameters written, application in place")
        << "" << true << 0 << "Result: written." << "" << true;
    QTest::newRow("download refused") << "download" << false << 4 << "Result: written, application not loaded."
                                      << obj + ": written, application not loaded (" << true;
    QTest::newRow("device not commissioned") << "uncommissioned" << false << 4 << "Result: written, application not loaded."
                                             << obj + ": written, application not loaded (" << true;
    QTest::newRow("CP write fails after the download")
        << "cp" << false << 4 << "Result: application loaded, parameters not written."
        << obj + ": application loaded, parameters not written (Communication with device failed. HeatXp" << false;
    QTest::newRow("CP write fails, application in place")
        << "cp" << true << 3 << "Result: failed (Communication with device failed. HeatXp"
        << obj + ": failed (Communication with device failed. HeatXp" << false;
}

void TestCliWrite::outcomeOfTheWrite()
{
    QFETCH(QString, fault);
    QFETCH(bool, settled);
    QFETCH(int, status);
    QFETCH(QString, result);
    QFETCH(QString, errLine);
    QFETCH(bool, reached);
    ConfigFixture f;
    const QString room = QStringLiteral("Room106");
    const int id = f.deviceId(room);
    const QByteArray original = readFile(f, room);
    if (settled) {
        QCOMPARE(tool(f, {QStringLiteral("write"), objectOf(room), fileWith(f, original)}).status, 0);
        QVERIFY(f.admin->counters(id).downloads > 0);
    }
    const QString file = fileWith(f, withValue(original, "HeatXp", "300"));
    const QByteArray before = f.admin->deviceCp(id, QStringLiteral("HeatXp"));
    if (fault == QLatin1String("download"))
        f.admin->setDownloadFault(id, true);
    else if (fault == QLatin1String("uncommissioned"))
        f.admin->setCommissioned(id, false);
    else if (fault == QLatin1String("cp"))
        f.admin->setCpFault(id, QStringLiteral("HeatXp"), lnssim::CpFault::Write);

    const Run r = tool(f, {QStringLiteral("write"), objectOf(room), file});
    QCOMPARE(r.status, status);
    const QStringList out = linesOf(r.out);
    QVERIFY2(!out.isEmpty() && out.last().startsWith(result), qPrintable(r.out));
    if (errLine.isEmpty()) {
        QVERIFY2(r.err.trimmed().isEmpty(), qPrintable(r.err));
    } else {
        QCOMPARE(linesOf(r.err).size(), 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("aerolis: ") + errLine), qPrintable(r.err));
    }
    // "Written: HeatXp" exactly when the CP is now in the database and, on
    // a commissioned device, in the device.
    const QByteArray value300("\x01\x2C", 2);
    const bool inDevice = reached && fault != QLatin1String("uncommissioned");
    QCOMPARE(out.contains(QStringLiteral("Written: HeatXp (2 bytes)")), reached);
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("HeatXp")), inDevice ? value300 : before);
    QCOMPARE(f.admin->databaseCp(id, QStringLiteral("HeatXp")), reached ? value300 : before);
}

// ---- the application step, once and as it happened ----

void TestCliWrite::applicationStepIsToldOnce_data()
{
    QTest::addColumn<QString>("appVersion");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("calibrationAfter");
    const QByteArray calibration("\x01\x02", 2);
    QTest::newRow("application that keeps the calibration")
        << "2.30" << "Application: 3 loaded; the turning knob calibration was kept." << calibration;
    QTest::newRow("application too old to keep it")
        << "2.00" << "Application: 3 loaded; the turning knob calibration was reset." << QByteArray(2, '\0');
}

void TestCliWrite::applicationStepIsToldOnce()
{
    QFETCH(QString, appVersion);
    QFETCH(QString, line);
    QFETCH(QByteArray, calibrationAfter);
    ConfigFixture f;
    // A kind-1 controller without application record runs application 1
    // and gets application 3 on its first write.
    lnssim::NewDevice d;
    d.subsystemPath = QStringLiteral("Building.Floor1");
    d.name = QStringLiteral("Room107");
    d.templateName = QStringLiteral("AerolisCtrl-T1");
    d.appVersion = appVersion;
    const int id = f.admin->addDevice(d, f.ini);
    f.admin->setDeviceCp(id, QStringLiteral("TempCalib"), QByteArray("\x01\x02", 2));
    const QString room = QStringLiteral("Room107");
    const QString file = fileWith(f, readFile(f, room));

    const Run r = tool(f, {QStringLiteral("write"), objectOf(room), file});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    const QStringList out = linesOf(r.out);
    QCOMPARE(out.filter(QStringLiteral("Application")).size(), 1);
    QCOMPARE(out.count(line), 1);
    QCOMPARE(out.last(), QStringLiteral("Result: application loaded, written."));
    // Nothing said that contradicts it.
    QVERIFY(!r.out.contains(QStringLiteral("nothing to write")));
    QVERIFY(!r.out.contains(QStringLiteral("Attention")));
    QCOMPARE(f.admin->deviceCp(id, QStringLiteral("TempCalib")), calibrationAfter);
}

// ---- the window's checks refuse in one line, naming the values ----

void TestCliWrite::checkRefusalIsOneLine_data()
{
    QTest::addColumn<QString>("cp");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("clause");
    QTest::newRow("band beyond its range") << "HeatXp" << QByteArray("\xFF\x00", 2)
                                           << "HeatXp = 65280: allowed 50 to 1000 (0.5 to 10.0 K)";
    QTest::newRow("list value not in the list") << "SetPointMode" << QByteArray("\x07", 1)
                                                << "SetPointMode = 7: not in the list (";
}

void TestCliWrite::checkRefusalIsOneLine()
{
    QFETCH(QString, cp);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, clause);
    ConfigFixture f;
    const QString room = QStringLiteral("Room103");
    f.admin->setDeviceCp(f.deviceId(room), cp, bytes);
    // The save command checks the values before it writes the file.
    const QString file = f.env.file(QStringLiteral("saved.dat"));
    const Run r = tool(f, {QStringLiteral("read"), objectOf(room), QStringLiteral("-o"), file});
    QCOMPARE(r.status, 1);
    const QStringList err = linesOf(r.err);
    QCOMPARE(err.size(), 1);
    QVERIFY2(err.first().startsWith(QStringLiteral("aerolis: refused, a value is out of range or not in its list: ")),
             qPrintable(r.err));
    QVERIFY2(err.first().contains(clause), qPrintable(r.err));
    QVERIFY(!r.err.contains(QStringLiteral("red marked")));
    QVERIFY(!QFile::exists(file));
}

// ---- only a regular file is a parameter file ----

void TestCliWrite::nonRegularFileIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("named pipe") << "fifo";
    QTest::newRow("folder") << "folder";
    QTest::newRow("character device") << "device";
}

void TestCliWrite::nonRegularFileIsRefused()
{
    QFETCH(QString, kind);
    ConfigFixture f;
    QString path;
    if (kind == QLatin1String("fifo")) {
        path = f.env.file(QStringLiteral("pipe.dat"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("folder")) {
        path = f.env.file(QStringLiteral("folder.dat"));
        QVERIFY(QDir().mkpath(path));
    } else {
        path = QStringLiteral("/dev/null");
    }
    f.admin->resetCounters();
    // Bounded: a loader that opened the pipe would wait for a writer.
    const Run r = tool(f, {QStringLiteral("write"), objectOf(QStringLiteral("Room103")), path}, 20000);
    QCOMPARE(r.status, 1);
    QCOMPARE(linesOf(r.err).size(), 1);
    QVERIFY2(r.err.contains(QStringLiteral("not a regular file")), qPrintable(r.err));
    QCOMPARE(f.admin->totals().transactions(), 0);
}

// ---- the judgement the write and the copy share ----

void TestCliWrite::judgedFates_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("fate");
    QTest::addColumn<QString>("reason");
    const int taken = int(configuration::FileValueFate::Taken);
    const int replaced = int(configuration::FileValueFate::Replaced);
    const int notWritten = int(configuration::FileValueFate::NotWritten);
    const int refused = int(configuration::FileValueFate::Refused);
    QTest::newRow("in range") << "Room101" << QByteArray("HeatXp") << QByteArray("300") << taken << "";
    QTest::newRow("comfort setpoint of a cooling-only controller")
        << "Room104" << QByteArray("HeatSetpointComfort") << QByteArray("2100") << replaced << "cooling-only controller";
    QTest::newRow("heating band of a cooling-only controller")
        << "Room104" << QByteArray("HeatXp") << QByteArray("300") << notWritten << "cooling-only controller";
    QTest::newRow("cooling band of a heating-only controller")
        << "Room103" << QByteArray("CoolTi") << QByteArray("45") << notWritten << "heating-only controller";
    QTest::newRow("cooling band it holds already")
        << "Room103" << QByteArray("CoolTi") << QByteArray("30") << taken << "";
    QTest::newRow("mode of a kind whose application sets it")
        << "Room105" << QByteArray("HvacAppMode") << QByteArray("2") << notWritten
        << "the application of this controller sets it";
    QTest::newRow("CP the template lacks") << "Room105" << QByteArray("MinDischAirTemp") << QByteArray("1700")
                                           << notWritten << "this controller kind has no MinDischAirTemp";
    QTest::newRow("above the comfort setpoint")
        << "Room101" << QByteArray("HeatSetpointStandby") << QByteArray("2200") << refused << "allowed 0 to 2100";
    QTest::newRow("decimal point") << "Room101" << QByteArray("HeatXp") << QByteArray("2.5") << refused
                                   << "e.g. 250 for 2.5 K";
}

void TestCliWrite::judgedFates()
{
    QFETCH(QString, room);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(int, fate);
    QFETCH(QString, reason);
    ConfigFixture f;
    f.start(room);
    configuration::cConfiguration *c = f.config();
    QVERIFY(c);
    params::cParams &p = c->Parameters();
    configuration::ApplyTarget target = configuration::applyTargetOf(*c);
    target.heldValues = params::fileValues(p);
    const QString programId = host::state().conn.device->programId();
    const QString file = f.env.file(QStringLiteral("set.dat"));
    QVERIFY(p.WriteToFile(file, params::kDataFilePlugInName, programId, params::kDataFileVersion));
    QVERIFY(writeBytes(file, withEntry(fileBytes(file), key, value)));

    // As the window's load command and the write do it.
    f.win->setValueLoading(true);
    QCOMPARE(p.LoadFromFile(file, &f.ini, params::kDataFilePlugInName, programId, params::kDataFileVersion),
             int(params::LE_NO_ERROR));
    f.win->setValueLoading(false);
    c->SetControls();
    c->checkValues();
    c->prepareWriteSet();
    const auto outline = params::readParamFileOutline(file);
    QVERIFY(outline);
    target.appNumber = c->appNumber();
    const configuration::FileApplyReport report = configuration::judgeFileValues(*outline, p.lastLoadReport(), p, target);

    const configuration::FileValueVerdict *found = nullptr;
    for (const configuration::FileValueVerdict &v : report.verdicts) {
        // Only the edited entry may be judged anything but taken.
        QVERIFY2(v.key == QString::fromLatin1(key), qPrintable(v.text()));
        found = &v;
    }
    if (fate == int(configuration::FileValueFate::Taken)) {
        QVERIFY(!found);
        QCOMPARE(report.taken, outline->settings.size());
        return;
    }
    QVERIFY(found);
    QCOMPARE(int(found->fate), fate);
    QVERIFY2(found->reason.contains(reason), qPrintable(found->text()));
    QCOMPARE(report.refused(false), fate == int(configuration::FileValueFate::Refused));
    QVERIFY(report.refused(true));
}

QTEST_MAIN(TestCliWrite)
#include "tst_cli_write.moc"
