// The configuration command on the demo network, offscreen, no latency:
// the full start (connect, FetchCPs, read, pages set), a write after one
// changed setpoint and a write after a controller type change. Counters per
// iteration: device reads, writes, tests and downloads, and the modelled
// time on the 78 kbit/s channel as the simulated object server counts it.
#include "common/widgetbenchmain.h"

#include <host/hoststate.h>
#include <host/startup.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>

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

const char *const kRooms[] = {"", "Room101", "Room102", "Room103", "Room104", "Room105"};

using Bed = benchsupport::Bed;

Bed &bed()
{
    static Bed b;
    return b;
}

void report(benchmark::State &state, const lnssim::Counters &before, const lnssim::Counters &after)
{
    const double n = state.iterations() ? double(state.iterations()) : 1;
    state.counters["device_reads"] = double(after.deviceReads - before.deviceReads) / n;
    state.counters["device_writes"] = double(after.deviceWrites - before.deviceWrites) / n;
    state.counters["device_tests"] = double(after.deviceTests - before.deviceTests) / n;
    state.counters["downloads"] = double(after.downloads - before.downloads) / n;
    state.counters["channel_ms"] = double(after.channelMicros - before.channelMicros) / 1000.0 / n;
}

// Connect, FetchCPs, read, pages set, and the window closed again.
void BM_ConfigurationStart(benchmark::State &state)
{
    Bed &b = bed();
    const QString room = QString::fromLatin1(kRooms[state.range(0)]);
    const lnssim::Counters before = b.totals();
    for (auto _ : state) {
        b.start(room);
        if (!b.win || !ui::configurationOf(*b.win)) {
            state.SkipWithError("configuration did not start");
            break;
        }
        state.PauseTiming();
        b.stop();
        state.ResumeTiming();
    }
    report(state, before, b.totals());
}
BENCHMARK(BM_ConfigurationStart)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);

// One setpoint changed, then WriteParameters.
void BM_WriteOneSetpoint(benchmark::State &state)
{
    Bed &b = bed();
    b.start(QString::fromLatin1(kRooms[state.range(0)]));
    configuration::cConfiguration *c = ui::configurationOf(*b.win);
    c->WriteParameters(); // a kind 1 or 2 controller loads its application first
    auto *box = b.win->control<QLineEdit>(QStringLiteral("TextBox"), 3);
    int i = 0;
    const lnssim::Counters before = b.totals();
    for (auto _ : state) {
        box->setText(++i % 2 ? QStringLiteral("20.5") : QStringLiteral("21.0"));
        if (!c->WriteParameters())
            state.SkipWithError("write failed");
    }
    report(state, before, b.totals());
    state.counters["cps_in_write_set"] = double(c->Parameters().GetAllCpNamesShouldBeWrittenToLns().size());
    b.stop();
}
BENCHMARK(BM_WriteOneSetpoint)->DenseRange(1, 5)->Unit(benchmark::kMillisecond);

// The controller type changed (ceiling 4 <-> 5, fan coil 6 <-> 7), then
// WriteParameters: application check, download, write.
void BM_WriteTypeChange(benchmark::State &state)
{
    Bed &b = bed();
    const int kind = int(state.range(0));
    b.start(QString::fromLatin1(kRooms[kind]));
    configuration::cConfiguration *c = ui::configurationOf(*b.win);
    auto *type = b.win->control<QComboBox>(QStringLiteral("ComboBox"), 0);
    const int first = kind == 1 ? 4 : 6;
    int i = 0;
    const lnssim::Counters before = b.totals();
    for (auto _ : state) {
        type->setCurrentIndex(type->findData(first + (i++ % 2)));
        if (!c->WriteParameters())
            state.SkipWithError("write failed");
    }
    report(state, before, b.totals());
    b.stop();
}
BENCHMARK(BM_WriteTypeChange)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runWidgetBenchmarks(argc, argv);
}
