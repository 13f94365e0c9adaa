// Copying the parameter set of one controller to several others from the
// main window: progress per object, failed objects reported and skipped
// with nothing of their transaction left on the device, the others holding
// exactly the set, the mode CPs of kinds 3 and 4 in mixed runs, the
// summary, and the failures offered to a second run.
#include "configfixture.h"
#include "demorooms.h"

#include <configuration/appmodes.h>
#include <host/hoststate.h>
#include <lns/templatelookup.h>
#include <lnssim/channeltimeline.h>
#include <params/copyplan.h>
#include <params/paramchoice.h>
#include <params/paramcollection.h>
#include <params/paramtextbox.h>
#include <params/rawfield.h>
#include <platform/multidevice.h>
#include <platform/tracelog.h>
#include <ui/copyrun.h>
#include <ui/multidevicewindow.h>

#include <QtTest>

namespace {
QString key(const QString &room)
{
    return demoControllerPath(room);
}
QStringList keys(const QStringList &rooms)
{
    QStringList out;
    for (const QString &r : rooms)
        out << key(r);
    return out;
}
} // namespace

class TstCopyRun : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ConfigFixture> f;
    std::shared_ptr<platform::ScriptedMultiDevice> selector;

    void startAt(const QString &room)
    {
        // Two more controllers, so that a run has failures and successes of
        // both kinds of the ceiling family.
        f->admin->addDevice({QStringLiteral("Building.Floor1"), QStringLiteral("Room107"),
                             QStringLiteral("AerolisCtrl-T1"), QString()},
                            f->ini);
        f->admin->addDevice({QStringLiteral("Building.Floor1"), QStringLiteral("Room108"),
                             QStringLiteral("AerolisCtrl-T3"), QString()},
                            f->ini);
        f->start(room);
        QVERIFY(f->config());
        f->messages->shown.clear();
    }
    QStringList copiedCpNames()
    {
        QStringList out;
        for (const params::CopiedCp &c : params::copiedCps(f->config()->Parameters()))
            out << c.cpIniName;
        return out;
    }
    // Device bytes of a CP; empty when the device's template lacks it.
    QByteArray cpOf(int id, const QString &cp)
    {
        try {
            return f->admin->deviceCp(id, cp);
        } catch (const std::exception &) {
            return QByteArray();
        }
    }
    QHash<QString, QByteArray> snapshot(int id, const QStringList &cps)
    {
        QHash<QString, QByteArray> out;
        for (const QString &cp : cps)
            out.insert(cp, cpOf(id, cp));
        return out;
    }
    // The status texts of the copy runs, in order, without repeats in a row.
    static QStringList progressTexts(int from)
    {
        QStringList out;
        const QStringList &lines = platform::TraceLog::instance().recent();
        for (int i = from; i < lines.size(); ++i) {
            const int at = lines.at(i).indexOf(QLatin1String("[WriteParametersEx] Writing set "));
            if (at < 0)
                continue;
            const QString text = lines.at(i).mid(at + 20);
            if (out.isEmpty() || out.last() != text)
                out << text;
        }
        return out;
    }
    // The demo templates AerolisCtrl-T<n> have CtrlType n.
    int kindOf(const QString &room) { return f->admin->device(room).templateName.right(1).toInt(); }
    int loggedCount(const QString &text) const
    {
        int n = 0;
        for (const QString &l : f->loggerLines())
            n += l == text ? 1 : 0;
        return n;
    }

private slots:
    void init()
    {
        f = std::make_unique<ConfigFixture>();
        selector = std::make_shared<platform::ScriptedMultiDevice>();
        platform::setMultiDeviceSelector(selector);
    }
    void cleanup()
    {
        platform::setMultiDeviceSelector(nullptr);
        selector.reset();
        f.reset();
    }

    void copyRun_data()
    {
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<QStringList>("unreachable");
        QTest::addColumn<QStringList>("cpFault");
        QTest::newRow("three, all reachable") << QStringList{"Room103", "Room106", "Room202"} << QStringList()
                                              << QStringList();
        QTest::newRow("five, one unreachable, one refusing a CP")
            << QStringList{"Room103", "Room106", "Room107", "Room108", "Room202"} << QStringList{"Room106"}
            << QStringList{"Room202"};
        QTest::newRow("three, the fault first") << QStringList{"Room103", "Room107", "Room108"}
                                                << QStringList{"Room103"} << QStringList{"Room107"};
    }
    void copyRun()
    {
        QFETCH(QStringList, targets);
        QFETCH(QStringList, unreachable);
        QFETCH(QStringList, cpFault);
        startAt(QStringLiteral("Room101"));
        const QStringList cps = copiedCpNames();
        QVERIFY(cps.contains(QStringLiteral("SetPoints")));
        QHash<QString, QHash<QString, QByteArray>> before;
        for (const QString &room : targets)
            before.insert(room, snapshot(f->deviceId(room), cps));
        for (const QString &room : unreachable)
            f->admin->setUnreachable(f->deviceId(room), true);
        for (const QString &room : cpFault)
            f->admin->setCpFault(f->deviceId(room), QStringLiteral("SetPoints"), lnssim::CpFault::Write);
        // A set the source device does not hold yet.
        f->type(3, QStringLiteral("20.5"));
        QVERIFY(f->win->parametersChanged());
        // The start showed the logger (its application check); leave it.
        f->win->showPage(1);
        QCOMPARE(f->win->currentPage(), 1);

        const int traceFrom = platform::TraceLog::instance().recent().size();
        selector->queueRule(targets.join(QLatin1Char(',')));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));

        QCOMPARE(selector->requests.size(), 1);
        QVERIFY(selector->requests.first().failedLastRun.isEmpty());
        const int n = targets.size();
        QStringList expected;
        for (int i = 1; i <= n; ++i)
            expected << QStringLiteral("Writing set %1/%2 ...").arg(i).arg(n);
        QCOMPARE(progressTexts(traceFrom), expected);
        QCOMPARE(f->win->statusText(), QStringLiteral("Ready."));
        QVERIFY(f->win->isEnabled());
        QVERIFY(!f->win->parametersChanged());
        QVERIFY(!f->win->applyEnabled());
        QCOMPARE(loggedCount(QStringLiteral("Start writing parameters ...")), 1);
        QCOMPARE(loggedCount(QStringLiteral("Writing parameters completed.")), 1);

        const QStringList failedRooms = unreachable + cpFault;
        QCOMPARE(loggedCount(QStringLiteral("An error occured while writing parameters.")), failedRooms.size());
        QStringList failedKeys = keys(failedRooms);
        failedKeys.sort();
        QStringList lastFailed = ui::failedInLastCopy(*f->win);
        lastFailed.sort();
        QCOMPARE(lastFailed, failedKeys);
        // The logger comes to the front when the run wrote a red line.
        QCOMPARE(f->win->currentPage() == 9, !failedRooms.isEmpty());
        // The summary names every object once with its outcome.
        for (const QString &room : targets) {
            int lines = 0;
            bool failedLine = false;
            for (const QString &l : f->loggerLines()) {
                if (l.startsWith(QStringLiteral("  ") + key(room) + QStringLiteral(": "))) {
                    ++lines;
                    // A kind-1 target that needed an application got it
                    // before its transaction failed.
                    failedLine = l.contains(QLatin1String(": failed ("))
                        || l.contains(QLatin1String(": application loaded, parameters not written ("));
                }
            }
            QCOMPARE(lines, 1);
            QCOMPARE(failedLine, failedRooms.contains(room));
        }
        QVERIFY(f->logged(QStringLiteral("%1 of %2 objects written, %3 failed.")
                              .arg(n - failedRooms.size())
                              .arg(n)
                              .arg(failedRooms.size())));

        // The source gets the same set by its own write: the reference bytes.
        f->admin->clearFaults();
        f->win->menuToolClick(QStringLiteral("WriteParameters"));
        const int source = f->deviceId(QStringLiteral("Room101"));
        QCOMPARE(f->admin->deviceCp(source, QStringLiteral("SetPoints")).size() > 0, true);
        for (const QString &room : targets) {
            const int id = f->deviceId(room);
            QVERIFY2(f->consistent(id), qPrintable(room));
            if (failedRooms.contains(room)) {
                // Nothing of the cancelled transaction reached the device.
                QCOMPARE(snapshot(id, cps), before.value(room));
                continue;
            }
            for (const QString &cp : cps) {
                const QByteArray want = cpOf(source, cp);
                const QByteArray got = cpOf(id, cp);
                if (want.isEmpty() || got.isEmpty())
                    continue; // a CP one of the two templates lacks
                QVERIFY2(got == want, qPrintable(room + QLatin1Char(' ') + cp));
            }
        }
    }

    // Kinds 3 and 4 carry their application in the mode CPs: they receive
    // them whatever kinds came before them; the search offers only the
    // controllers that may take this device's data.
    void mixedKinds_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<int>("modeKind");
        QTest::newRow("ceiling") << "Room101"
                                 << QStringList{"Room103", "Room106", "Room107", "Room108", "Room202", "Room205"}
                                 << 3;
        QTest::newRow("fan coil") << "Room102" << QStringList{"Room104", "Room201", "Room203", "Room206"} << 4;
    }
    void mixedKinds()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, offered);
        QFETCH(int, modeKind);
        startAt(source);
        selector->queueRule(QStringLiteral("all"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        QStringList found;
        for (const platform::MultiDeviceCandidate &c : selector->lastCandidates)
            found << c.deviceName;
        QCOMPARE(found, offered);
        const configuration::ModeAndValves mv =
            configuration::modeForAppNumber(kindOf(source), f->config()->appNumber());
        for (const QString &room : offered) {
            const lnssim::DeviceInfo d = f->admin->device(room);
            if (!d.state.commissioned || !d.state.reachable)
                continue;
            if (kindOf(room) != modeKind)
                continue;
            QCOMPARE(int(quint8(f->admin->deviceCp(d.id, QStringLiteral("HvacAppMode")).at(0))), mv.mode);
            QCOMPARE(int(quint8(f->admin->deviceCp(d.id, QStringLiteral("NumValves")).at(1))), mv.valves);
        }
    }

    // A kind-3 source copies to kind-1 targets: each target's application is
    // asked of the target itself, so the one the set needs is downloaded.
    void kindOneTargetsOfAKindThreeSourceGetTheirApplication()
    {
        // Room103 (kind 3) runs the chilled-ceiling mode: application 2.
        const int source = f->admin->device(QStringLiteral("Room103")).id;
        f->admin->setDeviceCp(source, QStringLiteral("HvacAppMode"), QByteArray(1, char(1)));
        startAt(QStringLiteral("Room103"));
        QCOMPARE(f->config()->appNumber(), 2);
        selector->queueRule(QStringLiteral("all"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        for (const QString &room : {QStringLiteral("Room101"), QStringLiteral("Room106"), QStringLiteral("Room107")}) {
            const lnssim::DeviceInfo d = f->admin->device(room);
            QCOMPARE(kindOf(room), 1);
            QVERIFY2(d.state.appNumber == 2, qPrintable(room + QStringLiteral(" runs application %1").arg(d.state.appNumber)));
        }
    }

    // A kind-1 target gets its application before the set's transaction: when
    // that transaction fails, the target runs the new application with its
    // old values. The summary says exactly that, and the next run of the
    // failed objects finishes it.
    void applicationLoadedParametersNotWritten()
    {
        startAt(QStringLiteral("Room101"));
        const int id = f->deviceId(QStringLiteral("Room107"));
        const int appNumber = f->config()->appNumber();
        QVERIFY(f->admin->device(QStringLiteral("Room107")).state.appNumber != appNumber);
        const QByteArray setPointsBefore = f->admin->deviceCp(id, QStringLiteral("SetPoints"));
        f->admin->setCpFault(id, QStringLiteral("SetPoints"), lnssim::CpFault::Write);
        f->type(3, QStringLiteral("20.5"));
        selector->queueRule(QStringLiteral("Room107"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));

        const QString line = QStringLiteral("  ") + key(QStringLiteral("Room107")) + QStringLiteral(": ");
        QStringList summary = f->loggerLines().filter(line);
        QCOMPARE(summary.size(), 1);
        QVERIFY2(summary.first().startsWith(line + QStringLiteral("application loaded, parameters not written (")),
                 qPrintable(summary.first()));
        QVERIFY(f->logged(QStringLiteral("0 of 1 objects written, 1 failed.")));
        QCOMPARE(f->admin->device(QStringLiteral("Room107")).state.appNumber, appNumber);
        QCOMPARE(f->admin->deviceCp(id, QStringLiteral("SetPoints")), setPointsBefore);
        QCOMPARE(ui::failedInLastCopy(*f->win), keys({"Room107"}));

        f->admin->clearFaults();
        const int from = f->loggerLines().size();
        selector->queueRule(QStringLiteral("failed"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        summary = f->loggerLines().mid(from).filter(line);
        QCOMPARE(summary, QStringList{line + QStringLiteral("written")});
        // The comfort heating setpoint (bytes 7 and 8 of SetPoints) holds 20.5 °C.
        QCOMPARE(f->admin->deviceCp(id, QStringLiteral("SetPoints")).mid(6, 2), QByteArray("\x08\x02", 2));
        QVERIFY(ui::failedInLastCopy(*f->win).isEmpty());
    }

    // The failures of one run are what "Select failed" offers next: the
    // scripted selector and the real selection window both get them.
    // A CP the copied set makes whole (every field of it written) goes to
    // the target without a read of the target's bytes; a CP of which a
    // field stays out is merged into what the target holds, and that field
    // keeps the target's bytes.
    void mergeReadOnlyWhereTheSetLeavesBytesOut_data()
    {
        QTest::addColumn<QStringList>("leftOut");   // parameters not written
        QTest::addColumn<QStringList>("mergeRead"); // CPs read from the target
        QTest::newRow("whole set") << QStringList() << QStringList();
        QTest::newRow("one setpoint left out") << QStringList{"HeatSetpointEconomy"} << QStringList{"SetPoints"};
        QTest::newRow("a field of two CPs left out")
            << QStringList{"CoolSetpointComfort", "SettingHystHighLevel"}
            << QStringList{"SetPoints", "SettingHystHigh"};
    }
    void mergeReadOnlyWhereTheSetLeavesBytesOut()
    {
        QFETCH(QStringList, leftOut);
        QFETCH(QStringList, mergeRead);
        startAt(QStringLiteral("Room101"));
        params::cParams &p = f->config()->Parameters();
        const int source = f->deviceId(QStringLiteral("Room101"));
        const int target = f->deviceId(QStringLiteral("Room106"));
        const QStringList shared{"SetPoints", "SettingHystHigh", "SettingHystLow"};
        // The target holds other bytes than the source in every shared CP.
        for (const QString &cp : shared) {
            QByteArray other = f->admin->deviceCp(source, cp);
            for (char &b : other)
                b = char(quint8(b) ^ 0x5a);
            f->admin->setDeviceCp(target, cp, other);
        }
        const QHash<QString, QByteArray> targetBefore = snapshot(target, shared);
        for (const QString &name : leftOut) {
            auto x = p.ParameterAllByName(name);
            QVERIFY2(x, qPrintable(name));
            x->setDontWriteToLns(true);
        }
        QVector<params::CopiedCp> plan = params::copiedCps(p);
        QStringList planned;
        for (const params::CopiedCp &c : plan)
            if (c.readFirst)
                planned << c.cpIniName;
        QStringList expectedPlan = mergeRead;
        planned.sort();
        expectedPlan.sort();
        QCOMPARE(planned, expectedPlan);

        const lns::LonMarkObjectPtr object = demoController(host::state().conn.system, QStringLiteral("Room106"));
        f->admin->resetCounters();
        QVERIFY(p.WriteToLnsLmo(object, &host::state().ini, lns::kCpSection));
        QCOMPARE(f->admin->counters(target).deviceReads, qint64(mergeRead.size()));

        // Each byte comes from the set, or from the target where the set
        // left its field out.
        for (const QString &cp : shared) {
            const QByteArray got = f->admin->deviceCp(target, cp);
            QByteArray want = f->admin->deviceCp(source, cp);
            for (const QString &name : leftOut) {
                const auto x = p.ParameterAllByName(name);
                if (x->CpIniName() != cp)
                    continue;
                const auto t = std::dynamic_pointer_cast<params::cParamTextBox>(x);
                const auto c = std::dynamic_pointer_cast<params::cParamComboBox>(x);
                const params::FieldPlace place = t ? t->fieldPlace() : c->fieldPlace();
                const auto layout = params::fieldLayout(place, want.size(), want.size());
                QVERIFY(layout);
                for (int i = layout->first; i < layout->first + layout->count; ++i)
                    want[i] = targetBefore.value(cp).at(i);
            }
            QVERIFY2(got == want, qPrintable(cp + QStringLiteral(": ") + QString::fromLatin1(got.toHex(' '))
                                             + QStringLiteral(" / ") + QString::fromLatin1(want.toHex(' '))));
        }
        QVERIFY(f->consistent(target));
    }

    // The window's copy works on the objects of different channels at once,
    // one transaction in flight per channel: the run's modelled wall time is
    // its busiest channel's.
    void windowCopyOverlapsChannels()
    {
        startAt(QStringLiteral("Room101"));
        f->type(3, QStringLiteral("20.5"));
        const QStringList targets{"Room103", "Room106", "Room202", "Room108"};
        lnssim::ChannelTimeline::of(f->admin->path()).reset();
        f->admin->resetCounters();
        selector->queueRule(targets.join(QLatin1Char(',')));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        QVERIFY(f->logged(QStringLiteral("4 of 4 objects written, 0 failed.")));
        qint64 busiest = 0;
        int used = 0;
        for (const auto &entry : f->admin->channelCounters()) {
            busiest = std::max(busiest, entry.second.channelMicros);
            used += entry.second.transactions() > 0 ? 1 : 0;
        }
        // Floor1, Floor2 and the backbone, where the added Room108 sits.
        QCOMPARE(used, 3);
        const lnssim::NetworkAdmin::RunFigures run = f->admin->lastRun();
        QCOMPARE(run.wallMicros, busiest);
        QVERIFY(run.wallMicros < f->admin->totals().channelMicros);
        QCOMPARE(run.peakInFlight, 1);
    }

    void failedObjectsOfferedToTheNextRun()
    {
        startAt(QStringLiteral("Room101"));
        f->admin->setUnreachable(f->deviceId(QStringLiteral("Room106")), true);
        f->admin->setCpFault(f->deviceId(QStringLiteral("Room108")), QStringLiteral("SetPoints"), lnssim::CpFault::Write);
        selector->queueRule(QStringLiteral("Room103,Room106,Room107,Room108"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        const QStringList failed = keys({"Room106", "Room108"});
        QCOMPARE(ui::failedInLastCopy(*f->win), failed);

        // The selection window ticks exactly them.
        host::HostState &s = host::state();
        params::LnsMultiDeviceSearch search(s.conn.system, s.conn.object, &s.ini);
        platform::MultiDeviceRequest request;
        request.search = &search;
        request.failedLastRun = ui::failedInLastCopy(*f->win);
        ui::MultiDeviceWindow window(request);
        window.startSearch();
        window.selectFailed();
        QCOMPARE(window.selectedKeys(), failed);

        // The second run, faults gone, takes just those and clears them.
        f->admin->clearFaults();
        const int traceFrom = platform::TraceLog::instance().recent().size();
        selector->queueRule(QStringLiteral("failed"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        QCOMPARE(selector->requests.size(), 2);
        QCOMPARE(selector->requests.at(1).failedLastRun, failed);
        QCOMPARE(progressTexts(traceFrom), (QStringList{"Writing set 1/2 ...", "Writing set 2/2 ..."}));
        QVERIFY(ui::failedInLastCopy(*f->win).isEmpty());
        QVERIFY(f->logged(QStringLiteral("2 of 2 objects written, 0 failed.")));

        // Nothing chosen: no run, the failures of the last run stay.
        f->admin->setUnreachable(f->deviceId(QStringLiteral("Room106")), true);
        selector->queueRule(QStringLiteral("Room106"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        QCOMPARE(ui::failedInLastCopy(*f->win), keys({"Room106"}));
        selector->queueRule(QStringLiteral("none"));
        f->win->menuToolClick(QStringLiteral("SpreadParameters"));
        QCOMPARE(ui::failedInLastCopy(*f->win), keys({"Room106"}));
        QVERIFY(f->win->isEnabled());
        QCOMPARE(f->win->statusText(), QStringLiteral("Ready."));
    }
};

QTEST_MAIN(TstCopyRun)
#include "tst_copyrun.moc"
