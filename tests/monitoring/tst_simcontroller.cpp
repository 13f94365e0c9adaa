// The behaving simulated controller inside the simulated object server:
// commands answered at once, outputs that change as the room is stepped and
// reach monitored NVs through the event loop, and aerolis-net driving the
// room from outside (temperature, window, frost alarm, printing the NVs).
#include "simfixture.h"

#include <lnssim/nettool.h>
#include <lnssim/roomcontroller.h>
#include <lnssim/simobjects.h>

#include <QSignalSpy>

using namespace lnssim;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

struct ToolRun
{
    int code = 0;
    QString out;
    QString err;
};

} // namespace

class TestSimController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        f = std::make_unique<SimFixture>();
        room = nullptr;
    }
    void cleanup()
    {
        room = nullptr;
        f.reset();
    }

    void commandsAreAnsweredAtOnce_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("mode off") << "nviApplicMode" << "" << "6" << "nvoUnitStatus" << bytes({6});
        QTest::newRow("mode cool: cooling setpoint") << "nviApplicMode" << "" << "3" << "nvoEffectSetpt" << bytes({8, 252});
        QTest::newRow("mode off: frost protection setpoint") << "nviApplicMode" << "" << "6" << "nvoEffectSetpt" << bytes({2, 88});
        QTest::newRow("economy") << "nviOccSchedule" << "current_state" << "OC_UNOCCUPIED" << "nvoEffectOccup" << bytes({1});
        QTest::newRow("economy setpoint") << "nviOccSchedule" << "current_state" << "OC_UNOCCUPIED" << "nvoEffectSetpt"
                                          << bytes({6, 64});
        QTest::newRow("standby") << "nviOccSchedule" << "current_state" << "OC_STANDBY" << "nvoEffectOccup" << bytes({3});
        QTest::newRow("building protection") << "nviOccSchedule" << "current_state" << "OC_NUL" << "nvoEffectOccup"
                                             << bytes({255});
        QTest::newRow("building protection setpoint") << "nviOccSchedule" << "current_state" << "OC_NUL"
                                                      << "nvoEffectSetpt" << bytes({4, 176});
    }
    void commandsAreAnsweredAtOnce()
    {
        QFETCH(QString, nv);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, output);
        QFETCH(QByteArray, expected);
        openWithRooms();
        auto input = f->nv("Room101", nv);
        if (field.isEmpty()) {
            input->setFormatSpecifier("RAW");
            input->setValue(text);
        } else {
            input->field(field)->setValue(text);
        }
        auto admin = f->admin();
        const QByteArray got = admin->deviceNv(admin->device("Room101").id, output);
        QCOMPARE(got.left(expected.size()), expected);
    }

    void steppedOutputsReachMonitoredNvs()
    {
        openWithRooms();
        auto admin = f->admin();
        const int id = admin->device("Room101").id;
        // A cold room in heating mode.
        {
            NetworkDb::Transaction tx(admin->db());
            RoomState s = RoomStore::loadOrCreate(admin->db(), id);
            s.temperature = 15;
            s.mode = RM_HEAT;
            s.windowHold = WindowHold::Closed;
            RoomStore::save(admin->db(), id, s, 0);
            tx.commit();
        }
        auto status = f->nv("Room101", "nvoUnitStatus");
        QSignalSpy spy(f->server.get(), &lns::ObjectServer::nvUpdate);
        status->setEditing(true);
        status->setReportByException(true);
        status->setMonitorTag(5002);
        status->setEditing(false);
        QVERIFY(spy.wait(5000));
        spy.clear();
        room->advance(60);
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty(), 5000);
        const QString text = spy.last().at(1).toString();
        QCOMPARE(spy.last().at(0).toInt(), 5002);
        QVERIFY2(text.startsWith(QLatin1String("HVAC_HEAT,100,")), qPrintable(text));
        // The unreported small changes are not sent: a second step of a
        // second leaves the saturated output as it is.
        spy.clear();
        room->advance(1);
        QTest::qWait(100);
        QCOMPARE(spy.count(), 0);
        QVERIFY(room->steps() >= 12);
    }

    void roomsAreSwitchedOnByTheNetwork()
    {
        // Without a factory the network's own setting decides.
        QCOMPARE(tool({"behaviour", "room", "--scale", "10"}).code, 0);
        f->open();
        auto input = f->nv("Room102", "nviOccSchedule");
        input->field("current_state")->setValue("OC_STANDBY");
        auto admin = f->admin();
        QCOMPARE(admin->deviceNv(admin->device("Room102").id, "nvoEffectOccup"), bytes({3}));
        f->network->close();
        f->network.reset();

        QCOMPARE(tool({"behaviour", "static"}).code, 0);
        f->open();
        f->nv("Room103", "nviOccSchedule")->field("current_state")->setValue("OC_STANDBY");
        QCOMPARE(admin->deviceNv(admin->device("Room103").id, "nvoEffectOccup"), bytes({0}));
    }

    void toolDrivesTheRoom()
    {
        openWithRooms();
        auto admin = f->admin();
        const int id = admin->device("Room101").id;
        // Frost: the room is cold, the controller raises its alarm and heats.
        QCOMPARE(tool({"room", "Room101", "temp", "4"}).code, 0);
        room->advance(1);
        QByteArray status = admin->deviceNv(id, "nvoUnitStatus");
        QCOMPARE(status.at(11), char(1));
        QCOMPARE(status.mid(1, 2), bytes({0x4E, 0x20}));
        // Forced alarm in a warm room.
        QCOMPARE(tool({"room", "Room101", "temp", "21"}).code, 0);
        room->advance(1);
        QCOMPARE(admin->deviceNv(id, "nvoUnitStatus").at(11), char(0));
        QCOMPARE(tool({"room", "Room101", "frost", "on"}).code, 0);
        room->advance(1);
        QCOMPARE(admin->deviceNv(id, "nvoUnitStatus").at(11), char(1));
        QCOMPARE(tool({"room", "Room101", "frost", "off"}).code, 0);

        // The window: night purge command and energy hold-off.
        QCOMPARE(tool({"room", "Room101", "window", "open"}).code, 0);
        room->advance(1);
        QCOMPARE(admin->deviceNv(id, "nvoOaWindow"), bytes({1, 200, 0, 0}));
        QCOMPARE(admin->deviceNv(id, "nvoEnergyHoldOff"), bytes({200, 1}));
        QCOMPARE(tool({"room", "Room101", "window", "closed"}).code, 0);
        room->advance(1);
        QCOMPARE(admin->deviceNv(id, "nvoOaWindow"), bytes({0, 0, 0, 0}));
        QCOMPARE(admin->deviceNv(id, "nvoEnergyHoldOff"), bytes({0, 0}));

        // Printing the values.
        const ToolRun r = tool({"nvs", "Room101"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("nvoOaWindow")) && r.out.contains(QLatin1String("SET_OFF,0,0")),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(QLatin1String("room: 2")) && r.out.contains(QLatin1String("held closed")),
                 qPrintable(r.out));
    }

    void toolStepsARoomOnItsOwn()
    {
        // No program has the network open: aerolis-net runs the room itself.
        QCOMPARE(tool({"room", "Room103", "temp", "15"}).code, 0);
        QCOMPARE(tool({"room", "Room103", "window", "closed"}).code, 0);
        const ToolRun r = tool({"room", "Room103", "step", "600"});
        QCOMPARE(r.code, 0);
        auto admin = f->admin();
        const int id = admin->device("Room103").id;
        const std::optional<RoomState> s = RoomStore::load(admin->db(), id);
        QVERIFY(s);
        QVERIFY(s->temperature > 15);
        QVERIFY(admin->deviceNv(id, "nvoUnitStatus").mid(1, 2) != bytes({0, 0}));
    }

    void toolRejectsBadInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("temperature not a number") << QStringList{"room", "Room101", "temp", "warm"} << 2;
        QTest::newRow("temperature out of range") << QStringList{"room", "Room101", "temp", "500"} << 2;
        QTest::newRow("window word") << QStringList{"room", "Room101", "window", "ajar"} << 2;
        QTest::newRow("frost word") << QStringList{"room", "Room101", "frost", "maybe"} << 2;
        QTest::newRow("unknown room command") << QStringList{"room", "Room101", "sing"} << 2;
        QTest::newRow("negative step") << QStringList{"room", "Room101", "step", "-5"} << 2;
        QTest::newRow("unknown device") << QStringList{"room", "Room999", "temp", "20"} << 1;
        QTest::newRow("nvs of unknown device") << QStringList{"nvs", "Room999"} << 1;
        QTest::newRow("behaviour word") << QStringList{"behaviour", "lively"} << 2;
        QTest::newRow("behaviour scale") << QStringList{"behaviour", "room", "--scale", "0"} << 2;
    }
    void toolRejectsBadInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        const ToolRun r = tool(args);
        QCOMPARE(r.code, code);
        QVERIFY(!r.err.isEmpty());
    }

private:
    void openWithRooms()
    {
        f->server = lnssim::SimObjectServer::create(f->env.lnsRoot(), TestEnvironment::iniPath());
        RoomController **slot = &room;
        f->server->setDeviceSimulatorFactory([slot](NetworkSession &s) {
            RoomController::Options o;
            o.autoStep = false;
            auto c = std::make_unique<RoomController>(s, o);
            *slot = c.get();
            return c;
        });
        f->server->open(0);
        f->network = f->server->networks()->item(QStringLiteral("Demo"));
        f->network->open(false);
        f->system = f->network->system();
        QVERIFY(room);
    }

    ToolRun tool(const QStringList &args)
    {
        QString out, err;
        QTextStream o(&out), e(&err);
        NetTool t(TestEnvironment::iniPath());
        QStringList all = {"--root", f->env.lnsRoot()};
        all << args;
        ToolRun r;
        r.code = t.run(all, o, e);
        o.flush();
        e.flush();
        r.out = out;
        r.err = err;
        return r;
    }

    std::unique_ptr<SimFixture> f;
    RoomController *room = nullptr;
};

QTEST_GUILESS_MAIN(TestSimController)
#include "tst_simcontroller.moc"
