// The configuration command on the demo network, for benchmarks: a temporary
// registry, network database root and application folder (template and
// application images), the demo network, and the real window started through
// Main offscreen with the configuration bound to it.
#pragma once

#include "networkbed.h"

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

// The demo network and a copy of the program folder's template and
// application images, for starting the real window in this process.
struct Bed : NetworkBed
{
    QString app;
    std::shared_ptr<ui::frmMain> win;

    Bed()
    {
        app = QDir(dir.path()).filePath(QStringLiteral("app"));
        copy(QStringLiteral(AEROLIS_BIN_DIR "/apps"), app + QStringLiteral("/apps"));
        QFile::copy(QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"), app + QStringLiteral("/AerolisCtrl.ini"));
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
        e.server.newObjectServer = [r, ini]() -> lns::ObjectServerPtr { return lnssim::SimObjectServer::create(r, ini); };
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
};

} // namespace benchsupport
