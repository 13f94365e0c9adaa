// The demo network grown by N controllers spread over ten channels, in a
// folder of its own with its own registry, for commands run in this process
// (cli::run, with the simulated object server wired as main() wires it).
// One site per size lives for the whole benchmark program.
#pragma once

#include <host/hoststate.h>
#include <lnssim/networkadmin.h>
#include <lnssim/serverenvironment.h>
#include <platform/inifile.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <map>
#include <memory>

namespace benchsupport {

inline const QString kSiteIni = QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini");
constexpr int kSiteChannels = 10;

struct SiteBed
{
    QTemporaryDir dir;
    QStringList added; // the added controllers' object names
    QVector<int> ids;  // and their device ids, in the same order

    explicit SiteBed(int controllers)
    {
        platform::IniFile ini;
        if (!ini.setFileName(kSiteIni))
            qFatal("missing %s", qPrintable(kSiteIni));
        lnssim::DemoNetwork::create(dir.path(), ini, false, QStringLiteral("Demo"),
                                    lnssim::SiteSize{controllers, kSiteChannels});
        const std::unique_ptr<lnssim::NetworkAdmin> a = admin();
        for (const lnssim::DeviceInfo &d : a->devices()) {
            if (d.name.startsWith(QLatin1String("Ctrl"))) {
                added << d.objectName;
                ids << d.id;
            }
        }
    }
    // This process works on this site from now on.
    void use() const
    {
        qputenv("AEROLIS_LNS_ROOT", dir.path().toUtf8());
        qputenv("AEROLIS_REGISTRY_ROOT", QDir(dir.path()).filePath(QStringLiteral("registry")).toUtf8());
        host::state().env.server = lnssim::simServerEnvironment(kSiteIni, dir.path());
    }
    // The site's network opened for the bench's own looks and changes
    // (closed when the admin goes).
    std::unique_ptr<lnssim::NetworkAdmin> admin() const
    {
        auto a = std::make_unique<lnssim::NetworkAdmin>(dir.path(), QStringLiteral("Demo"));
        a->open();
        return a;
    }
};

inline SiteBed &siteBed(int controllers)
{
    static std::map<int, std::unique_ptr<SiteBed>> sites;
    auto &s = sites[controllers];
    if (!s)
        s = std::make_unique<SiteBed>(controllers);
    return *s;
}

} // namespace benchsupport
