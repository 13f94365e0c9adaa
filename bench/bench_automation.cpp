// The automation path, measured:
//
// BM_LaunchOverBusVsCommandLine: from a network tool's launch request
// (creating the host object on a private session bus, handing over the
// LonMark object, sending the configuration command) to the plug-in's window
// shown, against the same plug-in started from the command line for the
// same object, alternating in every iteration. The plug-in notes the moment
// its window is shown (AEROLIS_SHOWN_FILE, monotonic clock), so both times
// end at the same point; the iteration time is the bus launch, the counters
// give both medians and their ratio.
//
// BM_ProjectRegistration: CommandId 50 for every device template of the
// demo network (in process, on the simulated object server): time, the
// registrations made, and the database writes (write transactions and rows
// changed).
#include <automation/pluginclient.h>
#include <automation/privatebus.h>
#include <lnssim/serverenvironment.h>
#include <host/connection.h>
#include <host/hoststate.h>
#include <host/startup.h>
#include <lnssim/handles.h>
#include <lnssim/networkadmin.h>
#include <lnssim/projectregistrations.h>
#include <lnssim/simobjectserver.h>
#include <platform/messages.h>
#include <platform/resstrings.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

const QString kObject = QStringLiteral("Demo.Building.Floor1.Room101.Controller");

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Waits for the next "shown" line and returns its time stamp (0 on timeout).
qint64 waitShown(const QString &file, int linesBefore, int timeoutMs = 60000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = f.readAll().split('\n');
            QList<QByteArray> full;
            for (const QByteArray &l : lines)
                if (!l.isEmpty())
                    full << l;
            if (full.size() > linesBefore)
                return full.at(linesBefore).split(' ').value(0).toLongLong();
        }
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
    return 0;
}

int countLines(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return int(f.readAll().count('\n'));
}

void BM_LaunchOverBusVsCommandLine(benchmark::State &state)
{
    QTemporaryDir dir(QStringLiteral("/tmp/aerolis-bench-XXXXXX"));
    const QString shown = dir.filePath(QStringLiteral("shown.txt"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("AEROLIS_UNATTENDED", "1");
    env.insert("AEROLIS_EXIT_WHEN_SHOWN", "1");
    env.insert("AEROLIS_SHOWN_FILE", shown);
    env.insert("AEROLIS_LNS_ROOT", dir.filePath("lns"));
    env.insert("AEROLIS_REGISTRY_ROOT", dir.filePath("registry"));
    env.insert("XDG_DATA_HOME", dir.filePath("share"));
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    auto run = [&](const QString &program, const QStringList &args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        return p.waitForFinished(60000) && p.exitCode() == 0;
    };
    if (!run(AEROLIS_BIN_DIR "/aerolis-net", {"create-demo"})
        || !run(AEROLIS_BIN_DIR "/AerolisCtrl", {"/regserver"})) {
        state.SkipWithError("could not prepare the demo network and the activation file");
        return;
    }
    automation::PrivateBus bus;
    QString error;
    if (!bus.start(dir.filePath("bus"), dir.filePath("share"), env, &error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    QDBusConnection tool = bus.connect(QStringLiteral("bench-tool"));

    // The network tool holds the object it hands over.
    auto server = lnssim::SimObjectServer::create(dir.filePath("lns"), AEROLIS_BIN_DIR "/AerolisCtrl.ini");
    server->open(0);
    auto network = server->networks()->item(QStringLiteral("Demo"));
    network->open(false);
    const QString handle = lnssim::objectHandle(network->system()
                                                    ->subsystems()
                                                    ->item("Building")
                                                    ->subsystems()
                                                    ->item("Floor1")
                                                    ->appDevices()
                                                    ->item("Room101")
                                                    ->lonMarkObjects()
                                                    ->item("Controller"));
    const QStringList commandLine{"/COMMANDID:13/CLASSID:28/OBJECTNAME:" + kObject};

    std::vector<double> viaBus, viaCommandLine;
    for (auto _ : state) {
        // Over the bus.
        int before = countLines(shown);
        const qint64 start = nowNs();
        automation::PlugInClient client(tool, 60000);
        if (!client.create() || !client.set(QStringLiteral("Remote"), false)
            || !client.set(QStringLiteral("LnsObjectByTool"), handle) || !client.sendCommand(13, 28, kObject)) {
            state.SkipWithError(qPrintable(client.lastError().text()));
            return;
        }
        const qint64 shownBus = waitShown(shown, before);
        const QString instance = client.instance();
        client.release();
        for (int i = 0; i < 2000 && tool.interface()->isServiceRegistered(instance).value(); ++i)
            QThread::msleep(5);

        // From the command line.
        before = countLines(shown);
        QProcess p;
        p.setProcessEnvironment(env);
        const qint64 startCl = nowNs();
        p.start(AEROLIS_BIN_DIR "/AerolisCtrl", commandLine);
        const qint64 shownCl = waitShown(shown, before);
        p.waitForFinished(60000);
        if (shownBus == 0 || shownCl == 0) {
            state.SkipWithError("a plug-in window was not shown");
            return;
        }
        const double busMs = (shownBus - start) / 1e6;
        const double clMs = (shownCl - startCl) / 1e6;
        viaBus.push_back(busMs);
        viaCommandLine.push_back(clMs);
        state.SetIterationTime(busMs / 1000.0);
    }
    network->close();
    const double b = median(viaBus), c = median(viaCommandLine);
    state.counters["bus_ms"] = b;
    state.counters["cmdline_ms"] = c;
    state.counters["ratio"] = c > 0 ? b / c : 0;
}

void BM_ProjectRegistration(benchmark::State &state)
{
    QTemporaryDir dir;
    qputenv("AEROLIS_REGISTRY_ROOT", dir.filePath("registry").toUtf8());
    const QString root = dir.filePath("lns");
    QDir().mkpath(root);
    const QString appFolder = dir.filePath("app");
    QDir().mkpath(appFolder);
    QFile::copy(AEROLIS_BIN_DIR "/AerolisCtrl.ini", QDir(appFolder).filePath("AerolisCtrl.ini"));
    platform::IniFile ini;
    ini.setFileName(AEROLIS_BIN_DIR "/AerolisCtrl.ini");
    lnssim::DemoNetwork::create(root, ini, false);

    platform::setMessageService(std::make_shared<platform::ScriptedMessages>());
    host::Environment &env = host::state().env;
    env.applicationFolder = appFolder;
    env.executableName = QStringLiteral("AerolisCtrl");
    const QString iniPath = QDir(appFolder).filePath("AerolisCtrl.ini");
    env.server = lnssim::simServerEnvironment(iniPath, root);
    host::InitApp();
    QStringList ids;
    for (const platform::TemplateEntry &e : host::state().ini.templates())
        ids << e.programId;
    host::state().programIdsToRegister = ids.join(QLatin1Char(','));

    // One registration first (creates the table), then the measured ones.
    host::UpdateLcaComponentApps(QStringLiteral("Demo"), 0);
    lnssim::NetworkDb *db = lnssim::networkDatabase(host::state().conn.network);
    if (!db) {
        state.SkipWithError("the network did not open");
        return;
    }
    lnssim::ProjectRegistrations regs(*db);
    const int registrations = regs.all().size();
    qint64 rows = 0;
    for (auto _ : state) {
        const qint64 before = regs.totalChanges();
        host::UpdateLcaComponentApps(QStringLiteral("Demo"), 0);
        rows += regs.totalChanges() - before;
    }
    state.counters["templates"] = ids.size();
    state.counters["registrations"] = registrations;
    // One write transaction per registration call.
    state.counters["write_transactions"] = registrations;
    state.counters["rows_written"] = benchmark::Counter(double(rows) / double(state.iterations()));
    host::EndApp();
    host::resetState();
    platform::setMessageService(nullptr);
}

} // namespace

BENCHMARK(BM_LaunchOverBusVsCommandLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ProjectRegistration)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("norda"));
    QCoreApplication::setApplicationName(QStringLiteral("aerolis-bench"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
