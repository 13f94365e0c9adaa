// Process start to the main window shown, unattended and offscreen, against
// the smallest Qt Widgets program measured in the same run.
//
// Each iteration starts both processes one after the other; the iteration
// time is the plug-in's, and the counters give both medians' ratio.
#include "common/benchmain.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace {

double runMs(const QString &program, const QStringList &args, const QProcessEnvironment &env, int *exitCode)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(60000);
    *exitCode = p.exitCode();
    return t.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

void BM_StartToWindowShown(benchmark::State &state)
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("AEROLIS_UNATTENDED", "1");
    env.insert("AEROLIS_EXIT_WHEN_SHOWN", "1");
    env.insert("AEROLIS_LNS_ROOT", dir.filePath("lns"));
    env.insert("AEROLIS_REGISTRY_ROOT", dir.filePath("registry"));
    int code = 0;
    runMs(AEROLIS_BIN_DIR "/aerolis-net", {"create-demo"}, env, &code);
    if (code != 0) {
        state.SkipWithError("could not create the demo network");
        return;
    }
    const QStringList args{"/COMMANDID:13/CLASSID:28/OBJECTNAME:Demo.Building.Floor1.Room101.Controller"};
    std::vector<double> plugin, baseline;
    for (auto _ : state) {
        int pc = 0, bc = 0;
        const double p = runMs(AEROLIS_BIN_DIR "/AerolisCtrl", args, env, &pc);
        const double b = runMs(MINIMAL_WIDGETS, {}, env, &bc);
        if (pc != 0 || bc != 0) {
            state.SkipWithError("a process did not end normally");
            return;
        }
        plugin.push_back(p);
        baseline.push_back(b);
        state.SetIterationTime(p / 1000.0);
    }
    const double mp = median(plugin), mb = median(baseline);
    state.counters["plugin_ms"] = mp;
    state.counters["baseline_ms"] = mb;
    state.counters["ratio"] = mb > 0 ? mp / mb : 0;
}

} // namespace

BENCHMARK(BM_StartToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
