// `aerolis copy FILE OBJECT... --skip-matching` as a whole process on the demo
// network plus N controllers (kinds 1 and 3 in turn, both take the file of a
// kind-1 controller) spread over C channels. One warm-up copy writes the set
// and loads the applications; each measured run then either copies the
// unchanged file or a file with one value changed (it alternates between two
// values, so every run changes one). Counters: the tool's CPU per
// controller, device reads, writes and tests per controller, and the run's
// modelled wall time (the simulator's time line, where targets on different
// channels overlap) against the busiest channel's own time and the sum of
// all channels (what the same transactions take on one channel, where they
// follow one another).
#include "common/benchmain.h"
#include "common/networkbed.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include <map>
#include <memory>

namespace {

using benchsupport::childCpuSeconds;

const QString kIni = QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini");

int runTool(const QStringList &args)
{
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral(AEROLIS_BIN_DIR "/aerolis"), args);
    p.closeReadChannel(QProcess::StandardOutput);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

QByteArray withValue(const QByteArray &file, const QByteArray &key, const QByteArray &value)
{
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray &l : lines) {
        const int eq = l.indexOf('=');
        if (eq > 0 && l.left(eq).trimmed() == key)
            l = key + " = " + value + "\r";
    }
    return lines.join('\n');
}

// The demo network plus n controllers on `channels` channels of their own,
// their object names, and the source's file.
struct Bed : benchsupport::NetworkBed
{
    QStringList objects;
    QString file;
    QByteArray original;
    bool ready = false;

    Bed(int n, int channels)
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        objects = addControllers(QStringLiteral("Site"), n, [](int i) {
            return i % 2 ? QStringLiteral("AerolisCtrl-T3") : QStringLiteral("AerolisCtrl-T1");
        }, 4);
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        for (int c = 1; c <= channels; ++c)
            admin.addChannel(QStringLiteral("Line%1").arg(c), QStringLiteral("RouterLine%1").arg(c));
        for (int i = 0; i < n; ++i)
            admin.moveDevice(admin.device(QStringLiteral("Site%1").arg(i, 4, 10, QLatin1Char('0'))).id,
                             QStringLiteral("Line%1").arg(i % channels + 1));
        admin.close();
        file = QDir(dir.path()).filePath(QStringLiteral("set.dat"));
        if (runTool({QStringLiteral("read"), objects.first(), QStringLiteral("-o"), file}) != 0)
            return;
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return;
        original = f.readAll();
        f.close();
        // Warm-up: the set and the applications reach every target once.
        ready = runTool(QStringList{QStringLiteral("copy"), file} + objects) == 0;
    }
    bool writeFile(const QByteArray &bytes)
    {
        QFile f(file);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }
    lnssim::NetworkAdmin::RunFigures lastRun()
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        return admin.lastRun();
    }
    lnssim::ChannelTraffic traffic()
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        return admin.channelCounters();
    }
    void resetCounters()
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        admin.resetCounters();
    }
};

Bed &bed(int n, int channels)
{
    static std::map<std::pair<int, int>, std::unique_ptr<Bed>> beds;
    auto &b = beds[{n, channels}];
    if (!b)
        b = std::make_unique<Bed>(n, channels);
    return *b;
}

// Arguments: controllers, channels, whether the file changes one value.
void BM_SiteCopy(benchmark::State &state)
{
    const int n = int(state.range(0));
    const int channels = int(state.range(1));
    const bool changed = state.range(2) != 0;
    Bed &b = bed(n, channels);
    if (!b.ready) {
        state.SkipWithError("the bed could not be made (read or warm-up copy failed)");
        return;
    }
    const QStringList copy = QStringList{QStringLiteral("copy"), b.file} + b.objects
        + QStringList{QStringLiteral("--skip-matching")};
    double cpu = 0;
    lnssim::Counters total;
    qint64 wall = 0, busiest = 0;
    int failedRuns = 0, round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The file as the targets hold it, or with one value they do not.
        const QByteArray value = (++round % 2) ? "2150" : "2050";
        b.writeFile(changed ? withValue(b.original, "HeatSetpointComfort", value) : b.original);
        b.resetCounters();
        state.ResumeTiming();
        const double cpuBefore = childCpuSeconds();
        failedRuns += runTool(copy) == 0 ? 0 : 1;
        cpu += childCpuSeconds() - cpuBefore;
        state.PauseTiming();
        qint64 runBusiest = 0;
        for (const auto &entry : b.traffic()) {
            total += entry.second;
            runBusiest = std::max(runBusiest, entry.second.channelMicros);
        }
        busiest += runBusiest;
        wall += b.lastRun().wallMicros;
        state.ResumeTiming();
    }
    if (failedRuns)
        state.SkipWithError("a copy run failed");
    const double runs = double(state.iterations());
    const double objects = runs * n;
    state.counters["cpu_ms_per_controller"] = cpu * 1000.0 / objects;
    state.counters["reads_per_controller"] = double(total.deviceReads) / objects;
    state.counters["writes_per_controller"] = double(total.deviceWrites) / objects;
    state.counters["tests_per_controller"] = double(total.deviceTests) / objects;
    state.counters["wall_s"] = double(wall) / 1e6 / runs;
    state.counters["busiest_channel_s"] = double(busiest) / 1e6 / runs;
    state.counters["sum_channels_s"] = double(total.channelMicros) / 1e6 / runs;
    state.counters["wall_vs_busiest"] = busiest ? double(wall) / double(busiest) : 0;
}
BENCHMARK(BM_SiteCopy)
    ->ArgNames({"controllers", "channels", "changed"})
    ->Args({10, 10, 0})
    ->Args({10, 10, 1})
    ->Args({100, 10, 0})
    ->Args({100, 10, 1})
    ->Args({1000, 10, 0})
    ->Args({1000, 10, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
