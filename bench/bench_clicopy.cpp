// `aerolis copy FILE --subsystem Demo.Building.Floor3` as a whole process on
// the demo network plus N added controllers in Building.Floor3 (half kind 1
// with the application check, half kind 3 with the mode CPs), no latency.
// One warm-up run loads the application the kind-1 controllers need; the
// measured runs find it loaded. Counters: the tool's CPU time (user+system
// of the child process) per run and per controller, device transactions per
// controller (reads, writes, tests) and the modelled time on the 78 kbit/s
// channel per controller and per run.
#include <lnssim/networkadmin.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

double childCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Bed
{
    QTemporaryDir dir;
    QString root;
    QString file;

    explicit Bed(int n)
    {
        qputenv("AEROLIS_REGISTRY_ROOT", QDir(dir.path()).filePath(QStringLiteral("registry")).toUtf8());
        root = QDir(dir.path()).filePath(QStringLiteral("lns"));
        qputenv("AEROLIS_LNS_ROOT", root.toUtf8());
        qputenv("AEROLIS_UNATTENDED", "1");
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QDir().mkpath(root);
        platform::IniFile ini;
        ini.setFileName(QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"));
        lnssim::DemoNetwork::create(root, ini, true);
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        for (int i = 0; i < n; ++i)
            admin.addDevice({QStringLiteral("Building.Floor3"), QStringLiteral("Copy%1").arg(i),
                             i % 2 ? QStringLiteral("AerolisCtrl-T3") : QStringLiteral("AerolisCtrl-T1")},
                            ini);
        admin.close();
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
    lnssim::Counters totals()
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        const lnssim::Counters c = admin.totals();
        admin.close();
        return c;
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
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
