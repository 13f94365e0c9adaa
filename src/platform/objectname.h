// The object name analyser: splits the object name handed to the plug-in
// into network name, subsystem path, device name and object name.
//
// Format: "<network>.<subsystem>[.<subsystem>...].<device>.<object>", for
// example "Demo.Building.Floor1.Room101.Controller". Dots separate the parts
// because "/" and ":" already separate the command line's tokens and values.
// A part may contain blanks but no dot. At least four parts are required (a
// device directly in a top-level subsystem).
#pragma once

#include <QString>

namespace platform {

struct ObjectName
{
    QString networkName;
    QString subsystemPath; // dotted, e.g. "Building.Floor1"
    QString deviceName;
    QString objectName;
    bool valid = false;

    QString toString() const;
};

ObjectName analyseObjectName(const QString &text);
ObjectName makeObjectName(const QString &network, const QString &subsystemPath, const QString &device,
                          const QString &object);

} // namespace platform
