// End to end on the real main window, offscreen: the control command's
// window with the monitoring logic plugged into its hooks, a behaving
// simulated controller behind it, the page alive from Display on.
#include "monitoringfixture.h"
#include "uifixture.h"

#include <monitoring/windowwiring.h>
#include <monitoring/trendwindow.h>

#include <QLineSeries>
#include <params/controlutil.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace monitoring;

class TestMonitoringWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        ui = std::make_unique<UiFixture>(host::kCmdControl);
        f = std::make_unique<MonitoringFixture>();
        lns::Connection &c = host::state().conn;
        c.objectServer = f->sim.server;
        c.device = f->sim.device(f->device);
        c.object = f->connection.lonMarkObject;
        c.deviceTemplate = c.device->deviceTemplate();
        host::state().deviceName = f->device;
        host::state().objectName = QStringLiteral("Controller");
        win = &ui->load();
        win->setupForCommand(host::kCmdControl);
        adapter = std::make_unique<WindowAdapter<ui::frmMain>>(*win);
        mon = std::make_unique<cMonitoring>(adapter.get(), f->connection, &f->config);
        bindMonitoringToWindow(*win, *mon, [] { return 1; });
        // The start of the control command: the configuration work reads
        // the reduced parameter set; here it is given.
        win->commandHooks().startCommand = [this](ui::frmMain &w) {
            ControlStart start;
            start.ctrlType = w.ctrlType();
            start.currentApplication = 1;
            start.runningApplication = [] { return 1; };
            start.messageTitle = w.caption();
            return StartControlCommand(*mon, start);
        };
    }
    void cleanup()
    {
        if (win)
            win->stopMonitoring();
        mon.reset();
        adapter.reset();
        win = nullptr;
        ui.reset();
        f.reset();
    }

    void displayBringsThePageAlive()
    {
        win->display();
        QVERIFY(mon->monitoringOn());
        QCOMPARE(text(34), QStringLiteral("heat"));
        QCOMPARE(text(12), QStringLiteral("21.0"));
        QCOMPARE(text(13), QStringLiteral("comfort"));
        QCOMPARE(win->control<QComboBox>("ComboBox", 1)->currentData().toInt(), 1);
        QCOMPARE(win->control<QComboBox>("ComboBox", 9)->currentData().toInt(), 0);
        // A radiator controller (kind 1, application 1).
        QStringList tags;
        for (int i = 14; i <= 19; ++i)
            tags << params::controlTag(win->modelControl("TextBox", i));
        QCOMPARE(tags, (QStringList{"True", "False", "False", "True", "False", "False"}));
        QVERIFY(win->control("TextBox", 14)->isEnabled());
        QVERIFY(!win->control("TextBox", 16)->isEnabled());
        QVERIFY(f->takeMessages().isEmpty());
    }

    void updatesReachThePage()
    {
        win->display();
        f->changeRoom([](lnssim::RoomState &s) {
            s.temperature = 15;
            s.windowHold = lnssim::WindowHold::Closed;
        });
        f->room->advance(30);
        QTRY_COMPARE_WITH_TIMEOUT(text(14), QStringLiteral("100"), 5000);
        QCOMPARE(text(17), QStringLiteral("20"));
        // Window open: night purge and energy hold-off blink, heating stops.
        f->changeRoom([](lnssim::RoomState &s) { s.windowHold = lnssim::WindowHold::Open; });
        f->room->advance(1);
        QTRY_VERIFY_WITH_TIMEOUT(win->indicatorTimer(0)->isActive(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(win->indicatorTimer(1)->isActive(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(text(14), QStringLiteral("0"), 5000);
        QVERIFY(!win->indicatorTimer(2)->isActive());
        // Frost.
        f->changeRoom([](lnssim::RoomState &s) { s.frostForced = true; });
        f->room->advance(1);
        QTRY_VERIFY_WITH_TIMEOUT(win->indicatorTimer(2)->isActive(), 5000);
    }

    void commandsFromTheButtons()
    {
        win->display();
        auto *modes = win->control<QComboBox>("ComboBox", 1);
        auto *occ = win->control<QComboBox>("ComboBox", 9);
        modes->setCurrentIndex(6);
        occ->setCurrentIndex(1);
        win->control<QPushButton>("cmdButton", 0)->click();
        win->control<QPushButton>("cmdButton", 3)->click();
        QCOMPARE(f->deviceNv("nviApplicMode").at(0), char(6));
        QCOMPARE(f->deviceNv("nviOccSchedule").at(0), char(3));
        // The controller answers; the page shows it.
        QTRY_COMPARE_WITH_TIMEOUT(text(34), QStringLiteral("off"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(text(13), QStringLiteral("standby"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(text(12), QStringLiteral("6.0"), 5000);
    }

    void navigationChecksTheDevice()
    {
        win->display();
        f->takeMessages();
        f->setUnreachable(true);
        host::state().accessCacheValid = false;
        win->navigationButtonClick(0);
        // Not accessible: the page is switched off, nothing is read.
        QVERIFY(!mon->monitoringOn());
        QCOMPARE(text(12), QString());
        QVERIFY(!win->control("TextBox", 12)->isEnabled());
        QVERIFY(!f->takeMessages().contains(QStringLiteral("exclamation|Communication with device failed.")));
        f->setUnreachable(false);
        host::state().accessCacheValid = false;
        win->navigationButtonClick(0);
        QVERIFY(mon->monitoringOn());
        QCOMPARE(text(12), QStringLiteral("21.0"));
    }

    void wrongApplicationEndsThePlugIn()
    {
        int ends = 0;
        win->commandHooks().startCommand = [this, &ends](ui::frmMain &w) {
            ControlStart start;
            start.ctrlType = w.ctrlType();
            start.currentApplication = 1;
            start.runningApplication = [] { return 3; };
            start.endPlugIn = [&ends] { ++ends; };
            start.messageTitle = w.caption();
            return StartControlCommand(*mon, start);
        };
        win->display();
        QCOMPARE(ends, 1);
        QVERIFY(!mon->monitoringOn());
        QCOMPARE(f->takeMessages(), QStringList{QStringLiteral("exclamation|") + gLoadResString(1250)});
    }

    void trendFollowsThePage()
    {
        win->display();
        TrendWindow *t = openTrendWindow(*mon, win);
        QCOMPARE(openTrendWindow(*mon, win), t);
        page().changeRoom([](lnssim::RoomState &s) {
            s.temperature = 15;
            s.windowHold = lnssim::WindowHold::Closed;
        });
        f->room->advance(30);
        QTRY_VERIFY_WITH_TIMEOUT(!t->model().series(TS_HEAT_PRIMARY).isEmpty(), 5000);
        QCOMPARE(t->model().series(TS_HEAT_PRIMARY).last().value, 100.0);
        win->control<QComboBox>("ComboBox", 1)->setCurrentIndex(3);
        win->control<QPushButton>("cmdButton", 0)->click();
        QTRY_COMPARE_WITH_TIMEOUT(t->model().marks().size(), 1, 5000);
        QCOMPARE(t->model().marks().first().text, QStringLiteral("cool"));
        QVERIFY(!t->lineSeries(TS_SETPOINT)->points().isEmpty());
        t->close();
    }

    void stopMonitoringAtTheEnd()
    {
        win->display();
        win->stopMonitoring();
        for (const NvMonitorSetting &s : monitoredNvs())
            QCOMPARE(f->sim.nv(f->device, s.name)->monitorTag(), 0);
    }

private:
    MonitoringFixture &page() { return *f; }
    QString text(int box) const { return win->control<QLineEdit>("TextBox", box)->text(); }

    std::unique_ptr<UiFixture> ui;
    std::unique_ptr<MonitoringFixture> f;
    ui::frmMain *win = nullptr;
    std::unique_ptr<WindowAdapter<ui::frmMain>> adapter;
    std::unique_ptr<cMonitoring> mon;
};

QTEST_MAIN(TestMonitoringWindow)
#include "tst_monitoring_window.moc"
