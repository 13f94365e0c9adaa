// The simulated object server wired into a test process the way the
// programs' main() wires it in (lns/serverenvironment.h): object servers,
// handles, channel prices and project registrations.
#pragma once

#include "testenv.h"

#include <host/hoststate.h>
#include <lnssim/networkadmin.h>
#include <lnssim/serverenvironment.h>
#include <lnssim/simobjectserver.h>
#include <platform/inifile.h>

#include <QDir>

// root empty: the test's AEROLIS_LNS_ROOT at the time a server is made.
inline lns::ServerEnvironment simulatedServer(const QString &root = QString(),
                                              const QString &iniPath = TestEnvironment::iniPath())
{
    return lnssim::simServerEnvironment(iniPath, root);
}

inline void wireSimulatedServer(const QString &root = QString(), const QString &iniPath = TestEnvironment::iniPath())
{
    host::state().env.server = simulatedServer(root, iniPath);
}

// The demo network made in `root` from the test INI, and object servers on it
// that read the INI of the application folder under test, as the plug-in's
// own start-up would.
inline void wireDemoNetwork(const QString &root, const QString &appFolder)
{
    platform::IniFile ini;
    ini.setFileName(TestEnvironment::iniPath());
    lnssim::DemoNetwork::create(root, ini, false);
    const QString iniPath = QDir(appFolder).filePath(QStringLiteral("AerolisCtrl.ini"));
    host::state().env.server.newObjectServer = [root, iniPath]() -> lns::ObjectServerPtr {
        return lnssim::SimObjectServer::create(root, iniPath);
    };
}
