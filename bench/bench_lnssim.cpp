// CPU cost of CP reads and writes through the simulated object server (no
// latency, a real SQLite file in a temporary folder), and what a full read of
// one controller costs on the modelled channel.
#include "common/benchmain.h"

#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

struct Bench
{
    QTemporaryDir dir;
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;
    lns::SystemPtr system;
    lns::AppDevicePtr device;
    QString ini = QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini");

    Bench()
    {
        platform::IniFile file;
        if (!file.setFileName(ini))
            qFatal("missing %s", qPrintable(ini));
        lnssim::DemoNetwork::create(dir.path(), file, false);
        server = lnssim::SimObjectServer::create(dir.path(), ini);
        server->open(0);
        network = server->networks()->item(QStringLiteral("Demo"));
        network->open(false);
        system = network->system();
        device = system->subsystems()->item(1)->subsystems()->item(1)->appDevices()->item(QStringLiteral("Room101"));
    }
    lns::ConfigPropertyPtr cp(const QString &name)
    {
        auto c = device->lonMarkObjects()->item(1)->configProperties()->item(name);
        c->setFormatSpecifier(QStringLiteral("RAW"));
        return c;
    }
    lnssim::Counters totals()
    {
        lnssim::NetworkAdmin admin(dir.path(), QStringLiteral("Demo"));
        admin.open();
        return admin.totals();
    }
};

Bench &bench()
{
    static Bench b;
    return b;
}

void report(benchmark::State &state, const lnssim::Counters &before, const lnssim::Counters &after, const char *per)
{
    const double n = double(state.iterations());
    state.counters["device_tx"] = benchmark::Counter(double(after.transactions() - before.transactions()) / n);
    state.counters["channel_ms"] = benchmark::Counter(double(after.channelMicros - before.channelMicros) / 1000.0 / n);
    state.SetLabel(per);
}

void BM_CpReadRaw(benchmark::State &state)
{
    auto c = bench().cp(QStringLiteral("HeatXp"));
    const lnssim::Counters before = bench().totals();
    for (auto _ : state)
        benchmark::DoNotOptimize(c->value());
    report(state, before, bench().totals(), "per 2-byte CP read");
}
BENCHMARK(BM_CpReadRaw)->Unit(benchmark::kMicrosecond);

void BM_CpWriteRaw(benchmark::State &state)
{
    auto c = bench().cp(QStringLiteral("HeatTi"));
    const QString values[2] = {QStringLiteral("0\t31"), QStringLiteral("0\t30")};
    int i = 0;
    const lnssim::Counters before = bench().totals();
    for (auto _ : state)
        c->setValue(values[i++ & 1]);
    report(state, before, bench().totals(), "per 2-byte CP write");
}
BENCHMARK(BM_CpWriteRaw)->Unit(benchmark::kMicrosecond);

void fullRead(benchmark::State &state, bool inTransaction)
{
    QList<lns::ConfigPropertyPtr> all;
    auto dev = bench().device;
    for (auto cps : {dev->configProperties(), dev->lonMarkObjects()->item(1)->configProperties(),
                     dev->networkVariables()->item(QStringLiteral("nvoUnitStatus"))->configProperties()}) {
        for (int p = 1; p <= cps->count(); ++p) {
            auto c = cps->itemAt(p);
            c->setFormatSpecifier(QStringLiteral("RAW"));
            all << c;
        }
    }
    const lnssim::Counters before = bench().totals();
    for (auto _ : state) {
        if (inTransaction)
            bench().system->startTransaction();
        for (const auto &c : all)
            benchmark::DoNotOptimize(c->value());
        if (inTransaction)
            bench().system->commitTransaction();
    }
    report(state, before, bench().totals(), "per full read of one controller");
    state.counters["cps"] = double(all.size());
}

void BM_FullReadAllCps(benchmark::State &state)
{
    fullRead(state, false);
}
BENCHMARK(BM_FullReadAllCps)->Unit(benchmark::kMillisecond);

void BM_FullReadInTransaction(benchmark::State &state)
{
    fullRead(state, true);
}
BENCHMARK(BM_FullReadInTransaction)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
