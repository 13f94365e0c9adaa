// Remote access (PostgreSQL server) against local access (SQLite file) on the
// same network in the same run. Argument 0 is local, 1 remote. The network is
// the demo network with 100 more controllers, made locally and exported to
// the server; no channel latency, so the figures are the database's cost.
#include "common/benchmain.h"

#include <lnssim/networkadmin.h>
#include <lnssim/networkcopy.h>
#include <lnssim/simobjectserver.h>

#include <benchmark/benchmark.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <optional>
#include <thread>

namespace {

const QString kNetwork = QStringLiteral("Demo");
const QString kIni = QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini");
constexpr int kControllers = 100;

// The server's own database for this run, removed at the end.
struct Bed
{
    QTemporaryDir dir;
    QString admin = qEnvironmentVariable("AEROLIS_TEST_PG_SERVER");
    QString database = QStringLiteral("aerolis_bench_%1").arg(QCoreApplication::applicationPid());
    QString server;

    Bed()
    {
        platform::IniFile file;
        if (!file.setFileName(kIni))
            qFatal("missing %s", qPrintable(kIni));
        lnssim::SiteSize site;
        site.controllers = kControllers;
        site.channels = 4;
        lnssim::DemoNetwork::create(dir.path(), file, false, kNetwork, site);
        if (admin.isEmpty())
            return;
        adminExec(QStringLiteral("CREATE DATABASE %1").arg(database));
        server = lnssim::checkedServer(admin + QStringLiteral(" dbname=") + database, false);
        lnssim::copyNetwork(lnssim::NetworkHome::local(dir.path()), lnssim::NetworkHome::remote(server), kNetwork, false);
    }
    ~Bed()
    {
        if (!server.isEmpty())
            adminExec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
    }
    void adminExec(const QString &sql)
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
            db.setConnectOptions(admin);
            if (!db.open() || !QSqlQuery(db).exec(sql))
                qFatal("bench server: %s failed", qPrintable(sql));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    }
    // False (and the benchmark skipped) for remote access without a server.
    bool available(benchmark::State &state, int accessMode)
    {
        if (accessMode != 0 && server.isEmpty()) {
            state.SkipWithError("no server: run scripts/pg-cluster start and export what it prints");
            return false;
        }
        if (accessMode != 0)
            qputenv("AEROLIS_LNS_SERVER", server.toUtf8());
        return true;
    }
};

Bed &bed()
{
    static Bed b;
    return b;
}

struct Opened
{
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;
    lns::SystemPtr system;

    explicit Opened(int accessMode)
    {
        server = lnssim::SimObjectServer::create(bed().dir.path(), kIni);
        server->open(accessMode);
        network = server->networks()->item(kNetwork);
        network->open(accessMode != 0);
        system = network->system();
    }
    ~Opened() { network->close(); }
    // Controller i (1-based) of the added ones.
    lns::AppDevicePtr controller(int i) const
    {
        const auto building = system->subsystems()->item(QStringLiteral("Building"));
        const QString line = QStringLiteral("Line%1").arg((i - 1) % 4 + 1, 2, 10, QLatin1Char('0'));
        return building->subsystems()->item(line)->appDevices()->item(
            QStringLiteral("Ctrl%1").arg(i, 4, 10, QLatin1Char('0')));
    }
};

QList<lns::ConfigPropertyPtr> objectCps(const lns::AppDevicePtr &device)
{
    QList<lns::ConfigPropertyPtr> all;
    const auto cps = device->lonMarkObjects()->item(QStringLiteral("Controller"))->configProperties();
    for (int p = 1; p <= cps->count(); ++p) {
        auto c = cps->itemAt(p);
        c->setFormatSpecifier(QStringLiteral("RAW"));
        all << c;
    }
    return all;
}

void BM_ReadController(benchmark::State &state)
{
    const int mode = int(state.range(0));
    if (!bed().available(state, mode))
        return;
    Opened o(mode);
    const QList<lns::ConfigPropertyPtr> cps = objectCps(o.controller(1));
    for (auto _ : state) {
        o.system->startTransaction();
        for (const auto &c : cps)
            benchmark::DoNotOptimize(c->value());
        o.system->commitTransaction();
    }
    state.counters["cps"] = double(cps.size());
    state.SetLabel(mode ? "remote: every CP of one controller" : "local: every CP of one controller");
}
BENCHMARK(BM_ReadController)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The write a copy run makes on each target: three CPs in one transaction.
void BM_WriteTo100Controllers(benchmark::State &state)
{
    const int mode = int(state.range(0));
    if (!bed().available(state, mode))
        return;
    Opened o(mode);
    QList<QList<lns::ConfigPropertyPtr>> targets;
    for (int i = 1; i <= kControllers; ++i) {
        QList<lns::ConfigPropertyPtr> set;
        for (const char *name : {"HeatXp", "HeatTi", "CoolXp"}) {
            auto c = o.controller(i)->lonMarkObjects()->item(QStringLiteral("Controller"))->configProperties()->item(
                QString::fromLatin1(name));
            c->setFormatSpecifier(QStringLiteral("RAW"));
            set << c;
        }
        targets << set;
    }
    const QString values[2] = {QStringLiteral("0\t31"), QStringLiteral("0\t30")};
    int round = 0;
    for (auto _ : state) {
        const QString &v = values[round++ & 1];
        for (const auto &set : qAsConst(targets)) {
            o.system->startTransaction();
            for (const auto &c : set)
                c->setValue(v);
            o.system->commitTransaction();
        }
    }
    state.counters["controllers"] = kControllers;
    state.SetLabel(mode ? "remote: 3 CPs to each of 100 controllers" : "local: 3 CPs to each of 100 controllers");
}
BENCHMARK(BM_WriteTo100Controllers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// Opening the object server and the network, and closing them again.
void BM_ConnectionSetUp(benchmark::State &state)
{
    const int mode = int(state.range(0));
    if (!bed().available(state, mode))
        return;
    for (auto _ : state) {
        Opened o(mode);
        benchmark::DoNotOptimize(o.system);
    }
    state.SetLabel(mode ? "remote: open server and network" : "local: open server and network");
}
BENCHMARK(BM_ConnectionSetUp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Ten sessions, each its own connection, writing 3 CPs in one transaction
// per controller at the same time: range(1) 0 gives each session 10
// controllers of its own, 1 sends all of them to one controller, 2 gives each
// session its own controllers but locks the whole network per transaction
// (as a change of the network's structure does). range(2) is
// how long each transaction holds its devices besides the database's own
// work, in milliseconds: 0 for the database alone, 5 for a device's answer
// on the channel. Writers of different devices overlap on the server; on one
// device, and on a file, they take turns.
void BM_TenSessionsAtOnce(benchmark::State &state)
{
    const int mode = int(state.range(0));
    const bool oneDevice = state.range(1) == 1;
    const bool networkWide = state.range(1) == 2;
    const int holdMs = int(state.range(2));
    if (!bed().available(state, mode))
        return;
    constexpr int kSessions = 10;
    constexpr int kEach = kControllers / kSessions;
    constexpr int kFirstAdded = 13; // after the twelve rooms
    for (auto _ : state) {
        std::vector<std::thread> sessions;
        for (int s = 0; s < kSessions; ++s) {
            sessions.emplace_back([s, mode, oneDevice, networkWide, holdMs] {
                lnssim::NetworkDb db;
                db.open(mode ? lnssim::DatabaseLocation::remote(bed().server, kNetwork)
                             : lnssim::DatabaseLocation::file(lnssim::NetworkDb::pathFor(bed().dir.path(), kNetwork)));
                for (int i = 0; i < kEach; ++i) {
                    const int device = oneDevice ? kFirstAdded : kFirstAdded + s * kEach + i;
                    std::optional<lnssim::NetworkDb::Transaction> tx;
                    if (networkWide)
                        tx.emplace(db);
                    else
                        tx.emplace(db, QVector<int>{device});
                    for (const char *cp : {"HeatXp", "HeatTi", "CoolXp"}) {
                        db.setDeviceCp(device, QString::fromLatin1(cp), QByteArray("\x00\x1F", 2));
                        db.setDatabaseCp(device, QString::fromLatin1(cp), QByteArray("\x00\x1F", 2));
                    }
                    if (holdMs > 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
                    tx->commit();
                }
            });
        }
        for (auto &t : sessions)
            t.join();
    }
    state.counters["sessions"] = kSessions;
    state.counters["transactions"] = benchmark::Counter(double(kSessions * kEach), benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel(QStringLiteral("%1: 10 sessions x 10 transactions, %2, hold %3 ms")
                       .arg(mode ? QStringLiteral("remote") : QStringLiteral("local"),
                            oneDevice     ? QStringLiteral("one device")
                            : networkWide ? QStringLiteral("own devices, network locked")
                                          : QStringLiteral("own devices"))
                       .arg(holdMs)
                       .toStdString());
}
BENCHMARK(BM_TenSessionsAtOnce)
    ->ArgsProduct({{0, 1}, {0, 1, 2}, {0, 5}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runCoreBenchmarks(argc, argv);
}
