# Optional Authenticode signing of the executables a vendor ships, off by
# default: a build without these options is unchanged, byte for byte.
#
#   -DZV_SIGN_CERT=FILE        the certificate (PEM or DER, as osslsigncode reads it)
#   -DZV_SIGN_KEY=FILE         its private key
#   -DZV_SIGN_TIMESTAMP=URL    an RFC 3161 time-stamp server (optional)
#
# The key's password, if any, is read from the environment variable
# ZV_SIGN_PASSWORD when the build runs; it never enters the cache.
# zv_sign_after_link(<target>) signs the target's file in place after each link.
include_guard(GLOBAL)

set(ZV_SIGN_CERT "" CACHE FILEPATH "Certificate to sign the executables with (empty: no signing)")
set(ZV_SIGN_KEY "" CACHE FILEPATH "Private key of ZV_SIGN_CERT")
set(ZV_SIGN_TIMESTAMP "" CACHE STRING "RFC 3161 time-stamp server URL for the signatures (optional)")
if(DEFINED CACHE{ZV_SIGN_PASSWORD})
  unset(ZV_SIGN_PASSWORD CACHE)
  message(FATAL_ERROR "ZV_SIGN_PASSWORD belongs in the environment of the build, not in the cache")
endif()

if(ZV_SIGN_CERT OR ZV_SIGN_KEY)
  foreach(option ZV_SIGN_CERT ZV_SIGN_KEY)
    if(NOT ${option} OR NOT EXISTS ${${option}})
      message(FATAL_ERROR "${option}: no such file '${${option}}' (signing needs both ZV_SIGN_CERT and ZV_SIGN_KEY)")
    endif()
  endforeach()
  find_program(ZV_OSSLSIGNCODE osslsigncode)
  if(NOT ZV_OSSLSIGNCODE)
    message(FATAL_ERROR "signing needs osslsigncode (scripts/setup.sh installs it)")
  endif()
endif()

function(zv_sign_after_link target)
  if(NOT ZV_SIGN_CERT)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/sign-pe.sh ${ZV_OSSLSIGNCODE} ${ZV_SIGN_CERT} ${ZV_SIGN_KEY}
            "${ZV_SIGN_TIMESTAMP}" $<TARGET_FILE:${target}>
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>" VERBATIM)
endfunction()
