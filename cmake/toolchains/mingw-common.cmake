# Shared part of the MinGW-w64 cross toolchains. The including file sets
# KRMM_MINGW_TRIPLE (e.g. i686-w64-mingw32) and KRMM_WINE (the loader that
# runs the built programs here).
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: their C++ runtime has std::thread and std::mutex.
set(CMAKE_C_COMPILER ${KRMM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KRMM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KRMM_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KRMM_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KRMM_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(KRMM_OBJDUMP ${KRMM_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump that reads PE export tables")

# Libraries built for Windows (Jansson, GoogleTest) are installed under
# KRMM_WINDOWS_DEPS; nothing is ever taken from the build machine's own /usr.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KRMM_WINDOWS_DEPS KRMM_WINEPREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${KRMM_MINGW_TRIPLE})
if(KRMM_WINDOWS_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${KRMM_WINDOWS_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The GCC runtime (libgcc, libstdc++, winpthread) goes inside every DLL and
# program, so a game ships no runtime DLLs and Wine needs none. -static makes
# the driver's own trailing -lpthread pick the archive too; system DLLs still
# come through their import libraries, and our own DLLs through theirs.
set(krmm_static_runtime "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${krmm_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${krmm_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${krmm_static_runtime}")

# Programs built here run under Wine (CTest, and gtest's test discovery): quiet,
# in a private prefix, and without the offer to install Mono or Gecko.
if(KRMM_WINE)
  if(NOT KRMM_WINEPREFIX)
    set(KRMM_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEDEBUG=-all WINEPREFIX=${KRMM_WINEPREFIX}
      "WINEDLLOVERRIDES=mscoree,mshtml=" ${KRMM_WINE})
endif()
