// `aerolis copy FILE --subsystem Demo.Building.Floor3` as a whole process on
// the demo network plus N added controllers in Building.Floor3 (half kind 1
// with the application check, half kind 3 with the mode CPs), no latency.
// One warm-up run loads the application the kind-1 controllers need; the
// measured runs find it loaded. Counters: the tool's CPU time (user+system
// of the child process) per run and per controller, device transactions per
// controller (reads, writes, tests) and the modelled time on the 78 kbit/s
// channel per controller and per run.
#include "common/benchmain.h"
#include "common/networkbed.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

namespace {

using benchsupport::childCpuSeconds;

// The demo network with n controllers more and the source's file name.
struct Bed : benchsupport::NetworkBed
{
    QString file;

    explicit Bed(int n)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        addControllers(QStringLiteral("Copy"), n, [](int i) {
            return i % 2 ? QStringLiteral("AerolisCtrl-T3") : QStringLiteral("AerolisCtrl-T1");
        });
        file = QDir(dir.path()).filePath(QStringLiteral("set.dat"));
    }
    int tool(const QStringList &args)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(AEROLIS_BIN_DIR "/aerolis"), args);
        p.closeReadChannel(QProcess::StandardOutput);
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
            return -1;
        return p.exitCode();
    }
};

void BM_ToolCopy(benchmark::State &state)
{
    const int n = int(state.range(0));
    Bed b(n);
    if (b.tool({QStringLiteral("read"), QStringLiteral("Demo.Building.Floor3.Copy0.Controller"), QStringLiteral("-o"), b.file}) != 0) {
        state.SkipWithError("read of the source failed");
        return;
    }
    const QStringList copy{QStringLiteral("copy"), b.file, QStringLiteral("--subsystem"), QStringLiteral("Demo.Building.Floor3")};
    if (b.tool(copy) != 0) { // warm-up: applications loaded once
        state.SkipWithError("warm-up copy failed");
        return;
    }
    const lnssim::Counters before = b.totals();
    const double cpuBefore = childCpuSeconds();
    int failedRuns = 0;
    for (auto _ : state)
        failedRuns += b.tool(copy) == 0 ? 0 : 1;
    const double cpu = childCpuSeconds() - cpuBefore;
    const lnssim::Counters after = b.totals();
    if (failedRuns)
        state.SkipWithError("a copy run failed");
    const double runs = double(state.iterations());
    const double objects = runs * n;
    state.counters["tool_cpu_s_per_run"] = cpu / runs;
    state.counters["tool_cpu_ms_per_controller"] = cpu * 1000.0 / objects;
    state.counters["reads_per_controller"] = double(after.deviceReads - before.deviceReads) / objects;
    state.counters["writes_per_controller"] = double(after.deviceWrites - before.deviceWrites) / objects;
    state.counters["transactions_per_controller"] =
        double((after.deviceReads - before.deviceReads) + (after.deviceWrites - before.deviceWrites)
               + (after.deviceTests - before.deviceTests)) / objects;
    state.counters["bytes_written_per_controller"] = double(after.bytesWritten - before.bytesWritten) / objects;
    state.counters["bytes_read_per_controller"] = double(after.bytesRead - before.bytesRead) / objects;
    state.counters["downloads_per_controller"] = double(after.downloads - before.downloads) / objects;
    state.counters["channel_ms_per_controller"] = double(after.channelMicros - before.channelMicros) / 1000.0 / objects;
    state.counters["channel_s_per_run"] = double(after.channelMicros - before.channelMicros) / 1e6 / runs;
}
BENCHMARK(BM_ToolCopy)->Arg(1000)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
