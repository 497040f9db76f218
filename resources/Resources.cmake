# The resource script with the strings, file-dialog templates and icon, and
# the main dialog templates it includes. Executables compile it directly
# (or through a script that includes it) and depend on these inputs.
set(ZV_INSTALLER_RC ${CMAKE_CURRENT_SOURCE_DIR}/installer.rc CACHE INTERNAL
  "Resource script of the installer's texts, dialogs and icon")
set(ZV_RESOURCE_INCLUDE_DIRS ${CMAKE_CURRENT_SOURCE_DIR} CACHE INTERNAL
  "Where windres finds resource.h, maindialog.rc and icon/")
set(ZV_INSTALLER_RC_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/resource.h
  ${CMAKE_CURRENT_SOURCE_DIR}/maindialog.rc
  ${CMAKE_CURRENT_SOURCE_DIR}/icon/installer.ico
  CACHE INTERNAL "Files that installer.rc reads")
