# What both Windows toolchains share. The including file sets
# CMAKE_SYSTEM_PROCESSOR, TOOLCHAIN_PREFIX and ZV_WINE_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
# The posix threading model: GoogleTest needs std::mutex, which the win32
# model's libstdc++ lacks. -static keeps winpthread out of the imports.
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests of this build run under Wine on a virtual display.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --arch ${ZV_WINE_ARCH})
