# Installs Kelvora like any desktop program and describes its Debian package:
#   cmake --build build && (cd build && cpack)   ->  build/kelvora_3.0_<arch>.deb
include(GNUInstallDirs)

install(TARGETS kelvora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
  # Debian's hardening: the whole symbol table is bound at start, so the GOT stays read-only.
  target_link_options(kelvora PRIVATE LINKER:-z,now)
  # A stripping install (install/strip, CPack) also drops the sections Debian's own
  # stripping removes.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kelvora\"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()")

  set(kelvora_id example.kelvora.Kelvora)
  set(dist ${CMAKE_CURRENT_SOURCE_DIR}/dist)
  install(FILES ${dist}/${kelvora_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${dist}/${kelvora_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 32 48 128 256)
    install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/kelvora-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kelvora.png)
  endforeach()
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/kelvora.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # Debian wants the changelog and the manual page compressed without a time stamp, so
  # that the package's bytes do not depend on when it was built. The package has no
  # separate upstream source, so its changelog is changelog.gz, not changelog.Debian.gz.
  find_program(KELVORA_GZIP gzip)
  if(KELVORA_GZIP)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${dist}/changelog ${dist}/kelvora.1)
    set(gz ${CMAKE_CURRENT_BINARY_DIR}/dist)
    file(MAKE_DIRECTORY ${gz})
    execute_process(COMMAND ${KELVORA_GZIP} -9nc ${dist}/changelog
                    OUTPUT_FILE ${gz}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${KELVORA_GZIP} -9nc ${dist}/kelvora.1
                    OUTPUT_FILE ${gz}/kelvora.1.gz COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${gz}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvora)
    install(FILES ${gz}/kelvora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  install(FILES ${dist}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvora)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvora Yazılım")
set(CPACK_PACKAGE_CONTACT "Kelvora Yazılım <destek@kelvora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "table and hourly-fee counter for cafes and game halls")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kelvora.example/)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kelvora is the counter program of a cafe or game hall that rents out tables by
the hour. The operator opens a table's account with a double click, books food
and drink to it from a price list, and at the end sees the minutes, the time
charge, the extras and the total in Turkish lira. Accounts survive restarts.
The program's texts are Turkish.")
# Libraries the program links come from dpkg-shlibdeps; libqt6gui6 among them also holds
# the xcb platform plugin and the JPEG reader the pictures need. What Qt only loads at run
# time is named here: the SQLite driver of the ledger and Qt's Turkish translation.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-translations-l10n")
include(CPack)
