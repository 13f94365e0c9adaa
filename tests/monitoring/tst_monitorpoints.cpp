// Monitor points and their collection against the simulated object server:
// tags by position, unavailable points, the settings bracket, buffered
// values, forced updates, field access, type changes and template lookups.
#include "recordingnv.h"
#include "simfixture.h"

#include <monitoring/monitorpoints.h>
#include <platform/resstrings.h>
#include <platform/tracelog.h>

#include <QSignalSpy>

using namespace monitoring;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// Both events of a collection in the order they came.
struct EventLog
{
    explicit EventLog(cMonitorPoints *points)
    {
        QObject::connect(points, &cMonitorPoints::NvUpdate, points,
                         [this](const QString &n, const QString &v) { events << QStringLiteral("update %1 [%2]").arg(n, v); });
        QObject::connect(points, &cMonitorPoints::CommunicationFailed, points,
                         [this](cMonitorPoint *p) { events << QStringLiteral("failed %1").arg(p ? p->Name() : QStringLiteral("?")); });
    }
    QStringList events;
};

struct Logger : LogPort
{
    void LogLine(const QString &text, int color, bool) override { lines << QStringLiteral("%1|%2").arg(color).arg(text); }
    QStringList lines;
};

struct CountingChanger : NvTypeChanger
{
    bool changeType(const lns::NetworkVariablePtr &nv, qint16 t, const QString &p, quint8 s) override
    {
        ++calls;
        if (!succeed)
            return false;
        return inner.changeType(nv, t, p, s);
    }
    int calls = 0;
    bool succeed = true;
    ObjectServerTypeChanger inner;
};

} // namespace

class TestMonitorPoints : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { platform::setLanguageOffset(0); }
    void init()
    {
        f = std::make_unique<SimFixture>();
        f->open();
        points = std::make_unique<cMonitorPoints>();
        points->setObjectServer(f->server);
    }
    void cleanup()
    {
        points.reset();
        f.reset();
    }

    void tagsFollowPositions()
    {
        const QStringList names = {"nvoUnitStatus", "nvoEffectOccup", "nvoEffectSetpt"};
        for (const QString &n : names)
            points->AddMonitorPoint(n, f->nv("Room101", n), MT_UPDATES);
        QCOMPARE(points->Count(), 3);
        for (int i = 1; i <= 3; ++i) {
            cMonitorPoint *p = points->GetMonitorPoint(qint16(i));
            QCOMPARE(p->Name(), names.at(i - 1));
            QCOMPARE(p->monitorTag(), 5000 + i - 1);
            QVERIFY(!p->MonitoringIsActive());
            p->ActivateMonitoring();
            QVERIFY(p->MonitoringIsActive());
            QCOMPARE(f->nv("Room101", names.at(i - 1))->monitorTag(), 5000 + i - 1);
        }
        // The server's first report of each arrives through the event loop;
        // tag 5002 is the third point's.
        QSignalSpy spy(points.get(), &cMonitorPoints::NvUpdate);
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 5000);
        QStringList got;
        for (const auto &args : spy)
            got << args.at(0).toString();
        QVERIFY(got.contains(QStringLiteral("nvoEffectSetpt")));
        spy.clear();
        Q_EMIT f->server->nvUpdate(5002, QStringLiteral("8\t52"), f->nv("Room101", "nvoEffectSetpt"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("nvoEffectSetpt"));
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("8\t52"));
        QCOMPARE(points->GetMonitorPointByName("nvoEffectSetpt")->bufferedText(), QStringLiteral("8\t52"));
    }

    void tagsCountUnavailablePoints()
    {
        points->AddMonitorPoint("nvoMissing", nullptr);
        cMonitorPoint *p = points->AddMonitorPoint("nvoEffectSetpt", f->nv("Room101", "nvoEffectSetpt"), MT_UPDATES);
        QCOMPARE(p->monitorTag(), 5001);
        QCOMPARE(points->GetMonitorPoint(1)->monitorTag(), 0);
    }

    void updateWithForeignTag_data()
    {
        QTest::addColumn<int>("tag");
        QTest::newRow("below the first tag") << 4999;
        QTest::newRow("past the last point") << 5003;
        QTest::newRow("an unavailable point's position") << 5001;
        QTest::newRow("zero") << 0;
    }
    void updateWithForeignTag()
    {
        QFETCH(int, tag);
        points->AddMonitorPoint("nvoUnitStatus", f->nv("Room101", "nvoUnitStatus"), MT_UPDATES);
        points->AddMonitorPoint("nvoMissing", nullptr);
        points->AddMonitorPoint("nvoEffectSetpt", f->nv("Room101", "nvoEffectSetpt"), MT_UPDATES);
        QSignalSpy spy(points.get(), &cMonitorPoints::NvUpdate);
        Q_EMIT f->server->nvUpdate(tag, QStringLiteral("x"), f->nv("Room101", "nvoUnitStatus"));
        QCOMPARE(spy.count(), 0);
    }

    void unavailablePointDoesNothing()
    {
        EventLog log(points.get());
        cMonitorPoint *p = points->AddMonitorPoint("nvoGone", nullptr, MT_UPDATES);
        QVERIFY(!p->Available());
        QCOMPARE(p->Value(), QString());
        p->setValue(QStringLiteral("1"));
        QString v = QStringLiteral("unchanged");
        QVERIFY(!p->GetElementValue("mode", v));
        QCOMPARE(v, QStringLiteral("unchanged"));
        QVERIFY(!p->SetElementValue("mode", "HVAC_OFF"));
        p->setMonitoringType(MT_UPDATES);
        QCOMPARE(p->MonitoringType(), 0);
        p->ActivateMonitoring();
        QVERIFY(!p->MonitoringIsActive());
        QCOMPARE(p->PollInterval(), 0);
        QCOMPARE(p->Format(), QString());
        QVERIFY(!p->ReportByException());
        QVERIFY(p->NetworkVariable() == nullptr);
        QVERIFY(!p->ChangeNvType(105, "x", 0));
        p->DeactivateMonitoring();
        QVERIFY(log.events.isEmpty());
    }

    void settingsBracket_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("monitoring type 0") << "type0" << QStringList{"edit on", "flag=0", "edit off"};
        QTest::newRow("monitoring type 1") << "type1" << QStringList{"edit on", "flag=1", "edit off"};
        QTest::newRow("monitoring type 2") << "type2" << QStringList{"edit on", "flag=0", "edit off"};
        QTest::newRow("other monitoring type changes nothing") << "type7" << QStringList{};
        QTest::newRow("poll interval") << "poll" << QStringList{"edit on", "poll=10", "edit off"};
        QTest::newRow("format") << "format" << QStringList{"edit on", "format=RAW", "edit off"};
        QTest::newRow("report by exception") << "rbe" << QStringList{"edit on", "rbe=1", "edit off"};
        QTest::newRow("activate") << "activate" << QStringList{"edit on", "tag=5000", "edit off"};
        QTest::newRow("deactivate") << "deactivate" << QStringList{"edit on", "flag=0", "tag=0", "edit off"};
        QTest::newRow("failed change closes the bracket") << "failing poll" << QStringList{"edit on", "poll=10 failed", "edit off"};
    }
    void settingsBracket()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, calls);
        auto rec = std::make_shared<RecordingNv>(f->nv("Room101", "nvoEffectSetpt"));
        cMonitorPoint *p = points->AddMonitorPoint("nvoEffectSetpt", rec, MT_UPDATES);
        rec->calls.clear();
        if (change.startsWith(QLatin1String("type")))
            p->setMonitoringType(change.mid(4).toInt());
        else if (change == QLatin1String("poll"))
            p->setPollInterval(10);
        else if (change == QLatin1String("format"))
            p->setFormat("RAW");
        else if (change == QLatin1String("rbe"))
            p->setReportByException(true);
        else if (change == QLatin1String("activate"))
            p->ActivateMonitoring();
        else if (change == QLatin1String("deactivate"))
            p->DeactivateMonitoring();
        else if (change == QLatin1String("failing poll")) {
            rec->failNextSettings = 1;
            QVERIFY_THROWS_EXCEPTION(lns::LnsError, p->setPollInterval(10));
            QVERIFY(!rec->editing());
        }
        QCOMPARE(rec->calls, calls);
        if (change.startsWith(QLatin1String("type")))
            QCOMPARE(p->MonitoringType(), change.mid(4).toInt());
    }

    void monitoringTypeReachesTheNv()
    {
        auto nv = f->nv("Room101", "nvoUnitStatus");
        cMonitorPoint *p = points->AddMonitorPoint("nvoUnitStatus", nv, MT_MESSAGES);
        QVERIFY(nv->monitorMessageFlag());
        p->setMonitoringType(MT_UPDATES);
        QVERIFY(!nv->monitorMessageFlag());
        p->setPollInterval(10);
        p->setFormat("RAW");
        p->setReportByException(true);
        QCOMPARE(p->PollInterval(), 10);
        QCOMPARE(p->Format(), QStringLiteral("RAW"));
        QVERIFY(p->ReportByException());
    }

    void activeStaysAsItIs()
    {
        auto rec = std::make_shared<RecordingNv>(f->nv("Room101", "nvoEffectSetpt"));
        cMonitorPoint *p = points->AddMonitorPoint("nvoEffectSetpt", rec, MT_UPDATES);
        p->ActivateMonitoring();
        rec->calls.clear();
        p->ActivateMonitoring();
        QVERIFY(rec->calls.isEmpty());
        QCOMPARE(rec->monitorTag(), 5000);
        // Type 0 is never activated.
        auto other = std::make_shared<RecordingNv>(f->nv("Room101", "nvoEffectOccup"));
        cMonitorPoint *q = points->AddMonitorPoint("nvoEffectOccup", other, MT_NONE);
        other->calls.clear();
        q->ActivateMonitoring();
        QVERIFY(other->calls.isEmpty());
        QVERIFY(!q->MonitoringIsActive());
    }

    void bufferedValueAfterDeactivationReadsAfresh()
    {
        auto admin = f->admin();
        const int id = admin->device("Room101").id;
        auto rec = std::make_shared<RecordingNv>(f->nv("Room101", "nvoEffectSetpt"));
        cMonitorPoint *p = points->AddMonitorPoint("nvoEffectSetpt", rec, MT_UPDATES);
        p->setFormat("RAW");
        QCOMPARE(p->Value(), QStringLiteral("8\t52"));
        admin->setDeviceNv(id, "nvoEffectSetpt", bytes({9, 0}));
        // Served from the buffer while it holds something.
        QCOMPARE(p->BufferedValue(), QStringLiteral("8\t52"));
        QCOMPARE(rec->valueReads, 1);
        p->ActivateMonitoring();
        p->DeactivateMonitoring();
        QCOMPARE(p->bufferedText(), QString());
        const qint64 readsBefore = admin->counters(id).deviceReads;
        QCOMPARE(p->BufferedValue(), QStringLiteral("9\t0"));
        QCOMPARE(rec->valueReads, 2);
        QCOMPARE(admin->counters(id).deviceReads, readsBefore + 1);
    }

    void forceNvUpdate_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("answers") << true << QStringList{"update nvoEffectOccup [0]"};
        QTest::newRow("read fails: failure first, then an empty update")
            << false << QStringList{"failed nvoEffectOccup", "update nvoEffectOccup []"};
    }
    void forceNvUpdate()
    {
        QFETCH(bool, reachable);
        QFETCH(QStringList, events);
        cMonitorPoint *p = points->AddMonitorPoint("nvoEffectOccup", f->nv("Room101", "nvoEffectOccup"), MT_UPDATES);
        p->setFormat("RAW");
        if (!reachable) {
            auto admin = f->admin();
            admin->setUnreachable(admin->device("Room101").id, true);
        }
        EventLog log(points.get());
        points->ForceNvUpdate("nvoEffectOccup");
        QCOMPARE(log.events, events);
        QCOMPARE(p->bufferedText(), reachable ? QStringLiteral("0") : QString());
    }

    void forceNvUpdateOfUnknownName()
    {
        QVERIFY_THROWS_EXCEPTION(lns::LnsError, points->ForceNvUpdate("nvoNothing"));
    }

    void valueWriteFailures_data()
    {
        QTest::addColumn<QString>("nv");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<bool>("fails");
        QTest::newRow("written") << "nviApplicMode" << "4" << true << false;
        QTest::newRow("device does not answer") << "nviApplicMode" << "4" << false << true;
        QTest::newRow("output cannot be written") << "nvoEffectOccup" << "1" << true << true;
        QTest::newRow("two bytes for a one-byte NV") << "nviApplicMode" << "4\t0" << true << true;
        QTest::newRow("not raw text") << "nviApplicMode" << "HVAC_OFF" << true << true;
    }
    void valueWriteFailures()
    {
        QFETCH(QString, nv);
        QFETCH(QString, text);
        QFETCH(bool, reachable);
        QFETCH(bool, fails);
        auto admin = f->admin();
        const int id = admin->device("Room101").id;
        cMonitorPoint *p = points->AddMonitorPoint(nv, f->nv("Room101", nv));
        p->setFormat("RAW");
        admin->setUnreachable(id, !reachable);
        EventLog log(points.get());
        p->setValue(text);
        QCOMPARE(log.events, fails ? QStringList{"failed " + nv} : QStringList{});
        QCOMPARE(p->bufferedText(), fails ? QString() : text);
        if (!fails)
            QCOMPARE(admin->deviceNv(id, nv), bytes({4}));
    }

    void elementValues_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<bool>("result");
        QTest::addColumn<bool>("event");
        QTest::newRow("standby") << "current_state" << "OC_STANDBY" << true << true << false;
        QTest::newRow("unknown field: false, no event") << "nonsense" << "OC_STANDBY" << true << false << false;
        QTest::newRow("value the field does not take") << "current_state" << "OC_SOMETIMES" << true << false << true;
        QTest::newRow("device does not answer") << "current_state" << "OC_STANDBY" << false << false << true;
    }
    void elementValues()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(bool, reachable);
        QFETCH(bool, result);
        QFETCH(bool, event);
        auto admin = f->admin();
        const int id = admin->device("Room101").id;
        cMonitorPoint *p = points->AddMonitorPoint("nviOccSchedule", f->nv("Room101", "nviOccSchedule"));
        p->setFormat("RAW");
        admin->setUnreachable(id, !reachable);
        EventLog log(points.get());
        platform::TraceLog::instance().clearRecent();
        QCOMPARE(p->SetElementValue(field, text), result);
        // A refused element is never refused in silence: the trace log
        // names it.
        const auto tracedAbout = [&field] {
            return platform::TraceLog::instance().recent().filter(field).size();
        };
        if (!result)
            QVERIFY2(tracedAbout() > 0, "SetElementValue failed without a trace line");
        platform::TraceLog::instance().clearRecent();
        QString read = QStringLiteral("none");
        // The field reads back whenever it exists and the device answers.
        const bool readable = reachable && field != QLatin1String("nonsense");
        QCOMPARE(p->GetElementValue(field, read), readable);
        if (!readable)
            QVERIFY2(tracedAbout() > 0, "GetElementValue failed without a trace line");
        // A failed write and the failed read that follows are both told.
        QCOMPARE(log.events.size(), event ? (reachable ? 1 : 2) : 0);
        if (readable && !result)
            QCOMPARE(read, QStringLiteral("OC_NUL"));
        if (result) {
            QCOMPARE(read, text);
            // The other fields keep their bytes.
            QCOMPARE(admin->deviceNv(id, "nviOccSchedule"), bytes({3, 255, 0, 0}));
        }
    }

    void collectionLookups()
    {
        points->AddMonitorPoint("nvoUnitStatus", f->nv("Room101", "nvoUnitStatus"));
        QCOMPARE(points->GetMonitorPointByName("NVOUNITSTATUS")->Name(), QStringLiteral("nvoUnitStatus"));
        auto numberOf = [](const std::function<void()> &call) {
            try {
                call();
            } catch (const lns::LnsError &e) {
                return e.number();
            }
            return 0;
        };
        QCOMPARE(numberOf([&] { points->AddMonitorPoint("nvoUnitStatus", nullptr); }), kErrDuplicatePoint);
        QCOMPARE(numberOf([&] { points->GetMonitorPoint(0); }), kErrNoSuchPoint);
        QCOMPARE(numberOf([&] { points->GetMonitorPoint(2); }), kErrNoSuchPoint);
        QCOMPARE(numberOf([&] { points->GetMonitorPointByName("nvoX"); }), kErrNoSuchPoint);
        QCOMPARE(numberOf([&] { points->RemoveMonitorPointByName("nvoX"); }), kErrInvalidCall);
        QCOMPARE(points->Count(), 1);
    }

    void removeDeactivates()
    {
        auto nv = f->nv("Room101", "nvoEffectSetpt");
        cMonitorPoint *p = points->AddMonitorPoint("nvoEffectSetpt", nv, MT_UPDATES);
        points->AddMonitorPoint("nvoEffectOccup", f->nv("Room101", "nvoEffectOccup"), MT_UPDATES);
        p->ActivateMonitoring();
        points->RemoveMonitorPointByName("nvoEffectSetpt");
        QCOMPARE(nv->monitorTag(), 0);
        QCOMPARE(points->Count(), 1);
        QCOMPARE(points->GetMonitorPoint(1)->Name(), QStringLiteral("nvoEffectOccup"));
    }

    void collectionActivation_data()
    {
        QTest::addColumn<bool>("firstAvailable");
        QTest::addColumn<bool>("result");
        QTest::newRow("owner found through the first NV") << true << true;
        QTest::newRow("first point without NV: no owner") << false << false;
    }
    void collectionActivation()
    {
        QFETCH(bool, firstAvailable);
        QFETCH(bool, result);
        auto status = f->nv("Room101", "nvoUnitStatus");
        auto setpt = f->nv("Room101", "nvoEffectSetpt");
        auto occ = f->nv("Room101", "nvoEffectOccup");
        points->AddMonitorPoint("nvoUnitStatus", firstAvailable ? status : nullptr, MT_UPDATES);
        points->AddMonitorPoint("nvoEffectSetpt", setpt, MT_UPDATES);
        cMonitorPoint *indep = points->AddMonitorPoint("nvoEffectOccup", occ, MT_UPDATES);
        indep->setIndependentMonitoring(true);
        QCOMPARE(points->ActivateMonitoring(), result);
        QCOMPARE(setpt->monitorTag(), result ? 5001 : 0);
        QCOMPARE(status->monitorTag(), result ? 5000 : 0);
        QCOMPARE(occ->monitorTag(), 0);
        if (result) {
            QVERIFY(points->monitorOwner());
            QCOMPARE(points->monitorOwner()->classId(), int(lns::ClsSystem));
        }
        indep->ActivateMonitoring();
        points->DeactivateMonitoring();
        QCOMPARE(setpt->monitorTag(), 0);
        QCOMPARE(status->monitorTag(), 0);
        // Independent points are left to their owner.
        QCOMPARE(occ->monitorTag(), 5002);
    }

    void changeNvType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("changerWorks");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("changerCalls");
        QTest::addColumn<int>("typeAfter");
        QTest::newRow("same type: changer not called") << 81 << true << true << 0 << 81;
        QTest::newRow("another type of the same size") << 105 << true << true << 1 << 105;
        QTest::newRow("changer fails: message 1542") << 105 << false << false << 1 << 81;
        QTest::newRow("switch type of the same size") << 95 << true << true << 1 << 95;
    }
    void changeNvType()
    {
        QFETCH(int, type);
        QFETCH(bool, changerWorks);
        QFETCH(bool, result);
        QFETCH(int, changerCalls);
        QFETCH(int, typeAfter);
        Logger log;
        auto changer = std::make_shared<CountingChanger>();
        changer->succeed = changerWorks;
        points->setLogPort(&log);
        points->setNvTypeChanger(changer);
        auto damper = f->nv("Room101", "nvoOaDamper");
        cMonitorPoint *p = points->AddMonitorPoint("nvoOaDamper", damper);
        const QString programId = f->device("Room101")->programId();
        QCOMPARE(p->ChangeNvType(qint16(type), programId, 0), result);
        QCOMPARE(changer->calls, changerCalls);
        QCOMPARE(damper->typeIndex(), typeAfter);
        if (!result)
            QCOMPARE(log.lines, QStringList{"255|An error occured while changing the type of network variable \"nvoOaDamper\"."});
        else
            QVERIFY(log.lines.isEmpty());
    }

    void changeToWrongSizeFails()
    {
        // SNVT_hvac_status has 12 bytes; the damper 2: the server refuses.
        Logger log;
        points->setLogPort(&log);
        cMonitorPoint *p = points->AddMonitorPoint("nvoOaDamper", f->nv("Room101", "nvoOaDamper"));
        QVERIFY(!p->ChangeNvType(112, f->device("Room101")->programId(), 0));
        QCOMPARE(log.lines.size(), 1);
        QVERIFY(log.lines.first().startsWith(QLatin1String("255|")));
    }

    void batchTypeChange()
    {
        Logger log;
        points->setLogPort(&log);
        platform::IniFile ini;
        QVERIFY(ini.setFileName(TestEnvironment::iniPath()));
        lns::TemplateContext ctx{&ini, nullptr};
        const QString programId = f->device("Room101")->programId();
        points->AddMonitorPoint("nvoOaDamper", f->nv("Room101", "nvoOaDamper"));
        points->AddMonitorPoint("nvoEffectSetpt", f->nv("Room101", "nvoEffectSetpt"));
        points->AddMonitorPoint("nvoGone", nullptr);
        QVERIFY(!points->CheckNvTypeCpConsistencyLmo({"nvoOaDamper", "nvoEffectSetpt"}, 105, lns::kNvSection, ctx));
        QVERIFY(points->WriteNvsTypeLmo({"nvoOaDamper", "nvoEffectSetpt", "nvoGone"}, 105, programId, 0, lns::kNvSection, ctx));
        QCOMPARE(f->nv("Room101", "nvoOaDamper")->typeIndex(), 105);
        QVERIFY(points->CheckNvTypeCpConsistencyLmo({"nvoOaDamper", "nvoEffectSetpt"}, 105, lns::kNvSection, ctx));
        QVERIFY(log.lines.isEmpty());

        // A point whose name the template does not know.
        points->AddMonitorPoint("nvoSpare", f->nv("Room101", "nvoOaWindow"));
        QVERIFY(!points->WriteNvsTypeLmo({"nvoSpare"}, 95, programId, 0, lns::kNvSection, ctx));
        QVERIFY(!points->CheckNvTypeCpConsistencyLmo({"nvoSpare"}, 95, lns::kNvSection, ctx));
        QCOMPARE(log.lines, (QStringList{"255|Nv not found in Ini file", "255|Nv not found in Ini file"}));
    }

    void fetchThroughTemplate_data()
    {
        QTest::addColumn<bool>("device"); // FetchDevNV, else FetchLmoNV
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("withSucceed");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("found");
        QTest::newRow("device: found") << true << "nvoEffectSetpt" << true << 0 << true;
        QTest::newRow("object: found") << false << "nvoEffectSetpt" << true << 0 << true;
        QTest::newRow("device: unknown, succeed false") << true << "nvoNothing" << true << 0 << false;
        QTest::newRow("object: unknown, succeed false") << false << "nvoNothing" << true << 0 << false;
        QTest::newRow("device: unknown, error 10000") << true << "nvoNothing" << false << 10000 << false;
        QTest::newRow("object: unknown, error 10000") << false << "nvoNothing" << false << 10000 << false;
    }
    void fetchThroughTemplate()
    {
        QFETCH(bool, device);
        QFETCH(QString, name);
        QFETCH(bool, withSucceed);
        QFETCH(int, error);
        QFETCH(bool, found);
        platform::IniFile ini;
        QVERIFY(ini.setFileName(TestEnvironment::iniPath()));
        lns::TemplateContext ctx{&ini, f->device("Room101")->deviceTemplate()};
        platform::TraceLog::instance().clearRecent();
        lns::NetworkVariablePtr nv;
        bool succeed = !found;
        int got = 0;
        QString description;
        try {
            if (device)
                points->FetchDevNV(name, lns::kNvSection, ctx, f->device("Room101"), nv, withSucceed ? &succeed : nullptr);
            else
                points->FetchLmoNV(name, lns::kNvSection, ctx, f->controller("Room101"), nv, withSucceed ? &succeed : nullptr);
        } catch (const lns::LnsError &e) {
            got = e.number();
            description = e.description();
        }
        QCOMPARE(got, error);
        if (error)
            QCOMPARE(description, QStringLiteral("INI - File Error : ") + name);
        if (withSucceed)
            QCOMPARE(succeed, found);
        QCOMPARE(nv != nullptr, found);
        if (found)
            QCOMPARE(nv->name(), name);
        const QString entry = device ? QStringLiteral("[M_PlugIn] Public Sub FetchDevNv()")
                                     : QStringLiteral("[M_PlugIn] Public Sub FetchNv()");
        bool traced = false;
        for (const QString &l : platform::TraceLog::instance().recent())
            traced = traced || l.contains(entry);
        QVERIFY(traced);
    }

private:
    std::unique_ptr<SimFixture> f;
    std::unique_ptr<cMonitorPoints> points;
};

QTEST_GUILESS_MAIN(TestMonitorPoints)
#include "tst_monitorpoints.moc"
