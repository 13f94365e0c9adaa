#include "registrar.h"

#include "registry.h"

namespace platform {

QString PlugInRegistrar::identityKey(const QString &progId)
{
    return kPlugInsKey + QLatin1Char('\\') + progId;
}

int PlugInRegistrar::moveEarlierRegistrations()
{
    return Registry::moveKey(kEarlierPlugInsKey, kPlugInsKey);
}

bool PlugInRegistrar::isRegistered(const QString &progId)
{
    moveEarlierRegistrations();
    return Registry::contains(identityKey(progId), QStringLiteral("Identity"), QStringLiteral("ProgIdPrefix"));
}

bool PlugInRegistrar::registerPlugIn()
{
    moveEarlierRegistrations();
    QString prefix, cls;
    QStringList order;
    for (const auto &it : m_items) {
        if (it.first == QLatin1String("ProgIdPrefix"))
            prefix = it.second;
        else if (it.first == QLatin1String("ClassName"))
            cls = it.second;
        order << it.first;
    }
    if (prefix.isEmpty() || cls.isEmpty())
        return false;
    const QString key = identityKey(prefix + QLatin1Char('.') + cls);
    // An identity stored exactly so already is left as it is: every run
    // refreshes the registration, and rewriting the same values would cost
    // a write of the whole registry file per value.
    QMap<QString, QString> wanted;
    for (const auto &it : m_items)
        wanted.insert(it.first, it.second);
    wanted.insert(QStringLiteral("ItemOrder"), order.join(QLatin1Char(',')));
    if (Registry::childKeys(key) == QStringList{QStringLiteral("Identity")}
        && Registry::values(key, QStringLiteral("Identity")) == wanted)
        return true;
    Registry::deleteKey(key);
    bool ok = true;
    for (const auto &it : m_items)
        ok = Registry::write(key, QStringLiteral("Identity"), it.first, it.second) && ok;
    ok = Registry::write(key, QStringLiteral("Identity"), QStringLiteral("ItemOrder"), order.join(QLatin1Char(',')))
        && ok;
    return ok;
}

bool PlugInRegistrar::unregisterPlugIn(const QString &progIdPrefix)
{
    moveEarlierRegistrations();
    bool ok = true;
    for (const QString &child : Registry::childKeys(kPlugInsKey)) {
        if (child.startsWith(progIdPrefix + QLatin1Char('.'), Qt::CaseInsensitive))
            ok = Registry::deleteKey(identityKey(child)) && ok;
    }
    return ok;
}

bool PlugInRegistrar::registerServer(const QString &progId, const QString &executable)
{
    const QString key = kClassesKey + QLatin1Char('\\') + progId;
    return Registry::write(key, QStringLiteral("Server"), QStringLiteral("Executable"), executable)
        && Registry::write(key, QStringLiteral("Server"), QStringLiteral("Automation"), QStringLiteral("-automation"));
}

bool PlugInRegistrar::unregisterServer(const QString &progId)
{
    return Registry::deleteKey(kClassesKey + QLatin1Char('\\') + progId);
}

} // namespace platform
