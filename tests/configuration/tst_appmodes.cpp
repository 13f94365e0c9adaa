// Modes and application numbers, the available-modes list and the family
// checks.
#include <configuration/appmodes.h>

#include <QTest>

using namespace configuration;

class TestAppModes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void modeToApp_data();
    void modeToApp();
    void reverseMapsBack_data();
    void reverseMapsBack();
    void availability_data();
    void availability();
    void familyChecks_data();
    void familyChecks();
};

void TestAppModes::modeToApp_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("valves");
    QTest::addColumn<int>("app");
    QTest::newRow("radiator") << 0 << 7 << 1;
    QTest::newRow("combined ceiling, 1 valve") << 2 << 1 << 4;
    QTest::newRow("combined ceiling, 2 valves") << 2 << 2 << 5;
    QTest::newRow("combined ceiling, 3 valves") << 2 << 3 << 0;
    QTest::newRow("fan coil hc 2") << 9 << 2 << 7;
    QTest::newRow("fan coil hc add 1") << 10 << 1 << 8;
    QTest::newRow("fan coil hc add 0 valves") << 10 << 0 << 0;
    QTest::newRow("6-way C/H") << 12 << 0 << 7;
    QTest::newRow("beyond the table") << 13 << 1 << 0;
    QTest::newRow("negative") << -1 << 1 << 0;
}

void TestAppModes::modeToApp()
{
    QFETCH(int, mode);
    QFETCH(int, valves);
    QFETCH(int, app);
    QCOMPARE(appNumberForMode(mode, valves), app);
}

void TestAppModes::reverseMapsBack_data()
{
    QTest::addColumn<int>("ctrlType");
    for (int kind = 1; kind <= 5; ++kind)
        QTest::addRow("CtrlType %d", kind) << kind;
}

void TestAppModes::reverseMapsBack()
{
    QFETCH(int, ctrlType);
    const int last = lastAppNumber(ctrlType);
    QCOMPARE(last, isCeilingFamily(ctrlType) ? 7 : 9);
    for (int n = 1; n <= last; ++n) {
        const ModeAndValves mv = modeForAppNumber(ctrlType, n);
        QCOMPARE(appNumberForMode(mv.mode, mv.valves), n);
        QVERIFY(mv.valves == 1 || mv.valves == 2);
    }
    QCOMPARE(modeForAppNumber(ctrlType, last + 1).valves, 0);
    QCOMPARE(modeForAppNumber(ctrlType, 0).mode, 0);
}

void TestAppModes::availability_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("available");
    QTest::newRow("0,1,3 has 0") << "0,1,3" << 0 << true;
    QTest::newRow("0,1,3 has 3") << "0,1,3" << 3 << true;
    QTest::newRow("0,1,3 lacks 2") << "0,1,3" << 2 << false;
    QTest::newRow("search ends at an empty item") << "0,,3" << 3 << false;
    QTest::newRow("blank items are read as numbers") << "4, 5" << 5 << true;
    QTest::newRow("fan coil list") << "4,5,6,7,8,9,10" << 10 << true;
}

void TestAppModes::availability()
{
    QFETCH(QString, list);
    QFETCH(int, mode);
    QFETCH(bool, available);
    QCOMPARE(appModeAvailable(list, mode), available);
}

void TestAppModes::familyChecks_data()
{
    QTest::addColumn<int>("ctrlType");
    QTest::addColumn<int>("app");
    QTest::addColumn<bool>("coolOnly");
    QTest::addColumn<bool>("heatOnly");
    for (int kind : {1, 3, 5}) {
        QTest::addRow("ceiling %d app 1", kind) << kind << 1 << false << true;
        QTest::addRow("ceiling %d app 2", kind) << kind << 2 << true << false;
        QTest::addRow("ceiling %d app 4", kind) << kind << 4 << false << false;
    }
    for (int kind : {2, 4}) {
        QTest::addRow("fan coil %d app 1", kind) << kind << 1 << true << false;
        QTest::addRow("fan coil %d app 4", kind) << kind << 4 << false << true;
        QTest::addRow("fan coil %d app 5", kind) << kind << 5 << false << true;
        QTest::addRow("fan coil %d app 2", kind) << kind << 2 << false << false;
    }
    QTest::newRow("unknown kind") << 6 << 1 << false << false;
}

void TestAppModes::familyChecks()
{
    QFETCH(int, ctrlType);
    QFETCH(int, app);
    QFETCH(bool, coolOnly);
    QFETCH(bool, heatOnly);
    QCOMPARE(coolingOnly(ctrlType, app), coolOnly);
    QCOMPARE(heatingOnly(ctrlType, app), heatOnly);
}

QTEST_GUILESS_MAIN(TestAppModes)
#include "tst_appmodes.moc"
