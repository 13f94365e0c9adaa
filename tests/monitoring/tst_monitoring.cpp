// The controlling page's logic on standalone controls with the page's object
// names, against a behaving simulated controller: fetching the NVs with
// their settings, switching monitoring on and off, every update decoded onto
// the page, the indicators, the two commands, faults of the device.
#include "monitoringfixture.h"
#include "standalonepage.h"

#include <QSignalSpy>
#include <QtTest>

using namespace monitoring;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

const QString k1528 = QStringLiteral("exclamation|Communication with device failed.");

} // namespace

class TestMonitoring : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        f = std::make_unique<MonitoringFixture>();
        page = std::make_unique<StandalonePage>();
        // A radiator controller (kind 1, application 1): heating and
        // economizer outputs.
        MarkMonitoringOutputs(*page, 1, 1);
        mon = std::make_unique<cMonitoring>(page.get(), f->connection, &f->config);
        // The page starts switched off, as the control command starts it.
        mon->SetMonitoring(false);
    }
    void cleanup()
    {
        mon.reset();
        page.reset();
        f.reset();
    }

    void fetchNvsAppliesTheSettings()
    {
        platform::TraceLog::instance().clearRecent();
        mon->FetchNVs();
        QVERIFY(mon->fetched());
        QVERIFY(platform::TraceLog::instance().recent().join('\n').contains("[M_PlugInSpecific] Public Sub FetchNVs()"));
        cMonitorPoints *pts = mon->MonitorPoints();
        QCOMPARE(pts->Count(), 8);
        for (int i = 0; i < 8; ++i) {
            const NvMonitorSetting &s = monitoredNvs().at(size_t(i));
            cMonitorPoint *p = pts->GetMonitorPoint(qint16(i + 1));
            QCOMPARE(p->Name(), s.name);
            QVERIFY(p->Available());
            QCOMPARE(p->monitorTag(), 5000 + i);
            QCOMPARE(p->MonitoringType(), s.monitoringType);
            const auto nv = f->sim.nv(f->device, s.name);
            QCOMPARE(nv->reportByException(), s.setReportByException);
            QCOMPARE(nv->pollInterval(), s.pollInterval < 0 ? 0 : s.pollInterval);
            QCOMPARE(nv->formatSpecifier(), s.format.value_or(QString()));
            QCOMPARE(nv->monitorOption(), s.clearOption ? 0 : 1);
            QVERIFY(!nv->monitorMessageFlag());
            QCOMPARE(nv->monitorTag(), 0);
            QVERIFY(!nv->editing());
        }
        // Only once per object.
        mon->FetchNVs();
        QCOMPARE(pts->Count(), 8);
    }

    void nvsTheDeviceOrTemplateLacks()
    {
        // The template of this run does not know nvoEnergyHoldOff and puts
        // nvoOaDamper at an index the device does not have.
        platform::IniFile ini;
        QFile file(TestEnvironment::iniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(file.readAll());
        text.replace(QStringLiteral("nvoEnergyHoldOff=8,1"), QString());
        text.replace(QStringLiteral("nvoOaDamper=6,1"), QStringLiteral("nvoOaDamper=42,1"));
        ini.parse(text);
        MonitoringConnection conn = f->connection;
        conn.templateContext.ini = &ini;
        cMonitoring m(page.get(), conn, &f->config);
        m.FetchNVs();
        QVERIFY(m.fetched());
        QCOMPARE(m.MonitorPoints()->Count(), 8);
        QVERIFY(!m.MonitorPoints()->GetMonitorPointByName("nvoOaDamper")->Available());
        QVERIFY(!m.MonitorPoints()->GetMonitorPointByName("nvoEnergyHoldOff")->Available());
        QVERIFY(m.MonitorPoints()->GetMonitorPointByName("nvoOaWindow")->Available());
        QCOMPARE(m.MonitorPoints()->GetMonitorPointByName("nvoOaWindow")->monitorTag(), 5006);
        // The page still comes alive.
        m.SetMonitoring(true);
        QCOMPARE(page->text(12), QStringLiteral("21.0"));
        QVERIFY(f->takeMessages().isEmpty());
    }

    void fetchErrorsFollowTheErrorLogger_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("fetched");
        QTest::addColumn<int>("ends");
        QTest::addColumn<int>("errorsLogged");
        QTest::newRow("continue with the next step") << int(platform::EA_Continue) << 8 << true << 0 << 8;
        QTest::newRow("leave FetchNVs") << int(platform::EA_Leave) << 0 << false << 0 << 1;
        QTest::newRow("end the program") << int(platform::EA_End) << 0 << false << 1 << 1;
        QTest::newRow("repeat, then leave") << int(platform::EA_Repeat) << 0 << false << 0 << 3;
    }
    void fetchErrorsFollowTheErrorLogger()
    {
        QFETCH(int, action);
        QFETCH(int, points);
        QFETCH(bool, fetched);
        QFETCH(int, ends);
        QFETCH(int, errorsLogged);
        int logged = 0;
        platform::TraceLog::instance().setActionPolicy([&](const QString &module, const QString &proc, int) {
            if (module == QLatin1String("M_PlugInSpecific") && proc == QLatin1String("FetchNVs"))
                ++logged;
            return action;
        });
        // A closed network: every fetch fails with an object-server error.
        f->sim.network->close();
        mon->FetchNVs();
        QCOMPARE(mon->MonitorPoints()->Count(), points);
        QCOMPARE(mon->fetched(), fetched);
        QCOMPARE(f->programEnds, ends);
        QCOMPARE(logged, errorsLogged);
        for (int i = 1; i <= points; ++i)
            QVERIFY(!mon->MonitorPoints()->GetMonitorPoint(qint16(i))->Available());
    }

    void switchedOn()
    {
        page->changed = true;
        mon->SetMonitoring(true);
        QVERIFY(mon->monitoringOn());
        QVERIFY(f->takeMessages().isEmpty());
        // The controller's state at once (forced updates).
        QCOMPARE(page->text(34), QStringLiteral("heat"));
        QCOMPARE(page->text(12), QStringLiteral("21.0"));
        QCOMPARE(page->text(13), QStringLiteral("comfort"));
        QCOMPARE(page->text(14), QStringLiteral("0"));
        QCOMPARE(page->text(17), QStringLiteral("0"));
        QCOMPARE(page->list(1)->currentData().toInt(), 1);
        QCOMPARE(page->list(9)->currentData().toInt(), 0);
        // Controls: the device's outputs enabled, the others not.
        for (int i : {1, 9})
            QVERIFY(page->list(i)->isEnabled());
        for (int i : {12, 13, 14, 17, 34}) {
            QVERIFY2(page->box(i)->isEnabled(), qPrintable(QString::number(i)));
            QCOMPARE(params::background(page->box(i)), params::Background::Window);
        }
        for (int i : {15, 16, 18, 19})
            QVERIFY2(!page->box(i)->isEnabled(), qPrintable(QString::number(i)));
        QVERIFY(page->ctl("cmdButton", 0)->isEnabled());
        QVERIFY(page->ctl("cmdButton", 3)->isEnabled());
        QVERIFY(page->ctl("Label", 30)->isVisible());
        // Exactly the page's five outputs are monitored, with tags by fetch order.
        const QHash<QString, int> tags = {{"nviApplicMode", 0},   {"nviOccSchedule", 0}, {"nvoUnitStatus", 5002},
                                          {"nvoEffectOccup", 5003}, {"nvoEffectSetpt", 5004}, {"nvoOaDamper", 0},
                                          {"nvoOaWindow", 5006},  {"nvoEnergyHoldOff", 5007}};
        for (auto it = tags.constBegin(); it != tags.constEnd(); ++it)
            QCOMPARE(f->sim.nv(f->device, it.key())->monitorTag(), it.value());
        // The server's own first reports come through the event loop and
        // change nothing.
        QTest::qWait(100);
        QCOMPARE(page->text(12), QStringLiteral("21.0"));
    }

    void switchedOff()
    {
        mon->SetMonitoring(true);
        page->SetEnergyHoldOffIndicator(true);
        mon->SetMonitoring(false);
        QVERIFY(!mon->monitoringOn());
        for (int i : {1, 9}) {
            QVERIFY(!page->list(i)->isEnabled());
            QCOMPARE(page->list(i)->currentIndex(), -1);
            QCOMPARE(params::background(page->list(i)), params::Background::ButtonFace);
        }
        for (int i : {12, 13, 14, 15, 16, 17, 18, 19, 34}) {
            QVERIFY(!page->box(i)->isEnabled());
            QCOMPARE(page->text(i), QString());
            QCOMPARE(params::background(page->box(i)), params::Background::ButtonFace);
        }
        QVERIFY(!page->ctl("cmdButton", 0)->isEnabled());
        QVERIFY(!page->ctl("cmdButton", 3)->isEnabled());
        for (const NvMonitorSetting &s : monitoredNvs())
            QCOMPARE(f->sim.nv(f->device, s.name)->monitorTag(), 0);
        // Blinking goes on.
        QVERIFY(page->blinkers[1]->isBlinking());
        // Updates that were on their way change nothing any more.
        QTest::qWait(100);
        QCOMPARE(page->text(12), QString());
        // And on again reuses the points.
        mon->SetMonitoring(true);
        QCOMPARE(mon->MonitorPoints()->Count(), 8);
        QCOMPARE(page->text(12), QStringLiteral("21.0"));
    }

    void fanCoilPage_data()
    {
        QTest::addColumn<int>("levels");
        QTest::addColumn<bool>("levelBox");
        QTest::newRow("three levels") << 3 << true;
        QTest::newRow("steady fan") << 0 << false;
    }
    void fanCoilPage()
    {
        QFETCH(int, levels);
        QFETCH(bool, levelBox);
        // Room101 is a radiator controller; marked as a fan coil with all
        // outputs, every box is decoded (the ones it lacks read 0).
        MarkMonitoringOutputs(*page, 2, 5);
        f->config.values["DiscLevels"] = levels;
        f->changeRoom([](lnssim::RoomState &s) {
            s.temperature = 15;
            s.windowHold = lnssim::WindowHold::Closed;
        });
        f->room->advance(1);
        mon->SetMonitoring(true);
        for (int i = 14; i <= 18; ++i)
            QVERIFY(page->box(i)->isEnabled());
        QCOMPARE(page->box(19)->isEnabled(), levelBox);
        QCOMPARE(page->text(14), QStringLiteral("100"));
        QCOMPARE(page->text(17), QStringLiteral("20"));
        QCOMPARE(page->text(18), QStringLiteral("0")); // this controller has no fan
        QCOMPARE(page->text(19), levelBox ? QStringLiteral("0") : QString());
    }

    void liveUpdates()
    {
        mon->SetMonitoring(true);
        QTest::qWait(50);
        // The room cools down: the controller heats, the page follows.
        f->changeRoom([](lnssim::RoomState &s) {
            s.temperature = 15;
            s.windowHold = lnssim::WindowHold::Closed;
        });
        f->room->advance(30);
        QTRY_COMPARE_WITH_TIMEOUT(page->text(14), QStringLiteral("100"), 5000);
        // The user sets economy: the controller answers with its setpoint.
        page->list(9)->setCurrentIndex(2);
        QVERIFY(mon->SendOccupancy());
        QTRY_COMPARE_WITH_TIMEOUT(page->text(13), QStringLiteral("economy"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(page->text(12), QStringLiteral("16.0"), 5000);
        // And cooling mode.
        page->list(1)->setCurrentIndex(3);
        QVERIFY(mon->SendApplicationMode());
        QTRY_COMPARE_WITH_TIMEOUT(page->text(34), QStringLiteral("cool"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(page->text(12), QStringLiteral("28.0"), 5000);
        QVERIFY(mon->updatesDecoded() > 6);
    }

    void indicatorsFollowTheRoom()
    {
        mon->SetMonitoring(true);
        QTest::qWait(50);
        for (auto *b : page->blinkers)
            QVERIFY(!b->isBlinking());
        f->changeRoom([](lnssim::RoomState &s) {
            s.windowHold = lnssim::WindowHold::Open;
            s.frostForced = true;
        });
        f->room->advance(1);
        QTRY_VERIFY_WITH_TIMEOUT(page->blinkers[0]->isBlinking(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(page->blinkers[1]->isBlinking(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(page->blinkers[2]->isBlinking(), 5000);
        f->changeRoom([](lnssim::RoomState &s) {
            s.windowHold = lnssim::WindowHold::Closed;
            s.frostForced = false;
        });
        f->room->advance(1);
        QTRY_VERIFY_WITH_TIMEOUT(!page->blinkers[0]->isBlinking(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!page->blinkers[1]->isBlinking(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!page->blinkers[2]->isBlinking(), 5000);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(page->shapeColor(i), indicatorDarkColor(i));
    }

    void nightPurgeNeedsTheConfiguredCommand_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("blinks");
        QTest::newRow("configured command") << 1 << 200 << true;
        QTest::newRow("other level") << 1 << 100 << false;
        QTest::newRow("other function") << 3 << 200 << false;
    }
    void nightPurgeNeedsTheConfiguredCommand()
    {
        QFETCH(int, function);
        QFETCH(int, level);
        QFETCH(bool, blinks);
        f->config.values["SettingHystHighFunction"] = function;
        f->config.values["SettingHystHighLevel"] = level;
        f->changeRoom([](lnssim::RoomState &s) { s.windowHold = lnssim::WindowHold::Open; });
        f->room->advance(1);
        mon->SetMonitoring(true);
        QCOMPARE(page->blinkers[0]->isBlinking(), blinks);
        QVERIFY(page->blinkers[1]->isBlinking());
    }

    void badValuesNeverBreakThePage_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::newRow("setpoint of one byte") << "nvoEffectSetpt" << "8" << 12 << "21.0";
        QTest::newRow("empty setpoint") << "nvoEffectSetpt" << "" << 12 << "21.0";
        QTest::newRow("typed setpoint text") << "nvoEffectSetpt" << "21.5" << 12 << "21.0";
        QTest::newRow("occupancy text") << "nvoEffectOccup" << "OC_STANDBY" << 13 << "comfort";
        QTest::newRow("empty occupancy") << "nvoEffectOccup" << "" << 13 << "comfort";
        QTest::newRow("occupancy 2") << "nvoEffectOccup" << "2" << 13 << "";
        QTest::newRow("occupancy out of range") << "nvoEffectOccup" << "1000" << 13 << "";
        QTest::newRow("unknown mode") << "nvoUnitStatus" << "HVAC_ICE,0,0,0,0,0,0" << 34 << "";
        QTest::newRow("unit status of one field") << "nvoUnitStatus" << "HVAC_COOL" << 34 << "cool";
        QTest::newRow("empty unit status") << "nvoUnitStatus" << "" << 34 << "";
        QTest::newRow("unknown point") << "nvoNothing" << "1" << 12 << "21.0";
    }
    void badValuesNeverBreakThePage()
    {
        QFETCH(QString, point);
        QFETCH(QString, value);
        QFETCH(int, box);
        QFETCH(QString, text);
        mon->SetMonitoring(true);
        QTest::qWait(50);
        mon->mobjMonitorPoints_NvUpdate(point, value);
        QCOMPARE(page->text(box), text);
        // The outputs are read from the device whatever the text said.
        if (point == QLatin1String("nvoUnitStatus"))
            QCOMPARE(page->text(14), QStringLiteral("0"));
        QVERIFY(f->takeMessages().isEmpty());
    }

    void foreignTagChangesNothing()
    {
        mon->SetMonitoring(true);
        QTest::qWait(50);
        const qint64 before = mon->updatesDecoded();
        Q_EMIT f->sim.server->nvUpdate(5009, QStringLiteral("1\t0"), f->sim.nv(f->device, "nvoEffectSetpt"));
        Q_EMIT f->sim.server->nvUpdate(5000, QStringLiteral("1\t0"), f->sim.nv(f->device, "nviApplicMode"));
        QCOMPARE(page->text(12), QStringLiteral("21.0"));
        // Tag 5000 is nviApplicMode's point: delivered, decoded to nothing.
        QCOMPARE(mon->updatesDecoded(), before + 1);
    }

    void deviceStopsAnsweringWhileMonitored()
    {
        mon->SetMonitoring(true);
        QTest::qWait(50);
        f->takeMessages();
        f->setUnreachable(true);
        // A silent device reports nothing, neither its own changes nor
        // polls; the page keeps what it showed and no message is shown until
        // something is read or written.
        f->changeRoom([](lnssim::RoomState &s) { s.occupancy = lnssim::RO_STANDBY; });
        f->room->advance(30);
        QTest::qWait(200);
        QCOMPARE(page->text(12), QStringLiteral("21.0"));
        QVERIFY(f->takeMessages().isEmpty());
        page->list(1)->setCurrentIndex(6);
        mon->SendApplicationMode();
        QCOMPARE(f->takeMessages(), QStringList{k1528});
        page->list(9)->setCurrentIndex(0);
        mon->SendOccupancy();
        QCOMPARE(f->takeMessages(), QStringList{k1528});
        mon->MonitorPoints()->ForceNvUpdate("nvoEffectSetpt");
        QCOMPARE(f->takeMessages(), QStringList{k1528});
        QCOMPARE(page->text(12), QStringLiteral("21.0"));
    }

    void switchingOnASilentDevice()
    {
        // Every failed read is told, one message each: the five forced
        // reads and the two buffered reads made while the buffers are empty.
        f->setUnreachable(true);
        mon->SetMonitoring(true);
        QCOMPARE(f->takeMessages(), QStringList(7, k1528));
        for (int i : {12, 13, 34})
            QCOMPARE(page->text(i), QString());
        QCOMPARE(page->list(1)->currentIndex(), -1);
    }

    void applicationModeCommand_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("sent");
        QTest::newRow("auto") << 0 << 0;
        QTest::newRow("heat") << 1 << 1;
        QTest::newRow("warm-up") << 2 << 2;
        QTest::newRow("cool") << 3 << 3;
        QTest::newRow("night purge") << 4 << 4;
        QTest::newRow("pre cool") << 5 << 5;
        QTest::newRow("off sends 6") << 6 << 6;
    }
    void applicationModeCommand()
    {
        QFETCH(int, position);
        QFETCH(int, sent);
        mon->SetMonitoring(true);
        page->list(1)->setCurrentIndex(position);
        QVERIFY(mon->SendApplicationMode());
        QCOMPARE(f->deviceNv("nviApplicMode"), bytes({sent}));
        QCOMPARE(mon->MonitorPoints()->GetMonitorPointByName("nviApplicMode")->bufferedText(), QString::number(sent));
        QCOMPARE(quint8(f->deviceNv("nvoUnitStatus").at(0)), quint8(sent));
        QVERIFY(f->takeMessages().isEmpty());
    }

    void occupancyCommand_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("state");
        QTest::newRow("comfort") << 0 << "comfort" << 0;
        QTest::newRow("standby is the second entry and sends OC_STANDBY") << 1 << "standby" << 3;
        QTest::newRow("economy") << 2 << "economy" << 1;
        QTest::newRow("building protection") << 3 << "building protection" << 255;
    }
    void occupancyCommand()
    {
        QFETCH(int, position);
        QFETCH(QString, text);
        QFETCH(int, state);
        mon->SetMonitoring(true);
        page->list(9)->setCurrentIndex(position);
        QCOMPARE(page->list(9)->currentText(), text);
        const QByteArray before = f->deviceNv("nviOccSchedule");
        QVERIFY(mon->SendOccupancy());
        const QByteArray after = f->deviceNv("nviOccSchedule");
        QCOMPARE(int(quint8(after.at(0))), state);
        // Only current_state changes.
        QCOMPARE(after.mid(1), before.mid(1));
        QCOMPARE(f->sim.nv(f->device, "nviOccSchedule")->field("current_state")->value(),
                 monitoring::occupancyCommand(state).value());
    }

    void pressingTwiceSendsTwice()
    {
        mon->SetMonitoring(true);
        mon->connectCommandButtons();
        auto a = f->admin();
        const int id = a->device(f->device).id;
        page->list(1)->setCurrentIndex(4);
        page->list(9)->setCurrentIndex(1);
        const qint64 writes = a->counters(id).deviceWrites;
        for (int n = 0; n < 2; ++n) {
            page->ctl("cmdButton", 0)->click();
            page->ctl("cmdButton", 3)->click();
        }
        // One write for each mode and, for each occupancy, the read and
        // write of the whole NV around its field.
        QCOMPARE(a->counters(id).deviceWrites, writes + 4);
        QCOMPARE(f->deviceNv("nviApplicMode"), bytes({4}));
        QCOMPARE(int(quint8(f->deviceNv("nviOccSchedule").at(0))), 3);
    }

    void commandsWithoutSelectionSendNothing()
    {
        mon->SetMonitoring(true);
        page->list(1)->setCurrentIndex(-1);
        page->list(9)->setCurrentIndex(-1);
        auto a = f->admin();
        const int id = a->device(f->device).id;
        const qint64 writes = a->counters(id).deviceWrites;
        QVERIFY(!mon->SendApplicationMode());
        QVERIFY(!mon->SendOccupancy());
        QCOMPARE(a->counters(id).deviceWrites, writes);
        QVERIFY(f->takeMessages().isEmpty());
    }

    void commandsToMissingNvsAreTold()
    {
        platform::IniFile ini;
        QFile file(TestEnvironment::iniPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(file.readAll());
        text.replace(QStringLiteral("nviApplicMode=1,1"), QString());
        text.replace(QStringLiteral("nviOccSchedule=2,1"), QString());
        ini.parse(text);
        MonitoringConnection conn = f->connection;
        conn.templateContext.ini = &ini;
        cMonitoring m(page.get(), conn, &f->config);
        m.SetMonitoring(true);
        f->takeMessages();
        page->list(1)->setCurrentIndex(2);
        page->list(9)->setCurrentIndex(2);
        QVERIFY(!m.SendApplicationMode());
        QVERIFY(!m.SendOccupancy());
        QCOMPARE(f->takeMessages(), (QStringList{k1528, k1528}));
    }

    void indicatorBlink()
    {
        IndicatorBlinker &b = *page->blinkers[2];
        QCOMPARE(b.timer()->interval(), 350);
        QCOMPARE(b.timer()->objectName(), QStringLiteral("tmrFrostAlarmIndicator"));
        page->ctl("shpButton", 2)->setProperty("fillColor", QColor(Qt::gray));
        b.setActive(true);
        QVERIFY(b.isBlinking());
        // The shape keeps its colour until the first tick.
        QCOMPARE(page->shapeColor(2), QColor(Qt::gray));
        const QColor dark(128, 0, 0), bright(255, 0, 0);
        b.tick();
        QCOMPARE(b.counter(), quint8(1));
        QCOMPARE(page->shapeColor(2), dark);
        b.tick();
        QCOMPARE(page->shapeColor(2), bright);
        b.tick();
        b.setActive(false);
        QVERIFY(!b.isBlinking());
        QCOMPARE(page->shapeColor(2), dark);
        // A restart continues the phase: counter 3 -> 4 is bright.
        b.setActive(true);
        b.tick();
        QCOMPARE(b.counter(), quint8(4));
        QCOMPARE(page->shapeColor(2), bright);
        // Past 254 the counter starts again at 1.
        while (b.counter() < 255)
            b.tick();
        QCOMPARE(page->shapeColor(2), dark);
        b.tick();
        QCOMPARE(b.counter(), quint8(1));
        QCOMPARE(page->shapeColor(2), dark);
    }

    void indicatorColours()
    {
        const QList<QColor> dark = {QColor(0, 128, 0), QColor(128, 128, 0), QColor(128, 0, 0)};
        const QList<QColor> bright = {QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(indicatorDarkColor(i), dark.at(i));
            QCOMPARE(indicatorBrightColor(i), bright.at(i));
            page->blinkers[i]->setActive(false);
            QCOMPARE(page->shapeColor(i), dark.at(i));
        }
    }

    void outputTags()
    {
        MarkMonitoringOutputs(*page, 2, 4);
        QStringList tags;
        for (int i = 14; i <= 19; ++i)
            tags << params::controlTag(page->box(i));
        QCOMPARE(tags, (QStringList{"True", "False", "False", "True", "True", "True"}));
        // "other" modes leave the first three as they were.
        MarkMonitoringOutputs(*page, 2, 0);
        tags.clear();
        for (int i = 14; i <= 19; ++i)
            tags << params::controlTag(page->box(i));
        QCOMPARE(tags, (QStringList{"True", "False", "False", "True", "True", "True"}));
    }

    void controlCommandStart_data()
    {
        QTest::addColumn<int>("ctrlType");
        QTest::addColumn<int>("running");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("ended");
        QTest::newRow("kind 1, right application") << 1 << 3 << true << false;
        QTest::newRow("kind 1, other application") << 1 << 2 << true << true;
        QTest::newRow("kind 2, cannot be told") << 2 << -1 << true << false;
        QTest::newRow("kind 3 is not checked") << 3 << 2 << false << false;
        QTest::newRow("kind 4 is not checked") << 4 << 2 << false << false;
        QTest::newRow("kind 5, other application") << 5 << 9 << true << true;
    }
    void controlCommandStart()
    {
        QFETCH(int, ctrlType);
        QFETCH(int, running);
        QFETCH(bool, asked);
        QFETCH(bool, ended);
        ControlStart start;
        start.ctrlType = ctrlType;
        start.currentApplication = 3;
        QStringList steps;
        start.readReducedParameters = [&] { steps << "read"; };
        start.runningApplication = [&] {
            steps << "ask";
            return running;
        };
        start.statusText = [&](const QString &t) { steps << t; };
        start.endPlugIn = [&] { steps << "end"; };
        start.messageTitle = QStringLiteral("Room101 / Controller");
        page->box(12)->setText(QStringLiteral("x"));
        QCOMPARE(StartControlCommand(*mon, start), !ended);
        QStringList expected = {"read"};
        if (asked)
            expected << "Checking application ..." << "ask";
        if (ended)
            expected << "end";
        QCOMPARE(steps, expected);
        const QStringList shown = f->takeMessages();
        QCOMPARE(shown.size(), ended ? 1 : 0);
        if (ended)
            QCOMPARE(shown.first(), QStringLiteral("exclamation|") + gLoadResString(1250));
        // The page starts switched off (unless the plug-in ended).
        QCOMPARE(page->text(12), ended ? QStringLiteral("x") : QString());
    }

private:
    std::unique_ptr<MonitoringFixture> f;
    std::unique_ptr<StandalonePage> page;
    std::unique_ptr<cMonitoring> mon;
};

QTEST_GUILESS_MAIN(TestMonitoring)
#include "tst_monitoring.moc"
