// Plug-in registrar stand-in: keeps the plug-in's identity in the registry so
// that network tools can find it, and the registration of the executable's
// automation class ("/regserver").
//
// Storage (registry stand-in, HKEY_LOCAL_MACHINE):
//   "SOFTWARE\norda\Plug-ins\<ProgID prefix>.<class>" section "Identity":
//     one value per identity item, plus "ItemOrder" listing the items in the
//     order they were handed over;
//   "SOFTWARE\Classes\<ProgID prefix>.<class>" section "Server":
//     "Executable" (path) and "Automation" (the flag the executable is started
//     with by a network tool).
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <utility>

namespace platform {

// The plug-in identities, under the maker's own key.
inline const QString kPlugInsKey = QStringLiteral("SOFTWARE\\norda\\Plug-ins");
// Where earlier versions kept them. Read only to move what is there
// to kPlugInsKey, once: the first registrar call after an update finds the
// entries, moves them and deletes this key.
inline const QString kEarlierPlugInsKey = QStringLiteral("SOFTWARE\\Fieldbus\\Plug-ins");
inline const QString kClassesKey = QStringLiteral("SOFTWARE\\Classes");

class PlugInRegistrar
{
public:
    // Identity items in the order they are handed over.
    void setItem(const QString &name, const QString &value) { m_items.append({name, value}); }
    const QVector<std::pair<QString, QString>> &items() const { return m_items; }

    // Writes the identity; needs the items "ProgIdPrefix" and "ClassName".
    bool registerPlugIn();
    // Removes the identity of every class registered under the ProgID prefix.
    bool unregisterPlugIn(const QString &progIdPrefix);

    static QString identityKey(const QString &progId);
    // Whether the identity of progId is registered (network tools look the
    // plug-in up with it).
    static bool isRegistered(const QString &progId);
    // Moves the identities that an earlier version registered at
    // kEarlierPlugInsKey to kPlugInsKey; every registrar call runs it first.
    // Answers the number of values moved (0 once the move is done).
    static int moveEarlierRegistrations();

    static bool registerServer(const QString &progId, const QString &executable);
    static bool unregisterServer(const QString &progId);

private:
    QVector<std::pair<QString, QString>> m_items;
};

} // namespace platform
