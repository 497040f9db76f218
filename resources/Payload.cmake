# payload.lzh: the archive that Zoravuvi.exe carries as raw-data resource 1
# (payload.rc). Packed by the host build's lzhtool, named by the cache
# variable ZV_LZHTOOL (the win32 preset points it at build/host/bin/lzhtool).
#
# As shipped it holds four level-1 -lh5- members in this order: QUOVA.TXT,
# QUOVA.EXE (the stand-in built from quova/), README.TXT, FILE_ID.DIZ.
# A vendor builds an installer for other files with one configure option:
#
#   -DZV_PAYLOAD=/path/to/folder    every file below the folder, in byte
#                                   order of their relative paths
#   -DZV_PAYLOAD=/path/to/ready.lzh an archive made elsewhere, embedded as it is
#
# Provides
#   payload_archive      target that brings ${CMAKE_BINARY_DIR}/payload.lzh
#                        up to date (rebuilt whenever an input changes)
#   ZV_PAYLOAD_ARCHIVE   that path; windres finds the file through the
#                        include directory ${CMAKE_BINARY_DIR}
#   zv_add_payload_archive(TARGET OUTPUT SOURCE)  one more archive from a
#                        folder or a ready .lzh, e.g. for a second installer;
#                        its resource script then needs the output's folder
#                        on the include path, or -DZV_PAYLOAD_FILE="..."
#
# Same sources, same bytes: time stamps are capped at ZV_PAYLOAD_EPOCH
# (SOURCE_DATE_EPOCH) and taken in UTC, and quova.exe carries no link time.
#
# Every archive is checked before it is taken: `lzhtool test --payload`
# must find that the installer would write every member and could launch
# quova. A payload that fails stops the build with the reasons, and no
# archive (so no installer) comes of it. A folder's file list (names, sizes,
# time stamps) is listed at every build, so that a file added, deleted or
# renamed repacks the archive as a changed file does.

# Script mode, the build steps above: -DZV_STEP=list (ZV_FOLDER into
# ZV_LISTING, rewritten only when it changed) or -DZV_STEP=check (ZV_ARCHIVE
# from ZV_ARCHIVE.new, made by the step before, when lzhtool passes it).
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(VERSION 3.25)
  if(ZV_STEP STREQUAL "list")
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${ZV_FOLDER} ${ZV_FOLDER}/*)
    list(SORT files)
    set(listing "")
    foreach(file IN LISTS files)
      file(SIZE ${ZV_FOLDER}/${file} size)
      file(TIMESTAMP ${ZV_FOLDER}/${file} stamp "%s" UTC)
      string(APPEND listing "${file} ${size} ${stamp}\n")
    endforeach()
    set(before "")
    if(EXISTS ${ZV_LISTING})
      file(READ ${ZV_LISTING} before)
    endif()
    if(NOT before STREQUAL listing)
      file(WRITE ${ZV_LISTING} "${listing}")
    endif()
  else()
    execute_process(COMMAND ${ZV_LZHTOOL} test --payload ${ZV_ARCHIVE}.new
      RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(NOT status EQUAL 0)
      file(REMOVE ${ZV_ARCHIVE}.new ${ZV_ARCHIVE})
      string(REPLACE "\n" ";" lines "${said}")
      list(FILTER lines EXCLUDE REGEX "^ok ")
      list(JOIN lines "\n  " said)
      message(FATAL_ERROR "payload refused, the installer would not install it in full: ${ZV_SOURCE} "
        "(lzhtool test --payload: status ${status}):\n  ${said}")
    endif()
    file(RENAME ${ZV_ARCHIVE}.new ${ZV_ARCHIVE})
  endif()
  return()
endif()

set(ZV_PAYLOAD "" CACHE PATH
  "Folder or ready .lzh archive to embed instead of the shipped payload (empty: the shipped one)")
set(ZV_PAYLOAD_ARCHIVE ${CMAKE_BINARY_DIR}/payload.lzh CACHE INTERNAL "The archive Zoravuvi.exe embeds")

if(NOT ZV_LZHTOOL)
  message(FATAL_ERROR "ZV_LZHTOOL must name the host build's lzhtool (build the host preset first)")
endif()

set(ZV_PACK_COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ZV_PAYLOAD_EPOCH} TZ=UTC0
  ${ZV_LZHTOOL} pack --force --level 1 --method lh5 CACHE INTERNAL "lzhtool pack as the payload build runs it")

# The command that takes <output>.new as <output> when lzhtool passes it.
function(zv_payload_check_command output source result)
  set(${result} ${CMAKE_COMMAND} -DZV_STEP=check -DZV_LZHTOOL=${ZV_LZHTOOL} -DZV_ARCHIVE=${output}
    -DZV_SOURCE=${source} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE} PARENT_SCOPE)
endfunction()

# zv_add_payload_archive(<target> <output> <folder or .lzh>)
function(zv_add_payload_archive target output source)
  get_filename_component(source ${source} ABSOLUTE)
  zv_payload_check_command(${output} ${source} check)
  if(IS_DIRECTORY ${source})
    # The listing runs at every build; it changes (and so repacks) only
    # when a file comes, goes, is renamed or changes its size or stamp.
    file(GLOB_RECURSE inputs CONFIGURE_DEPENDS LIST_DIRECTORIES false ${source}/*)
    set(listing ${output}.files)
    add_custom_target(${target}_listing
      COMMAND ${CMAKE_COMMAND} -DZV_STEP=list -DZV_FOLDER=${source} -DZV_LISTING=${listing}
              -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
      BYPRODUCTS ${listing} VERBATIM)
    add_custom_command(OUTPUT ${output}
      COMMAND ${ZV_PACK_COMMAND} ${output}.new ${source}
      COMMAND ${check}
      DEPENDS ${inputs} ${listing} ${target}_listing ${ZV_LZHTOOL}
      COMMENT "Packing ${source} into ${output}" VERBATIM)
  elseif(EXISTS ${source})
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}.new
      COMMAND ${check}
      DEPENDS ${source} ${ZV_LZHTOOL}
      COMMENT "Taking ${source} as ${output}" VERBATIM)
  else()
    message(FATAL_ERROR "payload ${source}: no such folder or archive")
  endif()
  add_custom_target(${target} DEPENDS ${output})
endfunction()

if(ZV_PAYLOAD)
  zv_add_payload_archive(payload_archive ${ZV_PAYLOAD_ARCHIVE} ${ZV_PAYLOAD})
  return()
endif()

# The shipped payload: the texts as they are, the stand-in under its
# installed name. lzhtool takes the files in argument order.
set(payload_texts ${CMAKE_CURRENT_SOURCE_DIR}/payload)
set(payload_stage ${CMAKE_BINARY_DIR}/payload-stage)
add_custom_command(OUTPUT ${payload_stage}/QUOVA.EXE
  COMMAND ${CMAKE_COMMAND} -E make_directory ${payload_stage}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quova> ${payload_stage}/QUOVA.EXE
  DEPENDS quova
  COMMENT "Staging quova.exe as QUOVA.EXE" VERBATIM)
zv_payload_check_command(${ZV_PAYLOAD_ARCHIVE} "the shipped payload" check)
add_custom_command(OUTPUT ${ZV_PAYLOAD_ARCHIVE}
  COMMAND ${ZV_PACK_COMMAND} ${ZV_PAYLOAD_ARCHIVE}.new
          ${payload_texts}/QUOVA.TXT ${payload_stage}/QUOVA.EXE
          ${payload_texts}/README.TXT ${payload_texts}/FILE_ID.DIZ
  COMMAND ${check}
  DEPENDS ${payload_texts}/QUOVA.TXT ${payload_stage}/QUOVA.EXE
          ${payload_texts}/README.TXT ${payload_texts}/FILE_ID.DIZ ${ZV_LZHTOOL}
  COMMENT "Packing the payload into ${ZV_PAYLOAD_ARCHIVE}" VERBATIM)
add_custom_target(payload_archive DEPENDS ${ZV_PAYLOAD_ARCHIVE})
