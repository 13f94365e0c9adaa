// `aerolis report OBJECT... --pdf FILE` (and --html, --csv for comparison)
// for N controllers added to the demo network (kinds 1 to 5 in turn), run as
// a whole process, one session per controller. Counters per iteration: wall
// time (real time), CPU time of the tool process (user+system), per
// controller, the file's size and the device transactions (reads only).
#include "common/demobed.h"

#include <lnssim/networkadmin.h>
#include <platform/resstrings.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

namespace {

using Bed = benchsupport::Bed;

Bed &bed()
{
    static Bed b;
    return b;
}

double childCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The objects of n controllers on Floor3, added once.
QStringList controllers(Bed &b, int n)
{
    lnssim::NetworkAdmin admin(b.root, QStringLiteral("Demo"));
    admin.open();
    platform::IniFile ini;
    ini.setFileName(b.app + QStringLiteral("/AerolisCtrl.ini"));
    QStringList objects;
    for (int i = 0; i < n; ++i) {
        const QString name = QStringLiteral("Rep%1").arg(i + 1, 3, 10, QLatin1Char('0'));
        bool known = true;
        try {
            known = admin.device(name).id != 0;
        } catch (const std::exception &) {
            known = false;
        }
        if (!known)
            admin.addDevice({QStringLiteral("Building.Floor3"), name, QStringLiteral("AerolisCtrl-T%1").arg(i % 5 + 1)}, ini);
        objects << QStringLiteral("Demo.Building.Floor3.%1.Controller").arg(name);
    }
    admin.close();
    return objects;
}

lnssim::Counters totals(Bed &b)
{
    lnssim::NetworkAdmin admin(b.root, QStringLiteral("Demo"));
    admin.open();
    const lnssim::Counters c = admin.totals();
    admin.close();
    return c;
}

void BM_Report(benchmark::State &state, const char *option, const char *suffix)
{
    Bed &b = bed();
    const int n = int(state.range(0));
    const QStringList objects = controllers(b, n);
    const QString file = QDir(b.dir.path()).filePath(QStringLiteral("report.") + QLatin1String(suffix));
    const lnssim::Counters before = totals(b);
    const double cpuBefore = childCpuSeconds();
    qint64 bytes = 0;
    bool ok = true;
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral(AEROLIS_BIN_DIR "/aerolis"),
                QStringList{QStringLiteral("report")} + objects + QStringList{QLatin1String(option), file});
        ok = p.waitForFinished(30 * 60 * 1000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && ok;
        bytes = QFileInfo(file).size();
    }
    if (!ok)
        state.SkipWithError("the report command failed");
    const lnssim::Counters after = totals(b);
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
BENCHMARK_CAPTURE(BM_Report, pdf, "--pdf", "pdf")->Arg(100)->Iterations(2)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Report, html, "--html", "html")->Arg(100)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_Report, csv, "--csv", "csv")->Arg(100)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("aerolis"));
    QApplication::setOrganizationName(QStringLiteral("norda"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
