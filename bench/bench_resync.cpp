// `aerolis resync OBJECT... --json` run in this process (cli::run, with the
// simulated object server wired as main() wires it) on the demo network grown
// by N controllers spread over ten channels. Before each run every tenth
// added controller gets a CP written to the database alone.
//
// BM_Resync/N: the comparison. BM_ResyncPush/N: the same with --push (the
// differing controllers read again and written). Counters per run: the CP
// reads and writes the command priced before it started, the device
// transactions the simulator counted (reads, writes, reachability tests),
// the priced and the modelled channel time (all channels, and the wall time
// with the channels working at once), and CPU per controller.
#include "common/benchmain.h"
#include "common/networkbed.h"
#include "common/sitebed.h"

#include <cli/commands.h>
#include <cli/session.h>
#include <host/hoststate.h>
#include <lnssim/networkadmin.h>
#include <lnssim/serverenvironment.h>

#include <benchmark/benchmark.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

const QString kCp = QStringLiteral("OffDelay");

// Every tenth added controller's database copy of the CP moved off the
// device's bytes; the counters start from zero.
void prepare(const benchsupport::SiteBed &s)
{
    const std::unique_ptr<lnssim::NetworkAdmin> admin = s.admin();
    for (int i = 0; i < s.ids.size(); i += 10) {
        QByteArray bytes = admin->deviceCp(s.ids.at(i), kCp);
        bytes[bytes.size() - 1] = char(quint8(bytes.back()) + 10);
        admin->db().setDatabaseCp(s.ids.at(i), kCp, bytes);
    }
    admin->resetCounters();
}

void runResync(benchmark::State &state, bool push)
{
    const int n = int(state.range(0));
    benchsupport::SiteBed &s = benchsupport::siteBed(n);
    s.use();
    QStringList args{QStringLiteral("resync")};
    args << s.added.mid(0, n) << QStringLiteral("--json");
    if (push)
        args << QStringLiteral("--push");
    double cpu = 0;
    qint64 pricedReads = 0, pricedWrites = 0, pricedMicros = 0, pricedWall = 0;
    qint64 reads = 0, writes = 0, tests = 0, channelMicros = 0, wall = 0;
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        prepare(s);
        state.ResumeTiming();
        QString out, err;
        QTextStream o(&out), e(&err);
        const double before = benchsupport::cpuSeconds(RUSAGE_SELF);
        const int status = cli::run(args, o, e);
        cpu += benchsupport::cpuSeconds(RUSAGE_SELF) - before;
        o.flush();
        ok = ok && status == (push ? cli::kOk : cli::kDifferent);
        if (status != (push ? cli::kOk : cli::kDifferent))
            std::fprintf(stderr, "status %d: %s\n", status, qPrintable(err.left(2000)));
        const QJsonObject doc = QJsonDocument::fromJson(out.toUtf8()).object();
        for (const QString &key : {QStringLiteral("price"), QStringLiteral("pushPrice")}) {
            const QJsonObject price = doc.value(key).toObject();
            pricedReads += price.value(QStringLiteral("reads")).toInt();
            pricedWrites += price.value(QStringLiteral("writes")).toInt();
            pricedMicros += qint64(price.value(QStringLiteral("channelMicros")).toDouble());
            pricedWall += qint64(price.value(QStringLiteral("wallMicros")).toDouble());
        }
        const std::unique_ptr<lnssim::NetworkAdmin> admin = s.admin();
        const lnssim::Counters counted = admin->totals();
        reads += counted.deviceReads;
        writes += counted.deviceWrites;
        tests += counted.deviceTests;
        channelMicros += counted.channelMicros;
        wall += lnssim::wallMicros(admin->channelCounters());
    }
    if (!ok)
        state.SkipWithError("the resync command failed");
    const double runs = double(state.iterations());
    state.counters["controllers"] = n;
    state.counters["priced_reads"] = pricedReads / runs;
    state.counters["priced_writes"] = pricedWrites / runs;
    state.counters["device_reads"] = reads / runs;
    state.counters["device_writes"] = writes / runs;
    state.counters["device_tests"] = tests / runs;
    state.counters["priced_channel_s"] = double(pricedMicros) / runs / 1e6;
    state.counters["priced_wall_s"] = double(pricedWall) / runs / 1e6;
    state.counters["modelled_channel_s"] = double(channelMicros) / runs / 1e6;
    state.counters["modelled_wall_s"] = double(wall) / runs / 1e6;
    state.counters["cpu_ms_per_controller"] = cpu * 1000.0 / runs / n;
}

void BM_Resync(benchmark::State &state)
{
    runResync(state, false);
}
BENCHMARK(BM_Resync)->Arg(100)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_ResyncPush(benchmark::State &state)
{
    runResync(state, true);
}
BENCHMARK(BM_ResyncPush)->Arg(100)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
