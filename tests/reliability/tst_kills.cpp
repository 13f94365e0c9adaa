// kill -9 of `aerolis write` and `aerolis copy` at a random moment, with a
// random latency on the targets so that the moment often falls inside the
// device exchanges. Afterwards the network file passes SQLite's integrity
// check and opens again, and each device is all or nothing: every CP (device
// and database together) holds its old or its new bytes, the parameters of a
// device are all old or all new, and the only state between is the one the
// product's order allows (application loaded, parameters not yet written).
// A result file, when there is one, is complete. A run that ended before the
// kill is judged like any other run. The seed of each run is in its row name;
// AEROLIS_HARNESS_SEED repeats it.
#include "scenarios.h"

#include <QtTest>

using namespace harness;

class TestKills : public QObject
{
    Q_OBJECT

    std::unique_ptr<NetworkBed> m_bed;
    std::unique_ptr<Scenarios> m_scenarios;
    Tally m_writeTally;
    Tally m_copyTally;
    int m_killedWrites = 0;
    int m_killedCopies = 0;

    void killAndJudge(const QString &command, quint64 seed, Tally &tally, int &killed);

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void killDuringWrite_data();
    void killDuringWrite();
    void killDuringCopy_data();
    void killDuringCopy();
};

void TestKills::initTestCase()
{
    m_bed = std::make_unique<NetworkBed>();
    m_scenarios = std::make_unique<Scenarios>(*m_bed);
    const QString problem = m_scenarios->prepare();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    qInfo("harness seed %llu (AEROLIS_HARNESS_SEED repeats these runs)", baseSeed());
}

void TestKills::cleanupTestCase()
{
    qInfo("%s (%d killed before the end)", qPrintable(m_writeTally.summary(QStringLiteral("kill -9 during write"))),
          m_killedWrites);
    qInfo("%s (%d killed before the end)", qPrintable(m_copyTally.summary(QStringLiteral("kill -9 during copy"))),
          m_killedCopies);
}

void TestKills::killAndJudge(const QString &command, quint64 seed, Tally &tally, int &killed)
{
    Rng rng(seed);
    const QStringList rooms = m_scenarios->rooms();
    const QString first = rooms.at(pick(rng, 0, rooms.size() - 1));
    QStringList targets{first};
    if (command == QLatin1String("copy")) {
        targets = m_scenarios->sameTemplate(first);
        std::shuffle(targets.begin(), targets.end(), rng);
        targets = targets.mid(0, pick(rng, 1, targets.size()));
    }
    qint64 refMillis = 0;
    const NetworkImage reference = command == QLatin1String("write") ? m_scenarios->writeReference(first, &refMillis)
                                                                     : m_scenarios->copyReference(targets, &refMillis);

    // A latency that is really waited stretches the device exchanges.
    QVector<Fault> latencies;
    qint64 stretched = refMillis;
    for (const QString &room : targets) {
        if (!chance(rng, 0.7))
            continue;
        Fault f;
        f.kind = Fault::Latency;
        f.room = room;
        f.latencyMs = pick(rng, 5, 40);
        f.sleep = true;
        latencies << f;
        stretched += f.latencyMs * 60; // about one read and one write per CP
    }
    const int killAfter = pick(rng, int(stretched / 10), int(stretched));
    QStringList shown;
    for (const Fault &f : latencies)
        shown << f.describe();
    const QString context = QStringLiteral("seed %1: %2 %3, kill after %4 ms; %5")
                                .arg(seed)
                                .arg(command, targets.join(QLatin1Char(',')))
                                .arg(killAfter)
                                .arg(shown.isEmpty() ? QStringLiteral("no latency") : shown.join(QStringLiteral(", ")));

    m_bed->reset();
    for (const Fault &f : latencies)
        inject(m_bed->admin(), m_bed->idOf(f.room), f);
    const QString result = m_bed->file(QStringLiteral("result.tsv"));
    QFile::remove(result);
    const QStringList args = command == QLatin1String("write") ? m_scenarios->writeArgs(first)
                                                               : m_scenarios->copyArgs(targets, result);
    const ToolRun run = m_bed->runTool(args, killAfter);
    killed += run.killed;
    ++tally.runs;
    const QString tool = QStringLiteral("\n%1\n%2%3")
                             .arg(run.killed ? QStringLiteral("killed") : QStringLiteral("status %1").arg(run.status))
                             .arg(run.out, run.err);

    const QString integrity = m_bed->integrity();
    tally.failures += integrity != QLatin1String("ok");
    QVERIFY2(integrity == QLatin1String("ok"), qPrintable(integrity + QLatin1Char('\n') + context));
    const NetworkImage after = m_bed->image();

    const QMap<QString, QString> outcomes = copyOutcomes(result);
    if (command == QLatin1String("copy") && QFile::exists(result)) {
        // Written at the end, at once: complete or not there.
        for (const QString &room : targets)
            QVERIFY2(outcomes.contains(m_bed->objectOf(room)),
                     qPrintable(QStringLiteral("result file without ") + room + QLatin1Char('\n') + context + tool));
    }

    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const QString &room = it.key();
        const Verdict v = judge(m_bed->pristine().value(room), it.value(), reference.value(room));
        const bool target = targets.contains(room);
        QString problem;
        if (run.killed && target) {
            // All or nothing; an application loaded before the parameters'
            // transaction is the one state between.
            problem = disagreement(Claim::DatabaseFailure, v); // garbled CPs only
            if (problem.isEmpty() && !v.allOld && !v.allNew && v.state() != QLatin1String("application only"))
                problem = QStringLiteral("after the kill the device is ") + v.detail();
            ++tally.states[v.state()];
            ++tally.claims[QStringLiteral("killed")];
        } else {
            Claim claim = Claim::Untouched;
            if (target) {
                claim = command == QLatin1String("write") ? claimOfWrite(run.status, run.out)
                                                          : claimOfCopyOutcome(outcomes.value(m_bed->objectOf(room)));
                ++tally.states[v.state()];
                ++tally.claims[claimName(claim)];
            }
            problem = disagreement(claim, v);
        }
        if (problem.isEmpty())
            continue;
        ++tally.failures;
        QVERIFY2(problem.isEmpty(), qPrintable(room + QStringLiteral(": ") + problem + QLatin1Char('\n') + context + tool));
    }
}

void TestKills::killDuringWrite_data()
{
    QTest::addColumn<quint64>("seed");
    const int runs = runCount(12);
    for (int i = 0; i < runs; ++i)
        QTest::addRow("write seed %llu", baseSeed() + 200000 + i) << baseSeed() + 200000 + quint64(i);
}

void TestKills::killDuringWrite()
{
    QFETCH(quint64, seed);
    killAndJudge(QStringLiteral("write"), seed, m_writeTally, m_killedWrites);
}

void TestKills::killDuringCopy_data()
{
    QTest::addColumn<quint64>("seed");
    const int runs = runCount(10);
    for (int i = 0; i < runs; ++i)
        QTest::addRow("copy seed %llu", baseSeed() + 300000 + i) << baseSeed() + 300000 + quint64(i);
}

void TestKills::killDuringCopy()
{
    QFETCH(quint64, seed);
    killAndJudge(QStringLiteral("copy"), seed, m_copyTally, m_killedCopies);
}

QTEST_GUILESS_MAIN(TestKills)
#include "tst_kills.moc"
