// Monitoring and control:
// - NV updates decoded and shown on the real controlling page (the main
//   window, offscreen), delivered through the object server's update event
//   as the simulated server delivers them; the counter vs_channel compares
//   the rate with the ~72 packets per second a 78 kbit/s channel carries;
// - the decoding alone (pure functions);
// - the modelled channel load of monitoring one controller with the
//   monitor settings of the page (poll every 10 s, report by exception), and
//   of 100 controllers: polls, the field reads the page makes for each new
//   unit status, packets per second and share of the channel time. The rate
//   of new unit status values comes from a simulated room over 8 hours.
#include "common/pluginbenchmain.h"

#include <host/hoststate.h>
#include <host/startup.h>
#include <lnssim/channelmodel.h>
#include <lnssim/networkadmin.h>
#include <lnssim/roomcontroller.h>
#include <lnssim/simobjectserver.h>
#include <monitoring/monitoring.h>
#include <monitoring/nvdecoding.h>
#include <monitoring/windowwiring.h>
#include <platform/messages.h>
#include <platform/resstrings.h>
#include <ui/frmmain.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kChannelPacketsPerSecond = 72.0;

struct Config : monitoring::MonitoringConfig
{
    std::optional<qint32> parameterValue(const QString &name) const override
    {
        if (name == QLatin1String("DiscLevels"))
            return 3;
        if (name == QLatin1String("SettingHystHighFunction"))
            return 1;
        if (name == QLatin1String("SettingHystHighLevel"))
            return 200;
        return std::nullopt;
    }
};

// The control command's window on a demo controller, monitoring on.
struct Page
{
    Page(const QString &root, const QString &deviceName)
    {
        platform::IniFile file;
        file.setFileName(AEROLIS_BIN_DIR "/AerolisCtrl.ini");
        lnssim::DemoNetwork::create(root, file, true);
        ini.setFileName(AEROLIS_BIN_DIR "/AerolisCtrl.ini");
        server = lnssim::SimObjectServer::create(root, AEROLIS_BIN_DIR "/AerolisCtrl.ini");
        server->setDeviceSimulatorFactory([this](lnssim::NetworkSession &s) {
            lnssim::RoomController::Options o;
            o.autoStep = false;
            auto c = std::make_unique<lnssim::RoomController>(s, o);
            room = c.get();
            return c;
        });
        server->open(0);
        network = server->networks()->item(QStringLiteral("Demo"));
        network->open(false);
        const QString floor = deviceName.startsWith(QLatin1String("Room1")) ? QStringLiteral("Floor1") : QStringLiteral("Floor2");
        device = network->system()->subsystems()->item(QStringLiteral("Building"))->subsystems()->item(floor)->appDevices()->item(deviceName);
        object = device->lonMarkObjects()->item(QStringLiteral("Controller"));
        lns::Connection &c = host::state().conn;
        c.objectServer = server;
        c.device = device;
        c.object = object;
        c.deviceTemplate = device->deviceTemplate();
        host::state().commandIndex = host::kCmdControl;
        win = std::make_unique<ui::frmMain>();
        win->setupForCommand(host::kCmdControl);
        adapter = std::make_unique<monitoring::WindowAdapter<ui::frmMain>>(*win);
        monitoring::MonitoringConnection conn;
        conn.objectServer = server;
        conn.lonMarkObject = object;
        conn.templateContext = lns::TemplateContext{&ini, device->deviceTemplate()};
        mon = std::make_unique<monitoring::cMonitoring>(adapter.get(), conn, &config);
        // A fan coil with every output, so that every box is decoded.
        monitoring::bindMonitoringToWindow(*win, *mon, [] { return 5; });
        win->display();
        QApplication::processEvents();
    }
    ~Page()
    {
        win->stopMonitoring();
        win->hide();
        mon.reset();
        win.reset();
        network->close();
        host::state().conn = lns::Connection();
    }
    lns::NetworkVariablePtr nv(const QString &name) const { return device->networkVariables()->item(name); }

    platform::IniFile ini;
    std::shared_ptr<lnssim::SimObjectServer> server;
    lns::NetworkPtr network;
    lns::AppDevicePtr device;
    lns::LonMarkObjectPtr object;
    lnssim::RoomController *room = nullptr;
    std::unique_ptr<ui::frmMain> win;
    std::unique_ptr<monitoring::WindowAdapter<ui::frmMain>> adapter;
    Config config;
    std::unique_ptr<monitoring::cMonitoring> mon;
};

QString g_root;

struct Update
{
    int tag;
    QString value;
    lns::NetworkVariablePtr nv;
};

// One round of updates of the page's five NVs (Room102 is a fan coil).
QVector<Update> updateRound(Page &p, bool unitStatusOnly)
{
    QVector<Update> u;
    const auto status = p.nv(QStringLiteral("nvoUnitStatus"));
    for (int i = 0; i < 5; ++i)
        u << Update{5002, QStringLiteral("HVAC_HEAT,%1,0,0,20,%1,0").arg(i * 20), status};
    if (unitStatusOnly)
        return u;
    const auto occ = p.nv(QStringLiteral("nvoEffectOccup"));
    const auto sp = p.nv(QStringLiteral("nvoEffectSetpt"));
    const auto win = p.nv(QStringLiteral("nvoOaWindow"));
    const auto hold = p.nv(QStringLiteral("nvoEnergyHoldOff"));
    u.clear();
    u << Update{5002, QStringLiteral("HVAC_COOL,0,0,40,20,66,0"), status}
      << Update{5003, QStringLiteral("3"), occ} << Update{5004, QStringLiteral("8\t52"), sp}
      << Update{5006, QStringLiteral("1\t200\t0\t0"), win} << Update{5007, QStringLiteral("100 1"), hold}
      << Update{5002, QStringLiteral("HVAC_HEAT,50,0,0,20,33,1"), status} << Update{5003, QStringLiteral("1"), occ}
      << Update{5004, QStringLiteral("7\t108"), sp} << Update{5006, QStringLiteral("0\t0\t0\t0"), win}
      << Update{5007, QStringLiteral("0 0"), hold};
    return u;
}

void decodeOnPage(benchmark::State &state, bool unitStatusOnly)
{
    Page page(g_root, QStringLiteral("Room102"));
    if (!page.mon->monitoringOn()) {
        state.SkipWithError("monitoring did not start");
        return;
    }
    const QVector<Update> round = updateRound(page, unitStatusOnly);
    const qint64 before = page.mon->updatesDecoded();
    qint64 n = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (const Update &u : round) {
            Q_EMIT page.server->nvUpdate(u.tag, u.value, u.nv);
            // Shown: the changed boxes repaint.
            QApplication::processEvents();
        }
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
        n += round.size();
    }
    if (page.mon->updatesDecoded() - before != n)
        state.SkipWithError("not every update was decoded");
    const double rate = seconds > 0 ? n / seconds : 0;
    state.counters["updates_per_s"] = rate;
    state.counters["vs_channel"] = rate / kChannelPacketsPerSecond;
    state.counters["us_per_update"] = n ? seconds * 1e6 / n : 0;
}

void BM_UpdatesShownOnPage(benchmark::State &state)
{
    decodeOnPage(state, false);
}

void BM_UnitStatusShownOnPage(benchmark::State &state)
{
    // Each unit status reads its five output fields from the device.
    decodeOnPage(state, true);
}

void BM_DecodeOnly(benchmark::State &state)
{
    monitoring::DecodeInputs in;
    in.outputAvailable = {true, true, true, true, true, true};
    in.discLevels = 3;
    in.settingHystHighFunction = 1;
    in.settingHystHighLevel = 200;
    in.readUnitStatusField = [](const QString &) { return QStringLiteral("33.5"); };
    const std::pair<QString, QString> updates[] = {{"nvoUnitStatus", "HVAC_HEAT,50,0,0,20,33.5,1"},
                                                   {"nvoEffectOccup", "3"},
                                                   {"nvoEffectSetpt", "8\t52"},
                                                   {"nvoOaWindow", "1\t200\t0\t0"},
                                                   {"nvoEnergyHoldOff", "100 1"}};
    qint64 n = 0;
    for (auto _ : state) {
        for (const auto &[name, value] : updates) {
            benchmark::DoNotOptimize(monitoring::decodeUpdate(name, value, in));
            ++n;
        }
    }
    state.counters["updates_per_s"] = benchmark::Counter(double(n), benchmark::Counter::kIsRate);
}

// How often a poll every 10 s finds a new unit status, over a working day of
// a simulated room: window openings, occupancy changes, the loops settling.
double unitStatusChangesPerPoll(bool fanCoil)
{
    QHash<QString, QByteArray> cps;
    lnssim::RoomParams p = lnssim::RoomParams::fromCps(cps, fanCoil ? "fancoil" : "ceiling", fanCoil ? 5 : 3);
    lnssim::RoomState s;
    s.temperature = 18;
    const QHash<QString, int> sizes = {{"nvoUnitStatus", 12}};
    QHash<QString, QByteArray> device = lnssim::RoomModel::encodeOutputs(lnssim::RoomModel::outputs(s, p), p, sizes);
    QByteArray reported = device.value("nvoUnitStatus");
    int polls = 0, changed = 0;
    const int day = 8 * 3600;
    for (int t = 1; t <= day; ++t) {
        if (t == 3 * 3600)
            s.occupancy = lnssim::RO_UNOCCUPIED;
        if (t == 4 * 3600)
            s.occupancy = lnssim::RO_OCCUPIED;
        const lnssim::RoomOutputs o = lnssim::RoomModel::step(s, p, 1);
        const auto next = lnssim::RoomModel::encodeOutputs(o, p, sizes);
        const auto send = lnssim::RoomModel::changedOutputs(device, next, p.minDeltaPercent);
        for (auto it = send.constBegin(); it != send.constEnd(); ++it)
            device.insert(it.key(), it.value());
        if (t % 10 == 0) {
            ++polls;
            if (device.value("nvoUnitStatus") != reported) {
                ++changed;
                reported = device.value("nvoUnitStatus");
            }
        }
    }
    return polls ? double(changed) / polls : 0;
}

void channelLoad(benchmark::State &state, bool fanCoil)
{
    using lnssim::ChannelModel;
    const int controllers = int(state.range(0));
    const double pollInterval = 10;
    // The page's five monitored outputs and their sizes.
    const int sizes[] = {12, 1, 2, 4, 2};
    double changeRate = 0;
    for (auto _ : state)
        changeRate = unitStatusChangesPerPoll(fanCoil);
    double micros = 0, packets = 0, polls = 0;
    for (int size : sizes) {
        const ChannelModel::Cost c = ChannelModel::cost(ChannelModel::Op::ReadNv, size, ChannelModel::Outcome::Ok);
        micros += c.micros / pollInterval;
        packets += c.packets / pollInterval;
        polls += 1 / pollInterval;
    }
    // Each new unit status: the page reads the output fields it shows (a
    // field read fetches the whole 12-byte NV).
    const int fields = fanCoil ? 5 : 3;
    const ChannelModel::Cost field = ChannelModel::cost(ChannelModel::Op::ReadNv, 12, ChannelModel::Outcome::Ok);
    const double newStatusPerSecond = changeRate / pollInterval;
    const double fieldReads = newStatusPerSecond * fields;
    micros += fieldReads * field.micros;
    packets += fieldReads * field.packets;
    state.counters["controllers"] = controllers;
    state.counters["new_status_per_poll"] = changeRate;
    state.counters["polls_per_s"] = polls * controllers;
    state.counters["field_reads_per_s"] = fieldReads * controllers;
    state.counters["transactions_per_s"] = (polls + fieldReads) * controllers;
    state.counters["packets_per_s"] = packets * controllers;
    state.counters["vs_72_packets"] = packets * controllers / kChannelPacketsPerSecond;
    state.counters["channel_share_pct"] = micros * controllers / 1e6 * 100;
}

void BM_ChannelLoadCeiling(benchmark::State &state)
{
    channelLoad(state, false);
}

void BM_ChannelLoadFanCoil(benchmark::State &state)
{
    channelLoad(state, true);
}

// One second of every room of the demo network (12 controllers, 11
// commissioned): what the simulator costs the program per tick.
void BM_RoomTick(benchmark::State &state)
{
    Page page(g_root, QStringLiteral("Room101"));
    if (!page.room) {
        state.SkipWithError("no room controller");
        return;
    }
    for (auto _ : state) {
        page.room->advance(1);
        QApplication::processEvents();
    }
    state.counters["outputs_sent"] = double(page.room->outputsSent());
}

BENCHMARK(BM_RoomTick)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_UpdatesShownOnPage)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_UnitStatusShownOnPage)->Unit(benchmark::kMillisecond)->Iterations(300);
BENCHMARK(BM_DecodeOnly);
BENCHMARK(BM_ChannelLoadCeiling)->Arg(1)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChannelLoadFanCoil)->Arg(1)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return benchsupport::runPlugInBenchmarks(argc, argv, host::kCmdControl,
                                             std::make_shared<platform::ScriptedMessages>(),
                                             [](const QString &root) { g_root = root; });
}
