// A session bus of its own, for unattended runs (tests, benchmarks, scripts)
// that must not touch the user's bus: a dbus-daemon with a socket in a
// folder of the caller, the standard session service folders (so that
// activation files under the given XDG_DATA_HOME are found), and the given
// environment for the services it starts.
#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace automation {

class PrivateBus
{
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // folder: where the socket and the configuration go (keep the path short:
    // socket paths are limited to about 100 characters). dataHome: the
    // XDG_DATA_HOME of the bus. env: the environment of the bus and of every
    // service it starts (DBUS_SESSION_BUS_ADDRESS and XDG_DATA_HOME are set
    // by start). False with the reason when dbus-daemon is missing or does
    // not answer within timeoutMs.
    bool start(const QString &folder, const QString &dataHome, const QProcessEnvironment &env, QString *error,
               int timeoutMs = 10000);
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString address() const { return m_address; }

    // A connection of this process to the bus under the given name.
    QDBusConnection connect(const QString &connectionName) const;

private:
    QProcess m_process;
    QString m_address;
};

} // namespace automation
