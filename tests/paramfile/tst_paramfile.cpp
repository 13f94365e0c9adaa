// The parameter data file on real files in a temporary folder, with the
// parameter collection bound to standalone controls on the simulated demo
// network: the layout line by line, the save filter, the header checks and
// the compatible program ids, a full set carried from one controller to
// another, and what damaged, foreign or ambiguous files do.
#include "cpmap.h"
#include "paramsfixture.h"

#include <params/paramfile.h>

#include <QtTest>

using namespace params;

namespace {

const QString kT1 = QStringLiteral("90:00:9D:51:0A:04:04:01");
const QString kT2 = QStringLiteral("90:00:9D:51:0A:04:04:02");
const QString kT3 = QStringLiteral("90:00:9D:51:0A:04:04:03");
const QString kT5 = QStringLiteral("90:00:9D:51:0A:04:04:05");

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("<cannot open>")};
    QByteArray data = f.readAll();
    // Every line ends with CR+LF, the last one included.
    if (!data.endsWith("\r\n"))
        return {QStringLiteral("<no final CR+LF>")};
    data.chop(2);
    QStringList out;
    for (const QByteArray &l : data.split('\n')) {
        if (!l.endsWith('\r') && l != data.split('\n').last())
            return {QStringLiteral("<bare LF>")};
        out << QString::fromLatin1(l.endsWith('\r') ? l.left(l.size() - 1) : l);
    }
    return out;
}

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray header(const QString &plugIn = QStringLiteral("nordaQRT"), const QString &programId = kT1,
                  const QString &version = QStringLiteral("1"))
{
    return (QStringLiteral("[General]\r\nPlugInName = %1\r\nProgramId = %2\r\nDataFileVersion = %3\r\n\r\n[Settings]\r\n")
                .arg(plugIn, programId, version))
        .toLatin1();
}

// A device that accepts a given number of bytes and then refuses.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        if (written.size() + len > m_room)
            return -1;
        written.append(data, len);
        return len;
    }

private:
    qint64 m_room;
};

} // namespace

class TstParamFile : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ParamsFixture> f;
    QString path(const QString &name) const { return f->env.file(name); }

    // The controller's whole map, read from the device.
    void buildMap()
    {
        QCOMPARE(cpmap::build(*f->params), 33);
        f->params->ReadFromLns();
    }
    QMap<QString, QString> values(const cParams &p) const
    {
        QMap<QString, QString> out;
        for (int i = 1; i <= p.TextBoxParameterCount(); ++i)
            out.insert(p.TextBoxParameter(i)->Name(), QString::number(p.TextBoxParameter(i)->Value()));
        for (int i = 1; i <= p.ComboBoxParameterCount(); ++i)
            out.insert(p.ComboBoxParameter(i)->Name(), QString::number(p.ComboBoxParameter(i)->Value()));
        for (int i = 1; i <= p.Parameter1ByteCount(); ++i)
            out.insert(p.Parameter1Byte(i)->Name(), QString::number(p.Parameter1Byte(i)->Value()));
        for (int i = 1; i <= p.Parameter2ByteCount(); ++i)
            out.insert(p.Parameter2Byte(i)->Name(),
                       QStringLiteral("%1,%2").arg(p.Parameter2Byte(i)->Value1()).arg(p.Parameter2Byte(i)->Value2()));
        return out;
    }
    int changedCount() const
    {
        int n = 0;
        for (const auto &p : f->params->AllParameters())
            n += p->Changed();
        return n;
    }

private slots:
    void init() { f = std::make_unique<ParamsFixture>(); }
    void cleanup() { f.reset(); }

    // ---- layout ----

    void threeTextBoxesLineByLine()
    {
        std::shared_ptr<cParamTextBox> a, b, c;
        QVERIFY(f->params->FetchTextBoxCp("HeatXp", 20, &a));
        QVERIFY(f->params->FetchTextBoxCp("HeatTi", 21, &b));
        QVERIFY(f->params->FetchTextBoxCp("MaxSendTime", 1, &c));
        a->setSnvtType(SNVT_temp_p);
        b->setSnvtType(SNVT_time_min);
        c->setSnvtType(SNVT_time_sec);
        f->params->ReadFromLns();
        b->setValue(65535);
        const QString file = path("three.dat");
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        const QStringList expected{
            "[General]", "PlugInName = nordaQRT", "ProgramId = " + kT1, "DataFileVersion = 1", "", "[Settings]",
            "", "", "", "", "", "", // six empty registries
            ";  *** TextBox ***", "HeatXp = " + QString::number(a->Value()), "HeatTi = 65535",
            "MaxSendTime = " + QString::number(c->Value()), ""};
        QCOMPARE(fileLines(file), expected);
        QCOMPARE(a->Value(), 200); // factory 2.00 K: the scaled integer is saved, not "2.0"
        QCOMPARE(c->Value(), 600);
    }

    void everyKindHasItsLine()
    {
        auto one = f->params->Add1ByteParameter("Mode", f->cp("HvacAppMode"), "HvacAppMode");
        auto two = f->params->Add2ByteParameter("Valves", f->cp("NumValves"), "NumValves");
        auto text = f->params->AddAsciiParameter("Label", f->cp("HeatTi"), "HeatTi");
        auto check = f->params->AddCheckBoxParameter("Check", f->window.checkBox(1), f->cp("AuxLevels"), "AuxLevels");
        auto combo = f->params->AddComboBoxParameter("Combo", f->window.comboBox(3), f->cp("DiscLevels"), "DiscLevels");
        auto opt = f->params->AddOptionButtonParameter("Opt", f->cp("SettingHystHigh"), "SettingHystHigh");
        f->params->AddOptionButton(opt, f->window.option(0), QStringLiteral("0\t0"));
        f->params->AddOptionButton(opt, f->window.option(1), QStringLiteral("1\t200"));
        auto tb = f->params->AddTextBoxParameter("Box", f->window.textBox(2), f->cp("HeatXp"), "HeatXp");
        check->setValueChecked(1);
        one->setValue(7);
        two->setValue1(-3);
        two->setValue2(250);
        text->setValue(QStringLiteral(" a, b "));
        check->setValue(1);
        combo->setValue(4);
        opt->setValue(QStringLiteral("1\t200"));
        tb->setValue(-2150);
        const QString file = path("kinds.dat");
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        const QStringList expected{"[General]", "PlugInName = nordaQRT", "ProgramId = " + kT1, "DataFileVersion = 1", "",
                                   "[Settings]",
                                   ";  *** Generic 1 Byte ***", "Mode = 7", "",
                                   ";  *** Generic 2 Byte ***", "Valves = -3,250", "",
                                   ";  *** Generic ASCII ***", "Label =  a, b ,", "",
                                   ";  *** CheckBox ***", "Check = 1", "",
                                   ";  *** ComboBox ***", "Combo = 4", "",
                                   ";  *** OptionButton ***", "Opt = 1\t200", "",
                                   ";  *** TextBox ***", "Box = -2150", ""};
        QCOMPARE(fileLines(file), expected);

        // Every kind comes back exactly, the ASCII text with its blanks and comma.
        one->setValue(0);
        two->setValue(0);
        text->setValue(QString());
        check->setValue(0);
        combo->setValue(0);
        opt->setValue(QStringLiteral("0\t0"));
        tb->setValue(0);
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), int(LE_NO_ERROR));
        QCOMPARE(one->Value(), 7);
        QCOMPARE(two->Value1(), -3);
        QCOMPARE(two->Value2(), 250);
        QCOMPARE(text->Value(), QStringLiteral(" a, b "));
        QCOMPARE(check->Value(), 1);
        QCOMPARE(combo->Value(), 4);
        QCOMPARE(opt->Value(), QStringLiteral("1\t200"));
        QCOMPARE(tb->Value(), -2150);
        QCOMPARE(f->params->lastLoadReport().loaded, 7);
        QVERIFY(f->params->lastLoadReport().notes.isEmpty());
    }

    void exampleOfTheLayout()
    {
        // One 1-byte, one combo-box and two text-box parameters.
        QVERIFY(f->params->Fetch1ByteCp("HvacAppMode"));
        std::shared_ptr<cParamComboBox> c;
        QVERIFY(f->params->FetchComboBoxCp("SetPointMode", 8, &c));
        QVERIFY(f->params->FetchTextBoxCp("HeatXp", 20));
        QVERIFY(f->params->FetchTextBoxCp("CoolXp", 24));
        f->params->ReadFromLns();
        const QString file = path("example.dat");
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        const QStringList lines = fileLines(file);
        QCOMPARE(lines.size(), 20);
        const QStringList shape{"[General]", "PlugInName = nordaQRT", "ProgramId = " + kT1, "DataFileVersion = 1", "",
                                "[Settings]", ";  *** Generic 1 Byte ***", "HvacAppMode = *", "", "", "", "",
                                ";  *** ComboBox ***", "SetPointMode = *", "", "", ";  *** TextBox ***", "HeatXp = *",
                                "CoolXp = *", ""};
        for (int i = 0; i < shape.size(); ++i) {
            const QString &want = shape.at(i);
            if (want.endsWith('*'))
                QVERIFY2(lines.at(i).startsWith(want.chopped(1)), qPrintable(lines.at(i)));
            else
                QCOMPARE(lines.at(i), want);
        }
    }

    // ---- the save filter ----

    void saveFilter_data()
    {
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("dontWrite");
        QTest::addColumn<bool>("force");
        QTest::addColumn<bool>("saved");
        QTest::newRow("plain") << true << false << false << true;
        QTest::newRow("not available") << false << false << false << false;
        QTest::newRow("forced, not available") << false << false << true << true;
        QTest::newRow("forced and never saved") << true << true << true << true;
        QTest::newRow("never saved") << true << true << false << false;
    }
    void saveFilter()
    {
        QFETCH(bool, available);
        QFETCH(bool, dontWrite);
        QFETCH(bool, force);
        QFETCH(bool, saved);
        std::shared_ptr<cParamTextBox> t;
        QVERIFY(f->params->FetchTextBoxCp("HeatTi", 21, &t));
        t->setSnvtType(SNVT_time_min);
        t->setValue(30);
        t->setAvailable(available);
        t->setDontWriteToFile(dontWrite);
        t->setForceWriteToFile(force);
        const QString file = path("filter.dat");
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        QCOMPARE(fileLines(file).contains(QStringLiteral("HeatTi = 30")), saved);
        // The group header stands for the registry, saved entries or not.
        QVERIFY(fileLines(file).contains(QStringLiteral(";  *** TextBox ***")));
    }

    void unreadValueIsNotSaved()
    {
        std::shared_ptr<cParamTextBox> t;
        QVERIFY(f->params->FetchTextBoxCp("HeatTi", 21, &t));
        f->admin->setCpFault(f->deviceId, "HeatTi", lnssim::CpFault::Read);
        f->params->ReadFromLns();
        const QString file = path("unread.dat");
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        QVERIFY(!fileLines(file).join('\n').contains(QStringLiteral("HeatTi")));
    }

    void dontWriteToFileIsNotLoaded()
    {
        std::shared_ptr<cParamTextBox> t;
        QVERIFY(f->params->FetchTextBoxCp("HeatTi", 21, &t));
        t->setSnvtType(SNVT_time_min);
        f->params->ReadFromLns();
        const int before = t->Value();
        t->setDontWriteToFile(true);
        const QString file = path("dont.dat");
        writeText(file, header() + "HeatTi = 77\r\n");
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), int(LE_NO_ERROR));
        QCOMPARE(t->Value(), before);
        QVERIFY(!t->Changed());
        // Its key is not reported as foreign either: it names a parameter.
        QVERIFY(f->params->lastLoadReport().notes.isEmpty());
    }

    // ---- values ----

    void factor100RoundTrip()
    {
        std::shared_ptr<cParamTextBox> t;
        QVERIFY(f->params->FetchTextBoxCp("ProtSetpointHeat", 6, &t));
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_0_1);
        f->params->connectControlEvents(true);
        f->params->ReadFromLns();
        t->setValueCalc(21.5);
        QCOMPARE(t->TextBoxControl()->text(), QStringLiteral("21.50"));
        const QString file = path("factor.dat");
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        QVERIFY(fileLines(file).contains(QStringLiteral("ProtSetpointHeat = 2150")));
        t->setValueCalc(5);
        t->setChanged(false);
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), int(LE_NO_ERROR));
        QCOMPARE(t->Value(), 2150);
        QCOMPARE(t->ValueCalc(), 21.5);
        QCOMPARE(t->TextBoxControl()->text(), QStringLiteral("21.50"));
        QVERIFY(t->Changed());
    }

    void finerThanShownComesBackExactly()
    {
        // 21.04 shown with one decimal is "21.0"; the file holds 2104 and the
        // load must not take the shown text back as the value.
        std::shared_ptr<cParamTextBox> t;
        QVERIFY(f->params->FetchTextBoxCp("ProtSetpointHeat", 6, &t));
        t->setSnvtType(SNVT_temp_p);
        t->setResolution(RES_0_1);
        f->params->connectControlEvents(true);
        f->params->ReadFromLns();
        const QString file = path("fine.dat");
        writeText(file, header() + "ProtSetpointHeat = 2104\r\n");
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), int(LE_NO_ERROR));
        QCOMPARE(t->TextBoxControl()->text(), QStringLiteral("21.0"));
        QCOMPARE(t->Value(), 2104);
        QVERIFY(!f->params->controlEvents()->suspended());
    }

    void wholeSetTravelsToAnotherController_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("same template") << QStringLiteral("Room106");
        QTest::newRow("compatible template") << QStringLiteral("Room103");
    }
    void wholeSetTravelsToAnotherController()
    {
        QFETCH(QString, target);
        buildMap();
        auto &p = *f->params;
        p.TextBoxParameterByName("HeatSetpointComfort")->setValueCalc(22.5);
        p.TextBoxParameterByName("CoolTi")->setValue(65535);
        p.TextBoxParameterByName("MaxSendTime")->setValueCalc(123.4);
        p.ComboBoxParameterByName("SetPointMode")->setValue(SPM_ABSOLUTE);
        p.Parameter2ByteByName("NumValves")->setValue(2);
        QVERIFY(p.WriteToLns());
        const QMap<QString, QString> source = values(p);
        const QString file = path("set.dat");
        QVERIFY(p.WriteToFile(file, "nordaQRT", kT1, "1"));
        const int sourceId = f->deviceId;

        f->select(target);
        // The T3 template has no CP for one parameter of the map.
        const int n = cpmap::build(*f->params);
        QVERIFY(n >= 32);
        f->params->connectControlEvents(true);
        f->params->ReadFromLns();
        QVERIFY(values(*f->params) != source);
        const QString targetProgramId = f->device->programId();
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", targetProgramId, "1"), int(LE_NO_ERROR));
        const QMap<QString, QString> loaded = values(*f->params);
        for (auto it = loaded.cbegin(); it != loaded.cend(); ++it)
            QCOMPARE(it.value(), source.value(it.key()));
        QCOMPARE(f->params->lastLoadReport().loaded, n);
        // The source's entry the target has no parameter for is reported.
        QCOMPARE(f->params->lastLoadReport().notes.size(), 33 - n);
        QVERIFY(f->params->WriteToLns());
        // The target's memory now holds exactly the source's bytes.
        for (const QString &cp : f->params->GetAllCpNamesShouldBeWrittenToLns())
            QCOMPARE(f->admin->deviceCp(f->deviceId, cp), f->admin->deviceCp(sourceId, cp));
    }

    // ---- header checks ----

    void headerChecks_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("deviceProgramId");
        QTest::addColumn<int>("result");
        QTest::newRow("own") << header() << kT1 << int(LE_NO_ERROR);
        QTest::newRow("blanks around the plug-in name") << header("   nordaQRT  ") << kT1 << int(LE_NO_ERROR);
        QTest::newRow("blanks around the version") << header("nordaQRT", kT1, " 1  ") << kT1 << int(LE_NO_ERROR);
        QTest::newRow("another plug-in") << header("nordaQRX") << kT1 << int(LE_WRONG_PLUGIN);
        QTest::newRow("plug-in name case") << header("NORDAQRT") << kT1 << int(LE_WRONG_PLUGIN);
        QTest::newRow("compatible program id") << header("nordaQRT", kT3) << kT1 << int(LE_NO_ERROR);
        QTest::newRow("compatible the other way") << header("nordaQRT", kT1) << kT3 << int(LE_NO_ERROR);
        QTest::newRow("another device type") << header("nordaQRT", kT2) << kT1 << int(LE_WRONG_DEVICE);
        QTest::newRow("template with no compatible ids") << header("nordaQRT", kT1) << kT5 << int(LE_WRONG_DEVICE);
        QTest::newRow("other data file version") << header("nordaQRT", kT1, "2") << kT1 << int(LE_WRONG_DATAFILE_VERSION);
        QTest::newRow("no ProgramId")
            << QByteArray("[General]\r\nPlugInName = nordaQRT\r\nDataFileVersion = 1\r\n\r\n[Settings]\r\n") << kT1
            << int(LE_WRONG_DATAFILE_VERSION);
        QTest::newRow("empty ProgramId") << header("nordaQRT", "") << kT1 << int(LE_WRONG_DATAFILE_VERSION);
        QTest::newRow("no version") << QByteArray("[General]\r\nPlugInName = nordaQRT\r\nProgramId = " + kT1.toLatin1()
                                                  + "\r\n[Settings]\r\n")
                                    << kT1 << int(LE_WRONG_DATAFILE_VERSION);
        QTest::newRow("keys without blanks, LF only")
            << QByteArray("[General]\nPlugInName=nordaQRT\nProgramId=" + kT1.toLatin1() + "\nDataFileVersion=1\n[Settings]\n")
            << kT1 << int(LE_NO_ERROR);
        QTest::newRow("not a parameter file") << QByteArray("hello world\r\nthis is text\r\n") << kT1 << int(LE_WRONG_PLUGIN);
        QTest::newRow("empty file") << QByteArray() << kT1 << int(LE_WRONG_PLUGIN);
        QTest::newRow("truncated in the header") << QByteArray("[General]\r\nPlugInName = nordaQRT\r\nProgr") << kT1
                                                 << int(LE_WRONG_DATAFILE_VERSION);
        QTest::newRow("two program ids") << QByteArray(header() + "[General]\r\nProgramId = " + kT2.toLatin1() + "\r\n")
                                         << kT1 << int(LE_FILE_AMBIGUOUS);
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE[\0G\0", 6) + header() << kT1 << int(LE_FILE_UNREADABLE);
        QTest::newRow("binary") << QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0", 10) << kT1 << int(LE_FILE_UNREADABLE);
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF") + header() << kT1 << int(LE_NO_ERROR);
    }
    void headerChecks()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, deviceProgramId);
        QFETCH(int, result);
        buildMap();
        const QMap<QString, QString> before = values(*f->params);
        const QString file = path("head.dat");
        writeText(file, head + "HeatTi = 12\r\nCoolTi = 13\r\n");
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", deviceProgramId, "1"), result);
        QCOMPARE(f->params->lastLoadReport().result, result);
        if (result == LE_NO_ERROR) {
            QCOMPARE(f->params->TextBoxParameterByName("HeatTi")->Value(), 12);
            QCOMPARE(changedCount(), 2);
        } else {
            // A refused file changes nothing at all.
            QCOMPARE(values(*f->params), before);
            QCOMPARE(changedCount(), 0);
        }
    }

    void missingOrOversizedFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("reason");
        QTest::newRow("missing") << QStringLiteral("nowhere/none.dat") << 1;
        // Anything but a regular file: a pipe or a device would keep the
        // loader waiting or reading for ever.
        QTest::newRow("a folder") << QString() << 5;
        QTest::newRow("a character device") << QStringLiteral("/dev/null") << 5;
        QTest::newRow("too large") << QStringLiteral("big.dat") << 2;
    }
    void missingOrOversizedFile()
    {
        QFETCH(QString, name);
        QFETCH(int, reason);
        buildMap();
        const QString file = name.isEmpty() ? f->env.path() : name.startsWith(QLatin1Char('/')) ? name : path(name);
        if (reason == 2) {
            QByteArray big = header() + "HeatTi = 5\r\n";
            big.append(QByteArray(kMaxParamFileBytes, ';'));
            writeText(file, big);
        }
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), int(LE_FILE_UNREADABLE));
        QCOMPARE(f->params->lastLoadReport().reason, reason);
        QVERIFY(!refusalText(f->params->lastLoadReport()).isEmpty());
        QCOMPARE(changedCount(), 0);
    }

    // ---- damaged settings ----

    void damagedSettings_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("heatTi");   // -1: unchanged
        // Kinds of the notes in file order: U unknown, N not a number, R range,
        // B bad line, S same twice, W not a whole number, E no value.
        QTest::addColumn<QString>("notes");
        QTest::newRow("foreign keys") << QByteArray("Nonsense = 4\r\nHeatTi = 9\r\n") << int(LE_NO_ERROR) << 9 << "U";
        QTest::newRow("key case and blanks") << QByteArray("   heatti=9\r\n") << int(LE_NO_ERROR) << 9 << "";
        QTest::newRow("not a number") << QByteArray("HeatTi = abc\r\n") << int(LE_NO_ERROR) << -1 << "N";
        // Only the file's own form is taken: a whole number of ASCII digits.
        QTest::newRow("number with a unit") << QByteArray("HeatTi = 42 min\r\n") << int(LE_NO_ERROR) << -1 << "W";
        QTest::newRow("decimal point") << QByteArray("HeatTi = 42.5\r\n") << int(LE_NO_ERROR) << -1 << "W";
        QTest::newRow("letters after the number") << QByteArray("HeatTi = 250abc\r\n") << int(LE_NO_ERROR) << -1 << "W";
        QTest::newRow("non-ASCII digits") << QByteArray("HeatTi = \xD9\xA2\xD9\xA5\r\n") << int(LE_NO_ERROR) << -1 << "N";
        QTest::newRow("sign and blanks") << QByteArray("HeatTi =  +12 \r\n") << int(LE_NO_ERROR) << 12 << "";
        QTest::newRow("zero with a minus sign") << QByteArray("HeatTi = -0\r\n") << int(LE_NO_ERROR) << 0 << "";
        QTest::newRow("past 32 bits") << QByteArray("HeatTi = 99999999999\r\n") << int(LE_NO_ERROR) << -1 << "R";
        QTest::newRow("empty value") << QByteArray("HeatTi = \r\n") << int(LE_NO_ERROR) << -1 << "E";
        QTest::newRow("line without equals sign") << QByteArray("HeatTi 5\r\n") << int(LE_NO_ERROR) << -1 << "B";
        QTest::newRow("twice, same value") << QByteArray("HeatTi = 7\r\nHeatTi = 7 \r\n") << int(LE_NO_ERROR) << 7 << "S";
        QTest::newRow("twice, two values") << QByteArray("CoolTi = 3\r\nHeatTi = 7\r\nheatti = 8\r\n")
                                           << int(LE_FILE_AMBIGUOUS) << -1 << "";
        QTest::newRow("truncated in an entry") << QByteArray(";  *** TextBox ***\r\nCoolTi = 3\r\nHeat") << int(LE_NO_ERROR)
                                               << -1 << "B";
        QTest::newRow("a megabyte on one line")
            << QByteArray("HeatTi = 11" + QByteArray(1 << 20, 'x') + "\r\n" + QByteArray(1 << 20, 'y') + "\r\n")
            << int(LE_NO_ERROR) << -1 << "WB";
        QTest::newRow("Latin-1 bytes") << QByteArray("Gr\xFC\xDF" "e = 1\r\nHeatTi = 6\r\n") << int(LE_NO_ERROR) << 6 << "U";
        QTest::newRow("2-byte with one half") << QByteArray("NumValves = 1\r\n") << int(LE_NO_ERROR) << -1 << "E";
        QTest::newRow("2-byte with a decimal half") << QByteArray("NumValves = 0,1.5\r\n") << int(LE_NO_ERROR) << -1 << "W";
        QTest::newRow("settings section missing")
            << QByteArray("[Other]\r\nHeatTi = 5\r\n") << int(LE_NO_ERROR) << -1 << "";
    }
    void damagedSettings()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, result);
        QFETCH(int, heatTi);
        QFETCH(QString, notes);
        buildMap();
        auto ti = f->params->TextBoxParameterByName("HeatTi");
        const int before = ti->Value();
        const QMap<QString, QString> all = values(*f->params);
        const QString file = path("damaged.dat");
        writeText(file, header() + settings);
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), result);
        QCOMPARE(ti->Value(), heatTi < 0 ? before : heatTi);
        QString kinds;
        for (const FileNote &n : f->params->lastLoadReport().notes) {
            kinds += QStringLiteral("UNRBSWE").at(int(n.kind));
            QVERIFY(!fileNoteText(n).isEmpty());
        }
        QCOMPARE(kinds, notes);
        if (result != LE_NO_ERROR) {
            QCOMPARE(values(*f->params), all);
            QCOMPARE(f->params->lastLoadReport().key, QStringLiteral("HeatTi"));
            QVERIFY(refusalText(f->params->lastLoadReport()).contains(QStringLiteral("HeatTi")));
        }
    }

    // A value the loader does not take is named with the form the file
    // holds: a text box's scaled integer and its allowed range.
    void valueNoteNamesTheExpectedForm_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("displayed temperature") << QByteArray("HeatSetpointComfort = 21.5")
                                               << QStringList{"Line 7: HeatSetpointComfort = 21.5 is not a whole number",
                                                              "e.g. 2150 for 21.5 °C", "allowed 500 to 5000 (5.0 to 50.0 °C)"};
        QTest::newRow("letters: the current value as the example")
            << QByteArray("HeatTi = abc")
            << QStringList{"HeatTi = abc is not a number", "e.g. 30 for 30 min", "allowed 1 to 65534 (1 to 65534 min)"};
        QTest::newRow("too large") << QByteArray("HeatTi = 4294967296")
                                   << QStringList{"HeatTi = 4294967296 is too large", "allowed 1 to 65534"};
        QTest::newRow("list value") << QByteArray("SetPointMode = 1.0")
                                    << QStringList{"SetPointMode = 1.0 is not a whole number", "expected a whole number"};
    }
    void valueNoteNamesTheExpectedForm()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QStringList, parts);
        buildMap();
        const QString file = path("form.dat");
        writeText(file, header() + entry + "\r\n");
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), int(LE_NO_ERROR));
        const QVector<FileNote> &notes = f->params->lastLoadReport().notes;
        QCOMPARE(notes.size(), 1);
        QVERIFY(isValueNote(notes.first()));
        const QString text = fileNoteText(notes.first());
        for (const QString &part : parts)
            QVERIFY2(text.contains(part), qPrintable(text));
        QCOMPARE(changedCount(), 0);
    }

    // ---- writing ----

    void failedWriteStopsAtTheGroup()
    {
        buildMap();
        const QByteArray whole = paramFileBytes(*f->params, "nordaQRT", kT1, "1");
        QVERIFY(whole.endsWith(";  *** TextBox ***\r\n" + whole.mid(whole.indexOf("MaxReceiveTime"))));
        // Room for the header and a part of the settings only.
        FailingDevice dev(whole.indexOf(";  *** ComboBox ***") + 5);
        QVERIFY(!writeParamFile(*f->params, dev, "nordaQRT", kT1, "1"));
        QVERIFY(whole.startsWith(dev.written));
        QVERIFY(!dev.written.contains("*** ComboBox ***"));
        FailingDevice roomy(whole.size());
        QVERIFY(writeParamFile(*f->params, roomy, "nordaQRT", kT1, "1"));
        QCOMPARE(roomy.written, whole);
    }

    void saveIntoAFolderThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("parent is a file") << QStringLiteral("plain/set.dat");
        QTest::newRow("missing folder") << QStringLiteral("missing/set.dat");
        QTest::newRow("target is a folder") << QStringLiteral("folder");
    }
    void saveIntoAFolderThatCannotBeWritten()
    {
        QFETCH(QString, target);
        buildMap();
        writeText(path("plain"), "not a folder");
        QDir(f->env.path()).mkdir("folder");
        const QStringList before = QDir(f->env.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        QVERIFY(!f->params->WriteToFile(path(target), "nordaQRT", kT1, "1"));
        QCOMPARE(QDir(f->env.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        QVERIFY(QDir(path("folder")).isEmpty());
    }

    void overwriteReplacesTheWholeFile()
    {
        buildMap();
        const QString file = path("over.dat");
        writeText(file, QByteArray(20000, 'z'));
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), paramFileBytes(*f->params, "nordaQRT", kT1, "1"));
        QCOMPARE(QDir(f->env.path()).entryList({"over.dat*"}, QDir::Files | QDir::Hidden).size(), 1);
    }

    void savedThenLoadedChangesNoValue()
    {
        buildMap();
        const QMap<QString, QString> before = values(*f->params);
        const QString file = path("same.dat");
        QVERIFY(f->params->WriteToFile(file, "nordaQRT", kT1, "1"));
        QCOMPARE(f->params->LoadFromFile(file, &f->ini, "nordaQRT", kT1, "1"), int(LE_NO_ERROR));
        QCOMPARE(values(*f->params), before);
        // Loaded values count as changes, as the window's Apply expects.
        QCOMPARE(changedCount(), 33);
        const QByteArray again = paramFileBytes(*f->params, "nordaQRT", kT1, "1");
        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(again, in.readAll());
    }

    void germanTexts()
    {
        platform::setLanguageOffset(1000);
        LoadReport r;
        r.result = LE_FILE_AMBIGUOUS;
        r.reason = 4;
        r.key = QStringLiteral("HeatTi");
        QVERIFY(refusalText(r).startsWith(QStringLiteral("Der ausgewählte Parametersatz enthält \"HeatTi\"")));
        QCOMPARE(fileNoteText(FileNote{FileNote::UnknownKey, 12, QStringLiteral("X")}),
                 QStringLiteral("Zeile 12: \"X\" gehört zu keinem Parameter und wurde übergangen."));
        platform::setLanguageOffset(0);
        QCOMPARE(fileNoteText(FileNote{FileNote::NotANumber, 3, QStringLiteral("HeatTi"), QStringLiteral("abc"), QString()}),
                 QStringLiteral("Line 3: HeatTi = abc is not a number; expected a whole number. The parameter keeps its value."));
        r.result = LE_WRONG_DEVICE;
        QVERIFY(refusalText(r).isEmpty());
    }
};

QTEST_MAIN(TstParamFile)
#include "tst_paramfile.moc"
