// A site through the simulated object server: what opening a network and
// reading one controller cost in the demo grown by 10 controllers (22
// devices) and by 1000 (1012 devices), and the per-channel traffic and
// modelled wall time of a copy-like workload to 1000 controllers on one and
// on ten channels.
#include "common/benchmain.h"

#include <lns/rawtext.h>
#include <lnssim/networkadmin.h>
#include <lnssim/networkstore.h>
#include <lnssim/simobjectserver.h>

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <map>
#include <memory>

namespace {

const QString kIni = QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini");

// A network root holding the demo grown by `controllers` on `channels` lines.
struct Site
{
    QTemporaryDir dir;
    int devices = 0;

    Site(int controllers, int channels)
    {
        platform::IniFile ini;
        if (!ini.setFileName(kIni))
            qFatal("missing %s", qPrintable(kIni));
        lnssim::DemoNetwork::create(dir.path(), ini, false, QStringLiteral("Demo"),
                                    lnssim::SiteSize{controllers, channels});
        devices = 12 + controllers;
    }
    std::unique_ptr<lnssim::NetworkAdmin> admin()
    {
        auto a = std::make_unique<lnssim::NetworkAdmin>(dir.path(), QStringLiteral("Demo"));
        a->open();
        return a;
    }
    lnssim::Counters totals() { return admin()->totals(); }
};

Site &site(int controllers, int channels)
{
    static std::map<std::pair<int, int>, std::unique_ptr<Site>> sites;
    auto &s = sites[{controllers, channels}];
    if (!s)
        s = std::make_unique<Site>(controllers, channels);
    return *s;
}

struct Open
{
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;

    explicit Open(const Site &s)
    {
        server = lnssim::SimObjectServer::create(s.dir.path(), kIni);
        server->open(0);
        network = server->networks()->item(QStringLiteral("Demo"));
        network->open(false);
    }
    lns::AppDevicePtr device(const QString &subsystem, const QString &name) const
    {
        return network->system()
            ->subsystems()
            ->item(QStringLiteral("Building"))
            ->subsystems()
            ->item(subsystem)
            ->appDevices()
            ->item(name);
    }
};

// Every CP of the device's Controller, read from the device in one transaction.
int readController(const Open &o, const lns::AppDevicePtr &device)
{
    auto cps = device->lonMarkObjects()->item(QStringLiteral("Controller"))->configProperties();
    auto system = o.network->system();
    system->startTransaction();
    for (int p = 1; p <= cps->count(); ++p) {
        auto cp = cps->itemAt(p);
        cp->setFormatSpecifier(lns::kRawFormat);
        benchmark::DoNotOptimize(cp->value());
    }
    system->commitTransaction();
    return cps->count();
}

void perIteration(benchmark::State &state, const char *name, double total)
{
    state.counters[name] = benchmark::Counter(total / double(state.iterations()));
}

// Arguments: added controllers (10: 22 devices, 1000: 1012 devices); whether
// another server of the process holds the network open already.
void BM_OpenNetwork(benchmark::State &state)
{
    Site &s = site(int(state.range(0)), 1);
    std::unique_ptr<Open> holder;
    if (state.range(1))
        holder = std::make_unique<Open>(s);
    const lnssim::Counters before = s.totals();
    const int opensBefore = lnssim::NetworkStore::opensInProcess();
    for (auto _ : state) {
        Open o(s);
        benchmark::DoNotOptimize(o.device(QStringLiteral("Floor1"), QStringLiteral("Room101"))->index());
        o.network->close();
    }
    perIteration(state, "device_tx", double(s.totals().transactions() - before.transactions()));
    perIteration(state, "file_opens", double(lnssim::NetworkStore::opensInProcess() - opensBefore));
    state.counters["devices"] = s.devices;
}
BENCHMARK(BM_OpenNetwork)
    ->ArgNames({"controllers", "held"})
    ->Args({10, 0})
    ->Args({1000, 0})
    ->Args({10, 1})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);

// Open, read one controller, close: what a session reading one device costs.
void BM_ReadOneController(benchmark::State &state)
{
    Site &s = site(int(state.range(0)), 1);
    const lnssim::Counters before = s.totals();
    int cps = 0;
    for (auto _ : state) {
        Open o(s);
        cps = readController(o, o.device(QStringLiteral("Floor1"), QStringLiteral("Room101")));
        o.network->close();
    }
    const lnssim::Counters after = s.totals();
    perIteration(state, "device_tx", double(after.transactions() - before.transactions()));
    perIteration(state, "channel_ms", double(after.channelMicros - before.channelMicros) / 1000.0);
    state.counters["cps"] = cps;
    state.counters["devices"] = s.devices;
}
BENCHMARK(BM_ReadOneController)->ArgName("controllers")->Arg(10)->Arg(1000)->Unit(benchmark::kMillisecond);

// A copy-like workload: to each of 1000 controllers, in one transaction,
// read the setpoints and write them back changed (a read and a write of one
// CP each). Argument: the channels the controllers are spread over.
void BM_CopyLikeWorkload(benchmark::State &state)
{
    const int channels = int(state.range(0));
    Site &s = site(1000, channels);
    Open o(s);
    QVector<lns::ConfigPropertyPtr> targets;
    for (int i = 1; i <= 1000; ++i) {
        const QString line = QStringLiteral("Line%1").arg((i - 1) % channels + 1, 2, 10, QLatin1Char('0'));
        auto cp = o.device(line, QStringLiteral("Ctrl%1").arg(i, 4, 10, QLatin1Char('0')))
                      ->lonMarkObjects()
                      ->item(QStringLiteral("Controller"))
                      ->configProperties()
                      ->item(QStringLiteral("SetPoints"));
        cp->setFormatSpecifier(lns::kRawFormat);
        targets << cp;
    }
    auto system = o.network->system();
    s.admin()->resetCounters();
    int round = 0;
    for (auto _ : state) {
        ++round;
        for (const auto &cp : targets) {
            system->startTransaction();
            QByteArray bytes;
            lns::parseRaw(cp->value(), &bytes);
            bytes[0] = char(round & 1);
            cp->setValue(lns::formatRaw(bytes));
            system->commitTransaction();
        }
    }
    const auto admin = s.admin();
    const lnssim::ChannelTraffic traffic = admin->channelCounters();
    const lnssim::Counters total = admin->totals();
    qint64 busiest = 0;
    int used = 0;
    for (const auto &entry : traffic) {
        busiest = std::max(busiest, entry.second.channelMicros);
        used += entry.second.transactions() > 0 ? 1 : 0;
    }
    const double runs = double(state.iterations());
    state.counters["device_tx_per_ctrl"] = double(total.transactions()) / runs / 1000.0;
    state.counters["sum_channel_s"] = double(total.channelMicros) / 1e6 / runs;
    state.counters["busiest_channel_s"] = double(busiest) / 1e6 / runs;
    state.counters["wall_s"] = double(lnssim::wallMicros(traffic)) / 1e6 / runs;
    state.counters["channels_used"] = used;
    state.counters["wall_vs_sum"] = total.channelMicros ? double(lnssim::wallMicros(traffic)) / double(total.channelMicros) : 0;
}
BENCHMARK(BM_CopyLikeWorkload)->ArgName("channels")->Arg(1)->Arg(10)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
