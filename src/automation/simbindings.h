// The plug-in's automation interface bound to the simulated object server:
// the handles that cross the bus and the project registration call.
#pragma once

#include "applicationobject.h"

#include <host/hoststate.h>
#include <lnssim/handles.h>

#include <memory>

namespace automation {

// Handles of the simulated object server (lnssim/handles.h).
ObjectBindings simObjectBindings(const std::shared_ptr<lnssim::HandleResolver> &resolver);

// host::Environment::registerProjectCommand for networks of the simulated
// object server: one registration row per call (lnssim::ProjectRegistrations).
bool simRegisterProjectCommand(const lns::NetworkPtr &network, const host::ProjectCommand &command, QString *error);

} // namespace automation
