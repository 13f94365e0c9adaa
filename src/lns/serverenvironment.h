// What a program wires in about the object server it works with. The
// libraries reach the object server only through the interface in
// lnsobjects.h and through this environment; main() (and the tests) fill it
// from the one implementation they link, so that no library above src/lns
// knows which object server it talks to.
#pragma once

#include "lnsobjects.h"

#include <QString>

#include <functional>

namespace lns {

// The setting that names the database server of remote access (a libpq
// connection string) when the network interface name does not.
inline const QString kServerVariable = QStringLiteral("AEROLIS_LNS_SERVER");

// Channel operations the program prices before it does them (estimates of a
// copy or of a dry-run write).
enum class ChannelOp { ReadCp, WriteCp, ReadVersion };

// Modelled time on the channel of one operation, microseconds.
using ChannelPrice = std::function<qint64(ChannelOp op, int dataBytes)>;

// How objects of this process's object server cross a process boundary as
// text (the automation interface's object handles) and back.
struct HandleBindings
{
    // Throws std::exception when the handle names nothing.
    std::function<ObjectPtr(const QString &handle)> resolve;
    // Throws std::exception for an object that has no handle.
    std::function<QString(const ObjectPtr &object)> handleOf;
};

// One command registration in a network project (CommandId 50): the device
// template it is for and the data of one command slot.
struct ProjectCommand
{
    QString templateName;
    QString programId;
    qint16 registrationNumber = 0;
    QString name;
    qint32 commandId = 0;
    qint16 classId = 0;
    QString description;
    QString manufacturerId;
    QString progIdPrefix;
    QString className;
    QString version;
};

struct ServerEnvironment
{
    // A new, unopened object server; nullptr when none can be had on this
    // machine.
    std::function<ObjectServerPtr()> newObjectServer;
    // Handle bindings with `own` (the process's open object server, may be
    // nullptr) serving the handles of its networks.
    std::function<HandleBindings(const ObjectServerPtr &own)> handleBindings;
    ChannelPrice channelPrice;
    // The project registration of one command for one device template in an
    // open network; false (with the reason) when it failed. Unset: this
    // object server cannot register in projects.
    std::function<bool(const NetworkPtr &network, const ProjectCommand &command, QString *error)>
        registerProjectCommand;
};

} // namespace lns
