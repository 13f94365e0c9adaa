// How a simulated controller reacts to what it is sent.
//
// For now the controller is minimal: its outputs keep the values stored in its
// memory, and writing the HVAC mode input (nviApplicMode) is reflected in the
// mode field of the unit status output (nvoUnitStatus). A behaving controller
// (room temperature drifting towards the effective setpoint, occupancy,
// window, energy hold-off) will subclass DeviceSimulator and also change
// outputs over time: NetworkSession::applyDeviceNvChanges() takes such changes
// from a timer and passes them to the monitored NVs like any other change.
#pragma once

#include "networkdb.h"

#include <QByteArray>
#include <QHash>
#include <QString>

namespace lnssim {

class DeviceSimulator
{
public:
    virtual ~DeviceSimulator() = default;

    // An input NV of the device was written with `value` (its memory already
    // holds the new value). Returns the output NVs that change, by name, with
    // their new bytes; `db` reads the device's memory inside the same
    // database transaction.
    virtual QHash<QString, QByteArray> inputWritten(NetworkDb &db, const DeviceRow &device, const QString &nvName,
                                                    const QByteArray &value);
};

} // namespace lnssim
