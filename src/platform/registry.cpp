#include "registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace platform {
namespace {

QString groupOf(const QString &key)
{
    QString g = key;
    g.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (g.endsWith(QLatin1Char('/')))
        g.chop(1);
    return g;
}

} // namespace

QString Registry::fileName()
{
    QString root = qEnvironmentVariable("AEROLIS_REGISTRY_ROOT");
    if (root.isEmpty())
        root = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (root.isEmpty())
        root = QDir::homePath() + QStringLiteral("/.config/aerolis");
    return QDir(root).filePath(QStringLiteral("registry.ini"));
}

QString Registry::read(const QString &key, const QString &section, const QString &value, const QString &defaultValue)
{
    QSettings s(fileName(), QSettings::IniFormat);
    return s.value(groupOf(key) + QLatin1Char('/') + section + QLatin1Char('/') + value, defaultValue).toString();
}

bool Registry::write(const QString &key, const QString &section, const QString &value, const QString &text)
{
    QDir().mkpath(QFileInfo(fileName()).absolutePath());
    QSettings s(fileName(), QSettings::IniFormat);
    s.setValue(groupOf(key) + QLatin1Char('/') + section + QLatin1Char('/') + value, text);
    s.sync();
    return s.status() == QSettings::NoError;
}

bool Registry::contains(const QString &key, const QString &section, const QString &value)
{
    QSettings s(fileName(), QSettings::IniFormat);
    return s.contains(groupOf(key) + QLatin1Char('/') + section + QLatin1Char('/') + value);
}

bool Registry::deleteKey(const QString &key)
{
    QSettings s(fileName(), QSettings::IniFormat);
    s.remove(groupOf(key));
    s.sync();
    return s.status() == QSettings::NoError;
}

QStringList Registry::childKeys(const QString &key)
{
    QSettings s(fileName(), QSettings::IniFormat);
    s.beginGroup(groupOf(key));
    return s.childGroups();
}

QMap<QString, QString> Registry::values(const QString &key, const QString &section)
{
    QSettings s(fileName(), QSettings::IniFormat);
    s.beginGroup(groupOf(key) + QLatin1Char('/') + section);
    QMap<QString, QString> out;
    for (const QString &name : s.childKeys())
        out.insert(name, s.value(name).toString());
    return out;
}

int Registry::moveKey(const QString &from, const QString &to)
{
    const QString source = groupOf(from);
    const QString target = groupOf(to);
    QSettings s(fileName(), QSettings::IniFormat);
    s.beginGroup(source);
    const QStringList names = s.allKeys();
    s.endGroup();
    if (names.isEmpty())
        return 0;
    int moved = 0;
    for (const QString &name : names) {
        const QString destination = target + QLatin1Char('/') + name;
        if (s.contains(destination))
            continue;
        s.setValue(destination, s.value(source + QLatin1Char('/') + name));
        ++moved;
    }
    s.remove(source);
    s.sync();
    return s.status() == QSettings::NoError ? moved : 0;
}

} // namespace platform
