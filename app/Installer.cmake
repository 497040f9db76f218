# Zoravuvi.exe: one 32-bit GUI executable carrying the payload, the dialogs,
# the strings and the icon, importing system DLLs only.
set(ZV_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)
if(NOT TARGET installer_shell OR NOT TARGET payload_archive)
  message(STATUS "Zoravuvi.exe not configured: needs installer_shell and payload_archive")
  return()
endif()

add_executable(Zoravuvi WIN32
  ${CMAKE_CURRENT_SOURCE_DIR}/WinMain.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MainDialog.cpp
  ${ZV_RESOURCE_DIR}/Zoravuvi.rc)
target_include_directories(Zoravuvi PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${ZV_RESOURCE_DIR})
target_link_libraries(Zoravuvi PRIVATE installer_shell extract)
# Same bytes for the same sources: no link time stamp in the PE header.
target_link_options(Zoravuvi PRIVATE -mwindows -Wl,--no-insert-timestamp)

# The folder browser's callback is exported under its plain name.
target_sources(Zoravuvi PRIVATE ${ZV_SHELL_EXPORTS})

# The resource compiler finds payload.lzh in the build tree; rebuild the
# executable whenever the archive changes.
set_property(SOURCE ${ZV_RESOURCE_DIR}/Zoravuvi.rc APPEND PROPERTY
  INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR} ${ZV_RESOURCE_DIR})
set_property(SOURCE ${ZV_RESOURCE_DIR}/Zoravuvi.rc APPEND PROPERTY
  OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/payload.lzh ${ZV_INSTALLER_RC_DEPENDS})
if(TARGET payload_archive)
  add_dependencies(Zoravuvi payload_archive)
endif()
