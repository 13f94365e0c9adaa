// A temporary registry and network database root holding the demo network,
// for benchmarks that run the tools as processes or open the network.
#pragma once

#include <lnssim/networkadmin.h>
#include <platform/inifile.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <exception>

namespace benchsupport {

// CPU time (user + system) of this process (RUSAGE_SELF) or of its
// finished child processes (RUSAGE_CHILDREN).
inline double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double childCpuSeconds()
{
    return cpuSeconds(RUSAGE_CHILDREN);
}

// A temporary registry and network database root with the demo network,
// set into the environment of this process and of the processes it starts.
struct NetworkBed
{
    QTemporaryDir dir;
    QString root;

    NetworkBed()
    {
        qputenv("AEROLIS_REGISTRY_ROOT", QDir(dir.path()).filePath(QStringLiteral("registry")).toUtf8());
        root = QDir(dir.path()).filePath(QStringLiteral("lns"));
        qputenv("AEROLIS_LNS_ROOT", root.toUtf8());
        qputenv("AEROLIS_UNATTENDED", "1");
        QDir().mkpath(root);
        platform::IniFile ini;
        ini.setFileName(QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"));
        lnssim::DemoNetwork::create(root, ini, true);
    }
    // Adds controllers "<prefix><i>" (i from 0) on Building.Floor3 with the
    // template `templateOf(i)`, those not there yet; their object names.
    template <class TemplateOf>
    QStringList addControllers(const QString &prefix, int n, TemplateOf templateOf, int fieldWidth = 0)
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        platform::IniFile ini;
        ini.setFileName(QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"));
        QStringList objects;
        for (int i = 0; i < n; ++i) {
            const QString name = prefix + QStringLiteral("%1").arg(i, fieldWidth, 10, QLatin1Char('0'));
            bool known = true;
            try {
                known = admin.device(name).id != 0;
            } catch (const std::exception &) {
                known = false;
            }
            if (!known)
                admin.addDevice({QStringLiteral("Building.Floor3"), name, templateOf(i)}, ini);
            objects << QStringLiteral("Demo.Building.Floor3.%1.Controller").arg(name);
        }
        admin.close();
        return objects;
    }
    lnssim::Counters totals()
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        const lnssim::Counters c = admin.totals();
        admin.close();
        return c;
    }
};

} // namespace benchsupport
