# The resource script with the strings, file-dialog templates and icon, and
# the main dialog templates it includes; identity.rc with the manifest and
# the version resource. Executables compile them directly (or through a
# script that includes them) and depend on these inputs.

# The installer's version, the project's (the main dialog's caption and
# lzhtool --version show it too), and its manifest, made from one template for the build's machine: x86, or amd64 in
# the x64 test build. identity.rc reads both through the generated identity.h.
set(ZV_VERSION ${PROJECT_VERSION})
set(ZV_VERSION_DOTTED ${ZV_VERSION}.0.0)
string(REPLACE "." "," ZV_VERSION_COMMAS ${ZV_VERSION_DOTTED})
set(ZV_MANIFEST_ARCH x86)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZV_MANIFEST_ARCH amd64)
endif()
set(ZV_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/Zoravuvi.manifest)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/Zoravuvi.manifest.in ${ZV_MANIFEST_FILE} @ONLY
  NEWLINE_STYLE UNIX)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/identity.h.in ${CMAKE_CURRENT_BINARY_DIR}/identity.h
  @ONLY NEWLINE_STYLE UNIX)

set(ZV_INSTALLER_RC ${CMAKE_CURRENT_SOURCE_DIR}/installer.rc CACHE INTERNAL
  "Resource script of the installer's texts, dialogs and icon")
set(ZV_RESOURCE_INCLUDE_DIRS ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR} CACHE INTERNAL
  "Where windres finds resource.h, maindialog.rc, icon/ and identity.h")
set(ZV_INSTALLER_RC_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/resource.h
  ${CMAKE_CURRENT_SOURCE_DIR}/maindialog.rc
  ${CMAKE_CURRENT_SOURCE_DIR}/icon/installer.ico
  ${CMAKE_CURRENT_SOURCE_DIR}/identity.rc
  ${CMAKE_CURRENT_BINARY_DIR}/identity.h
  ${ZV_MANIFEST_FILE}
  CACHE INTERNAL "Files that installer.rc and identity.rc read")
