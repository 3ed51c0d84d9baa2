# 32-bit Windows (the shipped DLL): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
set(KRMM_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# Debian keeps the 32-bit Wine loader out of PATH.
# Only the real 32-bit loader: /usr/bin/wine falls back to the 64-bit one,
# which cannot run these programs.
find_program(KRMM_WINE NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
