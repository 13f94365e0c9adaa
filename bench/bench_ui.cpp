// The main window in process, offscreen: Display called to the window shown,
// and the full screenshot tour, each against showing an empty QMainWindow in
// the same run. Iteration times are measured around the timed part only
// (building the window is not part of Display); the counter vs_empty gives
// the ratio of the mean to the empty window's mean.
#include <host/hoststate.h>
#include <host/startup.h>
#include <platform/messages.h>
#include <ui/frmmain.h>
#include <ui/screenshottour.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace {

double g_emptyMean = 0; // seconds

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void report(benchmark::State &state, double total)
{
    const double mean = state.iterations() ? total / double(state.iterations()) : 0;
    state.counters["ms"] = mean * 1e3;
    if (g_emptyMean > 0)
        state.counters["vs_empty"] = mean / g_emptyMean;
}

std::unique_ptr<ui::frmMain> newWindow()
{
    auto w = std::make_unique<ui::frmMain>();
    w->setupForCommand(host::state().commandIndex);
    return w;
}

void BM_ShowEmptyMainWindow(benchmark::State &state)
{
    double total = 0;
    for (auto _ : state) {
        QMainWindow w;
        w.resize(614, 510);
        const auto t0 = Clock::now();
        w.show();
        QApplication::processEvents();
        const auto t1 = Clock::now();
        state.SetIterationTime(seconds(t0, t1));
        total += seconds(t0, t1);
        w.hide();
    }
    g_emptyMean = state.iterations() ? total / double(state.iterations()) : 0;
    report(state, total);
}

void BM_DisplayToShown(benchmark::State &state)
{
    double total = 0;
    for (auto _ : state) {
        auto w = newWindow();
        const auto t0 = Clock::now();
        w->display();
        QApplication::processEvents();
        const auto t1 = Clock::now();
        state.SetIterationTime(seconds(t0, t1));
        total += seconds(t0, t1);
        w->hide();
    }
    report(state, total);
}

void BM_ScreenshotTour(benchmark::State &state)
{
    QTemporaryDir shots;
    double total = 0;
    for (auto _ : state) {
        auto w = newWindow();
        w->display();
        QApplication::processEvents();
        const auto t0 = Clock::now();
        const QStringList files = ui::runScreenshotTour(*w, shots.path());
        const auto t1 = Clock::now();
        if (files.size() < 10)
            state.SkipWithError("the tour wrote too few files");
        state.SetIterationTime(seconds(t0, t1));
        total += seconds(t0, t1);
        w->hide();
    }
    report(state, total);
}

BENCHMARK(BM_ShowEmptyMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_DisplayToShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_ScreenshotTour)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    // Isolated registry, network root and application folder.
    QTemporaryDir dir;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("AEROLIS_UNATTENDED", "1");
    qputenv("AEROLIS_REGISTRY_ROOT", QDir(dir.path()).filePath("registry").toUtf8());
    qputenv("AEROLIS_LNS_ROOT", QDir(dir.path()).filePath("lns").toUtf8());
    QApplication app(argc, argv);
    const QString appFolder = QDir(dir.path()).filePath("app");
    QDir().mkpath(appFolder);
    QFile::copy(AEROLIS_BIN_DIR "/AerolisCtrl.ini", appFolder + "/AerolisCtrl.ini");
    platform::setMessageService(std::make_shared<platform::UnattendedMessages>());
    host::Environment &env = host::state().env;
    env.applicationFolder = appFolder;
    env.executableName = "AerolisCtrl";
    host::InitApp();
    host::state().commandIndex = host::kCmdConfiguration;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    host::resetState();
    return 0;
}
