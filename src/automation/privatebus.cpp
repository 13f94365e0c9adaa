#include "privatebus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>

namespace automation {

PrivateBus::~PrivateBus()
{
    stop();
}

bool PrivateBus::start(const QString &folder, const QString &dataHome, const QProcessEnvironment &env, QString *error,
                       int timeoutMs)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        return fail(QStringLiteral("dbus-daemon is not installed (Debian package dbus)"));
    QDir().mkpath(folder);
    QDir().mkpath(dataHome);
    const QString socket = QDir(folder).absoluteFilePath(QStringLiteral("bus"));
    QFile::remove(socket);
    const QString config = QDir(folder).absoluteFilePath(QStringLiteral("session.conf"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(QStringLiteral("cannot write %1").arg(config));
    f.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig>\n"
                           "  <type>session</type>\n"
                           "  <keep_umask/>\n"
                           "  <listen>unix:path=%1</listen>\n"
                           "  <standard_session_servicedirs/>\n"
                           "  <policy context=\"default\">\n"
                           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                           "    <allow eavesdrop=\"true\"/>\n"
                           "    <allow own=\"*\"/>\n"
                           "  </policy>\n"
                           "  <limit name=\"service_start_timeout\">30000</limit>\n"
                           "</busconfig>\n")
                .arg(socket.toHtmlEscaped())
                .toUtf8());
    f.close();

    m_address = QStringLiteral("unix:path=") + socket;
    QProcessEnvironment e = env;
    e.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    e.insert(QStringLiteral("XDG_DATA_HOME"), QDir(dataHome).absolutePath());
    m_process.setProcessEnvironment(e);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                             QStringLiteral("--print-address=1")});
    if (!m_process.waitForStarted(timeoutMs))
        return fail(QStringLiteral("dbus-daemon did not start: ") + m_process.errorString());
    // The daemon prints its address once it listens.
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine()) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || m_process.state() != QProcess::Running || !m_process.waitForReadyRead(left)) {
            const QString err = QString::fromLocal8Bit(m_process.readAllStandardError()).trimmed();
            stop();
            return fail(QStringLiteral("dbus-daemon did not come up: ") + err);
        }
    }
    m_process.readLine();
    return true;
}

void PrivateBus::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QDBusConnection PrivateBus::connect(const QString &connectionName) const
{
    return QDBusConnection::connectToBus(m_address, connectionName);
}

} // namespace automation
