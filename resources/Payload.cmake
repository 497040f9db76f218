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

set(ZV_PAYLOAD "" CACHE PATH
  "Folder or ready .lzh archive to embed instead of the shipped payload (empty: the shipped one)")
set(ZV_PAYLOAD_EPOCH 1718064000 CACHE STRING
  "Latest time stamp the payload's members may carry (seconds since 1970, UTC)")
set(ZV_PAYLOAD_ARCHIVE ${CMAKE_BINARY_DIR}/payload.lzh CACHE INTERNAL "The archive Zoravuvi.exe embeds")

if(NOT ZV_LZHTOOL)
  message(FATAL_ERROR "ZV_LZHTOOL must name the host build's lzhtool (build the host preset first)")
endif()

set(ZV_PACK_COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ZV_PAYLOAD_EPOCH} TZ=UTC0
  ${ZV_LZHTOOL} pack --force --level 1 --method lh5 CACHE INTERNAL "lzhtool pack as the payload build runs it")

# zv_add_payload_archive(<target> <output> <folder or .lzh>)
function(zv_add_payload_archive target output source)
  get_filename_component(source ${source} ABSOLUTE)
  if(IS_DIRECTORY ${source})
    file(GLOB_RECURSE inputs CONFIGURE_DEPENDS LIST_DIRECTORIES false ${source}/*)
    add_custom_command(OUTPUT ${output}
      COMMAND ${ZV_PACK_COMMAND} ${output} ${source}
      DEPENDS ${inputs} ${ZV_LZHTOOL}
      COMMENT "Packing ${source} into ${output}" VERBATIM)
  elseif(EXISTS ${source})
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}
      DEPENDS ${source}
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
add_custom_command(OUTPUT ${ZV_PAYLOAD_ARCHIVE}
  COMMAND ${ZV_PACK_COMMAND} ${ZV_PAYLOAD_ARCHIVE}
          ${payload_texts}/QUOVA.TXT ${payload_stage}/QUOVA.EXE
          ${payload_texts}/README.TXT ${payload_texts}/FILE_ID.DIZ
  DEPENDS ${payload_texts}/QUOVA.TXT ${payload_stage}/QUOVA.EXE
          ${payload_texts}/README.TXT ${payload_texts}/FILE_ID.DIZ ${ZV_LZHTOOL}
  COMMENT "Packing the payload into ${ZV_PAYLOAD_ARCHIVE}" VERBATIM)
add_custom_target(payload_archive DEPENDS ${ZV_PAYLOAD_ARCHIVE})
