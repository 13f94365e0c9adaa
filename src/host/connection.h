// Connecting to the object server and finding the device and LonMark object
// the plug-in was started for.
#pragma once

#include <lns/lnsobjects.h>

#include <QString>

namespace host {

// Connects with the object name and access mode (0 local, 1 remote, 2 remote
// over "Internet"), finds device and object, checks them against the device
// template and the device's reachability, and displays the main window; every
// failure shows its message and ends the plug-in.
void FetchObjects(const QString &objectName, int accessMode);

// Takes the connection from the LonMark object a network tool handed over.
void DeriveFromHandedOverObject();

// Device test with a 10-second cache; device nullptr means the connection's
// device. Force skips the cache.
bool DeviceAccessible(const lns::AppDevicePtr &device, bool force);

// Registration in a network project for CommandId 50 (projectregistration.cpp).
void UpdateLcaComponentApps(const QString &objectName, int accessMode);
void RegistrarDefaultAction();

} // namespace host
