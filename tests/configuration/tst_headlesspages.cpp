// The page logic on the page model alone: the configuration and control
// commands started through Main on the headless main window, against the
// demo network, in a Qt Core program (no QApplication, no widget). What the
// window would show is read from the model: tabs, lists, enabled and visible
// state.
#include "demorooms.h"
#include "hostfixture.h"
#include "simserver.h"

#include <configuration/appmodes.h>
#include <configuration/configuration.h>
#include <headless/headlesswindow.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <model/pagemodel.h>
#include <monitoring/monitoring.h>
#include <params/paramcollection.h>

#include <QTest>

namespace {

const char *const kRooms[] = {"", "Room101", "Room102", "Room103", "Room104", "Room105"};

// Pages by key: 3 heating, 4 reheating, 5 cooling, 6 ventilation, 7 fan.
constexpr int kPageHeating = 3;
constexpr int kPageReheating = 4;
constexpr int kPageCooling = 5;
constexpr int kPageVentilation = 6;
constexpr int kPageFan = 7;

class HeadlessFixture : public HostFixture
{
public:
    HeadlessFixture()
    {
        ini.setFileName(TestEnvironment::iniPath());
        wireDemoNetwork(env.lnsRoot(), appFolder);
        host::Environment &e = host::state().env;
        e.mainWindowFactory = [this]() -> std::shared_ptr<host::MainWindowPort> {
            win = std::make_shared<headless::HeadlessWindow>();
            return win;
        };
    }
    ~HeadlessFixture()
    {
        if (win)
            win->setParametersChanged(false);
        if (!host::state().ending)
            host::EndApp();
        host::state().mainWindow.reset();
        win.reset();
    }
    void start(int ctrlType, int commandId)
    {
        const QString room = QString::fromLatin1(kRooms[ctrlType]);
        host::Main({QStringLiteral("/COMMANDID:%1/CLASSID:28/OBJECTNAME:%2").arg(commandId).arg(demoControllerPath(room))});
    }
    model::ControlState *ctl(const char *array, int index) const
    {
        return win->pageModel().control(QString::fromLatin1(array), index);
    }

    platform::IniFile ini;
    std::shared_ptr<headless::HeadlessWindow> win;
};

} // namespace

class TestHeadlessPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication")); }

    void pageLayout_data()
    {
        QTest::addColumn<int>("ctrlType");
        QTest::addColumn<int>("app");
        QTest::addColumn<QList<int>>("shown");
        QTest::addColumn<QList<int>>("hidden");
        QTest::addColumn<int>("types");
        const QList<int> all{kPageHeating, kPageReheating, kPageCooling, kPageVentilation, kPageFan};
        QTest::newRow("kind 1 radiator") << 1 << 1 << QList<int>{kPageHeating, kPageVentilation}
                                         << QList<int>{kPageReheating, kPageCooling, kPageFan} << 5;
        QTest::newRow("kind 1 chilled") << 1 << 2 << QList<int>{kPageCooling, kPageVentilation}
                                        << QList<int>{kPageHeating, kPageReheating, kPageFan} << 5;
        QTest::newRow("kind 2 cooling") << 2 << 1 << QList<int>{kPageCooling, kPageVentilation, kPageFan}
                                        << QList<int>{kPageHeating, kPageReheating} << 9;
        QTest::newRow("kind 2 4-pipe") << 2 << 9 << all << QList<int>{} << 9;
        QTest::newRow("kind 3 combined") << 3 << 4 << QList<int>{kPageHeating, kPageCooling, kPageVentilation}
                                         << QList<int>{kPageReheating, kPageFan} << 5;
        QTest::newRow("kind 4 heating with heater") << 4 << 5
                                                    << QList<int>{kPageHeating, kPageReheating, kPageVentilation, kPageFan}
                                                    << QList<int>{kPageCooling} << 9;
        QTest::newRow("kind 5") << 5 << 1 << QList<int>{kPageHeating}
                                << QList<int>{kPageReheating, kPageCooling, kPageVentilation, kPageFan} << 1;
    }
    // The controller type list and the pages shown follow the controller
    // kind and the type chosen in the list.
    void pageLayout()
    {
        QFETCH(int, ctrlType);
        QFETCH(int, app);
        QFETCH(QList<int>, shown);
        QFETCH(QList<int>, hidden);
        QFETCH(int, types);
        HeadlessFixture f;
        f.start(ctrlType, host::kCommandIdConfigure);
        QVERIFY(f.win && f.win->isLoaded());
        configuration::cConfiguration *c = f.win->configuration();
        QVERIFY(c);
        model::ControlState *type = f.ctl("ComboBox", 0);
        QCOMPARE(type->count(), types);
        for (int i = 0; i < type->count() && c->appNumber() != app; ++i)
            if (type->itemData(i).toInt() == app)
                type->setCurrentIndex(i);
        QCOMPARE(c->appNumber(), app);
        for (int key : shown)
            QVERIFY2(f.win->tabVisible(key), qPrintable(QString::number(key)));
        for (int key : hidden)
            QVERIFY2(!f.win->tabVisible(key), qPrintable(QString::number(key)));
        // Kind 5 has one type: its mode frame cannot be changed.
        QCOMPARE(f.win->namedControl(QStringLiteral("fraHvacAppMode"))->isEnabled(), ctrlType != 5);
    }

    void startState_data()
    {
        QTest::addColumn<int>("ctrlType");
        QTest::addColumn<int>("commandId");
        for (int kind = 1; kind <= 5; ++kind) {
            QTest::addRow("configuration, kind %d", kind) << kind << host::kCommandIdConfigure;
            if (kind != 1 && kind != 2)
                QTest::addRow("control, kind %d", kind) << kind << host::kCommandIdControl;
        }
    }
    // After the start: nothing to write yet, the controlling page monitored
    // under the control command only (the demo devices answer), and the
    // page's commands usable exactly then; the logger ends with the start's
    // line.
    void startState()
    {
        // (Kinds 1 and 2 of the demo network run another application than
        // their parameters name: see controlEndsOnWrongApplication.)
        QFETCH(int, ctrlType);
        QFETCH(int, commandId);
        const bool control = commandId == host::kCommandIdControl;
        HeadlessFixture f;
        f.start(ctrlType, commandId);
        QVERIFY(f.win && f.win->isLoaded());
        QCOMPARE(f.win->parametersChanged(), false);
        QCOMPARE(f.ctl("Label", 30)->isVisible(), false);
        QCOMPARE(f.win->applyEnabled(), false);
        QCOMPARE(f.win->configuration() != nullptr, !control);
        QCOMPARE(f.win->monitoring() != nullptr, control);
        if (control)
            QVERIFY(f.win->monitoring()->monitoringOn());

        model::ControlState *note = f.win->namedControl(QStringLiteral("lblNotMonitored"));
        QCOMPARE(note->isVisible(), !control);
        QCOMPARE(note->text(), gLoadResString(1091, control ? 2 : 1));
        // Mode and occupancy lists: the window's own entries.
        QCOMPARE(f.ctl("ComboBox", 1)->count(), 7);
        QCOMPARE(f.ctl("ComboBox", 9)->count(), 4);
        QCOMPARE(f.ctl("ComboBox", 1)->isEnabled(), control);
        QCOMPARE(f.ctl("cmdButton", 3)->isEnabled(), control);
        // The family caption of the timing page.
        const int family = (ctrlType == 2 || ctrlType == 4) ? 2 : 1;
        QCOMPARE(f.ctl("Label", 21)->text(), gLoadResString(1036, family));
        QVERIFY(f.win->loggerLines().last().endsWith(QStringLiteral(" :") + gLoadResString(1530)));
        QCOMPARE(f.win->statusText(), gLoadResString(1517));
    }

    // The control command checks the application the device runs against
    // the one its parameters name (kinds 1, 2 and 5; on the demo network the
    // devices of kinds 1 and 2 run another one) and ends the plug-in when
    // they differ, before anything is monitored.
    void controlEndsOnWrongApplication_data()
    {
        QTest::addColumn<int>("ctrlType");
        QTest::newRow("kind 1") << 1;
        QTest::newRow("kind 2") << 2;
    }
    void controlEndsOnWrongApplication()
    {
        QFETCH(int, ctrlType);
        HeadlessFixture f;
        f.start(ctrlType, host::kCommandIdControl);
        QVERIFY(host::state().abortFlag);
        QVERIFY(f.win);
        QVERIFY(!f.win->isLoaded());
        QVERIFY(!f.win->monitoring()->monitoringOn());
    }
};

QTEST_GUILESS_MAIN(TestHeadlessPages)
#include "tst_headlesspages.moc"
