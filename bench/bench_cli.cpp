// The `aerolis` tool's read and write of one controller as whole processes,
// against the window on the same demo network in the same run: the window's
// read as a whole process (AerolisCtrl, configuration command, closed as soon
// as it is shown) and the window's write after one changed setpoint
// (in-process: the window has no scripted write from its command line).
// Counters per iteration: CPU time of the measured work (child processes'
// user+system time for processes), device reads, writes, tests, downloads
// and the modelled channel time of the simulated object server.
#include "common/widgetbenchmain.h"
#include "common/networkbed.h"

#include <host/hoststate.h>
#include <host/startup.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <platform/messages.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <ctime>
#include <memory>

namespace {

const char *const kRooms[] = {"", "Room101", "Room102", "Room103", "Room104", "Room105"};

using benchsupport::childCpuSeconds;

double ownCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

struct Bed : benchsupport::NetworkBed
{
    std::shared_ptr<ui::frmMain> win;

    Bed() { qputenv("QT_QPA_PLATFORM", "offscreen"); }
    QString object(int kind) const
    {
        return QStringLiteral("Demo.Building.Floor1.%1.Controller").arg(QLatin1String(kRooms[kind]));
    }
    bool run(const QString &program, const QStringList &args, const QByteArray &extraEnv = QByteArray())
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        if (!extraEnv.isEmpty())
            e.insert(QString::fromLatin1(extraEnv.split('=').at(0)), QString::fromLatin1(extraEnv.split('=').at(1)));
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(AEROLIS_BIN_DIR "/") + program, args);
        return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    lnssim::Counters counters(int kind)
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        const lnssim::Counters c = admin.counters(admin.device(QLatin1String(kRooms[kind])).id);
        admin.close();
        return c;
    }
    void resetCounters()
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        admin.resetCounters();
        admin.close();
    }
};

void report(benchmark::State &state, Bed &bed, int kind, double cpu)
{
    const lnssim::Counters c = bed.counters(kind);
    const double n = double(state.iterations());
    state.counters["cpu_ms"] = cpu * 1000 / n;
    state.counters["reads"] = double(c.deviceReads) / n;
    state.counters["writes"] = double(c.deviceWrites) / n;
    state.counters["tests"] = double(c.deviceTests) / n;
    state.counters["downloads"] = double(c.downloads) / n;
    state.counters["channel_ms"] = double(c.channelMicros) / 1000 / n;
}

void BM_ToolRead(benchmark::State &state)
{
    const int kind = int(state.range(0));
    Bed bed;
    const QString file = QDir(bed.dir.path()).filePath(QStringLiteral("set.dat"));
    bed.resetCounters();
    const double cpu0 = childCpuSeconds();
    for (auto _ : state)
        if (!bed.run(QStringLiteral("aerolis"), {QStringLiteral("read"), bed.object(kind), QStringLiteral("-o"), file}))
            state.SkipWithError("aerolis read failed");
    report(state, bed, kind, childCpuSeconds() - cpu0);
}

void BM_WindowRead(benchmark::State &state)
{
    const int kind = int(state.range(0));
    Bed bed;
    bed.resetCounters();
    const double cpu0 = childCpuSeconds();
    for (auto _ : state)
        if (!bed.run(QStringLiteral("AerolisCtrl"),
                     {QStringLiteral("/COMMANDID:13/CLASSID:28/OBJECTNAME:") + bed.object(kind)},
                     "AEROLIS_EXIT_WHEN_SHOWN=1"))
            state.SkipWithError("AerolisCtrl failed");
    report(state, bed, kind, childCpuSeconds() - cpu0);
}

// One changed setpoint per iteration (two values in turn, so there is
// always something to write).
void BM_ToolWrite(benchmark::State &state)
{
    const int kind = int(state.range(0));
    Bed bed;
    const QString file = QDir(bed.dir.path()).filePath(QStringLiteral("set.dat"));
    if (!bed.run(QStringLiteral("aerolis"), {QStringLiteral("read"), bed.object(kind), QStringLiteral("-o"), file})) {
        state.SkipWithError("aerolis read failed");
        return;
    }
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    const QByteArray original = f.readAll();
    f.close();
    QByteArray variants[2];
    for (int v = 0; v < 2; ++v) {
        QList<QByteArray> lines = original.split('\n');
        for (QByteArray &l : lines)
            if (l.startsWith("HeatSetpointComfort ="))
                l = QByteArray("HeatSetpointComfort = ") + (v ? "2150" : "2100") + "\r";
        variants[v] = lines.join('\n');
    }
    bed.resetCounters();
    double cpu = 0;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile w(file);
        w.open(QIODevice::WriteOnly | QIODevice::Truncate);
        w.write(variants[i++ % 2]);
        w.close();
        state.ResumeTiming();
        const double c0 = childCpuSeconds();
        if (!bed.run(QStringLiteral("aerolis"), {QStringLiteral("write"), bed.object(kind), file}))
            state.SkipWithError("aerolis write failed");
        cpu += childCpuSeconds() - c0;
    }
    report(state, bed, kind, cpu);
}

// The window: start (connect, read), one setpoint typed, OK.
void BM_WindowWrite(benchmark::State &state)
{
    const int kind = int(state.range(0));
    Bed bed;
    const QString root = bed.root;
    host::state().env.server.newObjectServer = [root]() -> lns::ObjectServerPtr {
        return lnssim::SimObjectServer::create(root, QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"));
    };
    bed.resetCounters();
    double cpu = 0;
    int i = 0;
    for (auto _ : state) {
        host::resetState();
        platform::setMessageService(std::make_shared<platform::UnattendedMessages>());
        host::Environment &e = host::state().env;
        e.applicationFolder = QStringLiteral(AEROLIS_BIN_DIR);
        e.executableName = QStringLiteral("AerolisCtrl");
        e.server.newObjectServer = [root]() -> lns::ObjectServerPtr {
            return lnssim::SimObjectServer::create(root, QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"));
        };
        e.mainWindowFactory = [&bed]() -> std::shared_ptr<host::MainWindowPort> {
            bed.win = std::make_shared<ui::frmMain>();
            ui::bindConfiguration(*bed.win);
            return bed.win;
        };
        const double c0 = ownCpuSeconds();
        host::Main({QStringLiteral("/COMMANDID:13/CLASSID:28/OBJECTNAME:") + bed.object(kind)});
        auto *config = bed.win ? ui::configurationOf(*bed.win) : nullptr;
        if (!config) {
            state.SkipWithError("window did not start");
            break;
        }
        auto p = config->Parameters().TextBoxParameterByName(QStringLiteral("HeatSetpointComfort"));
        if (p) {
            QLineEdit *box = bed.win->control<QLineEdit>(QStringLiteral("TextBox"), p->TextBoxControl()->index());
            box->setText(i++ % 2 ? QStringLiteral("21.5") : QStringLiteral("21"));
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(box, &out);
        }
        config->WriteParameters();
        host::EndApp();
        cpu += ownCpuSeconds() - c0;
        bed.win->setParametersChanged(false);
        host::state().mainWindow.reset();
        bed.win.reset();
    }
    report(state, bed, kind, cpu);
}

} // namespace

BENCHMARK(BM_ToolRead)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WindowRead)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ToolWrite)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WindowWrite)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    return benchsupport::runWidgetBenchmarks(argc, argv);
}
