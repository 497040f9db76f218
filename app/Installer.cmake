# Zoravuvi.exe: one 32-bit GUI executable carrying the payload, the dialogs,
# the strings and the icon, importing system DLLs only.
set(ZV_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)

include(${PROJECT_SOURCE_DIR}/app/Signing.cmake)

# zv_add_installer(<target> <payload target> <archive>)
# An installer executable around that archive; tests use it for installers
# with other payloads.
function(zv_add_installer target payload_target archive)
  set(app ${PROJECT_SOURCE_DIR}/app)
  set(res ${PROJECT_SOURCE_DIR}/resources)
  add_executable(${target} WIN32
    ${app}/WinMain.cpp
    ${app}/MainDialog.cpp
    ${app}/Startup.cpp
    ${res}/Zoravuvi.rc
    ${ZV_SHELL_EXPORTS})  # BFFCallback exported under its plain name
  target_compile_options(${target} PRIVATE ${ZV_NO_RUNTIME_FLAGS})
  # Named by its full path: windres would take a payload.lzh in the
  # working folder before any on the include path. windres hands the
  # definition to the preprocessor through a second shell, hence \\\".
  target_compile_definitions(${target} PRIVATE
    "$<$<COMPILE_LANGUAGE:RC>:ZV_PAYLOAD_FILE=\\\"${archive}\\\">")
  target_include_directories(${target} PRIVATE ${app} ${ZV_RESOURCE_INCLUDE_DIRS})
  target_link_libraries(${target} PRIVATE
    installer_shell extract installer_runtime kernel32 user32 advapi32 comdlg32)
  # No C or C++ runtime: our own entry point and the few functions of
  # Runtime.cpp; no debug data or symbols. Same bytes for the same sources:
  # no link time stamp. The map tells bench/stub_size.py what takes the bytes.
  # Versions 3.10, the oldest systems that the version logic serves (NT 3.51,
  # Windows 95); the x64 test build carries the same, so that Wine treats
  # both programs alike.
  # A 32-bit C symbol carries a leading underscore.
  set(entry ZoravuviStart)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(entry _ZoravuviStart)
  endif()
  target_link_options(${target} PRIVATE
    -mwindows -nostdlib -nostartfiles -s -Wl,--entry=${entry}
    -Wl,--no-insert-timestamp -Wl,-Map=$<TARGET_FILE:${target}>.map
    -Wl,--major-subsystem-version=3,--minor-subsystem-version=10
    -Wl,--major-os-version=3,--minor-os-version=10)
  add_dependencies(${target} ${payload_target})
  zv_sign_after_link(${target})
endfunction()

# The C library functions that the installer's code and the compiler call,
# for executables that link no runtime. They must not be compiled into calls
# to themselves.
add_library(installer_runtime STATIC ${PROJECT_SOURCE_DIR}/app/Runtime.cpp)
target_compile_options(installer_runtime PRIVATE
  ${ZV_NO_RUNTIME_FLAGS} -fno-builtin -fno-tree-loop-distribute-patterns)

zv_add_installer(Zoravuvi payload_archive ${ZV_PAYLOAD_ARCHIVE})
# The 32-bit installer goes beside the host build's lzhtool as the stub that
# `lzhtool installer` takes when given none.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  get_filename_component(lzhtool_dir ${ZV_LZHTOOL} DIRECTORY)
  add_custom_command(TARGET Zoravuvi POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Zoravuvi> ${lzhtool_dir}/Zoravuvi-stub.exe VERBATIM)
endif()
# Rebuild the resources whenever the archive or a script they include changes.
set_property(SOURCE ${ZV_RESOURCE_DIR}/Zoravuvi.rc APPEND PROPERTY
  OBJECT_DEPENDS ${ZV_PAYLOAD_ARCHIVE} ${ZV_INSTALLER_RC_DEPENDS})
