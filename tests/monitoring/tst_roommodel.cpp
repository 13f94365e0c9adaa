// The room of a simulated controller, stepped with explicit simulated time:
// the PI loops reach their setpoints, the outputs follow the application,
// the fan levels are those the page reads back, the window drives night
// purge and energy hold-off, the frost alarm rises below frost protection.
#include <lnssim/roommodel.h>
#include <monitoring/nvdecoding.h>

#include <QtTest>

using namespace lnssim;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// The factory CPs of the device template.
QHash<QString, QByteArray> factoryCps()
{
    return {
        {"SetPoints", bytes({8, 252, 9, 196, 10, 240, 8, 52, 7, 108, 6, 64})},
        {"ProtSetpointHeat", bytes({4, 176})},
        {"ProtSetpointCool", bytes({15, 160})},
        {"ProtSetpointFrost", bytes({2, 88})},
        {"HeatXp", bytes({0, 200})},
        {"HeatTi", bytes({0, 30})},
        {"CoolXp", bytes({0, 200})},
        {"CoolTi", bytes({0, 30})},
        {"EconMinLevel", bytes({15, 160})},
        {"MinDeltaLevel", bytes({4})},
        {"DiscLevels", bytes({3})},
        {"SettingHystHigh", bytes({1, 200})},
        {"SettingHystLow", bytes({0, 0})},
    };
}

RoomParams factory(const QString &family = QStringLiteral("ceiling"), int app = 3)
{
    RoomParams p = RoomParams::fromCps(factoryCps(), family, app);
    return p;
}

const QHash<QString, int> kSizes = {{"nvoUnitStatus", 12}, {"nvoEffectOccup", 1},  {"nvoEffectSetpt", 2},
                                    {"nvoOaDamper", 2},    {"nvoOaWindow", 4},     {"nvoEnergyHoldOff", 2}};

} // namespace

class TestRoomModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parametersFromCps()
    {
        const RoomParams p = factory();
        QCOMPARE(p.heatComfort, 21.0);
        QCOMPARE(p.heatStandby, 19.0);
        QCOMPARE(p.heatEconomy, 16.0);
        QCOMPARE(p.coolComfort, 23.0);
        QCOMPARE(p.coolStandby, 25.0);
        QCOMPARE(p.coolEconomy, 28.0);
        QCOMPARE(p.protHeat, 12.0);
        QCOMPARE(p.protCool, 40.0);
        QCOMPARE(p.frost, 6.0);
        QCOMPARE(p.heatXp, 2.0);
        QCOMPARE(p.heatTiMin, 30.0);
        QCOMPARE(p.econMinLevel, 20.0);
        QCOMPARE(p.minDeltaPercent, 2.0);
        QCOMPARE(p.discLevels, 3);
        QCOMPARE(p.settingHigh, bytes({1, 200}));
        QCOMPARE(p.settingLow, bytes({0, 0}));
        // Missing CPs keep the defaults.
        const RoomParams empty = RoomParams::fromCps({}, QStringLiteral("ceiling"), 3);
        QCOMPARE(empty.heatComfort, RoomParams().heatComfort);
    }

    void outputsOfTheApplication_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("app");
        QTest::addColumn<QString>("outputs"); // heat primary, heat secondary, cool, fan
        QTest::newRow("ceiling 1: radiator") << "ceiling" << 1 << "PFFF";
        QTest::newRow("ceiling 2: chilled ceiling") << "ceiling" << 2 << "FFCF";
        QTest::newRow("ceiling 3") << "ceiling" << 3 << "PFCF";
        QTest::newRow("ceiling 7") << "ceiling" << 7 << "PFCF";
        QTest::newRow("fan coil 1") << "fancoil" << 1 << "FFCN";
        QTest::newRow("fan coil 2") << "fancoil" << 2 << "FSCN";
        QTest::newRow("fan coil 4") << "fancoil" << 4 << "PFFN";
        QTest::newRow("fan coil 5") << "fancoil" << 5 << "PSCN";
        QTest::newRow("fan coil 6") << "fancoil" << 6 << "PFCN";
        QTest::newRow("fan coil 9") << "fancoil" << 9 << "PSCN";
    }
    void outputsOfTheApplication()
    {
        QFETCH(QString, family);
        QFETCH(int, app);
        QFETCH(QString, outputs);
        const RoomParams p = factory(family, app);
        QString got;
        got += p.heatPrimary ? 'P' : 'F';
        got += p.heatSecondary ? 'S' : 'F';
        got += p.cooling ? 'C' : 'F';
        got += p.fan ? 'N' : 'F';
        QCOMPARE(got, outputs);
        // Every output the page marks as missing stays at 0 through a day
        // of heating and cooling demand.
        for (int mode : {RM_HEAT, RM_COOL}) {
            RoomState s;
            s.mode = mode;
            s.windowHold = WindowHold::Closed;
            s.temperature = mode == RM_HEAT ? 15 : 30;
            const RoomOutputs o = RoomModel::step(s, p, 600);
            if (!p.heatPrimary)
                QCOMPARE(o.heatPrimary, 0.0);
            if (!p.heatSecondary)
                QCOMPARE(o.heatSecondary, 0.0);
            if (!p.cooling)
                QCOMPARE(o.cool, 0.0);
            if (!p.fan)
                QCOMPARE(o.fan, 0.0);
        }
    }

    void loopReachesTheSetpoint_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("occupancy");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("setpoint");
        QTest::addColumn<double>("outdoor"); // a cold day for heating, a hot one for cooling
        QTest::newRow("heat, comfort") << int(RM_HEAT) << int(RO_OCCUPIED) << 17.0 << 21.0 << 5.0;
        QTest::newRow("heat, economy") << int(RM_HEAT) << int(RO_UNOCCUPIED) << 21.0 << 16.0 << 5.0;
        QTest::newRow("heat, standby") << int(RM_HEAT) << int(RO_STANDBY) << 15.0 << 19.0 << 5.0;
        QTest::newRow("heat, building protection") << int(RM_HEAT) << int(RO_NUL) << 10.0 << 12.0 << 5.0;
        QTest::newRow("cool, comfort") << int(RM_COOL) << int(RO_OCCUPIED) << 27.0 << 23.0 << 32.0;
        QTest::newRow("cool, standby") << int(RM_COOL) << int(RO_STANDBY) << 29.0 << 25.0 << 32.0;
        QTest::newRow("auto from cold") << int(RM_AUTO) << int(RO_OCCUPIED) << 17.0 << 21.0 << 5.0;
        QTest::newRow("auto from warm") << int(RM_AUTO) << int(RO_OCCUPIED) << 27.0 << 23.0 << 32.0;
        QTest::newRow("morning warm-up uses comfort") << int(RM_MORNING_WARMUP) << int(RO_UNOCCUPIED) << 16.0 << 21.0 << 5.0;
        QTest::newRow("pre cool uses comfort") << int(RM_PRE_COOL) << int(RO_UNOCCUPIED) << 28.0 << 23.0 << 32.0;
    }
    void loopReachesTheSetpoint()
    {
        QFETCH(int, mode);
        QFETCH(int, occupancy);
        QFETCH(double, start);
        QFETCH(double, setpoint);
        QFETCH(double, outdoor);
        RoomParams p = factory();
        p.outdoor = outdoor;
        RoomState s;
        s.mode = mode;
        s.occupancy = occupancy;
        s.temperature = start;
        s.windowHold = WindowHold::Closed;
        RoomOutputs o = RoomModel::step(s, p, 60);
        QCOMPARE(o.effectiveSetpoint, setpoint);
        QCOMPARE(o.effectiveOccupancy, occupancy);
        QCOMPARE(o.mode, mode);
        // Far from the setpoint one of the outputs works.
        QVERIFY(o.heatPrimary > 0 || o.cool > 0 || start > setpoint);
        o = RoomModel::step(s, p, 4 * 3600);
        QVERIFY2(std::abs(s.temperature - setpoint) < 0.3, qPrintable(QString::number(s.temperature)));
        QCOMPARE(o.effectiveSetpoint, setpoint);
    }

    void offDriftsToOutdoor()
    {
        const RoomParams p = factory();
        RoomState s;
        s.mode = RM_OFF;
        s.temperature = 21;
        s.windowHold = WindowHold::Closed;
        const RoomOutputs o = RoomModel::step(s, p, 3600);
        QCOMPARE(o.heatPrimary + o.cool + o.econ + o.fan, 0.0);
        QVERIFY(s.temperature < 21 && s.temperature > p.outdoor);
        QCOMPARE(o.effectiveSetpoint, p.frost);
    }

    void frostProtection_data()
    {
        QTest::addColumn<double>("temperature");
        QTest::addColumn<bool>("forced");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("below frost protection") << 4.0 << false << int(RM_OFF) << true;
        QTest::newRow("just above") << 6.5 << false << int(RM_OFF) << false;
        QTest::newRow("forced in a warm room") << 21.0 << true << int(RM_HEAT) << true;
        QTest::newRow("below while cooling") << 5.0 << false << int(RM_COOL) << true;
    }
    void frostProtection()
    {
        QFETCH(double, temperature);
        QFETCH(bool, forced);
        QFETCH(int, mode);
        QFETCH(bool, alarm);
        const RoomParams p = factory();
        RoomState s;
        s.mode = mode;
        s.temperature = temperature;
        s.frostForced = forced;
        s.windowHold = WindowHold::Open; // not even an open window stops frost protection
        const RoomOutputs o = RoomModel::outputs(s, p);
        QCOMPARE(o.frostAlarm, alarm);
        if (temperature < p.frost)
            QCOMPARE(o.heatPrimary, 100.0);
        const QByteArray status = RoomModel::encodeOutputs(o, p, kSizes).value("nvoUnitStatus");
        QCOMPARE(status.at(11), char(alarm ? 1 : 0));
        // The page reads it as the alarm field.
        const QString text = QStringLiteral("HVAC_X,0,0,0,0,0,%1").arg(int(status.at(11)));
        QCOMPARE(monitoring::frostAlarm(text), alarm);
        // Heating brings a cold room out of the alarm unless it is forced.
        if (!forced && mode != RM_COOL) {
            s.windowHold = WindowHold::Closed;
            RoomModel::step(s, p, 3600);
            QVERIFY(!RoomModel::outputs(s, p).frostAlarm);
        }
    }

    void windowDrivesNightPurgeAndHoldOff()
    {
        const RoomParams p = factory();
        RoomState s;
        s.mode = RM_HEAT;
        s.temperature = 19;
        s.windowHold = WindowHold::Auto;
        s.windowTimer = 60;
        RoomOutputs o = RoomModel::step(s, p, 30);
        QVERIFY(!s.window);
        QVERIFY(o.heatPrimary > 0);
        QVERIFY(!o.nightPurge && !o.energyHoldOff);
        QHash<QString, QByteArray> b = RoomModel::encodeOutputs(o, p, kSizes);
        QCOMPARE(b.value("nvoOaWindow"), bytes({0, 0, 0, 0}));
        QCOMPARE(b.value("nvoEnergyHoldOff"), bytes({0, 0}));

        o = RoomModel::step(s, p, 40); // the contact opens after 60 s
        QVERIFY(s.window);
        QCOMPARE(s.windowChanges, 1);
        QVERIFY(o.nightPurge && o.energyHoldOff);
        QCOMPARE(o.heatPrimary, 0.0);
        QCOMPARE(o.econ, 0.0);
        b = RoomModel::encodeOutputs(o, p, kSizes);
        QCOMPARE(b.value("nvoOaWindow"), bytes({1, 200, 0, 0}));
        QCOMPARE(b.value("nvoEnergyHoldOff"), bytes({200, 1}));
        // What the page decodes from those bytes.
        QVERIFY(monitoring::nightPurgeActive(QStringLiteral("1\t200\t0\t0"), 1, 200));
        QVERIFY(monitoring::energyHoldOffActive(QStringLiteral("100 1")));

        // It closes again within 2 to 7 minutes.
        const double open = s.windowTimer;
        QVERIFY(open > 0 && open <= 420);
        RoomModel::step(s, p, open + 1);
        QVERIFY(!s.window);
    }

    void windowHeld()
    {
        const RoomParams p = factory();
        RoomState s;
        s.windowHold = WindowHold::Open;
        RoomModel::step(s, p, 24 * 3600);
        QVERIFY(s.window);
        QCOMPARE(s.windowChanges, 0);
        s.windowHold = WindowHold::Closed;
        RoomModel::step(s, p, 24 * 3600);
        QVERIFY(!s.window);
    }

    void nightPurgeMode()
    {
        const RoomParams p = factory();
        RoomState s;
        s.mode = RM_NIGHT_PURGE;
        s.temperature = 26;
        s.windowHold = WindowHold::Closed;
        const RoomOutputs o = RoomModel::step(s, p, 600);
        QVERIFY(o.nightPurge);
        QVERIFY(!o.energyHoldOff);
        QCOMPARE(o.econ, 100.0);
        QCOMPARE(o.heatPrimary + o.cool, 0.0);
        QVERIFY(s.temperature < 26);
    }

    void windowPeriods()
    {
        for (int i = 0; i < 200; ++i) {
            const double open = RoomModel::nextWindowPeriod(42, i, true);
            const double closed = RoomModel::nextWindowPeriod(42, i, false);
            QVERIFY(open >= 120 && open < 420);
            QVERIFY(closed >= 900 && closed < 2700);
            QCOMPARE(RoomModel::nextWindowPeriod(42, i, true), open);
        }
        QVERIFY(RoomModel::nextWindowPeriod(1, 3, false) != RoomModel::nextWindowPeriod(2, 3, false));
    }

    void fanLevelsReadBack_data()
    {
        QTest::addColumn<int>("levels");
        for (int l = 1; l <= 5; ++l)
            QTest::addRow("%d level(s)", l) << l;
    }
    void fanLevelsReadBack()
    {
        // Each level's output is read back by the page's formula as that level.
        QFETCH(int, levels);
        QCOMPARE(RoomModel::fanOutput(0, levels), 0.0);
        for (int k = 1; k <= levels; ++k) {
            int level = 0;
            const double demand = 100.0 * k / levels - 0.1;
            const double fan = RoomModel::fanOutput(demand, levels, &level);
            QCOMPARE(level, k);
            QCOMPARE(monitoring::fanLevel(float(fan), levels).value_or(-1), k);
        }
        int level = 0;
        QCOMPARE(RoomModel::fanOutput(100, levels, &level) <= 100.0, true);
        QCOMPARE(level, levels);
        // Steady: the demand itself.
        QCOMPARE(RoomModel::fanOutput(37.5, 0), 37.5);
    }

    void fanCoilFanFollowsTheOutputs()
    {
        const RoomParams p = factory(QStringLiteral("fancoil"), 3);
        RoomState s;
        s.mode = RM_HEAT;
        s.temperature = 17;
        s.windowHold = WindowHold::Closed;
        RoomOutputs o = RoomModel::step(s, p, 10);
        QVERIFY(o.heatPrimary > 66);
        QCOMPARE(o.fanLevel, 3);
        QCOMPARE(o.fan, 99.0);
        RoomModel::step(s, p, 4 * 3600);
        o = RoomModel::step(s, p, 10);
        QVERIFY(o.fanLevel < 3);
        QCOMPARE(monitoring::fanLevel(float(o.fan), 3).value_or(-1), o.fanLevel);
    }

    void encoding()
    {
        RoomOutputs o;
        o.mode = RM_COOL;
        o.heatPrimary = 12.5;
        o.heatSecondary = 0;
        o.cool = 100;
        o.econ = 20;
        o.fan = 66;
        o.frostAlarm = true;
        o.effectiveOccupancy = RO_STANDBY;
        o.effectiveSetpoint = -2;
        const QHash<QString, QByteArray> b = RoomModel::encodeOutputs(o, factory(), kSizes);
        // 12.5 % = 2500 steps of 0.005 %, 100 % = 20000, 20 % = 4000, 66 % = 13200.
        QCOMPARE(b.value("nvoUnitStatus"), bytes({3, 0x09, 0xC4, 0, 0, 0x4E, 0x20, 0x0F, 0xA0, 0x33, 0x90, 1}));
        QCOMPARE(b.value("nvoEffectOccup"), bytes({3}));
        QCOMPARE(b.value("nvoEffectSetpt"), bytes({255, 56}));
        QCOMPARE(b.value("nvoOaDamper"), bytes({0x0F, 0xA0}));
        // Only the NVs the device has.
        QCOMPARE(RoomModel::encodeOutputs(o, factory(), {{"nvoEffectOccup", 1}}).size(), 1);
        // A two-byte window output gets the command without the rotation.
        QCOMPARE(RoomModel::encodeOutputs(o, factory(), {{"nvoOaWindow", 2}}).value("nvoOaWindow"), bytes({0, 0}));
    }

    void minimumChange_data()
    {
        QTest::addColumn<int>("oldRaw");
        QTest::addColumn<int>("newRaw");
        QTest::addColumn<bool>("sent");
        QTest::newRow("same") << 4000 << 4000 << false;
        QTest::newRow("1 % more") << 4000 << 4200 << false;
        QTest::newRow("2 % more") << 4000 << 4400 << true;
        QTest::newRow("2 % less") << 4400 << 4000 << true;
        QTest::newRow("to off") << 100 << 0 << true;
        QTest::newRow("from off") << 0 << 100 << true;
        QTest::newRow("to full") << 19900 << 20000 << true;
    }
    void minimumChange()
    {
        QFETCH(int, oldRaw);
        QFETCH(int, newRaw);
        QFETCH(bool, sent);
        auto status = [](int heat) { return bytes({1, (heat >> 8) & 0xFF, heat & 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0}); };
        const QHash<QString, QByteArray> current = {{"nvoUnitStatus", status(oldRaw)}, {"nvoEffectOccup", bytes({0})}};
        const QHash<QString, QByteArray> next = {{"nvoUnitStatus", status(newRaw)}, {"nvoEffectOccup", bytes({0})}};
        QCOMPARE(RoomModel::changedOutputs(current, next, 2.0).contains("nvoUnitStatus"), sent);
        // Mode and alarm are always sent, so is any other NV that changed.
        QHash<QString, QByteArray> modeChanged = next;
        modeChanged["nvoUnitStatus"][0] = char(3);
        modeChanged["nvoEffectOccup"] = bytes({1});
        const auto c = RoomModel::changedOutputs(current, modeChanged, 2.0);
        QVERIFY(c.contains("nvoUnitStatus") && c.contains("nvoEffectOccup"));
        // An NV not set yet is sent.
        QVERIFY(RoomModel::changedOutputs({}, next, 2.0).contains("nvoUnitStatus"));
    }
};

QTEST_GUILESS_MAIN(TestRoomModel)
#include "tst_roommodel.moc"
