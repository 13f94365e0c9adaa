# What an installation holds besides the executables (their install() calls
# are in app/*/CMakeLists.txt): the data folder, the desktop entries, the
# icon, the AppStream metainfo, the manual pages, the shell completions and
# the package's documentation.
set(_packaging ${CMAKE_SOURCE_DIR}/packaging)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${AEROLIS_INSTALL_DATADIR})

install(FILES
  ${_packaging}/desktop/io.aerolis.Controller.desktop
  ${_packaging}/desktop/io.aerolis.Director.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_packaging}/icons/aerolis.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_packaging}/metainfo/io.aerolis.Controller.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES
  ${_packaging}/completions/aerolis
  ${_packaging}/completions/aerolis-net
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages: one roff source per executable, compressed as Debian wants
# them.
set(AEROLIS_MAN_PAGES AerolisCtrl aerolis aerolis-net aerolis-director)
set(_man_out ${CMAKE_BINARY_DIR}/man)
set(_man_files)
foreach(_page ${AEROLIS_MAN_PAGES})
  set(_src ${_packaging}/man/${_page}.1)
  set(_gz ${_man_out}/${_page}.1.gz)
  add_custom_command(OUTPUT ${_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_man_out}
    COMMAND gzip -9nc ${_src} > ${_gz}
    DEPENDS ${_src}
    COMMENT "Compressing the manual page ${_page}.1"
    VERBATIM)
  list(APPEND _man_files ${_gz})
endforeach()
add_custom_target(aerolis_man ALL DEPENDS ${_man_files})
install(FILES ${_man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The package's copyright and change log.
set(_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9nc ${_packaging}/changelog > ${_changelog_gz}
  DEPENDS ${_packaging}/changelog
  VERBATIM)
add_custom_target(aerolis_changelog ALL DEPENDS ${_changelog_gz})
install(FILES ${_packaging}/copyright DESTINATION ${AEROLIS_INSTALL_DOCDIR})
install(FILES ${_changelog_gz} DESTINATION ${AEROLIS_INSTALL_DOCDIR} RENAME changelog.gz)
