# SPDX-License-Identifier: MIT
# What makes varnhold.exe a proper Windows program: a UTF-16 entry point, a
# version resource Explorer shows under Properties, and an application
# manifest that lets the program use paths longer than MAX_PATH.
enable_language(RC)

# wmain is the entry point: the command line arrives as UTF-16.
target_link_options(varnhold PRIVATE -municode)
# No link time in the PE header, so that two builds give the same bytes.
target_link_options(varnhold PRIVATE -Wl,--no-insert-timestamp)
# Windows 7 (NT 6.1) is the oldest Windows the program starts on: the
# header's version fields say so, and tests/windows/imports.txt lists every
# function it may import with the oldest Windows that has it.
target_link_options(varnhold PRIVATE -Wl,--major-os-version,6,--minor-os-version,1
                    -Wl,--major-subsystem-version,6,--minor-subsystem-version,1)

set(VARNHOLD_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
# LegalCopyright: the copyright line of LICENSE.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE VARNHOLD_COPYRIGHT_LINE REGEX "^Copyright ")
# The name the download gives each program (scripts/step.sh), which its
# version resource states as OriginalFilename.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VARNHOLD_MANIFEST_ARCHITECTURE x86)
  set(VARNHOLD_SHIPPED_NAME varnhold.exe)
else()
  set(VARNHOLD_MANIFEST_ARCHITECTURE amd64)
  set(VARNHOLD_SHIPPED_NAME varnhold-x64.exe)
endif()
set(VARNHOLD_MANIFEST ${PROJECT_BINARY_DIR}/varnhold.manifest)
configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/varnhold.manifest.in ${VARNHOLD_MANIFEST} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/varnhold.rc.in ${PROJECT_BINARY_DIR}/varnhold.rc @ONLY)
target_sources(varnhold PRIVATE ${PROJECT_BINARY_DIR}/varnhold.rc)
# The resource compiler does not know that the resource embeds the manifest.
set_source_files_properties(${PROJECT_BINARY_DIR}/varnhold.rc PROPERTIES OBJECT_DEPENDS ${VARNHOLD_MANIFEST})
