// The multi-device selection: the search on the simulated network (which
// objects can take the set, the stable order, progress and completion), the
// modelled channel cost against what a copy really costs, the unattended
// and scripted selectors, and the selection window on real widgets.
#include "cpmap.h"
#include "demorooms.h"
#include "paramsfixture.h"

#include <lnssim/channelmodel.h>
#include <params/copyplan.h>
#include <params/multidevicesearch.h>
#include <platform/multidevice.h>
#include <ui/multidevicewindow.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

using namespace params;
using platform::MultiDeviceCandidate;

namespace {

qint64 simulatorPrice(ChannelOp op, int bytes)
{
    using lnssim::ChannelModel;
    const ChannelModel::Op m = op == ChannelOp::WriteCp ? ChannelModel::Op::WriteCp
        : op == ChannelOp::ReadCp                        ? ChannelModel::Op::ReadCp
                                                         : ChannelModel::Op::ReadVersion;
    return ChannelModel::cost(m, bytes, ChannelModel::Outcome::Ok).micros;
}

QStringList deviceNames(const QVector<MultiDeviceCandidate> &cs)
{
    QStringList out;
    for (const auto &c : cs)
        out << c.deviceName;
    return out;
}

QString key(const QString &device)
{
    return demoControllerPath(device);
}

} // namespace

class TstMultiDevice : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ParamsFixture> f;
    std::unique_ptr<LnsMultiDeviceSearch> search;

    void searchFrom(const QString &device)
    {
        f->select(device);
        search = std::make_unique<LnsMultiDeviceSearch>(f->system, f->object, &f->ini);
        search->setChannelPrice(simulatorPrice);
    }

private slots:
    void init() { f = std::make_unique<ParamsFixture>(); }
    void cleanup()
    {
        search.reset();
        f.reset();
        qunsetenv("AEROLIS_MULTIDEVICE_SELECT");
    }

    // ---- the search ----

    void objectsThatCanTakeTheSet_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("found");
        // T1 and T3 take each other's data, so do T2 and T4; T5 only its own.
        QTest::newRow("T1") << "Room101" << QStringList{"Room103", "Room106", "Room202", "Room205"};
        QTest::newRow("T3") << "Room202" << QStringList{"Room101", "Room103", "Room106", "Room205"};
        QTest::newRow("T2") << "Room102" << QStringList{"Room104", "Room201", "Room203", "Room206"};
        QTest::newRow("T5") << "Room105" << QStringList{"Room204"};
    }
    void objectsThatCanTakeTheSet()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, found);
        searchFrom(source);
        QSignalSpy progress(search.get(), &platform::MultiDeviceSearch::progress);
        QSignalSpy completed(search.get(), &platform::MultiDeviceSearch::searchCompleted);
        const auto cs = search->run();
        QCOMPARE(deviceNames(cs), found);
        // Progress per device of the network, then one completion.
        QCOMPARE(progress.size(), 12);
        QCOMPARE(progress.first(), (QList<QVariant>{1, 12}));
        QCOMPARE(progress.last(), (QList<QVariant>{12, 12}));
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed.first().first().toInt(), found.size());
        for (const auto &c : cs) {
            QCOMPARE(c.key, key(c.deviceName));
            QCOMPARE(c.objectName, QStringLiteral("Controller"));
            QVERIFY(search->object(c.key));
            QCOMPARE(search->object(c.key)->parent()->name(), c.deviceName);
            QCOMPARE(c.commissioned, c.deviceName != QLatin1String("Room206"));
            QVERIFY(c.templateName.startsWith(QLatin1String("AerolisCtrl-T")));
        }
        QVERIFY(!search->object(key(source)));
    }

    void orderIsStable()
    {
        // Devices added in a scrambled order, names with numbers of several lengths.
        for (const char *name : {"Room10", "Room9", "room11", "Room100", "Room09b"}) {
            lnssim::NewDevice d;
            d.subsystemPath = QStringLiteral("Annex");
            d.name = QString::fromLatin1(name);
            d.templateName = QStringLiteral("AerolisCtrl-T1");
            f->admin->addDevice(d, f->ini);
        }
        f->network->close();
        f->network->open(false);
        f->system = f->network->system();
        searchFrom("Room101");
        const auto first = search->run();
        QCOMPARE(deviceNames(first), (QStringList{"Room9", "Room09b", "Room10", "room11", "Room100", "Room103", "Room106",
                                                  "Room202", "Room205"}));
        QCOMPARE(first.first().subsystemPath, QStringLiteral("Annex"));
        const auto second = search->run();
        QCOMPARE(deviceNames(second), deviceNames(first));
        QVector<MultiDeviceCandidate> shuffled(first.crbegin(), first.crend());
        platform::sortCandidates(shuffled);
        QCOMPARE(deviceNames(shuffled), deviceNames(first));
    }

    // ---- the modelled cost against the simulator's counters ----

    void modelledCostIsWhatTheCopyCosts_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("versionRead");
        QTest::newRow("T1 (application check)") << "Room106" << true;
        QTest::newRow("T3") << "Room103" << false;
    }
    void modelledCostIsWhatTheCopyCosts()
    {
        QFETCH(QString, target);
        QFETCH(bool, versionRead);
        searchFrom("Room101");
        QCOMPARE(cpmap::build(*f->params), 33);
        f->params->ReadFromLns();
        search->setCopiedCps(copiedCps(*f->params));
        const auto cs = search->run();
        MultiDeviceCandidate chosen;
        for (const auto &c : cs) {
            if (c.deviceName == target)
                chosen = c;
        }
        QCOMPARE(chosen.deviceName, target);
        const platform::MultiDeviceCost cost = search->cost({chosen});
        const qint64 versionMicros = simulatorPrice(ChannelOp::ReadVersion, 0);

        f->resetCounters();
        QVERIFY(f->params->WriteToLnsLmo(search->object(chosen.key), &f->ini, lns::kCpSection));
        const lnssim::Counters real = f->admin->counters(f->admin->device(target).id);
        QCOMPARE(real.deviceReads + real.deviceWrites + (versionRead ? 1 : 0), cost.transactions);
        // The set writes every field of its shared CPs: none is read from
        // the target first.
        QCOMPARE(real.deviceReads, qint64(0));
        QCOMPARE(real.channelMicros + (versionRead ? versionMicros : 0), cost.micros);
        // Two objects cost twice one.
        const platform::MultiDeviceCost two = search->cost({chosen, chosen});
        QCOMPARE(two.transactions, 2 * cost.transactions);
        QCOMPARE(two.objects, 2);
    }

    void durations_data()
    {
        QTest::addColumn<qint64>("micros");
        QTest::addColumn<QString>("text");
        QTest::newRow("tenths") << qint64(163700) << "0.2 s";
        QTest::newRow("seconds") << qint64(59940000) << "59.9 s";
        QTest::newRow("minutes") << qint64(250 * 1000000LL) << "4 min 10 s";
        QTest::newRow("hours") << qint64(3723 * 1000000LL) << "1 h 02 min";
    }
    void durations()
    {
        QFETCH(qint64, micros);
        QFETCH(QString, text);
        QCOMPARE(platform::durationText(micros), text);
    }

    // ---- selectors ----

    void selectionRules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QStringList>("chosen");
        QTest::newRow("none") << "none" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("all") << "ALL" << QStringList{"Room103", "Room106", "Room202", "Room205"};
        QTest::newRow("failed") << "failed" << QStringList{"Room205"};
        QTest::newRow("names in any order") << "Room202, room103" << QStringList{"Room103", "Room202"};
        QTest::newRow("path and key") << "Building.Floor1.Room106," + key("Room205") << QStringList{"Room106", "Room205"};
        QTest::newRow("unknown name") << "Room999" << QStringList{};
    }
    void selectionRules()
    {
        QFETCH(QString, rule);
        QFETCH(QStringList, chosen);
        searchFrom("Room101");
        platform::ScriptedMultiDevice s;
        s.queueRule(rule);
        QSignalSpy completed(search.get(), &platform::MultiDeviceSearch::searchCompleted);
        platform::MultiDeviceRequest r{QStringLiteral("Room101 / Controller"), search.get(), {key("Room205")}};
        const QStringList keys = s.select(r);
        QStringList expected;
        for (const QString &d : chosen)
            expected << key(d);
        QCOMPARE(keys, expected);
        QCOMPARE(completed.size(), 1);
        QCOMPARE(s.lastCandidates.size(), 4);
        QCOMPARE(s.requests.size(), 1);
        // The queue is used up: the next selection chooses nothing.
        QVERIFY(s.select(r).isEmpty());
    }

    void unattendedSelection()
    {
        searchFrom("Room101");
        platform::UnattendedMultiDevice u;
        platform::MultiDeviceRequest r{QStringLiteral("Room101 / Controller"), search.get(), {}};
        platform::TraceLog::instance().clearRecent();
        QVERIFY(u.select(r).isEmpty());
        QVERIFY(f->traced(QStringLiteral("MULTIDEVICE Room101 / Controller: 4 found, selected: none")));
        qputenv("AEROLIS_MULTIDEVICE_SELECT", "Room106,Room103");
        QCOMPARE(u.select(r), (QStringList{key("Room103"), key("Room106")}));
        QVERIFY(f->traced(QStringLiteral("selected: ") + key("Room103") + ", " + key("Room106")));
    }

    // ---- the window ----

    void windowGroupsFiltersAndSelects()
    {
        searchFrom("Room102");
        QCOMPARE(cpmap::build(*f->params), 33);
        f->params->ReadFromLns();
        search->setCopiedCps(copiedCps(*f->params));
        platform::MultiDeviceRequest r{QStringLiteral("Room102 / Controller"), search.get(), {key("Room203")}};
        ui::MultiDeviceWindow w(r);
        QSignalSpy completed(search.get(), &platform::MultiDeviceSearch::searchCompleted);
        w.show();
        QTRY_VERIFY(w.searched());
        QCOMPARE(completed.size(), 1);
        QCOMPARE(w.progressText(), QStringLiteral("4 objects found."));

        // Grouped by subsystem, device / object, template, state.
        QTreeWidget *tree = w.tree();
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Building.Floor1"));
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("Room104 / Controller"));
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(1), QStringLiteral("AerolisCtrl-T4"));
        QCOMPARE(tree->topLevelItem(1)->child(2)->text(0), QStringLiteral("Room206 / Controller"));
        QCOMPARE(tree->topLevelItem(1)->child(2)->text(2), QStringLiteral("not commissioned"));
        QCOMPARE(tree->topLevelItem(1)->child(0)->text(2), QStringLiteral("commissioned"));

        // Nothing ticked: no cost, OK disabled.
        auto *ok = w.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        QVERIFY(!ok->isEnabled());
        QVERIFY(w.costText().isEmpty());

        // Ticked in reverse order, returned in the list's order.
        w.setChecked(key("Room206"), true);
        w.setChecked(key("Room104"), true);
        QCOMPARE(w.selectedKeys(), (QStringList{key("Room104"), key("Room206")}));
        QVERIFY(ok->isEnabled());
        QCOMPARE(w.countText(), QStringLiteral("2 of 4 objects selected."));
        const platform::MultiDeviceCost two = search->cost({w.candidates().at(0), w.candidates().at(3)});
        QVERIFY(w.costText().startsWith(
            QStringLiteral("2 objects: %1 device transactions, about ").arg(two.transactions)));

        // The filter hides, "select all" ticks what is shown.
        w.selectNone();
        w.findChild<QLineEdit *>("txtFilter")->setText(QStringLiteral("floor2 t4"));
        QCOMPARE(w.visibleKeys(), QStringList{key("Room203")});
        QVERIFY(tree->topLevelItem(0)->isHidden());
        w.findChild<QPushButton *>("cmdSelectAll")->click();
        QCOMPARE(w.selectedKeys(), QStringList{key("Room203")});
        w.setFilterText(QStringLiteral("not commissioned"));
        QCOMPARE(w.visibleKeys(), QStringList{key("Room206")});
        w.setFilterText(QString());
        QCOMPARE(w.visibleKeys().size(), 4);
        w.selectAll();
        QCOMPARE(w.selectedKeys().size(), 4);
        QCOMPARE(tree->topLevelItem(0)->checkState(0), Qt::Checked);

        // The ones that failed last time, alone.
        auto *failed = w.findChild<QPushButton *>("cmdSelectFailed");
        QVERIFY(failed->isEnabled());
        failed->click();
        QCOMPARE(w.selectedKeys(), QStringList{key("Room203")});
        QCOMPARE(tree->topLevelItem(1)->checkState(0), Qt::PartiallyChecked);

        // Ticking the group ticks its objects.
        tree->topLevelItem(0)->setCheckState(0, Qt::Checked);
        QCOMPARE(w.selectedKeys(), (QStringList{key("Room104"), key("Room203")}));
    }

    void windowWithoutFailuresOffersNoFailedSelection()
    {
        searchFrom("Room105");
        platform::MultiDeviceRequest r{QString(), search.get(), {}};
        ui::MultiDeviceWindow w(r);
        w.startSearch();
        QVERIFY(!w.findChild<QPushButton *>("cmdSelectFailed")->isEnabled());
        QCOMPARE(w.visibleKeys(), QStringList{key("Room204")});
        QCOMPARE(w.windowTitle(), QStringLiteral("Select objects"));
    }

    void widgetSelectorUnattended()
    {
        searchFrom("Room101");
        ui::WidgetMultiDeviceSelector s;
        qputenv("AEROLIS_MULTIDEVICE_SELECT", "all");
        platform::MultiDeviceRequest r{QStringLiteral("t"), search.get(), {}};
        QCOMPARE(s.select(r).size(), 4);
        QCOMPARE(s.lastCandidates.size(), 4);
    }

    void germanWindow()
    {
        platform::setLanguageOffset(1000);
        searchFrom("Room102");
        platform::MultiDeviceRequest r{QString(), search.get(), {}};
        ui::MultiDeviceWindow w(r);
        w.startSearch();
        QCOMPARE(w.windowTitle(), QStringLiteral("Objekte auswählen"));
        QCOMPARE(w.tree()->topLevelItem(1)->child(2)->text(2), QStringLiteral("nicht in Betrieb genommen"));
        QCOMPARE(w.progressText(), QStringLiteral("4 Objekte gefunden."));
        platform::setLanguageOffset(0);
    }
};

QTEST_MAIN(TstMultiDevice)
#include "tst_multidevice.moc"
