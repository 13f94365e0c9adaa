// The command line of aerolis-director, for scripts and tests:
//
//   aerolis-director [--root DIR] [--ini FILE] [--network NAME] [--timeout MS] COMMAND
//     list                         subsystems, devices (template, program id,
//                                  state) and LonMark objects with the commands
//                                  registered for them
//     registrations                the project's plug-in registrations
//     register [--program-ids IDS] the plug-in registers its commands in the
//                                  project (default: the program ids of the
//                                  network's devices); prints RegResult
//     launch OBJECTNAME COMMAND [--remote] [--ni NAME] [--by-name]
//                                  COMMAND: a registered command's name or its
//                                  CommandId; the LonMark object is handed
//                                  over unless --by-name
//
// Exit status 0 on success, 1 on a failure, 2 on bad usage.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace director {

struct Settings
{
    QString root; // empty: the object server's default folder
    QString ini;
    QString network = QStringLiteral("Demo");
    int timeoutMs = 60000;
    QStringList rest; // the command and its arguments
};

// Takes the common options out of the arguments; false with the reason.
bool parseSettings(const QStringList &arguments, const QString &defaultIni, Settings *settings, QString *error);

int runCommandLine(const Settings &settings, QTextStream &out, QTextStream &err);

QString usage();

} // namespace director
