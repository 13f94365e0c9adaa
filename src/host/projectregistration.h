// Registration of the plug-in's commands in a network project (CommandId 50):
// one registration per device template the plug-in serves and per enabled
// command slot, so that a network tool offers the commands on the objects of
// those templates. UpdateLcaComponentApps (connection.h) runs it.
#pragma once

#include "hoststate.h"

#include <QVector>

namespace host {

// Whether the template's program id is in the list of program ids to
// register: text containment without regard to case, so any separator works;
// an empty list takes every template.
bool programIdListed(const QString &programIds, const QString &programId);

// The registrations UpdateLcaComponentApps asks the object server for, in
// order: templates as the INI file lists them, slots upwards.
QVector<ProjectCommand> projectCommands(const QString &programIds);

// The network name of a project registration's object name: the first part
// of a full object name, or the whole text when it names just the network.
QString projectNetworkName(const QString &objectName);

} // namespace host
