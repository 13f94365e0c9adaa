#include "busactivation.h"

#include "hoststate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace host {

QString automationServiceName()
{
    return kProgIdPrefix + QLatin1Char('.') + kClassName;
}

bool isAutomationStart(const QStringList &arguments)
{
    for (const QString &a : arguments) {
        const QString t = a.trimmed();
        if (t.compare(kAutomationFlag, Qt::CaseInsensitive) == 0
            || t.compare(QLatin1String("/automation"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString activationFolder()
{
    // The user's data folder is the bus's: $XDG_DATA_HOME, else
    // ~/.local/share. (Under QStandardPaths' test mode it is the test area,
    // so tests never touch a real installation.)
    QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir(dataHome).filePath(QStringLiteral("dbus-1/services"));
}

QString activationFilePath()
{
    return QDir(activationFolder()).filePath(automationServiceName() + QStringLiteral(".service"));
}

QString activationFileText(const QString &executable)
{
    // The bus splits Exec like a shell: the path is single-quoted so that
    // blanks and quotes in it survive.
    QString quoted = executable;
    quoted.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QStringLiteral("[D-BUS Service]\nName=%1\nExec='%2' %3\n")
        .arg(automationServiceName(), quoted, kAutomationFlag);
}

bool installActivationFile(const QString &executable, QString *error)
{
    const QString folder = activationFolder();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    QSaveFile f(activationFilePath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    f.write(activationFileText(executable).toUtf8());
    if (!f.commit()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

bool removeActivationFile()
{
    const QString path = activationFilePath();
    if (QFileInfo::exists(path))
        QFile::remove(path);
    return !QFileInfo::exists(path);
}

} // namespace host
