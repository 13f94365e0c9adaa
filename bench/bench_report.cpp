// `aerolis report OBJECT... --pdf FILE` (and --html, --csv for comparison)
// for N controllers added to the demo network (kinds 1 to 5 in turn), run as
// a whole process, one session per controller. Counters per iteration: wall
// time (real time), CPU time of the tool process (user+system), per
// controller, the file's size and the device transactions (reads only).
#include "common/widgetbenchmain.h"
#include "common/networkbed.h"

#include <lnssim/networkadmin.h>
#include <platform/resstrings.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

namespace {

using Bed = benchsupport::NetworkBed;

Bed &bed()
{
    static Bed b;
    return b;
}

using benchsupport::childCpuSeconds;

// `tool`: this build's `aerolis` or an earlier one (AEROLIS_EARLIER_TOOL).
void report(benchmark::State &state, const QString &tool, const char *option, const char *suffix)
{
    Bed &b = bed();
    const int n = int(state.range(0));
    const QStringList objects =
        b.addControllers(QStringLiteral("Rep"), n, [](int i) { return QStringLiteral("AerolisCtrl-T%1").arg(i % 5 + 1); }, 3);
    const QString file = QDir(b.dir.path()).filePath(QStringLiteral("report.") + QLatin1String(suffix));
    const lnssim::Counters before = b.totals();
    const double cpuBefore = childCpuSeconds();
    qint64 bytes = 0;
    bool ok = true;
    for (auto _ : state) {
        QProcess p;
        p.start(tool, QStringList{QStringLiteral("report")} + objects + QStringList{QLatin1String(option), file});
        ok = p.waitForFinished(30 * 60 * 1000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && ok;
        bytes = QFileInfo(file).size();
    }
    if (!ok)
        state.SkipWithError("the report command failed");
    const lnssim::Counters after = b.totals();
    const double runs = double(state.iterations());
    const double cpu = (childCpuSeconds() - cpuBefore) / runs;
    state.counters["controllers"] = n;
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_ms_per_controller"] = cpu * 1000.0 / n;
    state.counters["file_bytes"] = benchmark::Counter(double(bytes), benchmark::Counter::kDefaults,
                                                      benchmark::Counter::kIs1024);
    state.counters["device_reads_per_controller"] = double(after.deviceReads - before.deviceReads) / runs / n;
    state.counters["device_writes"] = double(after.deviceWrites - before.deviceWrites);
}

void BM_Report(benchmark::State &state, const char *option, const char *suffix)
{
    report(state, QStringLiteral(AEROLIS_BIN_DIR "/aerolis"), option, suffix);
}
BENCHMARK_CAPTURE(BM_Report, pdf, "--pdf", "pdf")->Arg(100)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Report, html, "--html", "html")->Arg(100)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Report, csv, "--csv", "csv")->Arg(100)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    // AEROLIS_EARLIER_TOOL: an earlier build of `aerolis` measured in the
    // same run, on the same controllers.
    const QString earlier = qEnvironmentVariable("AEROLIS_EARLIER_TOOL");
    if (!earlier.isEmpty()) {
        const std::pair<const char *, const char *> outputs[] = {{"--pdf", "pdf"}, {"--html", "html"}, {"--csv", "csv"}};
        for (const auto &[option, suffix] : outputs)
            benchmark::RegisterBenchmark((std::string("BM_ReportEarlierBuild/") + suffix).c_str(),
                                         [earlier, option = option, suffix = suffix](benchmark::State &state) {
                                             report(state, earlier, option, suffix);
                                         })
                ->Arg(100)
                ->Iterations(1)
                ->UseRealTime()
                ->Unit(benchmark::kSecond);
    }
    return benchsupport::runWidgetBenchmarks(argc, argv);
}
