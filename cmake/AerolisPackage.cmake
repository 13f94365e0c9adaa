# The Debian package, built by CPack (scripts/package): the executables, the
# data folder and the desktop integration of an installation into /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME aerolis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Aerolis maintainers <maintainers@aerolis.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "commissioning and monitoring tool for a room climate controller")
set(CPACK_PACKAGE_DESCRIPTION
"The Aerolis Controller plug-in reads a room climate controller's
configuration from a fieldbus network into tabbed pages, checks and writes
it back, loads the device application its controller type needs, keeps
parameter files, copies parameter sets to many controllers and watches the
running controller.
.
The package holds the plug-in window (AerolisCtrl), the headless tool
(aerolis), the simulated network with its tool (aerolis-net) and the
network tool that launches the plug-in (aerolis-director).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://aerolis.invalid/")
# Shared libraries from dpkg-shlibdeps; the Qt plug-ins the programs load at
# run time (the SQLite driver of the network database, the platform
# plug-ins) are no linked libraries and are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
