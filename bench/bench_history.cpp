// The record of writes: a write transaction with and without its record
// (CPU), and the record's answers once it holds 100 000 writes of a site
// (all of them, one controller's, the newest 50).
#include "common/benchmain.h"

#include <lnssim/networkadmin.h>
#include <lnssim/networkdb.h>
#include <lnssim/simobjectserver.h>
#include <lnssim/writehistory.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

constexpr int kRecords = 100000;
constexpr int kPerTransaction = 25;
const QString kIni = QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini");

struct Bed
{
    QTemporaryDir dir;
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;
    lns::SystemPtr system;

    explicit Bed(bool filled)
    {
        platform::IniFile file;
        if (!file.setFileName(kIni))
            qFatal("missing %s", qPrintable(kIni));
        lnssim::DemoNetwork::create(dir.path(), file, false);
        if (filled)
            fill();
        server = lnssim::SimObjectServer::create(dir.path(), kIni);
        server->open(0);
        network = server->networks()->item(QStringLiteral("Demo"));
        network->open(false);
        system = network->system();
    }

    // 100 000 records of 1000 controllers, 25 CPs per transaction.
    void fill()
    {
        lnssim::NetworkDb db;
        db.open(lnssim::NetworkDb::pathFor(dir.path(), QStringLiteral("Demo")));
        lnssim::NetworkDb::Transaction tx(db);
        lns::WriteOrigin origin{QStringLiteral("tech"), QStringLiteral("site-laptop"), QStringLiteral("aerolis"),
                                QStringLiteral("copy room.dat --all")};
        QDateTime time = QDateTime::currentDateTimeUtc().addDays(-400);
        for (int t = 0; t < kRecords / kPerTransaction; ++t) {
            QVector<lnssim::NotedWrite> writes;
            for (int i = 0; i < kPerTransaction; ++i) {
                lnssim::NotedWrite w;
                w.device = QStringLiteral("Demo.Building.Floor%1.Room%2").arg(t % 10).arg(t % 1000);
                w.object = QStringLiteral("Controller");
                w.item = QStringLiteral("Cp%1").arg(i);
                w.before = QByteArray(4, char(i));
                w.after = QByteArray(4, char(i + 1));
                writes << w;
            }
            lnssim::writehistory::append(db, writes, origin, time);
            time = time.addSecs(300);
        }
        tx.commit();
    }

    lns::ConfigPropertyPtr cp(const QString &name) const
    {
        auto c = system->subsystems()->item(1)->subsystems()->item(1)->appDevices()->item(QStringLiteral("Room101"))
                     ->lonMarkObjects()->item(1)->configProperties()->item(name);
        c->setFormatSpecifier(QStringLiteral("RAW"));
        return c;
    }
};

Bed &filledBed()
{
    static Bed bed(true);
    return bed;
}

// A transaction of three CP writes; the record adds its rows to the same
// database transaction and no device transaction.
void BM_WriteTransaction(benchmark::State &state)
{
    static Bed bed(false);
    const QStringList names{QStringLiteral("HeatXp"), QStringLiteral("HeatTi"), QStringLiteral("CoolXp")};
    QVector<lns::ConfigPropertyPtr> cps;
    for (const QString &n : names)
        cps << bed.cp(n);
    int i = 0;
    for (auto _ : state) {
        bed.system->startTransaction();
        for (const auto &c : cps)
            c->setValue(QStringLiteral("0\t%1").arg(++i % 200));
        bed.system->commitTransaction();
    }
    lns::HistoryFilter all;
    state.counters["records"] = double(bed.network->writeHistory(all).size());
    state.counters["records_per_transaction"] = double(names.size());
}
BENCHMARK(BM_WriteTransaction)->Unit(benchmark::kMicrosecond);

void BM_HistoryAnswer(benchmark::State &state)
{
    Bed &bed = filledBed();
    lns::HistoryFilter filter;
    switch (state.range(0)) {
    case 0:
        state.SetLabel("all 100000");
        break;
    case 1:
        filter.device = QStringLiteral("Demo.Building.Floor1.Room101.Controller");
        state.SetLabel("one controller");
        break;
    default:
        filter.limit = 50;
        state.SetLabel("newest 50");
        break;
    }
    qint64 rows = 0;
    for (auto _ : state) {
        const QVector<lns::WriteRecord> r = bed.network->writeHistory(filter);
        rows = r.size();
        benchmark::DoNotOptimize(r.data());
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_HistoryAnswer)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
