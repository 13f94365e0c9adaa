#include "datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// Set by the build from the install directories: the data folder relative to
// the folder of the executables, and its absolute place.
#ifndef AEROLIS_DATA_FROM_BIN
#define AEROLIS_DATA_FROM_BIN "../share/aerolis"
#endif
#ifndef AEROLIS_INSTALL_DATA_DIR
#define AEROLIS_INSTALL_DATA_DIR "/usr/share/aerolis"
#endif

namespace platform {

namespace {

bool holdsTemplate(const QString &folder)
{
    return QFileInfo(QDir(folder).filePath(kTemplateFileName)).isFile();
}

} // namespace

bool dataBesideExecutable(const QString &executableFolder)
{
    return holdsTemplate(executableFolder);
}

QString dataFolderFor(const QString &executableFolder)
{
    if (holdsTemplate(executableFolder))
        return executableFolder;
    const QString relative = QDir::cleanPath(QDir(executableFolder).filePath(QStringLiteral(AEROLIS_DATA_FROM_BIN)));
    if (holdsTemplate(relative))
        return relative;
    const QString configured = QStringLiteral(AEROLIS_INSTALL_DATA_DIR);
    if (holdsTemplate(configured))
        return configured;
    return executableFolder;
}

QString dataFolder()
{
    return dataFolderFor(QCoreApplication::applicationDirPath());
}

} // namespace platform
