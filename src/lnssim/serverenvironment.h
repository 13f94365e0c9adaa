// The simulated object server as the environment a program wires in
// (lns/serverenvironment.h): main() and the tests call simServerEnvironment()
// and hand the result to the libraries, which never name the simulator.
#pragma once

#include <lns/serverenvironment.h>

#include <QString>

namespace lnssim {

// iniPath: the device template file the object servers are made with.
// rootFolder empty: SimObjectServer::defaultRoot() at the time a server is
// made (AEROLIS_LNS_ROOT or the user's data location).
lns::ServerEnvironment simServerEnvironment(const QString &iniPath, const QString &rootFolder = QString());

} // namespace lnssim
