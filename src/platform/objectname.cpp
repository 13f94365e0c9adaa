#include "objectname.h"

#include <QStringList>

namespace platform {

QString ObjectName::toString() const
{
    return QStringList{networkName, subsystemPath, deviceName, objectName}.join(QLatin1Char('.'));
}

ObjectName analyseObjectName(const QString &text)
{
    ObjectName n;
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() < 4)
        return n;
    for (const QString &p : parts) {
        if (p.trimmed().isEmpty())
            return n;
    }
    n.networkName = parts.first();
    n.objectName = parts.last();
    n.deviceName = parts.at(parts.size() - 2);
    n.subsystemPath = parts.mid(1, parts.size() - 3).join(QLatin1Char('.'));
    n.valid = true;
    return n;
}

ObjectName makeObjectName(const QString &network, const QString &subsystemPath, const QString &device,
                          const QString &object)
{
    ObjectName n;
    n.networkName = network;
    n.subsystemPath = subsystemPath;
    n.deviceName = device;
    n.objectName = object;
    n.valid = !network.isEmpty() && !subsystemPath.isEmpty() && !device.isEmpty() && !object.isEmpty();
    return n;
}

} // namespace platform
