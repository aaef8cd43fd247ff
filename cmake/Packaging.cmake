# Installation and packages: the program and its manual page, as a .deb on
# Linux and a .zip on Windows.
include(GNUInstallDirs)

install(TARGETS varnhold RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/varnhold.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  # Debian installs manual pages compressed; -n keeps the name and time out of
  # the gzip header, so the package is the same on every build.
  set(VARNHOLD_MAN_PAGE ${PROJECT_BINARY_DIR}/varnhold.1.gz)
  add_custom_command(OUTPUT ${VARNHOLD_MAN_PAGE}
                     COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/docs/varnhold.1
                             ${VARNHOLD_MAN_PAGE}
                     DEPENDS ${PROJECT_SOURCE_DIR}/docs/varnhold.1
                     VERBATIM)
  add_custom_target(man_page ALL DEPENDS ${VARNHOLD_MAN_PAGE})
  install(FILES ${VARNHOLD_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The browser page, built by the web preset (build/web/varnhold.html), goes
# beside the program in the Windows download and under share/varnhold in the
# .deb; a build that is not given one installs none.
set(VARNHOLD_WEB_PAGE "" CACHE FILEPATH "The browser page to install (build/web/varnhold.html from the web preset)")
if(VARNHOLD_WEB_PAGE)
  if(WIN32)
    install(FILES ${VARNHOLD_WEB_PAGE} DESTINATION .)
  else()
    install(FILES ${VARNHOLD_WEB_PAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/varnhold)
  endif()
endif()

set(CPACK_PACKAGE_NAME varnhold)
set(CPACK_PACKAGE_VENDOR "Varnhold")
set(CPACK_PACKAGE_CONTACT "Varnhold developers <varnhold@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs any file into a 24-bit BMP picture and unpacks it again")
# The package's long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varnhold packs any file of up to 256 MiB into an uncompressed 24-bit BMP
picture, and unpacks such a picture back into the exact file it carries.
A run takes one file name, writes one new file beside it and reports
through its exit code and the suffix it appended, for use from scripts.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  endif()
  if(CMAKE_CROSSCOMPILING)
    # dpkg-shlibdeps cannot read a foreign architecture's libraries here.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  else()
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
endif()

include(CPack)
