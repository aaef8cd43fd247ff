# SPDX-License-Identifier: MIT
# Installation and packages: the program and its manual page, and as a .deb
# on Linux also its copyright file, changelog and browser page. The Windows
# download is made by scripts/windows-zip.sh from the built programs.
include(GNUInstallDirs)

set(VARNHOLD_MAINTAINER "The Varnhold authors <no-public-address@varnhold.invalid>")

install(TARGETS varnhold RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME LICENSE.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES DESTINATION ${CMAKE_INSTALL_DOCDIR}
          RENAME THIRD-PARTY-NOTICES.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  return()
endif()

# Stripped as Debian strips a program: no symbols beyond those it needs, and
# no compiler version comment.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              --strip-unneeded \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/varnhold\"
                              COMMAND_ERROR_IS_FATAL ANY)")

# Debian installs manual pages compressed; -n keeps the name and time out of
# the gzip header, so the package is the same on every build.
set(VARNHOLD_MAN_PAGE ${PROJECT_BINARY_DIR}/varnhold.1.gz)
add_custom_command(OUTPUT ${VARNHOLD_MAN_PAGE}
                   COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/docs/varnhold.1
                           ${VARNHOLD_MAN_PAGE}
                   DEPENDS ${PROJECT_SOURCE_DIR}/docs/varnhold.1
                   VERBATIM)
install(FILES ${VARNHOLD_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# What only the .deb holds (scripts/build-deb.sh turns it on): the copyright
# file, the changelog, lintian's overrides and the browser page.
option(VARNHOLD_DEBIAN_PACKAGE "Install the files of the .deb beside the program and its manual page" OFF)
set(VARNHOLD_WEB_PAGE "" CACHE FILEPATH "The browser page the .deb carries (build/web/varnhold.html from the web preset)")
if(NOT VARNHOLD_DEBIAN_PACKAGE)
  add_custom_target(package_docs ALL DEPENDS ${VARNHOLD_MAN_PAGE})
else()
  # The copyright file names, for each packaged file that carries third-party
  # code, the components THIRD-PARTY-NOTICES lists for it.
  set(VARNHOLD_PACKAGED_FILES usr/bin/varnhold=/usr/bin/varnhold)
  if(VARNHOLD_WEB_PAGE)
    install(FILES ${VARNHOLD_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/varnhold)
    list(APPEND VARNHOLD_PACKAGED_FILES usr/share/varnhold/varnhold.html=varnhold.html)
  endif()
  set(VARNHOLD_CHANGELOG ${PROJECT_BINARY_DIR}/changelog.gz)
  set(VARNHOLD_COPYRIGHT ${PROJECT_BINARY_DIR}/copyright)
  add_custom_command(OUTPUT ${VARNHOLD_CHANGELOG}
                     COMMAND sh -c "sh \"$1\" \"$2\" \"$3\" | gzip -9n > \"$4\"" sh
                             ${PROJECT_SOURCE_DIR}/cmake/debian/changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                             ${VARNHOLD_MAINTAINER} ${VARNHOLD_CHANGELOG}
                     DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog.sh ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                     VERBATIM)
  add_custom_command(OUTPUT ${VARNHOLD_COPYRIGHT}
                     COMMAND sh -c "out=$1; shift; sh \"$@\" > \"$out\"" sh ${VARNHOLD_COPYRIGHT}
                             ${PROJECT_SOURCE_DIR}/cmake/debian/copyright.sh ${PROJECT_SOURCE_DIR}/LICENSE
                             ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES ${VARNHOLD_MAINTAINER} ${VARNHOLD_PACKAGED_FILES}
                     DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/copyright.sh ${PROJECT_SOURCE_DIR}/LICENSE
                             ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES
                     VERBATIM)
  add_custom_target(package_docs ALL DEPENDS ${VARNHOLD_MAN_PAGE} ${VARNHOLD_CHANGELOG} ${VARNHOLD_COPYRIGHT})
  install(FILES ${VARNHOLD_COPYRIGHT} ${VARNHOLD_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME varnhold)
endif()

set(CPACK_PACKAGE_NAME varnhold)
set(CPACK_PACKAGE_VENDOR "The Varnhold authors")
set(CPACK_PACKAGE_CONTACT "${VARNHOLD_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs any file into a 24-bit BMP picture and unpacks it again")
# The package's long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varnhold packs any file of up to 256 MiB into an uncompressed 24-bit BMP
picture, and unpacks such a picture back into the exact file it carries.
A run takes one file name, writes one new file beside it and reports
through its exit code and the suffix it appended, for use from scripts.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
if(CMAKE_CROSSCOMPILING)
  # dpkg-shlibdeps cannot read a foreign architecture's libraries here.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
