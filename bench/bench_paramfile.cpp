// What parameter files and copies cost: saving and loading the controller's
// whole set (33 parameters), the multi-device search on networks of N
// controllers, and the write of the set into each of N objects as a copy run
// does it (WriteToLnsLmo, one transaction per object), on the simulated
// object server with no latency.
#include "common/widgetbenchmain.h"
#include "cpmap.h"
#include "paramsfixture.h"

#include <lnssim/channelmodel.h>
#include <params/copyplan.h>
#include <params/multidevicesearch.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

namespace {

qint64 simulatorPrice(params::ChannelOp op, int bytes)
{
    using lnssim::ChannelModel;
    const ChannelModel::Op m = op == params::ChannelOp::WriteCp ? ChannelModel::Op::WriteCp
        : op == params::ChannelOp::ReadCp                        ? ChannelModel::Op::ReadCp
                                                                 : ChannelModel::Op::ReadVersion;
    return ChannelModel::cost(m, bytes, ChannelModel::Outcome::Ok).micros;
}

ParamsFixture &fixture()
{
    static ParamsFixture *f = [] {
        auto *p = new ParamsFixture();
        cpmap::build(*p->params);
        p->params->ReadFromLns();
        return p;
    }();
    return *f;
}

void BM_SaveParamFile(benchmark::State &state)
{
    ParamsFixture &f = fixture();
    const QString file = f.env.file(QStringLiteral("bench.dat"));
    for (auto _ : state) {
        if (!f.params->WriteToFile(file, params::kDataFilePlugInName, QStringLiteral("90:00:9D:51:0A:04:04:01"),
                                   params::kDataFileVersion))
            state.SkipWithError("save failed");
    }
    state.counters["bytes"] = double(QFileInfo(file).size());
    state.counters["files_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SaveParamFile)->Unit(benchmark::kMicrosecond);

void BM_LoadParamFile(benchmark::State &state)
{
    ParamsFixture &f = fixture();
    const QString file = f.env.file(QStringLiteral("bench.dat"));
    const QString id = QStringLiteral("90:00:9D:51:0A:04:04:01");
    f.params->WriteToFile(file, params::kDataFilePlugInName, id, params::kDataFileVersion);
    for (auto _ : state) {
        if (f.params->LoadFromFile(file, &f.ini, params::kDataFilePlugInName, id, params::kDataFileVersion) != 0)
            state.SkipWithError("load failed");
    }
    state.counters["values"] = double(f.params->lastLoadReport().loaded);
    state.counters["files_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadParamFile)->Unit(benchmark::kMicrosecond);

// A network of n controllers (T1 and T3 alternating, 20 per floor) beside
// the demo network, opened through the object server.
struct BigNetwork
{
    explicit BigNetwork(int n)
    {
        ini.setFileName(TestEnvironment::iniPath());
        const QString name = QStringLiteral("Big%1").arg(n);
        lnssim::NetworkAdmin admin(env.lnsRoot(), name);
        admin.create();
        {
            lnssim::NetworkDb::Transaction tx(admin.db());
            for (int i = 0; i < n; ++i) {
                lnssim::NewDevice d;
                d.subsystemPath = QStringLiteral("Site.Floor%1").arg(i / 20 + 1);
                d.name = QStringLiteral("Room%1").arg(i + 1);
                d.templateName = i % 2 ? QStringLiteral("AerolisCtrl-T3") : QStringLiteral("AerolisCtrl-T1");
                admin.addDevice(d, ini);
            }
            tx.commit();
        }
        admin.close();
        server = lnssim::SimObjectServer::create(env.lnsRoot(), TestEnvironment::iniPath());
        server->open(0);
        network = server->networks()->item(name);
        network->open(false);
        system = network->system();
        source = system->subsystems()->item(QStringLiteral("Site"))->subsystems()->item(QStringLiteral("Floor1"))
                     ->appDevices()->item(QStringLiteral("Room1"));
        object = source->lonMarkObjects()->item(QStringLiteral("Controller"));
        stats = std::make_unique<lnssim::NetworkAdmin>(env.lnsRoot(), name);
        stats->open();
    }
    TestEnvironment env;
    platform::IniFile ini;
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;
    lns::SystemPtr system;
    lns::AppDevicePtr source;
    lns::LonMarkObjectPtr object;
    std::unique_ptr<lnssim::NetworkAdmin> stats;
};

BigNetwork &network(int n)
{
    static std::map<int, BigNetwork *> nets;
    auto it = nets.find(n);
    if (it == nets.end())
        it = nets.emplace(n, new BigNetwork(n)).first;
    return *it->second;
}

void BM_MultiDeviceSearch(benchmark::State &state)
{
    BigNetwork &net = network(int(state.range(0)));
    params::LnsMultiDeviceSearch search(net.system, net.object, &net.ini);
    int found = 0;
    for (auto _ : state)
        found = search.run().size();
    state.counters["devices"] = double(state.range(0));
    state.counters["found"] = double(found);
}
BENCHMARK(BM_MultiDeviceSearch)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->MinTime(2);

// The set of Room1 written into every other object of the network, one
// WriteToLnsLmo each (the core of a copy run: no application check, no
// logger), with the modelled estimate of the selection window beside it.
void BM_CopyWrite(benchmark::State &state)
{
    const int n = int(state.range(0));
    BigNetwork &net = network(n);
    TestWindow window;
    params::cParams p;
    p.setWindow(&window);
    p.setSystem(net.system);
    p.setTemplateContext(lns::TemplateContext{&net.ini, net.source->deviceTemplate()});
    p.setConnection(net.object, net.source);
    cpmap::build(p);
    p.ReadFromLns();
    params::LnsMultiDeviceSearch search(net.system, net.object, &net.ini);
    search.setChannelPrice(simulatorPrice);
    search.setCopiedCps(params::copiedCps(p));
    const auto targets = search.run();
    QVector<lns::LonMarkObjectPtr> objects;
    for (const auto &c : targets)
        objects << search.object(c.key);
    const platform::MultiDeviceCost estimate = search.cost(targets);
    net.stats->resetCounters();
    int failed = 0;
    for (auto _ : state) {
        for (const auto &o : objects)
            failed += !p.WriteToLnsLmo(o, &net.ini, lns::kCpSection);
    }
    if (failed)
        state.SkipWithError("a copy failed");
    const lnssim::Counters c = net.stats->totals();
    const double writes = double(state.iterations()) * objects.size();
    state.counters["objects"] = double(objects.size());
    // Seconds of wall time per object (printed with an SI prefix: 2.1m = 2.1 ms).
    state.counters["s_per_object"] = benchmark::Counter(writes, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["tx_per_object"] = double(c.transactions()) / writes;
    state.counters["channel_ms_per_object"] = double(c.channelMicros) / 1000.0 / writes;
    state.counters["channel_s_run"] = double(c.channelMicros) / 1e6 / double(state.iterations());
    state.counters["estimate_tx_per_object"] = double(estimate.transactions) / double(qMax(1, estimate.objects));
    state.counters["estimate_s_run"] = double(estimate.micros) / 1e6;
}
BENCHMARK(BM_CopyWrite)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    qputenv("AEROLIS_UNATTENDED", "1");
    return benchsupport::runWidgetBenchmarks(argc, argv);
}
