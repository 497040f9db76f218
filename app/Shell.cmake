# Texts, messages and the folder chooser: library installer_shell. Every
# executable that links it exports BFFCallback under its plain name through
# exports.def, which the link takes as an input file.
add_library(installer_shell STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/Messages.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/FolderChooser.cpp)
target_include_directories(installer_shell PUBLIC
  ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/resources)
target_compile_options(installer_shell PRIVATE ${ZV_NO_RUNTIME_FLAGS})
# The shell's folder browser is looked up at run time, not imported.
target_link_libraries(installer_shell PUBLIC extract comdlg32 user32)
target_link_options(installer_shell INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/exports.def)
set(ZV_SHELL_EXPORTS ${CMAKE_CURRENT_SOURCE_DIR}/exports.def CACHE INTERNAL
  "Module definition that exports BFFCallback by its plain name")
