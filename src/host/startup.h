// Start-up, command dispatch and shut-down of the plug-in.
#pragma once

#include <QString>
#include <QStringList>

namespace host {

// The stand-alone entry: returns at once for an automation start (the host
// object initialises and takes the command); otherwise initialises, reads the command line (the program's
// arguments joined by one blank) and dispatches the command. Returns when the
// command has been dispatched; the window (if any) then runs in the event loop.
void Main(const QStringList &arguments);

// Start-up of the process-wide state; also run when the automation object is
// created, so both ways of starting initialise alike.
void InitApp();
// Sets the string table's language to the one the registry configures
// (English when none is).
void applyConfiguredLanguage();

// Matches a command against the command table and starts it.
void ValidateCommand(qint32 commandId, qint16 classId, const QString &objectName);

// The only shut-down path.
void EndApp();

// Identity registration (on every exit) and its removal.
void Register();
void Unregister();

// Handles "/regserver" and "/unregserver" (the automation class registration
// of the executable: registry values and the bus activation file, see
// busactivation.h). Returns true when the arguments were one of them.
bool HandleServerRegistration(const QStringList &arguments, const QString &executablePath);

// The folder of the device template, application images and help pages:
// the environment's data folder, or the application folder when none is set.
QString dataFolder();

// One parsed command line (exposed for tests and for the headless tool).
struct CommandLine
{
    qint32 commandId = 0;
    qint16 classId = 0;
    QString objectName;
    bool objectNameGiven = false;
};

// The whole command line as the platform gives it: arguments joined by one blank.
QString wholeCommandLine(const QStringList &arguments);

// Exit status of the process: 0 for a normal end, 1 when the abort flag is set.
int exitStatus();

} // namespace host
