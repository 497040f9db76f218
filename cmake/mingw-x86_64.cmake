# Cross-compiles the same sources for 64-bit Windows with Debian's mingw-w64
# (x86_64). The 32-bit build stays the product; this one lets its behaviour
# be tested under 64-bit Wine on machines that cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(ZV_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
