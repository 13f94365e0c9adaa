// The connector between the program and the object server: opens the server
// and a network, resolves a subsystem path, finds a device and its LonMark
// object and checks them against the device template, and closes everything
// it opened.
#pragma once

#include "lnsobjects.h"

#include <platform/inifile.h>

namespace lns {

// The process-wide references of one connection.
struct Connection
{
    ObjectServerPtr objectServer;
    CollectionPtr<Network> networks;
    NetworkPtr network;
    CollectionPtr<Subsystem> systemSubsystems;
    SystemPtr system;
    SubsystemPtr subsystem;
    CollectionPtr<AppDevice> appDevices;
    AppDevicePtr device;
    CollectionPtr<LonMarkObject> lonMarkObjects;
    LonMarkObjectPtr object;
    DeviceTemplatePtr deviceTemplate;

    void clear();
};

// How a program reaches the networks of the object server: local access
// (mode 0), remote access (1), or remote access over the "Internet" (2), the
// network interface name of remote access naming the server or the Internet.
struct Access
{
    bool remote = false;
    QString interfaceName;

    // The access mode the remote flag and the interface name choose.
    int mode() const;
};

// Opens `server` with `access` unless it is open already. Throws LnsError.
void openServer(const ObjectServerPtr &server, const Access &access);

class Connector
{
public:
    // Each step returns false on failure and leaves the reason in lastError().
    // networkInterfaceName: the network interface of remote access (the
    // key "NI" or the host object's NetworkInterfaceName).
    bool openObjectServer(Connection &c, int accessMode, const QString &networkInterfaceName = QString());
    bool openNetwork(Connection &c, const QString &networkName, bool remote);
    bool openSubsystem(Connection &c, const QString &path);
    // Finds device and object by name and checks the device against the
    // template list of the INI file (its template must be listed there with
    // the device's program id).
    bool findDeviceAndObject(Connection &c, const platform::IniFile &ini, const QString &deviceName,
                             const QString &objectName);
    // Closes device, subsystem, system, network and object server and clears
    // the references; errors are ignored.
    void closeAll(Connection &c);

    QString lastError() const { return m_lastError; }
    // The object server's error number of the last failure (0: none was
    // raised, e.g. a template mismatch).
    int lastErrorNumber() const { return m_lastErrorNumber; }

    // Whether the device matches one of the templates the INI file serves.
    static bool deviceMatchesTemplate(const AppDevicePtr &device, const platform::IniFile &ini, QString *why);

private:
    void failWith(const LnsError &e);

    QString m_lastError;
    int m_lastErrorNumber = 0;
};

} // namespace lns
