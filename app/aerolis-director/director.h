// aerolis-director: a small network tool that plays the network tool's part
// for the plug-in. It opens a network of the simulated object server, lists
// its subsystems, devices and LonMark objects with their templates and
// states, offers on an object the plug-in commands the project registrations
// provide for its template, and launches one: it creates the plug-in's host
// object over the session bus, sets Remote and NetworkInterfaceName, hands
// over the LonMark object and sends the command. It also lets the plug-in
// register its commands in the project (CommandId 50) and reads RegResult.
//
// This class is the tool's logic, shared by its window and its command line.
#pragma once

#include <automation/pluginclient.h>
#include <lnssim/networkadmin.h>
#include <lnssim/projectregistrations.h>
#include <lnssim/simobjectserver.h>

#include <QDBusConnection>
#include <QString>
#include <QVector>

#include <memory>

namespace director {

struct ObjectEntry
{
    QString name;
    int index = 0;
    int classId = 0;
    QString fullName; // object name as the plug-in reads it
    QString handle;   // the object as it crosses the bus
};

struct DeviceEntry
{
    QString name;
    int index = 0;
    QString templateName;
    QString programId;
    lnssim::DeviceState state;
    QVector<ObjectEntry> objects;
};

struct SubsystemEntry
{
    QString name;
    QString path;
    QVector<SubsystemEntry> subsystems;
    QVector<DeviceEntry> devices;
};

struct LaunchOptions
{
    bool remote = false;
    QString networkInterfaceName;
    // Send only the object name instead of handing over the object.
    bool byName = false;
};

struct Outcome
{
    bool ok = false;
    QString message;       // for the user (string table)
    bool windowShown = false;
    bool regResult = false; // project registration: True = failure
    bool regResultSet = false;
};

// A device's state as the tool shows it: commissioned or not, unreachable,
// the application version.
QString stateText(const lnssim::DeviceState &state);

class Director
{
public:
    Director(const QString &root, const QString &iniPath, const QString &networkName);
    ~Director();

    // Opens the network; false with a message for the user.
    bool open(QString *message);
    QString networkName() const { return m_networkName; }

    // The network's tree (read when the network is opened or refreshed).
    const QVector<SubsystemEntry> &tree() const { return m_tree; }
    void refresh();
    // The device and object with the full object name; nullptr when none.
    const ObjectEntry *findObject(const QString &fullName, const DeviceEntry **device = nullptr) const;
    // Program ids of the network's devices, distinct, in tree order.
    QStringList programIds() const;

    // The project's registrations, and the commands offered on an object of
    // the template.
    QVector<lnssim::PlugInRegistration> registrations();
    QVector<lnssim::PlugInRegistration> commandsFor(const DeviceEntry &device, const ObjectEntry &object);

    // Launches the command on the object through the plug-in's host object.
    Outcome launch(const DeviceEntry &device, const ObjectEntry &object, const lnssim::PlugInRegistration &command,
                   const LaunchOptions &options);
    // Lets the plug-in register its commands in this project.
    Outcome registerInProject(const QString &programIds);

    void setBus(const QDBusConnection &bus) { m_bus = bus; }
    void setTimeout(int ms) { m_timeoutMs = ms; }

    // Whether the plug-in's identity is registered on this computer (where a
    // network tool finds the plug-ins it may create).
    static bool plugInRegistered(const QString &progId);

private:
    bool prepare(automation::PlugInClient &client, const QString &progId, const QString &target, Outcome &out);
    QString callFailure(const automation::PlugInClient &client, const QString &target) const;

    QString m_root;
    QString m_iniPath;
    QString m_networkName;
    std::shared_ptr<lnssim::SimObjectServer> m_server;
    lns::NetworkPtr m_network;
    QVector<SubsystemEntry> m_tree;
    QDBusConnection m_bus;
    int m_timeoutMs = 60000;
};

} // namespace director
