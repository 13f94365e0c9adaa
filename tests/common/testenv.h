// Isolation for tests: every test process gets its own registry file,
// network database root and trace log folder inside a temporary directory,
// so nothing of the user's (or of another test) is read or written.
#pragma once

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>

class TestEnvironment
{
public:
    TestEnvironment()
    {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("AEROLIS_REGISTRY_ROOT", QDir(m_dir.path()).filePath(QStringLiteral("registry")).toUtf8());
        qputenv("AEROLIS_LNS_ROOT", QDir(m_dir.path()).filePath(QStringLiteral("lns")).toUtf8());
        qputenv("AEROLIS_UNATTENDED", "1");
        QDir().mkpath(lnsRoot());
    }
    QString path() const { return m_dir.path(); }
    QString lnsRoot() const { return QDir(m_dir.path()).filePath(QStringLiteral("lns")); }
    QString file(const QString &name) const { return QDir(m_dir.path()).filePath(name); }
    // The INI template placed beside the executables by the build.
    static QString iniPath() { return QStringLiteral(AEROLIS_BIN_DIR "/AerolisCtrl.ini"); }
    static QString binDir() { return QStringLiteral(AEROLIS_BIN_DIR); }

private:
    QTemporaryDir m_dir;
};
