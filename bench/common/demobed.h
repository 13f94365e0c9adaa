// The configuration command on the demo network, for benchmarks: a temporary
// registry, network database root and application folder (template and
// application images), the demo network, and the real window started through
// Main offscreen with the configuration bound to it.
#pragma once

#include <host/hoststate.h>
#include <host/startup.h>
#include <lnssim/networkadmin.h>
#include <lnssim/simobjectserver.h>
#include <platform/messages.h>
#include <ui/configurationbinding.h>
#include <ui/frmmain.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace benchsupport {

struct Bed
{
    QTemporaryDir dir;
    QString app;
    QString root;
    std::shared_ptr<ui::frmMain> win;

    Bed()
    {
        qputenv("AEROLIS_REGISTRY_ROOT", QDir(dir.path()).filePath(QStringLiteral("registry")).toUtf8());
        root = QDir(dir.path()).filePath(QStringLiteral("lns"));
        qputenv("AEROLIS_LNS_ROOT", root.toUtf8());
        qputenv("AEROLIS_UNATTENDED", "1");
        QDir().mkpath(root);
        app = QDir(dir.path()).filePath(QStringLiteral("app"));
        copy(QStringLiteral(AEROLIS_BIN_DIR "/apps"), app + QStringLiteral("/apps"));
        QFile::copy(QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"), app + QStringLiteral("/AerolisCtrl.ini"));
        platform::IniFile ini;
        ini.setFileName(app + QStringLiteral("/AerolisCtrl.ini"));
        lnssim::DemoNetwork::create(root, ini, true);
    }
    static void copy(const QString &from, const QString &to)
    {
        QDir src(from);
        QDir().mkpath(to);
        for (const QString &d : src.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            copy(src.filePath(d), to + QLatin1Char('/') + d);
        for (const QString &f : src.entryList(QDir::Files))
            QFile::copy(src.filePath(f), to + QLatin1Char('/') + f);
    }
    void start(const QString &room)
    {
        host::resetState();
        platform::setMessageService(std::make_shared<platform::ScriptedMessages>());
        host::Environment &e = host::state().env;
        e = host::Environment();
        e.applicationFolder = app;
        e.executableName = QStringLiteral("AerolisCtrl");
        const QString r = root, ini = app + QStringLiteral("/AerolisCtrl.ini");
        e.objectServerFactory = [r, ini]() -> lns::ObjectServerPtr { return lnssim::SimObjectServer::create(r, ini); };
        e.statusWindowFactory = [] { return std::make_shared<platform::HeadlessStatusWindow>(); };
        e.mainWindowFactory = [this]() -> std::shared_ptr<host::MainWindowPort> {
            win = std::make_shared<ui::frmMain>();
            ui::bindConfiguration(*win);
            return win;
        };
        e.showAbout = [](const host::AboutInfo &) {};
        e.startDetached = [](const QString &, const QStringList &) {};
        const QString floor = room.startsWith(QLatin1String("Room1")) ? QStringLiteral("Floor1") : QStringLiteral("Floor2");
        host::Main({QStringLiteral("/COMMANDID:13/CLASSID:28/OBJECTNAME:Demo.Building.%1.%2.Controller").arg(floor, room)});
    }
    void stop()
    {
        if (win) {
            win->setParametersChanged(false);
            win->close();
        }
        host::state().mainWindow.reset();
        win.reset();
    }
    lnssim::Counters totals()
    {
        lnssim::NetworkAdmin admin(root, QStringLiteral("Demo"));
        admin.open();
        return admin.totals();
    }
};

} // namespace benchsupport
