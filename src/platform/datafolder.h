// Where the program's data lives: the device template, the application
// images, the help pages and the string table.
//
// In the build tree (and in a folder holding everything, as a copy of
// build/bin) the data sits beside the executable. An installed program finds
// it in the shared data folder of its installation prefix, share/aerolis
// (reached from the executable's folder, so a prefix can be moved), and
// failing that in the folder the build was configured to install into.
#pragma once

#include <QString>

namespace platform {

// The device template's file name; the other data files are named by it.
inline const QString kTemplateFileName = QStringLiteral("AerolisCtrl.ini");

// The data folder for an executable in executableFolder: the first of the
// places above that holds the device template; the executable's folder when
// none does (so that a missing template is reported where a user expects it).
QString dataFolderFor(const QString &executableFolder);

// The data folder of the running executable.
QString dataFolder();

// True when the data is found beside the executable (build tree or a folder
// installation); false for an installation into a prefix.
bool dataBesideExecutable(const QString &executableFolder);

} // namespace platform
