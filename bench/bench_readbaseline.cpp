// `aerolis read` of one controller against the bare Qt Core baseline
// (read_baseline: open the network through the object-server interface, read
// the controller's CPs, end), both as whole processes in the same run and on
// the same demo network. Each iteration runs the tool once and the baseline
// once. Counters per iteration: CPU (user + system of the child) and wall
// time of each, their ratios (tool / baseline), and the device reads each
// made (the baseline must read at least what the tool reads, or the
// comparison flatters the tool).
#include "common/benchmain.h"
#include "common/networkbed.h"

#include <lnssim/networkadmin.h>

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

namespace {

const char *const kRooms[] = {"", "Room101", "Room102", "Room103", "Room104", "Room105"};

struct Measured
{
    double cpu = 0;
    double wall = 0;
    qint64 reads = 0;
};

struct Bed : benchsupport::NetworkBed
{
    QString object(int kind) const
    {
        return QStringLiteral("Demo.Building.Floor1.%1.Controller").arg(QLatin1String(kRooms[kind]));
    }
    qint64 reads(int kind)
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        const qint64 n = admin.counters(admin.device(QLatin1String(kRooms[kind])).id).deviceReads;
        admin.close();
        return n;
    }
    // Runs one process to its end; false when it failed.
    bool run(int kind, const QString &program, const QStringList &args, Measured &m)
    {
        const qint64 reads0 = reads(kind);
        const double cpu0 = benchsupport::childCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(program, args);
        const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        m.wall += wall.nsecsElapsed() / 1e9;
        m.cpu += benchsupport::childCpuSeconds() - cpu0;
        m.reads += reads(kind) - reads0;
        return ok;
    }
};

// The tool measured: this build's, or the one given in the benchmark's
// registration (an earlier build, for a before/after figure in one run).
void readAgainstBaseline(benchmark::State &state, const QString &aerolis)
{
    const int kind = int(state.range(0));
    Bed bed;
    const QString file = QDir(bed.dir.path()).filePath(QStringLiteral("set.dat"));
    Measured tool;
    Measured base;
    for (auto _ : state) {
        if (!bed.run(kind, aerolis,
                     {QStringLiteral("read"), bed.object(kind), QStringLiteral("-o"), file}, tool))
            state.SkipWithError("aerolis read failed");
        if (!bed.run(kind, QStringLiteral(READ_BASELINE), {bed.object(kind)}, base))
            state.SkipWithError("read_baseline failed");
    }
    const double n = double(state.iterations());
    state.counters["tool_cpu_ms"] = tool.cpu * 1000 / n;
    state.counters["base_cpu_ms"] = base.cpu * 1000 / n;
    state.counters["cpu_ratio"] = base.cpu > 0 ? tool.cpu / base.cpu : 0;
    state.counters["tool_wall_ms"] = tool.wall * 1000 / n;
    state.counters["base_wall_ms"] = base.wall * 1000 / n;
    state.counters["wall_ratio"] = base.wall > 0 ? tool.wall / base.wall : 0;
    state.counters["tool_reads"] = double(tool.reads) / n;
    state.counters["base_reads"] = double(base.reads) / n;
}

void BM_ReadAgainstBaseline(benchmark::State &state)
{
    readAgainstBaseline(state, QStringLiteral(AEROLIS_BIN_DIR "/aerolis"));
}

} // namespace

BENCHMARK(BM_ReadAgainstBaseline)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    // AEROLIS_EARLIER_TOOL: an earlier build of `aerolis` (with its data
    // beside it) measured in the same run against the same baseline.
    const QString earlier = qEnvironmentVariable("AEROLIS_EARLIER_TOOL");
    if (!earlier.isEmpty())
        benchmark::RegisterBenchmark("BM_ReadEarlierBuildAgainstBaseline",
                                     [earlier](benchmark::State &state) { readAgainstBaseline(state, earlier); })
            ->DenseRange(1, 5)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5);
    return benchsupport::runCoreBenchmarks(argc, argv);
}
