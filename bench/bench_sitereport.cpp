// `aerolis report OBJECT... --csv FILE` and `aerolis read OBJECT` run in this
// process (cli::run, with the simulated object server wired as main() wires
// it), on the demo network grown by N controllers spread over ten channels.
// In-process, so that the network opens of a run can be counted (the object
// server's file opens of this process) and the CPU is the command's alone,
// without the process start (bench_report measures the tool as a process).
//
// BM_ReportCsv/N: N controllers in one report. Counters per run: CPU time per
// controller (user + system of this process), network file opens, device
// reads per controller, the modelled wall time of the run (controllers on
// different channels read at once) and the busiest channel's own time.
// BM_ReadOne/N: `aerolis read` of one controller of the demo (Room101) in the
// demo grown by N controllers (10: 22 devices, 1000: 1012 devices): CPU per
// read and network opens per read.
#include "common/benchmain.h"
#include "common/networkbed.h"
#include "common/sitebed.h"

#include <cli/commands.h>
#include <cli/session.h>
#include <host/hoststate.h>
#include <lnssim/networkadmin.h>
#include <lnssim/networkstore.h>
#include <lnssim/serverenvironment.h>

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

int runCommand(const QStringList &args)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    const int status = cli::run(args, o, e);
    e.flush();
    if (status != cli::kOk)
        std::fprintf(stderr, "status %d: %s\n", status, qPrintable(err.left(2000)));
    return status;
}

void BM_ReportCsv(benchmark::State &state)
{
    const int n = int(state.range(0));
    benchsupport::SiteBed &s = benchsupport::siteBed(n);
    s.use();
    const QStringList objects = s.added.mid(0, n);
    const QString file = QDir(s.dir.path()).filePath(QStringLiteral("report.csv"));
    double cpu = 0;
    int opens = 0;
    qint64 reads = 0, wall = 0, busiest = 0, sum = 0;
    bool ok = true;
    for (auto _ : state) {
        s.admin()->resetCounters();
        const int opensBefore = lnssim::NetworkStore::opensInProcess();
        const double before = benchsupport::cpuSeconds(RUSAGE_SELF);
        const int status = runCommand(QStringList{QStringLiteral("report")} + objects
                                      + QStringList{QStringLiteral("--csv"), file});
        cpu += benchsupport::cpuSeconds(RUSAGE_SELF) - before;
        opens += lnssim::NetworkStore::opensInProcess() - opensBefore;
        ok = ok && status == cli::kOk;
        const std::unique_ptr<lnssim::NetworkAdmin> a = s.admin();
        reads += a->totals().deviceReads;
        sum += a->totals().channelMicros;
        wall += a->lastRun().wallMicros;
        qint64 top = 0;
        for (const auto &entry : a->channelCounters())
            top = std::max(top, entry.second.channelMicros);
        busiest += top;
    }
    if (!ok)
        state.SkipWithError("the report command failed");
    const double runs = double(state.iterations());
    state.counters["controllers"] = n;
    state.counters["cpu_ms_per_controller"] = cpu * 1000.0 / runs / n;
    state.counters["network_opens"] = opens / runs;
    state.counters["device_reads_per_controller"] = double(reads) / runs / n;
    state.counters["modelled_wall_s"] = double(wall) / runs / 1e6;
    state.counters["busiest_channel_s"] = double(busiest) / runs / 1e6;
    state.counters["all_channels_s"] = double(sum) / runs / 1e6;
}
BENCHMARK(BM_ReportCsv)->Arg(10)->Arg(100)->Arg(1000)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_ReadOne(benchmark::State &state)
{
    benchsupport::SiteBed &s = benchsupport::siteBed(int(state.range(0)));
    s.use();
    const QString object = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
    const QString file = QDir(s.dir.path()).filePath(QStringLiteral("read.dat"));
    double cpu = 0;
    int opens = 0;
    bool ok = true;
    for (auto _ : state) {
        const int opensBefore = lnssim::NetworkStore::opensInProcess();
        const double before = benchsupport::cpuSeconds(RUSAGE_SELF);
        ok = runCommand({QStringLiteral("read"), object, QStringLiteral("-o"), file}) == cli::kOk && ok;
        cpu += benchsupport::cpuSeconds(RUSAGE_SELF) - before;
        opens += lnssim::NetworkStore::opensInProcess() - opensBefore;
    }
    if (!ok)
        state.SkipWithError("the read command failed");
    const double runs = double(state.iterations());
    state.counters["devices"] = 12 + int(state.range(0));
    state.counters["cpu_ms_per_read"] = cpu * 1000.0 / runs;
    state.counters["network_opens"] = opens / runs;
}
BENCHMARK(BM_ReadOne)->Arg(10)->Arg(1000)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
