# Installation and packages: the program and its manual page, as a .deb on
# Linux and a .zip on Windows.
include(GNUInstallDirs)

install(TARGETS varnhold RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/varnhold.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME varnhold)
set(CPACK_PACKAGE_VENDOR "Varnhold")
set(CPACK_PACKAGE_CONTACT "Varnhold developers <varnhold@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs any file into a 24-bit BMP picture and unpacks it again")
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
