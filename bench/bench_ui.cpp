// The main window in process, offscreen: Display called to the window shown,
// and the full screenshot tour, each against showing an empty QMainWindow in
// the same run. Iteration times are measured around the timed part only
// (building the window is not part of Display); the counter vs_empty gives
// the ratio of the mean to the empty window's mean.
#include "common/pluginbenchmain.h"

#include <host/hoststate.h>
#include <host/startup.h>
#include <platform/messages.h>
#include <ui/controls.h>
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

// Logger lines into the shown window (both logger lists: the page's and the
// logger window's). Arguments: the lines; whether the logger page is in
// front (else the first page is, and the lists are hidden); after how many
// lines the event loop runs (as a copy run's progress window runs it; 0: only
// at the end, as a run without a progress window). Counters: time per run
// and per line; the last line must be in view at the end.
void BM_LoggerLines(benchmark::State &state)
{
    const int lines = int(state.range(0));
    const bool loggerInFront = state.range(1) != 0;
    const int eventsEvery = int(state.range(2));
    double total = 0;
    bool lastShown = true;
    for (auto _ : state) {
        const std::unique_ptr<ui::frmMain> w = newWindow();
        w->show();
        if (loggerInFront)
            w->ShowLogger();
        QApplication::processEvents();
        const auto t0 = Clock::now();
        for (int i = 0; i < lines; ++i) {
            w->LogLine(QStringLiteral("Demo.Building.Floor3.Site%1.Controller: written").arg(i, 4, 10, QLatin1Char('0')));
            if (eventsEvery > 0 && i % eventsEvery == eventsEvery - 1)
                QApplication::processEvents();
        }
        QApplication::processEvents();
        const auto t1 = Clock::now();
        state.SetIterationTime(seconds(t0, t1));
        total += seconds(t0, t1);
        if (loggerInFront) {
            ui::LogBox *log = w->logger();
            const QRect last = log->visualItemRect(log->item(log->count() - 1));
            lastShown = lastShown && log->count() == lines && log->viewport()->rect().intersects(last);
        }
        w->hide();
    }
    if (!lastShown)
        state.SkipWithError("the last line is not in view");
    const double mean = state.iterations() ? total / double(state.iterations()) : 0;
    state.counters["ms"] = mean * 1e3;
    state.counters["us_per_line"] = mean * 1e6 / lines;
}

BENCHMARK(BM_LoggerLines)
    ->ArgNames({"lines", "logger_in_front", "events_every"})
    ->Args({1000, 0, 5})
    ->Args({1000, 1, 5})
    ->Args({1000, 0, 0})
    ->Args({1000, 1, 0})
    ->Args({3000, 0, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ShowEmptyMainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_DisplayToShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_ScreenshotTour)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runPlugInBenchmarks(argc, argv, host::kCmdConfiguration,
                                             std::make_shared<platform::UnattendedMessages>());
}
