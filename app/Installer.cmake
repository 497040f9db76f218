# Zoravuvi.exe: one 32-bit GUI executable carrying the payload, the dialogs,
# the strings and the icon, importing system DLLs only.
set(ZV_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)
if(NOT TARGET installer_shell OR NOT TARGET payload_archive)
  message(STATUS "Zoravuvi.exe not configured: needs installer_shell and payload_archive")
  return()
endif()

# zv_add_installer(<target> <payload target> <archive>)
# An installer executable around that archive; tests use it for installers
# with other payloads.
function(zv_add_installer target payload_target archive)
  set(app ${PROJECT_SOURCE_DIR}/app)
  set(res ${PROJECT_SOURCE_DIR}/resources)
  add_executable(${target} WIN32
    ${app}/WinMain.cpp
    ${app}/MainDialog.cpp
    ${res}/Zoravuvi.rc
    ${ZV_SHELL_EXPORTS})  # BFFCallback exported under its plain name
  # Named by its full path: windres would take a payload.lzh in the
  # working folder before any on the include path. windres hands the
  # definition to the preprocessor through a second shell, hence \\\".
  target_compile_definitions(${target} PRIVATE
    "$<$<COMPILE_LANGUAGE:RC>:ZV_PAYLOAD_FILE=\\\"${archive}\\\">")
  target_include_directories(${target} PRIVATE ${app} ${res})
  target_link_libraries(${target} PRIVATE installer_shell extract)
  # Same bytes for the same sources: no link time stamp in the PE header.
  target_link_options(${target} PRIVATE -mwindows -Wl,--no-insert-timestamp)
  add_dependencies(${target} ${payload_target})
endfunction()

zv_add_installer(Zoravuvi payload_archive ${ZV_PAYLOAD_ARCHIVE})
# Rebuild the resources whenever the archive or a script they include changes.
set_property(SOURCE ${ZV_RESOURCE_DIR}/Zoravuvi.rc APPEND PROPERTY
  OBJECT_DEPENDS ${ZV_PAYLOAD_ARCHIVE} ${ZV_INSTALLER_RC_DEPENDS})
