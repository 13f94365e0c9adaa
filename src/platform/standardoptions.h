// --help and --version of every executable: asked for them, a program prints
// and ends with status 0 before it opens a window, a network or the registry.
#pragma once

#include <QStringList>

namespace platform {

enum class StandardOption { None, Help, Version };

// The option asked for by one argument ("--help", "-h", "--version").
StandardOption standardOption(const QString &argument);

// The first of the arguments that asks for help or the version.
StandardOption firstStandardOption(const QStringList &arguments);

// "NAME VERSION" for --version: e.g. "aerolis 1.3.1210".
QString versionLine(const QString &program);

// The arguments of main() without the program name, before any Qt
// application object exists.
QStringList rawArguments(int argc, char *argv[]);

} // namespace platform
