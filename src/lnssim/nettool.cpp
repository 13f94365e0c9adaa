#include "nettool.h"

#include "networkadmin.h"
#include "networkcopy.h"
#include "nvtypes.h"
#include "roomcontroller.h"
#include "simobjectserver.h"

#include <platform/inifile.h>

namespace lnssim {

using lns::LnsError;

namespace {

struct UsageError
{
    QString text;
};

QString bytesText(const QByteArray &b)
{
    QStringList parts;
    for (char c : b)
        parts << QString::number(static_cast<unsigned char>(c));
    return parts.join(QLatin1Char(' '));
}

bool onOff(const QString &word)
{
    if (word == QLatin1String("on"))
        return true;
    if (word == QLatin1String("off"))
        return false;
    throw UsageError{QStringLiteral("expected on or off, got \"%1\"").arg(word)};
}

QString channelMs(qint64 micros)
{
    return QString::number(micros / 1000.0, 'f', 1);
}

QString countersLine(const QString &label, const Counters &c)
{
    return QStringLiteral("%1 reads %2  writes %3  bytes read %4  bytes written %5  tests %6  downloads %7  channel %8 ms")
        .arg(label, -44)
        .arg(c.deviceReads)
        .arg(c.deviceWrites)
        .arg(c.bytesRead)
        .arg(c.bytesWritten)
        .arg(c.deviceTests)
        .arg(c.downloads)
        .arg(channelMs(c.channelMicros));
}

constexpr double kDemoTimeScale = 30;

// A count given on the command line: a whole number, else a usage error.
int countArgument(const QString &option, const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        throw UsageError{QStringLiteral("%1: \"%2\" is not a whole number").arg(option, text)};
    return n;
}

// One line per channel (transactions, bytes, modelled time) and the modelled
// wall time: the channels work at the same time, so a run takes as long as
// its busiest channel.
void printChannelStats(const ChannelTraffic &channels, QTextStream &out)
{
    const QPair<ChannelRow, Counters> *busiest = nullptr;
    for (const auto &entry : channels) {
        const Counters &c = entry.second;
        out << QStringLiteral("channel %1 transactions %2  bytes %3  channel %4 ms\n")
                   .arg(entry.first.name, -20)
                   .arg(c.transactions())
                   .arg(c.bytesRead + c.bytesWritten)
                   .arg(channelMs(c.channelMicros));
        if (!busiest || c.channelMicros > busiest->second.channelMicros)
            busiest = &entry;
    }
    if (busiest)
        out << "wall time " << channelMs(busiest->second.channelMicros) << " ms (busiest channel "
            << busiest->first.name << ")\n";
}

void setRoomBehaviour(NetworkDb &db, bool rooms, double scale)
{
    NetworkDb::Transaction tx(db);
    db.setSetting(kBehaviourSetting, rooms ? kBehaviourRoom : QString());
    db.setSetting(kTimeScaleSetting, QString::number(scale));
    tx.commit();
}

// Every NV of a device: direction, type, bytes and the typed text; then the
// room the controller sits in.
void printNvs(NetworkAdmin &admin, const DeviceInfo &d, QTextStream &out)
{
    out << d.objectName << "  " << d.templateName << "\n";
    for (const NvRow &r : admin.db().nvsOf(d.id)) {
        const QByteArray b = admin.deviceNv(d.id, r.name);
        const NvTypeDef *t = nvTypeByIndex(r.typeIndex);
        const QString text = (t && t->size == r.size && b.size() == r.size) ? formatNvValue(*t, b) : QString();
        out << QStringLiteral("%1 %2 %3 %4  %5\n")
                   .arg(r.name, -18)
                   .arg(r.input ? QStringLiteral("in") : QStringLiteral("out"), -3)
                   .arg(t ? t->name : r.typeName, -18)
                   .arg(bytesText(b), -40)
                   .arg(text);
    }
    const std::optional<RoomState> room = RoomStore::load(admin.db(), d.id);
    if (!room) {
        out << "room: not started yet\n";
        return;
    }
    const char *hold[] = {"auto", "held open", "held closed"};
    out << QStringLiteral("room: %1 C, window %2 (%3), frost alarm %4, integrals heat %5 %% cool %6 %%\n")
               .arg(room->temperature, 0, 'f', 2)
               .arg(room->window ? QStringLiteral("open") : QStringLiteral("closed"))
               .arg(QString::fromLatin1(hold[int(room->windowHold)]))
               .arg(room->frostForced ? QStringLiteral("forced") : QStringLiteral("by temperature"))
               .arg(room->heatIntegral, 0, 'f', 1)
               .arg(room->coolIntegral, 0, 'f', 1);
}

} // namespace

NetTool::NetTool(const QString &defaultIni) : m_defaultIni(defaultIni) {}

QString NetTool::usage()
{
    return QStringLiteral(
        "usage: aerolis-net [--root DIR | --server CONNSTR] [--ini FILE] [--network NAME] COMMAND\n"
        "  create-demo [--force] [--static] [--controllers N [--channels C]]\n"
        "                                      create the demo network (replace it with --force); its\n"
        "                                      controllers run their rooms unless --static; N more\n"
        "                                      controllers Ctrl0001... spread over C channels Line01...\n"
        "  channels                            every channel: its router, devices and traffic\n"
        "  move DEVICE CHANNEL                 put the device on another channel\n"
        "  list                                one line per device: object name, template, program id, state\n"
        "  show OBJECTNAME|DEVICE              every CP: database and device bytes side by side\n"
        "  fault DEVICE unreachable on|off\n"
        "  fault DEVICE cp NAME read|write|both|off\n"
        "  fault DEVICE latency MS [--sleep]   added to every device transaction (--sleep: really wait)\n"
        "  fault DEVICE download on|off\n"
        "  fault network refuse on|off\n"
        "  fault clear\n"
        "  stats [--reset]                     device transaction counters, per channel, and the\n"
        "                                      modelled wall time (the busiest channel's)\n"
        "  nvs DEVICE                          every NV of the device (bytes and text) and its room\n"
        "  room DEVICE temp CELSIUS            set the room temperature\n"
        "  room DEVICE window open|closed|auto hold the window contact, or let it open now and then\n"
        "  room DEVICE frost on|off            force the frost alarm\n"
        "  room DEVICE step SECONDS            run the room for simulated seconds now\n"
        "  behaviour room [--scale N]|static   controllers run their rooms (N times real time) or keep their outputs\n"
        "  grant reader|commissioner USER      on a server: let the database user USER read the network\n"
        "                                      (read, compare, monitor, report) or also commission it\n"
        "                                      (write, copy, download, register)\n"
        "  export [--force]                    copy the local network to the server given by --server\n"
        "                                      (replace it there with --force)\n"
        "  import [--force]                    copy the network of the server given by --server into\n"
        "                                      the local folder (replace it there with --force)\n"
        "  --help, --version\n"
        "defaults: --root $AEROLIS_LNS_ROOT or the data folder, --ini the installed device template\n"
        "          (AerolisCtrl.ini), --network Demo\n"
        "--server: the network lives on a database server, CONNSTR a libpq connection string\n"
        "          (\"host=site-server dbname=aerolis user=technician\"); the password comes from the\n"
        "          password file (~/.pgpass) or PGPASSWORD, never from the command line\n");
}

int NetTool::run(const QStringList &argsIn, QTextStream &out, QTextStream &err)
{
    QString root, server, ini = m_defaultIni, network = QStringLiteral("Demo");
    QStringList args;
    try {
        for (int i = 0; i < argsIn.size(); ++i) {
            const QString &a = argsIn.at(i);
            auto next = [&]() {
                if (i + 1 >= argsIn.size())
                    throw UsageError{QStringLiteral("%1 needs a value").arg(a)};
                return argsIn.at(++i);
            };
            if (a == QLatin1String("--root"))
                root = next();
            else if (a == QLatin1String("--server"))
                server = next();
            else if (a == QLatin1String("--ini"))
                ini = next();
            else if (a == QLatin1String("--network"))
                network = next();
            else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
                out << usage();
                return Ok;
            } else
                args << a;
        }
        if (root.isEmpty())
            root = SimObjectServer::defaultRoot();
        if (args.isEmpty())
            throw UsageError{QStringLiteral("no command given")};
        const QString cmd = args.takeFirst();
        const NetworkHome local = NetworkHome::local(root);
        const NetworkHome home = server.isEmpty() ? local : NetworkHome::remote(checkedServer(server, false));

        if (cmd == QLatin1String("grant")) {
            if (!home.isRemote())
                throw UsageError{QStringLiteral("grant: roles are those of a server (--server CONNSTR)")};
            if (args.size() != 2)
                throw UsageError{QStringLiteral("grant: wrong number of arguments")};
            const QString &kind = args.at(0);
            if (kind != QLatin1String("reader") && kind != QLatin1String("commissioner"))
                throw UsageError{QStringLiteral("grant: \"%1\" is neither reader nor commissioner").arg(kind)};
            const NetworkRole role = kind == QLatin1String("reader") ? NetworkRole::Reader : NetworkRole::Commissioner;
            grantNetworkRole(home.server, network, role, args.at(1));
            out << "granted " << (role == NetworkRole::Reader ? kReaderRole : kCommissionerRole) << " on network "
                << network << " to " << args.at(1) << "\n";
            return Ok;
        }

        if (cmd == QLatin1String("export") || cmd == QLatin1String("import")) {
            const bool exporting = cmd == QLatin1String("export");
            if (!home.isRemote())
                throw UsageError{QStringLiteral("%1: --server CONNSTR names the server").arg(cmd)};
            bool force = false;
            for (const QString &a : qAsConst(args)) {
                if (a == QLatin1String("--force"))
                    force = true;
                else
                    throw UsageError{QStringLiteral("%1: unexpected \"%2\"").arg(cmd, a)};
            }
            const NetworkHome &from = exporting ? local : home;
            const NetworkHome &to = exporting ? home : local;
            const CopyResult copied = copyNetwork(from, to, network, force);
            out << (exporting ? "exported" : "imported") << " network " << network << " from " << from.display()
                << " to " << to.display() << ": " << copied.tables << " tables, " << copied.rows << " rows\n";
            return Ok;
        }

        if (cmd == QLatin1String("create-demo")) {
            bool force = false;
            bool rooms = true;
            SiteSize site;
            bool channelsGiven = false;
            for (int i = 0; i < args.size(); ++i) {
                const QString &a = args.at(i);
                auto value = [&]() {
                    if (i + 1 >= args.size())
                        throw UsageError{QStringLiteral("create-demo: %1 needs a value").arg(a)};
                    return args.at(++i);
                };
                if (a == QLatin1String("--force"))
                    force = true;
                else if (a == QLatin1String("--static"))
                    rooms = false;
                else if (a == QLatin1String("--controllers"))
                    site.controllers = countArgument(a, value());
                else if (a == QLatin1String("--channels")) {
                    site.channels = countArgument(a, value());
                    channelsGiven = true;
                } else
                    throw UsageError{QStringLiteral("create-demo: unexpected \"%1\"").arg(a)};
            }
            if (channelsGiven && site.controllers == 0)
                throw UsageError{QStringLiteral("create-demo: --channels needs --controllers")};
            const QString problem = site.problem();
            if (!problem.isEmpty())
                throw UsageError{QStringLiteral("create-demo: ") + problem};
            platform::IniFile file;
            if (!file.setFileName(ini)) {
                err << "aerolis-net: device template file " << ini << " cannot be read\n";
                return Failed;
            }
            DemoNetwork::create(home, file, force, network, site);
            NetworkAdmin admin(home, network);
            admin.open();
            if (rooms)
                setRoomBehaviour(admin.db(), true, kDemoTimeScale);
            out << "created network " << network << " in " << admin.path() << " with " << admin.devices().size()
                << " controllers\n";
            if (rooms)
                out << "every controller runs its room, " << kDemoTimeScale << " times as fast as real time\n";
            return Ok;
        }

        auto needArgs = [&](int min, int max) {
            if (args.size() < min || args.size() > max)
                throw UsageError{QStringLiteral("%1: wrong number of arguments").arg(cmd)};
        };
        auto openAdmin = [&](NetworkAdmin &admin) {
            if (!admin.exists())
                throw LnsError(lns::ErrNoSuchNetwork,
                               QStringLiteral("network %1 does not exist in %2 (create it with create-demo)")
                                   .arg(network, home.display()));
            admin.open();
        };

        if (cmd == QLatin1String("list")) {
            needArgs(0, 0);
            NetworkAdmin admin(home, network);
            openAdmin(admin);
            for (const DeviceInfo &d : admin.devices()) {
                out << QStringLiteral("%1  %2  %3  %4  %5  app %6 (%7)\n")
                           .arg(d.objectName, -44)
                           .arg(d.templateName, d.programId)
                           .arg(d.state.commissioned ? QStringLiteral("commissioned") : QStringLiteral("not-commissioned"),
                                d.state.reachable ? QStringLiteral("reachable") : QStringLiteral("unreachable"))
                           .arg(d.state.appNumber)
                           .arg(d.state.appVersion);
            }
            return Ok;
        }

        if (cmd == QLatin1String("show")) {
            needArgs(1, 1);
            NetworkAdmin admin(home, network);
            openAdmin(admin);
            const DeviceInfo d = admin.device(args.at(0));
            out << d.objectName << "  " << d.templateName << "  " << d.programId << "\n";
            out << QStringLiteral("%1 %2 %3  %4 %5\n")
                       .arg(QStringLiteral("CP"), -20)
                       .arg(QStringLiteral("at"), -6)
                       .arg(QStringLiteral("idx"), 3)
                       .arg(QStringLiteral("database"), -40)
                       .arg(QStringLiteral("device"));
            int differing = 0;
            for (const CpComparison &c : admin.compareCps(d.id)) {
                const QString at = c.scope == CpScope::Device ? QStringLiteral("dev")
                                                              : QStringLiteral("%1%2").arg(scopeText(c.scope)).arg(c.ownerIndex);
                out << QStringLiteral("%1 %2 %3  %4 %5%6\n")
                           .arg(c.name, -20)
                           .arg(at, -6)
                           .arg(c.cpIndex, 3)
                           .arg(bytesText(c.database), -40)
                           .arg(bytesText(c.device))
                           .arg(c.differs() ? QStringLiteral("   * differs") : QString());
                if (c.differs())
                    ++differing;
            }
            out << differing << " CP(s) differ between device and database\n";
            return Ok;
        }

        if (cmd == QLatin1String("fault")) {
            if (args.isEmpty())
                throw UsageError{QStringLiteral("fault: what?")};
            NetworkAdmin admin(home, network);
            if (args.at(0) == QLatin1String("clear")) {
                needArgs(1, 1);
                openAdmin(admin);
                admin.clearFaults();
                out << "all faults cleared in network " << network << "\n";
                return Ok;
            }
            if (args.at(0) == QLatin1String("network")) {
                needArgs(3, 3);
                if (args.at(1) != QLatin1String("refuse"))
                    throw UsageError{QStringLiteral("fault network: only \"refuse on|off\"")};
                const bool on = onOff(args.at(2));
                openAdmin(admin);
                admin.setRefuseOpen(on);
                out << "network " << network << (on ? " refuses" : " accepts") << " being opened\n";
                return Ok;
            }
            if (args.size() < 3)
                throw UsageError{QStringLiteral("fault DEVICE KIND ...: too few arguments")};
            const QString kind = args.at(1);
            if (kind == QLatin1String("unreachable") || kind == QLatin1String("download")) {
                needArgs(3, 3);
                const bool on = onOff(args.at(2));
                openAdmin(admin);
                const DeviceInfo d = admin.device(args.at(0));
                if (kind == QLatin1String("unreachable"))
                    admin.setUnreachable(d.id, on);
                else
                    admin.setDownloadFault(d.id, on);
                out << d.name << ": " << kind << (on ? " on" : " off") << "\n";
                return Ok;
            }
            if (kind == QLatin1String("cp")) {
                needArgs(4, 4);
                const QString mode = args.at(3);
                CpFault f = CpFault::Off;
                if (mode == QLatin1String("read"))
                    f = CpFault::Read;
                else if (mode == QLatin1String("write"))
                    f = CpFault::Write;
                else if (mode == QLatin1String("both"))
                    f = CpFault::Both;
                else if (mode != QLatin1String("off"))
                    throw UsageError{QStringLiteral("fault cp: read, write, both or off, not \"%1\"").arg(mode)};
                openAdmin(admin);
                const DeviceInfo d = admin.device(args.at(0));
                admin.setCpFault(d.id, args.at(2), f);
                out << d.name << ": CP " << args.at(2) << " fails on " << mode << "\n";
                return Ok;
            }
            if (kind == QLatin1String("latency")) {
                needArgs(3, 4);
                bool ok = false;
                const int ms = args.at(2).toInt(&ok);
                if (!ok || ms < 0)
                    throw UsageError{QStringLiteral("fault latency: \"%1\" is not a number of milliseconds").arg(args.at(2))};
                bool sleep = false;
                if (args.size() == 4) {
                    if (args.at(3) != QLatin1String("--sleep"))
                        throw UsageError{QStringLiteral("fault latency: unexpected \"%1\"").arg(args.at(3))};
                    sleep = true;
                }
                openAdmin(admin);
                const DeviceInfo d = admin.device(args.at(0));
                admin.setLatency(d.id, ms, sleep);
                out << d.name << ": latency " << ms << " ms" << (sleep ? " (slept)" : " (modelled)") << "\n";
                return Ok;
            }
            throw UsageError{QStringLiteral("fault: unknown kind \"%1\"").arg(kind)};
        }

        if (cmd == QLatin1String("stats")) {
            bool reset = false;
            for (const QString &a : args) {
                if (a == QLatin1String("--reset"))
                    reset = true;
                else
                    throw UsageError{QStringLiteral("stats: unexpected \"%1\"").arg(a)};
            }
            NetworkAdmin admin(home, network);
            openAdmin(admin);
            for (const DeviceInfo &d : admin.devices())
                out << countersLine(d.name, admin.counters(d.id)) << "\n";
            out << countersLine(QStringLiteral("total"), admin.totals()) << "\n";
            printChannelStats(admin.channelCounters(), out);
            const NetworkAdmin::RunFigures run = admin.lastRun();
            if (run.wallMicros > 0)
                out << "last run: modelled wall time " << channelMs(run.wallMicros) << " ms, at most "
                    << run.peakInFlight << " transaction(s) in flight on one channel\n";
            if (reset) {
                admin.resetCounters();
                out << "counters reset\n";
            }
            return Ok;
        }

        if (cmd == QLatin1String("channels")) {
            needArgs(0, 0);
            NetworkAdmin admin(home, network);
            openAdmin(admin);
            QHash<int, int> devicesOn;
            for (const DeviceRow &d : admin.db().devices())
                ++devicesOn[d.channelId];
            QHash<int, QString> names;
            for (const ChannelRow &c : admin.channels())
                names.insert(c.id, c.name);
            QHash<int, RouterRow> routerTo;
            for (const RouterRow &r : admin.routers())
                routerTo.insert(r.farChannelId, r);
            for (const ChannelRow &c : admin.channels()) {
                const auto r = routerTo.constFind(c.id);
                out << QStringLiteral("%1 %2 device(s)  %3\n")
                           .arg(c.name, -20)
                           .arg(devicesOn.value(c.id), 5)
                           .arg(r == routerTo.constEnd()
                                    ? QStringLiteral("no router")
                                    : QStringLiteral("router %1 to %2").arg(r->name, names.value(r->nearChannelId)));
            }
            printChannelStats(admin.channelCounters(), out);
            return Ok;
        }

        if (cmd == QLatin1String("move")) {
            needArgs(2, 2);
            NetworkAdmin admin(home, network);
            openAdmin(admin);
            const DeviceInfo d = admin.device(args.at(0));
            admin.moveDevice(d.id, args.at(1));
            out << d.name << ": moved from channel " << d.channel << " to channel " << args.at(1) << "\n";
            return Ok;
        }

        if (cmd == QLatin1String("nvs")) {
            needArgs(1, 1);
            NetworkAdmin admin(home, network);
            openAdmin(admin);
            printNvs(admin, admin.device(args.at(0)), out);
            return Ok;
        }

        if (cmd == QLatin1String("behaviour")) {
            needArgs(1, 3);
            const QString kind = args.at(0);
            double scale = 1;
            if (args.size() > 1) {
                bool ok = false;
                if (args.size() != 3 || args.at(1) != QLatin1String("--scale")
                    || (scale = args.at(2).toDouble(&ok), !ok) || scale <= 0)
                    throw UsageError{QStringLiteral("behaviour: room [--scale N] or static")};
            }
            if (kind != QLatin1String("room") && kind != QLatin1String("static"))
                throw UsageError{QStringLiteral("behaviour: room or static, not \"%1\"").arg(kind)};
            NetworkAdmin admin(home, network);
            openAdmin(admin);
            setRoomBehaviour(admin.db(), kind == QLatin1String("room"), scale);
            out << "network " << network
                << (kind == QLatin1String("room") ? QStringLiteral(": every controller runs its room (time scale %1)").arg(scale)
                                                  : QStringLiteral(": controllers keep their outputs"))
                << "\n";
            return Ok;
        }

        if (cmd == QLatin1String("room")) {
            if (args.size() < 2)
                throw UsageError{QStringLiteral("room DEVICE WHAT ...: too few arguments")};
            const QString what = args.at(1);
            NetworkAdmin admin(home, network);
            platform::IniFile file;
            file.setFileName(ini);
            openAdmin(admin);
            const DeviceInfo d = admin.device(args.at(0));
            if (what == QLatin1String("temp")) {
                needArgs(3, 3);
                bool ok = false;
                const double t = args.at(2).toDouble(&ok);
                if (!ok || t < -50 || t > 80)
                    throw UsageError{QStringLiteral("room temp: \"%1\" is not a temperature from -50 to 80 degrees").arg(args.at(2))};
                NetworkDb::Transaction tx(admin.db());
                qint64 last = 0;
                RoomState st = RoomStore::loadOrCreate(admin.db(), d.id, &last);
                st.temperature = t;
                RoomStore::save(admin.db(), d.id, st, last);
                tx.commit();
                out << d.name << ": room temperature " << QString::number(t, 'f', 2) << " C\n";
                return Ok;
            }
            if (what == QLatin1String("window") || what == QLatin1String("frost")) {
                needArgs(3, 3);
                const QString v = args.at(2);
                NetworkDb::Transaction tx(admin.db());
                qint64 last = 0;
                RoomState st = RoomStore::loadOrCreate(admin.db(), d.id, &last);
                if (what == QLatin1String("window")) {
                    if (v == QLatin1String("open"))
                        st.windowHold = WindowHold::Open, st.window = true;
                    else if (v == QLatin1String("closed") || v == QLatin1String("close"))
                        st.windowHold = WindowHold::Closed, st.window = false;
                    else if (v == QLatin1String("auto"))
                        st.windowHold = WindowHold::Auto;
                    else
                        throw UsageError{QStringLiteral("room window: open, closed or auto, not \"%1\"").arg(v)};
                } else {
                    st.frostForced = onOff(v);
                }
                RoomStore::save(admin.db(), d.id, st, last);
                tx.commit();
                out << d.name << ": " << what << " " << v << "\n";
                return Ok;
            }
            if (what == QLatin1String("step")) {
                needArgs(3, 3);
                bool ok = false;
                const double seconds = args.at(2).toDouble(&ok);
                if (!ok || seconds < 0 || seconds > 7 * 86400)
                    throw UsageError{QStringLiteral("room step: \"%1\" is not a number of seconds up to a week").arg(args.at(2))};
                DeviceRow row;
                for (const DeviceRow &r : admin.db().devices()) {
                    if (r.id == d.id)
                        row = r;
                }
                RoomStore::Step how;
                how.seconds = seconds;
                const QHash<QString, QByteArray> changes =
                    RoomStore::step(admin.db(), row, file.value(row.templateName, QStringLiteral("Family")).trimmed(),
                                    RoomStore::outputSizes(admin.db(), d.id), how);
                {
                    NetworkDb::Transaction tx(admin.db());
                    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
                        admin.db().setDeviceNv(d.id, it.key(), it.value());
                    tx.commit();
                }
                out << d.name << ": room stepped by " << seconds << " s, " << changes.size() << " output(s) changed\n";
                return Ok;
            }
            throw UsageError{QStringLiteral("room: temp, window, frost or step, not \"%1\"").arg(what)};
        }

        throw UsageError{QStringLiteral("unknown command \"%1\"").arg(cmd)};
    } catch (const UsageError &u) {
        err << "aerolis-net: " << u.text << "\n" << usage();
        return BadUsage;
    } catch (const LnsError &e) {
        err << "aerolis-net: " << e.description() << "\n";
        return Failed;
    }
}

} // namespace lnssim
