// Registry stand-in: the HKEY_LOCAL_MACHINE keys and values the program uses,
// kept as text values in an INI-format file.
//
// Location: $AEROLIS_REGISTRY_ROOT/registry.ini when that variable is set,
// otherwise registry.ini in the user's configuration folder. A key path such
// as "SOFTWARE\norda\vlink Register" with section "Options" and value
// "Language" is stored as the INI group "SOFTWARE/norda/vlink Register/Options"
// and the key "Language".
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace platform {

class Registry
{
public:
    // The file backing the registry (created on first write).
    static QString fileName();

    static QString read(const QString &key, const QString &section, const QString &value,
                        const QString &defaultValue = QString());
    static bool write(const QString &key, const QString &section, const QString &value, const QString &text);
    static bool contains(const QString &key, const QString &section, const QString &value);
    // Deletes the key with every section and value below it.
    static bool deleteKey(const QString &key);
    // Keys directly below key (for listing registrations).
    static QStringList childKeys(const QString &key);
    // Every value of one section of key with its text.
    static QMap<QString, QString> values(const QString &key, const QString &section);
    // Moves every section and value below key `from` to the same place below
    // key `to` and deletes `from`. A value that `to` already holds is kept
    // (it is the newer one). Answers the number of values moved; nothing
    // changes when `from` does not exist.
    static int moveKey(const QString &from, const QString &to);
};

} // namespace platform
