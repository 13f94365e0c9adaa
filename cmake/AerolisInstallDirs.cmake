# The usual GNU install directories, and the program's own data folder in
# them: share/aerolis holds the device template, the application images, the
# help pages and the string table.
include(GNUInstallDirs)
set(AEROLIS_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/aerolis)
set(AEROLIS_INSTALL_FULL_DATADIR ${CMAKE_INSTALL_FULL_DATADIR}/aerolis)
# The package's documentation folder carries the package's name.
set(AEROLIS_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/aerolis)
# Modules the programs load when they need them (the PDF renderer).
set(AEROLIS_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/aerolis)
file(RELATIVE_PATH AEROLIS_MODULES_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/aerolis)
