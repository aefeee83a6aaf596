# What an installation holds beside the executables and the delivered data
# (src/ and data/ install those): the udev rule that lets the user at the seat
# open the instrument, the desktop entry with its icon; and the Debian package
# of the whole (scripts/package).

# udev reads /usr/lib/udev/rules.d (and /usr/local/lib/udev/rules.d for a
# local install); relative to the prefix, so a package gets the first.
set(LUMO_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Where the udev rule is installed (relative to the prefix)")

install(FILES ${CMAKE_SOURCE_DIR}/data/udev/70-lumo.rules DESTINATION ${LUMO_UDEV_RULES_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/lumo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/lumo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual pages and the changelog, written by lumo-docgen from the command
# table and the release notes, compressed as Debian keeps them (gzip -9n: no
# name or time in the header, so the same build gives the same bytes);
# `man -l build/doc/lumo-cli.1` reads the page from the build.
set(LUMO_DOC_BUILD_DIR ${CMAKE_BINARY_DIR}/doc)
set(LUMO_DOCS ${LUMO_DOC_BUILD_DIR}/lumo.1.gz ${LUMO_DOC_BUILD_DIR}/lumo-cli.1.gz ${LUMO_DOC_BUILD_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${LUMO_DOCS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMO_DOC_BUILD_DIR}
  COMMAND lumo-docgen --out ${LUMO_DOC_BUILD_DIR} --version ${PROJECT_VERSION}
          --notes ${CMAKE_SOURCE_DIR}/RELEASE-NOTES.md --maintainer ${LUMO_MAINTAINER}
  COMMAND gzip -9nfk ${LUMO_DOC_BUILD_DIR}/lumo.1 ${LUMO_DOC_BUILD_DIR}/lumo-cli.1 ${LUMO_DOC_BUILD_DIR}/changelog
  DEPENDS lumo-docgen ${CMAKE_SOURCE_DIR}/RELEASE-NOTES.md
  COMMENT "Writing the manual pages and the changelog"
  VERBATIM)
add_custom_target(lumo_docs ALL DEPENDS ${LUMO_DOCS})
install(FILES ${LUMO_DOC_BUILD_DIR}/lumo.1.gz ${LUMO_DOC_BUILD_DIR}/lumo-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${LUMO_DOC_BUILD_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/data/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumo)
set(CPACK_PACKAGE_VENDOR "Quenta")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "L.U.M.O. meridian energy analysis")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LUMO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "Measures the meridian energy of the 24 source points with the L.U.M.O. USB\n"
       "probe instrument, keeps subjects and measurements, analyses and prints them.\n"
       "The interface is in Traditional Chinese. Contains the program (lumo), its\n"
       "command line (lumo-cli), the delivered knowledge and program databases, and a\n"
       "udev rule that lets the user at the seat use the instrument.")
# The libraries come from the binaries; what they load by name does not show
# there: Qt's SQLite driver, the CJK font the interface is drawn in, the one
# the printed report is written in (its glyphs map back to the characters in a
# PDF's text), and Qt's own texts in Traditional Chinese (the file and print
# dialogs). Qt's window-system plugin for X comes with libqt6gui6.
# The programs it starts by name: xdg-open and xdg-mime (documents and
# addresses of the treatment programs and custom buttons), sensible-browser
# (one of the browsers looked for), pg_dump (a server's backup).
# tests/package/check_loaded.py compares this with what the installed program
# loads and the programs the binaries name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-noto-cjk, fonts-wqy-microhei, qt6-translations-l10n, \
xdg-utils, sensible-utils, postgresql-client | postgresql-client-15")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/data/debian/postinst ${CMAKE_SOURCE_DIR}/data/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
