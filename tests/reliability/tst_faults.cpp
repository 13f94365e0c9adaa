// Random device faults during `aerolis write` and `aerolis copy`: an
// unreachable controller, a CP that fails on read or write, latency, a
// failing application download, set before the run or switched on while it
// runs. After every run each CP holds entirely its old or its new bytes,
// the database copy equals the device wherever the tool claims success, the
// status (or the copy's outcome per object) agrees with what the devices
// hold, untouched devices are untouched and the network file is intact.
// The seed of each run is in its row name; AEROLIS_HARNESS_SEED repeats it.
#include "scenarios.h"

#include <QtTest>

using namespace harness;

namespace {

struct Plan
{
    QString command; // "write" or "copy"
    QStringList targets;
    QVector<Fault> before; // injected before the run
    std::optional<Fault> during;
    int duringAfterMs = 0;
    QString describe() const
    {
        QStringList f;
        for (const Fault &x : before)
            f << x.describe();
        QString s = command + QLatin1Char(' ') + targets.join(QLatin1Char(',')) + QStringLiteral("; faults: ")
                    + (f.isEmpty() ? QStringLiteral("none") : f.join(QStringLiteral(", ")));
        if (during)
            s += QStringLiteral("; after %1 ms: %2").arg(duringAfterMs).arg(during->describe());
        return s;
    }
};

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<NetworkBed> m_bed;
    std::unique_ptr<Scenarios> m_scenarios;
    Tally m_writeTally;
    Tally m_copyTally;

    Plan writePlan(Rng &rng)
    {
        Plan p;
        p.command = QStringLiteral("write");
        const QStringList rooms = m_scenarios->rooms();
        const QString room = rooms.at(pick(rng, 0, rooms.size() - 1));
        p.targets << room;
        if (chance(rng, 0.75))
            p.before << randomFault(rng, room, m_scenarios->cpNames(room));
        if (chance(rng, 0.25))
            p.before << randomFault(rng, room, m_scenarios->cpNames(room));
        if (chance(rng, 0.3))
            p.during = randomFault(rng, room, m_scenarios->cpNames(room));
        return p;
    }

    Plan copyPlan(Rng &rng)
    {
        Plan p;
        p.command = QStringLiteral("copy");
        const QStringList rooms = m_scenarios->rooms();
        QStringList group = m_scenarios->sameTemplate(rooms.at(pick(rng, 0, rooms.size() - 1)));
        std::shuffle(group.begin(), group.end(), rng);
        p.targets = group.mid(0, pick(rng, 1, group.size()));
        for (const QString &room : p.targets) {
            if (chance(rng, 0.5))
                p.before << randomFault(rng, room, m_scenarios->cpNames(room));
        }
        if (chance(rng, 0.3)) {
            const QString room = p.targets.at(pick(rng, 0, p.targets.size() - 1));
            p.during = randomFault(rng, room, m_scenarios->cpNames(room));
        }
        return p;
    }

    // Runs the plan on a fresh copy of the network and checks every device.
    void runAndJudge(const Plan &plan, quint64 seed, Rng &rng, Tally &tally);

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void faultsDuringWrite_data();
    void faultsDuringWrite();
    void faultsDuringCopy_data();
    void faultsDuringCopy();
    void knownCases_data();
    void knownCases();
    void applicationGoesWithItsMode();
    void damageIsSeen_data();
    void damageIsSeen();
};

void TestFaults::initTestCase()
{
    m_bed = std::make_unique<NetworkBed>();
    m_scenarios = std::make_unique<Scenarios>(*m_bed);
    const QString problem = m_scenarios->prepare();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    qInfo("harness seed %llu (AEROLIS_HARNESS_SEED repeats these runs)", baseSeed());
}

void TestFaults::cleanupTestCase()
{
    qInfo("%s", qPrintable(m_writeTally.summary(QStringLiteral("faults during write"))));
    qInfo("%s", qPrintable(m_copyTally.summary(QStringLiteral("faults during copy"))));
}

void TestFaults::runAndJudge(const Plan &plan, quint64 seed, Rng &rng, Tally &tally)
{
    qint64 refMillis = 0;
    const NetworkImage reference = plan.command == QLatin1String("write")
                                       ? m_scenarios->writeReference(plan.targets.first(), &refMillis)
                                       : m_scenarios->copyReference(plan.targets, &refMillis);
    const int duringAfter = plan.during ? pick(rng, 0, int(refMillis)) : -1;
    Plan shown = plan;
    shown.duringAfterMs = duringAfter;
    const QString context = QStringLiteral("seed %1: %2").arg(seed).arg(shown.describe());

    m_bed->reset();
    for (const Fault &f : plan.before)
        inject(m_bed->admin(), m_bed->idOf(f.room), f);
    const QString result = m_bed->file(QStringLiteral("result.tsv"));
    QFile::remove(result);
    const QStringList args = plan.command == QLatin1String("write") ? m_scenarios->writeArgs(plan.targets.first())
                                                                    : m_scenarios->copyArgs(plan.targets, result);
    const QString root = m_bed->lnsRoot();
    const ToolRun run = plan.during
                            ? m_bed->runToolWith(args, duringAfter,
                                                 [&] {
                                                     lnssim::NetworkAdmin a(root, QStringLiteral("Demo"));
                                                     a.open();
                                                     inject(a, m_bed->idOf(plan.during->room), *plan.during);
                                                     a.close();
                                                 })
                            : m_bed->runTool(args);
    const QString tool = QStringLiteral("\nstatus %1\n%2%3").arg(run.status).arg(run.out, run.err);
    ++tally.runs;

    const QString integrity = m_bed->integrity();
    tally.failures += integrity != QLatin1String("ok");
    QVERIFY2(integrity == QLatin1String("ok"), qPrintable(integrity + QLatin1Char('\n') + context));
    const NetworkImage after = m_bed->image();
    const QMap<QString, QString> outcomes = copyOutcomes(result);
    bool allWritten = true; // every target's parameters written
    bool allDone = true;    // and its application loaded where due
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QString &room = it.key();
        Claim claim = Claim::Untouched;
        if (plan.targets.contains(room)) {
            claim = plan.command == QLatin1String("write")
                        ? claimOfWrite(run.status, run.out)
                        : claimOfCopyOutcome(outcomes.value(m_bed->objectOf(room)));
            allWritten &= claim == Claim::Done || claim == Claim::DoneAppMissing;
            allDone &= claim == Claim::Done;
        }
        const Verdict v = judge(m_bed->pristine().value(room), it.value(), reference.value(room));
        if (claim != Claim::Untouched) {
            ++tally.states[v.state()];
            ++tally.claims[claimName(claim)];
        }
        const QString problem = disagreement(claim, v);
        if (problem.isEmpty())
            continue;
        ++tally.failures;
        QVERIFY2(problem.isEmpty(), qPrintable(room + QStringLiteral(": ") + problem + QStringLiteral("\n") + context + tool));
    }
    // The exit status as a whole: 0 only when every target was written, not
    // 0 when one was not done completely (whether a missing application is
    // a success is the tool's choice).
    if (plan.command == QLatin1String("copy") && (run.status == 0 ? !allWritten : allDone)) {
        ++tally.failures;
        QFAIL(qPrintable(QStringLiteral("copy exit status %1 does not match its outcomes\n").arg(run.status) + context + tool));
    }
}

void TestFaults::faultsDuringWrite_data()
{
    QTest::addColumn<quint64>("seed");
    const int runs = runCount(14);
    for (int i = 0; i < runs; ++i)
        QTest::addRow("write seed %llu", baseSeed() + i) << baseSeed() + quint64(i);
}

void TestFaults::faultsDuringWrite()
{
    QFETCH(quint64, seed);
    Rng rng(seed);
    runAndJudge(writePlan(rng), seed, rng, m_writeTally);
}

void TestFaults::faultsDuringCopy_data()
{
    QTest::addColumn<quint64>("seed");
    const int runs = runCount(10);
    for (int i = 0; i < runs; ++i)
        QTest::addRow("copy seed %llu", baseSeed() + 100000 + i) << baseSeed() + 100000 + quint64(i);
}

void TestFaults::faultsDuringCopy()
{
    QFETCH(quint64, seed);
    Rng rng(seed);
    runAndJudge(copyPlan(rng), seed, rng, m_copyTally);
}

// Fixed plans that reach the places random runs hit only now and then.
void TestFaults::knownCases_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<int>("fault"); // Fault::Kind on the last target
    QTest::addColumn<QString>("cp");
    QTest::newRow("write, a kind-1 controller whose parameter write fails")
        << "write" << QStringList{"Room106"} << int(Fault::CpWrite) << "SetPoints";
    QTest::newRow("write, a kind-1 controller whose download fails")
        << "write" << QStringList{"Room106"} << int(Fault::Download) << "";
    QTest::newRow("copy, the second kind-1 target's parameter write fails")
        << "copy" << QStringList{"Room101", "Room106"} << int(Fault::CpWrite) << "OffDelay";
    QTest::newRow("copy, the second kind-2 target's download fails")
        << "copy" << QStringList{"Room102", "Room201"} << int(Fault::Download) << "";
    QTest::newRow("copy, the first target does not answer")
        << "copy" << QStringList{"Room106", "Room101"} << int(Fault::Unreachable) << "";
    // Each target's set is built on its own template, not the first one's.
    QTest::newRow("copy, no fault, two compatible templates")
        << "copy" << QStringList{"Room101", "Room103"} << -1 << "";
}

void TestFaults::knownCases()
{
    QFETCH(QString, command);
    QFETCH(QStringList, targets);
    QFETCH(int, fault);
    QFETCH(QString, cp);
    Plan plan;
    plan.command = command;
    plan.targets = targets;
    if (fault >= 0) {
        Fault f;
        f.kind = Fault::Kind(fault);
        f.room = fault == Fault::Unreachable ? targets.first() : targets.last();
        f.cp = cp;
        plan.before << f;
    }
    Rng rng(0);
    Tally none;
    runAndJudge(plan, 0, rng, none);
}

// The image and the mode the new application reports reach the device
// together: when the mode cannot be written the device keeps its old
// application, and the tool's claim matches what the device holds.
void TestFaults::applicationGoesWithItsMode()
{
    const QString room = QStringLiteral("Room106");
    const NetworkImage reference = m_scenarios->writeReference(room);
    QVERIFY2(!reference.value(room).sameApplication(m_bed->pristine().value(room)),
             "the write must load another application for this case to mean anything");
    m_bed->reset();
    Fault f;
    f.kind = Fault::CpWrite;
    f.room = room;
    f.cp = QStringLiteral("HvacAppMode");
    inject(m_bed->admin(), m_bed->idOf(room), f);
    const ToolRun run = m_bed->runTool(m_scenarios->writeArgs(room));
    const QString tool = QStringLiteral("status %1\n%2%3").arg(run.status).arg(run.out, run.err);
    QVERIFY2(run.status != 0, qPrintable(tool));
    const DeviceImage after = m_bed->image().value(room);
    const Verdict v = judge(m_bed->pristine().value(room), after, reference.value(room));
    QVERIFY2(v.applicationOld, qPrintable(v.detail() + QLatin1Char('\n') + tool));
    const QString problem = disagreement(claimOfWrite(run.status, run.out), v);
    QVERIFY2(problem.isEmpty(), qPrintable(problem + QLatin1Char('\n') + tool));
}

// The judge on a network damaged on purpose after a fault-free write: each
// kind of damage the harness exists to find is reported.
void TestFaults::damageIsSeen_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("room"); // the damaged device
    QTest::addColumn<int>("claim");    // what the tool claimed for it
    QTest::addColumn<QString>("reported");
    QTest::newRow("one byte of a written CP, device only")
        << "device byte" << "Room101" << int(Claim::Done) << "neither their old nor their new bytes: SetPoints";
    QTest::newRow("a written CP, device and database alike")
        << "both bytes" << "Room101" << int(Claim::Done) << "neither their old nor their new bytes: SetPoints";
    QTest::newRow("a CP of a device that was not a target")
        << "both bytes" << "Room102" << int(Claim::Untouched) << "neither their old nor their new bytes: SetPoints";
    // Device and database are judged as a pair: new bytes in the device
    // with the old ones in the database are neither old nor new.
    QTest::newRow("the database copy of a written CP taken back")
        << "database old" << "Room101" << int(Claim::Done) << "neither their old nor their new bytes: SetPoints";
    QTest::newRow("success claimed, nothing arrived")
        << "all old" << "Room101" << int(Claim::Done) << "claimed done but the device is old";
    QTest::newRow("nothing changed claimed, everything arrived")
        << "none" << "Room101" << int(Claim::Unchanged) << "claimed nothing changed but the device is new";
    QTest::newRow("partly done claimed, everything arrived")
        << "none" << "Room101" << int(Claim::Partial) << "claimed partly done but the device is new";
}

void TestFaults::damageIsSeen()
{
    QFETCH(QString, damage);
    QFETCH(QString, room);
    QFETCH(int, claim);
    QFETCH(QString, reported);
    const NetworkImage reference = m_scenarios->writeReference(QStringLiteral("Room101"));
    QVERIFY(reference.value(QStringLiteral("Room101")).cps.value(QStringLiteral("SetPoints"))
            != m_bed->pristine().value(QStringLiteral("Room101")).cps.value(QStringLiteral("SetPoints")));
    m_bed->reset();
    QCOMPARE(m_bed->runTool(m_scenarios->writeArgs(QStringLiteral("Room101"))).status, 0);
    const int id = m_bed->idOf(room);
    const QString cp = QStringLiteral("SetPoints");
    lnssim::NetworkAdmin &a = m_bed->admin();
    QByteArray bytes = a.deviceCp(id, cp);
    bytes[0] = char(bytes.at(0) ^ 0x40);
    if (damage == QLatin1String("device byte")) {
        a.setDeviceCp(id, cp, bytes);
    } else if (damage == QLatin1String("both bytes")) {
        a.setDeviceCp(id, cp, bytes);
        a.db().setDatabaseCp(id, cp, bytes);
    } else if (damage == QLatin1String("database old")) {
        a.db().setDatabaseCp(id, cp, m_bed->pristine().value(room).cps.value(cp).database);
    } else if (damage == QLatin1String("all old")) {
        m_bed->reset();
    }
    const NetworkImage after = m_bed->image();
    const Verdict v = judge(m_bed->pristine().value(room), after.value(room), reference.value(room));
    const QString problem = disagreement(Claim(claim), v);
    QVERIFY2(problem.contains(reported), qPrintable(problem));
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
