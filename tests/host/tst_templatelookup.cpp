// Finding CPs and NVs by their INI name through the device template, on the
// devices of the demo network.
#include "simfixture.h"

#include <lns/templatelookup.h>
#include <platform/tracelog.h>

#include <QtTest>

class TstTemplateLookup : public QObject
{
    Q_OBJECT

    struct Ctx
    {
        platform::IniFile ini;
        lns::TemplateContext ctx;
        Ctx(const lns::AppDevicePtr &device)
        {
            ini.setFileName(TestEnvironment::iniPath());
            ctx.ini = &ini;
            ctx.deviceTemplate = device->deviceTemplate();
        }
    };

private slots:
    void fetchCp_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("parentClass");
        QTest::newRow("object CP") << "Room101" << "SetPoints" << 12 << int(lns::ClsLonMarkObject);
        QTest::newRow("one-byte CP") << "Room101" << "HvacAppMode" << 1 << int(lns::ClsLonMarkObject);
        // Member index 3: a CP of the object's NV 3, not of the object.
        QTest::newRow("CP of an NV") << "Room101" << "MinDeltaLevel" << 1 << int(lns::ClsNetworkVariable);
        QTest::newRow("fan-coil template") << "Room102" << "DiscLevels" << 1 << int(lns::ClsLonMarkObject);
    }
    void fetchCp()
    {
        QFETCH(QString, device);
        QFETCH(QString, name);
        SimFixture f;
        f.open();
        Ctx c(f.device(device));
        bool found = false;
        lns::ConfigPropertyPtr cp = lns::FetchCp(name, lns::kCpSection, c.ctx, f.controller(device), &found);
        QVERIFY(found);
        QVERIFY(cp);
        QCOMPARE(cp->name(), name);
        QTEST(cp->elementByteLength() * cp->dimension(), "length");
        QTEST(cp->parent()->classId(), "parentClass");
    }

    void fetchDevCp()
    {
        SimFixture f;
        f.open();
        Ctx c(f.device("Room101"));
        lns::ConfigPropertyPtr cp = lns::FetchDevCp("TempCalib", lns::kCpSection, c.ctx, f.device("Room101"));
        QCOMPARE(cp->name(), QStringLiteral("TempCalib"));
        QCOMPARE(cp->parent()->classId(), int(lns::ClsAppDevice));
    }

    // A CP the template lacks (index -1 for T3) and a name it never heard of.
    void missingNames_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("name");
        QTest::newRow("template without the CP") << "Room103" << "OffDelay";
        QTest::newRow("unknown name") << "Room101" << "NoSuchCp";
    }
    void missingNames()
    {
        QFETCH(QString, device);
        QFETCH(QString, name);
        SimFixture f;
        f.open();
        Ctx c(f.device(device));
        bool found = true;
        QVERIFY(!lns::FetchCp(name, lns::kCpSection, c.ctx, f.controller(device), &found));
        QVERIFY(!found);
        try {
            lns::FetchCp(name, lns::kCpSection, c.ctx, f.controller(device));
            QFAIL("no error raised");
        } catch (const lns::LnsError &e) {
            QCOMPARE(e.number(), 10000);
            QCOMPARE(e.description(), "INI - File Error : " + name);
        }
    }

    void templateOverrideKeepsOtherDevices()
    {
        SimFixture f;
        f.open();
        Ctx t1(f.device("Room101"));
        bool found = false;
        QVERIFY(lns::FetchCp("OffDelay", lns::kCpSection, t1.ctx, f.controller("Room101"), &found));
        QVERIFY(found);
        QCOMPARE(t1.ctx.value(lns::kCpSection, "CtrlType"), QStringLiteral("1"));
        Ctx t3(f.device("Room103"));
        QCOMPARE(t3.ctx.value(lns::kCpSection, "CtrlType"), QStringLiteral("3"));
    }

    void fetchNv_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::newRow("first input") << "nviApplicMode" << 1;
        QTest::newRow("unit status") << "nvoUnitStatus" << 3;
        QTest::newRow("last output") << "nvoEnergyHoldOff" << 8;
    }
    void fetchNv()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        SimFixture f;
        f.open();
        Ctx c(f.device("Room101"));
        lns::NetworkVariablePtr viaObject = lns::FetchNv(name, lns::kNvSection, c.ctx, f.controller("Room101"));
        lns::NetworkVariablePtr viaDevice = lns::FetchDevNv(name, lns::kNvSection, c.ctx, f.device("Room101"));
        QCOMPARE(viaObject->name(), name);
        QCOMPARE(viaObject->index(), index);
        QCOMPARE(viaDevice->name(), name);
        QCOMPARE(viaDevice->parent()->name(), QStringLiteral("Controller"));
        bool found = true;
        QVERIFY(!lns::FetchNv("nvoNothing", lns::kNvSection, c.ctx, f.controller("Room101"), &found));
        QVERIFY(!found);
    }

    void entryLinesAreTraced()
    {
        SimFixture f;
        f.open();
        Ctx c(f.device("Room101"));
        platform::TraceLog::instance().clearRecent();
        bool found = false;
        lns::FetchCp("SetPoints", lns::kCpSection, c.ctx, f.controller("Room101"), &found);
        lns::FetchDevCp("TempCalib", lns::kCpSection, c.ctx, f.device("Room101"), &found);
        lns::FetchNv("nvoUnitStatus", lns::kNvSection, c.ctx, f.controller("Room101"), &found);
        lns::FetchDevNv("nvoUnitStatus", lns::kNvSection, c.ctx, f.device("Room101"), &found);
        QCOMPARE(platform::TraceLog::instance().recent(),
                 QStringList({"[M_PlugIn] Public Sub FetchCp()", "[M_PlugIn] Public Sub FetchDevCp()",
                              "[M_PlugIn] Public Sub FetchNv()", "[M_PlugIn] Public Sub FetchDevNv()"}));
    }
};

QTEST_GUILESS_MAIN(TstTemplateLookup)
#include "tst_templatelookup.moc"
