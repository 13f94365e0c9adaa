// The copy run of the configuration command ("SpreadParameters") from the
// real window offscreen, no latency, to N added controllers (half of kind 1
// with the application check, half of kind 3 with the mode CPs). One warm-up
// run loads the application the kind-1 targets need; the measured runs find
// it loaded. Counters per copied object: CPU time, device transactions and
// the modelled time on the 78 kbit/s channel.
#include "common/widgetbenchmain.h"

#include <host/hoststate.h>
#include <host/startup.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>
#include <platform/multidevice.h>
#include <ui/copyrun.h>

#include "common/demobed.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

namespace {

using Bed = benchsupport::Bed;

Bed &bed()
{
    static Bed b;
    return b;
}

void BM_CopyRun(benchmark::State &state)
{
    Bed &b = bed();
    const int n = int(state.range(0));
    QStringList names; // device names, as the selector's rule takes them
    const QStringList added = b.addControllers(QStringLiteral("Copy%1x").arg(n), n, [](int i) {
        return i % 2 ? QStringLiteral("AerolisCtrl-T3") : QStringLiteral("AerolisCtrl-T1");
    });
    for (const QString &o : added)
        names << o.section(QLatin1Char('.'), -2, -2);
    auto selector = std::make_shared<platform::ScriptedMultiDevice>();
    platform::setMultiDeviceSelector(selector);
    b.start(QStringLiteral("Room101"));
    const QString rule = names.join(QLatin1Char(','));
    selector->queueRule(rule);
    ui::CopyParameters(*b.win); // warm-up: applications loaded once
    const lnssim::Counters before = b.totals();
    qint64 written = 0;
    for (auto _ : state) {
        selector->queueRule(rule);
        const configuration::CopyRunReport r = ui::CopyParameters(*b.win);
        written += r.results.size() - r.failedKeys().size();
    }
    const lnssim::Counters after = b.totals();
    b.stop();
    platform::setMultiDeviceSelector(nullptr);
    const double objects = double(state.iterations()) * n;
    state.counters["objects_written"] = double(written) / double(state.iterations());
    state.counters["cpu_ms_per_object"] =
        benchmark::Counter(objects / 1000.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["transactions_per_object"] =
        double((after.deviceReads - before.deviceReads) + (after.deviceWrites - before.deviceWrites) +
               (after.deviceTests - before.deviceTests)) / objects;
    state.counters["downloads_per_object"] = double(after.downloads - before.downloads) / objects;
    state.counters["channel_ms_per_object"] = double(after.channelMicros - before.channelMicros) / 1000.0 / objects;
    state.counters["channel_s_per_run"] =
        double(after.channelMicros - before.channelMicros) / 1e6 / double(state.iterations());
}
BENCHMARK(BM_CopyRun)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runWidgetBenchmarks(argc, argv);
}
