// The simulated object server wired into a test process the way the
// programs' main() wires it in (lns/serverenvironment.h): object servers,
// handles, channel prices and project registrations.
#pragma once

#include "testenv.h"

#include <host/hoststate.h>
#include <lnssim/serverenvironment.h>

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
