// The control command end to end as the program starts it: the command line
// through Main on the demo network, the real window offscreen with the
// configuration and the monitoring bound to it as the program binds them,
// behaving simulated controllers stepped by the test.
#include "demorooms.h"
#include "hostfixture.h"

#include <configuration/appmodes.h>
#include <configuration/configuration.h>
#include <lnssim/networkadmin.h>
#include <lnssim/roomcontroller.h>
#include <lnssim/simobjectserver.h>
#include <monitoring/monitoring.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>
#include <ui/monitoringbinding.h>
#include <monitoring/trendwindow.h>

#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QMenuBar>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kControlCommand = QStringLiteral("22");

QString objectOf(const QString &room)
{
    return demoControllerPath(room);
}

} // namespace

class ControlFixture : public HostFixture
{
public:
    ControlFixture()
    {
        ini.setFileName(TestEnvironment::iniPath());
        lnssim::DemoNetwork::create(env.lnsRoot(), ini, false);
        const QString root = env.lnsRoot();
        const QString iniPath = QDir(appFolder).filePath(QStringLiteral("AerolisCtrl.ini"));
        host::Environment &e = host::state().env;
        e.server.newObjectServer = [this, root, iniPath]() -> lns::ObjectServerPtr {
            auto server = lnssim::SimObjectServer::create(root, iniPath);
            // The rooms run only when the test steps them.
            server->setDeviceSimulatorFactory([this](lnssim::NetworkSession &s) {
                lnssim::RoomController::Options o;
                o.autoStep = false;
                auto c = std::make_unique<lnssim::RoomController>(s, o);
                room = c.get();
                return c;
            });
            return server;
        };
        // As the program creates its window.
        e.mainWindowFactory = [this]() -> std::shared_ptr<host::MainWindowPort> {
            win = std::make_shared<ui::frmMain>();
            ui::bindConfiguration(*win);
            ui::bindMonitoring(*win);
            return win;
        };
        admin = std::make_unique<lnssim::NetworkAdmin>(root, QStringLiteral("Demo"));
        admin->open();
    }
    ~ControlFixture()
    {
        if (win) {
            win->setParametersChanged(false);
            win->hide();
        }
        if (!host::state().ending)
            host::EndApp();
        host::state().mainWindow.reset();
        win.reset();
        admin->close();
    }

    void start(const QString &room, const QString &commandId = kControlCommand)
    {
        host::Main({QStringLiteral("/COMMANDID:%1/CLASSID:28/OBJECTNAME:%2").arg(commandId, objectOf(room))});
    }
    int deviceId(const QString &room) { return admin->device(room).id; }
    monitoring::cMonitoring *mon() const { return win ? ui::monitoringOf(*win) : nullptr; }
    QString text(int box) const { return win->control<QLineEdit>(QStringLiteral("TextBox"), box)->text(); }
    QStringList shown()
    {
        QStringList out;
        for (const platform::Message &m : messages->shown)
            out << m.text;
        return out;
    }
    // Changes a room at once, as aerolis-net does.
    template <class F>
    void changeRoom(const QString &name, F change)
    {
        const int id = deviceId(name);
        lnssim::NetworkDb::Transaction tx(admin->db());
        qint64 last = 0;
        lnssim::RoomState s = lnssim::RoomStore::loadOrCreate(admin->db(), id, &last);
        change(s);
        lnssim::RoomStore::save(admin->db(), id, s, last);
        tx.commit();
    }
    // The device runs another application than the one the plug-in knows
    // for it: its mode CP names application `app`.
    void setDeviceApplication(const QString &room, int ctrlType, int app)
    {
        const configuration::ModeAndValves mv = configuration::modeForAppNumber(ctrlType, app);
        const int id = deviceId(room);
        admin->setDeviceCp(id, QStringLiteral("HvacAppMode"), QByteArray(1, char(mv.mode)));
        QByteArray valves = admin->deviceCp(id, QStringLiteral("NumValves"));
        valves[1] = char(mv.valves);
        admin->setDeviceCp(id, QStringLiteral("NumValves"), valves);
    }

    // The application the device runs, from its mode CPs.
    int deviceApplication(const QString &room)
    {
        const int id = deviceId(room);
        const QByteArray mode = admin->deviceCp(id, QStringLiteral("HvacAppMode"));
        const QByteArray valves = admin->deviceCp(id, QStringLiteral("NumValves"));
        return configuration::appNumberForMode(quint8(mode.at(0)), quint8(valves.at(1)));
    }
    // The object's application record, as a write of the configuration
    // command leaves it.
    void recordApplication(const QString &room, int app)
    {
        lnssim::NetworkDb::Transaction tx(admin->db());
        admin->db().setExtensionData(deviceId(room), kControllerObjectIndex, configuration::kAppModeRecordKey,
                                     app < 0 ? QString() : QString::number(app));
        tx.commit();
    }
    // Written by the configuration command before: the record names what
    // the device runs.
    void configuredBefore(const QString &room) { recordApplication(room, deviceApplication(room)); }

    static constexpr int kControllerObjectIndex = 1;
    platform::IniFile ini;
    std::unique_ptr<lnssim::NetworkAdmin> admin;
    std::shared_ptr<ui::frmMain> win;
    lnssim::RoomController *room = nullptr;
};

class TestControlCommand : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensAliveOnTheControllingPage_data();
    void opensAliveOnTheControllingPage();
    void wrongApplicationEndsWith1250_data();
    void wrongApplicationEndsWith1250();
    void nvUpdatesReachThePage();
    void sendClicksSendOnce_data();
    void sendClicksSendOnce();
    void unreachableDeviceEndsWith1491();
    void controllingPageSaysWhatIsMonitored_data();
    void controllingPageSaysWhatIsMonitored();
    void trendMenuTool_data();
    void trendMenuTool();
};

void TestControlCommand::opensAliveOnTheControllingPage_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<int>("ctrlType");
    for (int kind = 1; kind <= 5; ++kind)
        QTest::addRow("kind %d", kind) << QStringLiteral("Room10%1").arg(kind) << kind;
}

void TestControlCommand::opensAliveOnTheControllingPage()
{
    QFETCH(QString, room);
    QFETCH(int, ctrlType);
    ControlFixture f;
    f.configuredBefore(room);
    f.start(room);
    QVERIFY2(f.shown().isEmpty(), qPrintable(f.shown().join(QLatin1Char('|'))));
    QVERIFY(f.win);
    QVERIFY(f.win->isLoaded());
    QVERIFY(f.win->isVisible());
    QCOMPARE(host::state().commandIndex, host::kCmdControl);
    QCOMPARE(f.win->ctrlType(), ctrlType);
    // Only the Controlling button, chosen by Display: monitoring is on.
    QCOMPARE(f.win->navigationBar()->count(), 1);
    QVERIFY(f.mon());
    QVERIFY(f.mon()->monitoringOn());
    QVERIFY(f.win->control(QStringLiteral("TextBox"), 12)->isEnabled());
    QVERIFY(!f.text(12).isEmpty());
    QVERIFY(!f.text(13).isEmpty());
    QVERIFY(!f.text(34).isEmpty());
    QVERIFY(f.win->control(QStringLiteral("cmdButton"), 0)->isEnabled());
    // The reduced registry of the control command only.
    configuration::cConfiguration *c = ui::controlConfigurationOf(*f.win);
    QVERIFY(c);
    QVERIFY(c->Parameters().ComboBoxParameterByName(QStringLiteral("DiscLevels")));
    QVERIFY(!c->Parameters().ComboBoxParameterByName(QStringLiteral("SetPointMode")));
    QVERIFY(!f.win->parametersChanged());
    // The application check runs except for kinds 3 and 4.
    QCOMPARE(f.status->history.contains(gLoadResString(1552)), ctrlType != 3 && ctrlType != 4);
    QCOMPARE(host::exitStatus(), 0);
}

void TestControlCommand::wrongApplicationEndsWith1250_data()
{
    QTest::addColumn<QString>("room");
    QTest::addColumn<int>("ctrlType");
    QTest::addColumn<bool>("configured");
    QTest::addColumn<bool>("ends");
    QTest::addRow("ceiling, kind 1") << QStringLiteral("Room101") << 1 << true << true;
    QTest::addRow("fan coil, kind 2") << QStringLiteral("Room102") << 2 << true << true;
    QTest::addRow("kind 1 never configured") << QStringLiteral("Room101") << 1 << false << true;
    QTest::addRow("kind 3 is not checked") << QStringLiteral("Room103") << 3 << true << false;
    QTest::addRow("kind 4 is not checked") << QStringLiteral("Room104") << 4 << true << false;
}

void TestControlCommand::wrongApplicationEndsWith1250()
{
    QFETCH(QString, room);
    QFETCH(int, ctrlType);
    QFETCH(bool, configured);
    QFETCH(bool, ends);
    ControlFixture f;
    const int written = f.deviceApplication(room);
    QVERIFY(written > 0);
    const int other = written == 2 ? 1 : 2;
    if (configured) {
        // Configured with one application; the device runs another now.
        f.recordApplication(room, written);
        f.setDeviceApplication(room, ctrlType, other);
    } else {
        // No record (empty): the plug-in takes application 3.
        QVERIFY(written != 3);
        f.recordApplication(room, -1);
    }
    f.start(room);
    if (ends) {
        QCOMPARE(f.shown(), QStringList{gLoadResString(1250)});
        QCOMPARE(f.messages->shown.first().icon, platform::MsgIcon::Exclamation);
        QVERIFY(f.status->history.contains(gLoadResString(1552)));
        QVERIFY(host::state().abortFlag);
        QCOMPARE(host::exitStatus(), 1);
        QVERIFY(!f.win->isLoaded());
        QVERIFY(!f.win->isVisible());
        QVERIFY(!f.mon()->monitoringOn());
    } else {
        QVERIFY2(f.shown().isEmpty(), qPrintable(f.shown().join(QLatin1Char('|'))));
        QVERIFY(!f.status->history.contains(gLoadResString(1552)));
        QCOMPARE(host::exitStatus(), 0);
        QVERIFY(f.win->isVisible());
        QVERIFY(f.mon()->monitoringOn());
        // The page shows the application the device runs.
        QCOMPARE(ui::controlConfigurationOf(*f.win)->appNumber(), other);
    }
}

void TestControlCommand::nvUpdatesReachThePage()
{
    ControlFixture f;
    f.configuredBefore(QStringLiteral("Room101"));
    f.start(QStringLiteral("Room101"));
    QVERIFY(f.mon() && f.mon()->monitoringOn());
    QVERIFY(f.room);
    const QString setpoint = f.text(12);
    // A cold room with the window shut: full heating.
    f.changeRoom(QStringLiteral("Room101"), [](lnssim::RoomState &s) {
        s.temperature = 15;
        s.windowHold = lnssim::WindowHold::Closed;
    });
    f.room->advance(30);
    QTRY_COMPARE_WITH_TIMEOUT(f.text(14), QStringLiteral("100"), 5000);
    QCOMPARE(f.text(12), setpoint);
    QVERIFY(!f.win->indicatorTimer(0)->isActive());
    // The window opens: night purge and energy hold-off blink, heating stops.
    f.changeRoom(QStringLiteral("Room101"), [](lnssim::RoomState &s) { s.windowHold = lnssim::WindowHold::Open; });
    f.room->advance(1);
    QTRY_VERIFY_WITH_TIMEOUT(f.win->indicatorTimer(0)->isActive(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(f.win->indicatorTimer(1)->isActive(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(f.text(14), QStringLiteral("0"), 5000);
    QVERIFY(!f.win->indicatorTimer(2)->isActive());
    // Frost.
    f.changeRoom(QStringLiteral("Room101"), [](lnssim::RoomState &s) { s.frostForced = true; });
    f.room->advance(1);
    QTRY_VERIFY_WITH_TIMEOUT(f.win->indicatorTimer(2)->isActive(), 5000);
    QVERIFY(f.shown().isEmpty());
}

void TestControlCommand::sendClicksSendOnce_data()
{
    QTest::addColumn<QString>("room");
    QTest::addRow("ceiling") << QStringLiteral("Room101");
    QTest::addRow("fan coil") << QStringLiteral("Room102");
}

void TestControlCommand::sendClicksSendOnce()
{
    QFETCH(QString, room);
    ControlFixture f;
    f.configuredBefore(room);
    f.start(room);
    QVERIFY(f.mon() && f.mon()->monitoringOn());
    const int id = f.deviceId(room);
    auto *modes = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 1);
    auto *occ = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 9);
    modes->setCurrentIndex(modes->findData(6)); // off
    qint64 before = f.admin->counters(id).deviceWrites;
    f.win->control<QPushButton>(QStringLiteral("cmdButton"), 0)->click();
    QCOMPARE(f.admin->counters(id).deviceWrites - before, qint64(1));
    QCOMPARE(f.admin->deviceNv(id, QStringLiteral("nviApplicMode")).at(0), char(6));
    occ->setCurrentIndex(occ->findData(3)); // standby
    before = f.admin->counters(id).deviceWrites;
    f.win->control<QPushButton>(QStringLiteral("cmdButton"), 3)->click();
    QCOMPARE(f.admin->counters(id).deviceWrites - before, qint64(1));
    QCOMPARE(f.admin->deviceNv(id, QStringLiteral("nviOccSchedule")).at(0), char(3));
    // The controller answers; the page shows it.
    QTRY_COMPARE_WITH_TIMEOUT(f.text(34), QStringLiteral("off"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(f.text(13), QStringLiteral("standby"), 5000);
    QVERIFY(f.shown().isEmpty());
}

void TestControlCommand::unreachableDeviceEndsWith1491()
{
    ControlFixture f;
    f.admin->setUnreachable(f.deviceId(QStringLiteral("Room101")), true);
    f.start(QStringLiteral("Room101"));
    QCOMPARE(f.shown(), QStringList{gLoadResString(1491)});
    QCOMPARE(host::exitStatus(), 1);
    QVERIFY(!f.win || !f.win->isVisible());
    QVERIFY(!f.win || !f.mon() || !f.mon()->monitoringOn());
}

void TestControlCommand::controllingPageSaysWhatIsMonitored_data()
{
    QTest::addColumn<QString>("commandId");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<bool>("deviceStops");
    QTest::addColumn<int>("noteItem"); // 0: no note (monitored)
    QTest::addColumn<bool>("unwrittenNote");
    QTest::addColumn<bool>("commandsOn");
    QTest::newRow("configuration, nothing edited") << QStringLiteral("13") << false << false << 1 << false << false;
    QTest::newRow("configuration, an edit not yet written") << QStringLiteral("13") << true << false << 1 << true << false;
    QTest::newRow("control command, monitored") << kControlCommand << false << false << 0 << false << true;
    QTest::newRow("control command, device stops answering") << kControlCommand << false << true << 2 << false << false;
}

void TestControlCommand::controllingPageSaysWhatIsMonitored()
{
    QFETCH(QString, commandId);
    QFETCH(bool, edit);
    QFETCH(bool, deviceStops);
    QFETCH(int, noteItem);
    QFETCH(bool, unwrittenNote);
    QFETCH(bool, commandsOn);
    ControlFixture f;
    f.configuredBefore(QStringLiteral("Room101"));
    f.start(QStringLiteral("Room101"), commandId);
    QVERIFY(f.win && f.win->isVisible());
    if (edit) {
        // A user's choice of another heating control mode.
        auto *mode = f.win->control<QComboBox>(QStringLiteral("ComboBox"), 2);
        QVERIFY(mode && mode->count() > 1);
        mode->setCurrentIndex((mode->currentIndex() + 1) % mode->count());
        QVERIFY(f.win->parametersChanged());
    }
    if (deviceStops) {
        f.admin->setUnreachable(f.deviceId(QStringLiteral("Room101")), true);
        host::state().accessCacheValid = false;
    }
    // The Controlling button: the last one of the navigation bar.
    const int controlling = f.win->navigationBar()->count() - 1;
    QCOMPARE(f.win->navigationBar()->buttonAt(controlling).key, QStringLiteral("1"));
    f.win->navigationButtonClick(controlling);
    QCOMPARE(f.win->currentPage(), 2);

    // "The parameters have not been written." exactly while they are not,
    // which is when Apply is offered.
    auto *unwritten = f.win->control<QLabel>(QStringLiteral("Label"), 30);
    QCOMPARE(unwritten->isVisible(), unwrittenNote);
    QCOMPARE(f.win->applyEnabled(), unwrittenNote);
    QCOMPARE(f.win->monitored(), noteItem == 0);
    auto *note = f.win->findChild<QLabel *>(QStringLiteral("lblNotMonitored"));
    QVERIFY(note);
    QCOMPARE(note->isVisible(), noteItem != 0);
    if (noteItem != 0)
        QCOMPARE(note->text(), gLoadResString(1091, noteItem));
    // Commands and boxes are on only while the page is monitored.
    for (int i : {1, 9}) {
        auto *list = f.win->control<QComboBox>(QStringLiteral("ComboBox"), i);
        QCOMPARE(list->isEnabled(), commandsOn);
        if (!commandsOn)
            QCOMPARE(list->currentIndex(), -1);
    }
    for (int i : {0, 3})
        QCOMPARE(f.win->control(QStringLiteral("cmdButton"), i)->isEnabled(), commandsOn);
    QCOMPARE(f.win->control(QStringLiteral("TextBox"), 12)->isEnabled(), commandsOn);
    if (commandsOn)
        QTRY_VERIFY_WITH_TIMEOUT(!f.text(12).isEmpty(), 5000);
    else
        QVERIFY(f.text(12).isEmpty());
    f.admin->setUnreachable(f.deviceId(QStringLiteral("Room101")), false);
}

void TestControlCommand::trendMenuTool_data()
{
    QTest::addColumn<QString>("commandId");
    QTest::addColumn<bool>("offered");
    QTest::newRow("configuration command") << QStringLiteral("13") << false;
    QTest::newRow("control command") << kControlCommand << true;
}

void TestControlCommand::trendMenuTool()
{
    QFETCH(QString, commandId);
    QFETCH(bool, offered);
    ControlFixture f;
    f.configuredBefore(QStringLiteral("Room101"));
    f.start(QStringLiteral("Room101"), commandId);
    QVERIFY(f.win && f.win->isVisible());
    QAction *trend = f.win->tool(QStringLiteral("Trend"));
    QVERIFY(trend);
    QCOMPARE(trend->text(), gLoadResString(1963));
    QCOMPARE(trend->isVisible(), offered);
    // The entry sits on the window's own menu bar.
    QVERIFY(f.win->menuBar()->actions().contains(trend));
    if (!offered)
        return;

    trend->trigger();
    auto *t = f.win->findChild<monitoring::TrendWindow *>();
    QVERIFY(t);
    QVERIFY(t->isVisible());
    // It holds the chart: one line per plotted value, drawn in a chart view.
    QVERIFY(t->findChild<QChartView *>());
    QVERIFY(t->lineSeries(monitoring::TS_HEAT_PRIMARY));
    // Twice: the same window.
    trend->trigger();
    QCOMPARE(f.win->findChildren<monitoring::TrendWindow *>().size(), 1);
    f.changeRoom(QStringLiteral("Room101"), [](lnssim::RoomState &s) {
        s.temperature = 15;
        s.windowHold = lnssim::WindowHold::Closed;
    });
    f.room->advance(30);
    QTRY_VERIFY_WITH_TIMEOUT(!t->model().series(monitoring::TS_HEAT_PRIMARY).isEmpty(), 5000);
    QCOMPARE(t->model().series(monitoring::TS_HEAT_PRIMARY).last().value, 100.0);
    QTRY_VERIFY_WITH_TIMEOUT(t->lineSeries(monitoring::TS_HEAT_PRIMARY)->count() > 0, 5000);
    t->close();
}

QTEST_MAIN(TestControlCommand)
#include "tst_controlcommand.moc"
