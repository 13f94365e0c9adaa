// A controller held in memory for editing a parameter set without a device:
// built from one device template of the INI file (its CPs with their sizes
// and factory values), it stands behind the same object interfaces the pages
// use on a network, so the parameter map, the page logic, the checks and the
// parameter files run on it unchanged. Every write stays in its memory; there
// is no network database, no device transaction and no record of writes.
#pragma once

#include "lnsobjects.h"

#include <platform/inifile.h>

namespace lns {

// The name of the controller's LonMark object and its index on the device.
inline const QString kOfflineObjectName = QStringLiteral("Controller");
constexpr int kOfflineObjectIndex = 1;

struct OfflineConnection
{
    AppDevicePtr device;
    LonMarkObjectPtr object;
    DeviceTemplatePtr deviceTemplate;
    SystemPtr system;
};

// The controller of `templateName` as the template describes it, every CP at
// its factory value. Throws LnsError (ErrIndexOutOfRange: the template is not
// listed; ErrBadValue: its device description is faulty, naming the line).
OfflineConnection makeOfflineDevice(const platform::IniFile &ini, const QString &templateName);

// Whether `device` is one made by makeOfflineDevice.
bool isOfflineDevice(const AppDevicePtr &device);

} // namespace lns
