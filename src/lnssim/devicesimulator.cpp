#include "devicesimulator.h"

namespace lnssim {

QHash<QString, QByteArray> DeviceSimulator::inputWritten(NetworkDb &db, const DeviceRow &device,
                                                         const QString &nvName, const QByteArray &value)
{
    QHash<QString, QByteArray> changes;
    if (nvName == QLatin1String("nviApplicMode") && value.size() >= 1) {
        QByteArray status = db.deviceNv(device.id, QStringLiteral("nvoUnitStatus"));
        if (!status.isEmpty() && status.at(0) != value.at(0)) {
            status[0] = value.at(0);
            changes.insert(QStringLiteral("nvoUnitStatus"), status);
        }
    }
    return changes;
}

} // namespace lnssim
