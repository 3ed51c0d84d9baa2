# What the extras need, looked up only when they are built: the library itself
# needs neither GoogleTest nor Google Benchmark (the loopback client library
# finds its own Jansson, halyard/CMakeLists.txt). They come from the system's
# packages (see README: the test command installs them when they are missing).
if(KRMM_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(KRMM_BUILD_BENCH)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found: benchmarks are not built")
    set(KRMM_BUILD_BENCH OFF)
  endif()
endif()
