// The automation server registration of the executable on this platform.
//
// A network tool creates the plug-in's host object through the D-Bus session
// bus: the object is served under a bus name made from the ProgID, and the
// bus starts the executable on demand from an activation file in the user's
// data folder ("/regserver" installs it, "/unregserver" removes it). The
// executable started with the automation flag initialises, exports the host
// object and waits for its caller instead of reading a command line.
#pragma once

#include <QString>
#include <QStringList>

namespace host {

// Argument the bus starts the executable with.
inline const QString kAutomationFlag = QStringLiteral("-automation");
// Object path and interface of the host object on the bus.
inline const QString kAutomationObjectPath = QStringLiteral("/Application");
inline const QString kAutomationInterface = QStringLiteral("nordaQRT.Application");

// "nordaQRT.Application": the ProgID is a valid bus name as it stands.
QString automationServiceName();

// True when the arguments carry the automation flag ("-automation" or
// "/automation", any case): the process was started to serve a network tool.
bool isAutomationStart(const QStringList &arguments);

// $XDG_DATA_HOME/dbus-1/services ($HOME/.local/share when XDG_DATA_HOME is
// unset): where the session bus looks for the user's services.
QString activationFolder();
QString activationFilePath();
// The activation file's text for the executable.
QString activationFileText(const QString &executable);
// Writes the activation file (replacing an older one). False with the reason
// when the folder or file cannot be written.
bool installActivationFile(const QString &executable, QString *error = nullptr);
// Removes the activation file; true when none is left.
bool removeActivationFile();

} // namespace host
