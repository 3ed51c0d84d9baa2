# Install rules and package files of the matchmaker: the shared library, the
# public headers, a CMake package exporting KRMM::KRMatchmakingSystem and a
# pkg-config file. Every installed file finds the prefix from its own place,
# so the installed tree can be moved. The loopback client installs itself as
# the component "halyard" (halyard/CMakeLists.txt).
include(CMakePackageConfigHelpers)
set(krmm_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/KRMatchmakingSystem)

install(TARGETS KRMatchmakingSystem EXPORT KRMatchmakingSystemTargets
        COMPONENT KRMatchmakingSystem
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${krmm_public_headers}
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT KRMatchmakingSystem)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT KRMatchmakingSystem)
if(WIN32)
  # MSVC makes its import library from the .def (README, Windows).
  install(FILES ${PROJECT_BINARY_DIR}/KRMatchmakingSystem.def
          DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT KRMatchmakingSystem)
endif()

install(EXPORT KRMatchmakingSystemTargets NAMESPACE KRMM::
        DESTINATION ${krmm_cmake_dir} COMPONENT KRMatchmakingSystem)
if(krmm_with_loopback)
  set(krmm_client_kind halyard)
else()
  set(krmm_client_kind external)
endif()
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KRMatchmakingSystemConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/KRMatchmakingSystemConfig.cmake
                              INSTALL_DESTINATION ${krmm_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KRMatchmakingSystemConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KRMatchmakingSystemConfig.cmake
              ${PROJECT_BINARY_DIR}/KRMatchmakingSystemConfigVersion.cmake
        DESTINATION ${krmm_cmake_dir} COMPONENT KRMatchmakingSystem)

# The static testing library and its header, an optional part of the same
# package (component Testing).
install(TARGETS KRMatchmakingSystemTesting EXPORT KRMatchmakingSystemTestingTargets
        COMPONENT Testing ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/KRMatchmakingSystemTesting.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Testing)
install(EXPORT KRMatchmakingSystemTestingTargets NAMESPACE KRMM::
        DESTINATION ${krmm_cmake_dir} COMPONENT Testing)

file(RELATIVE_PATH krmm_pc_prefix_from_pcdir /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" krmm_pc_prefix_from_pcdir "${krmm_pc_prefix_from_pcdir}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/KRMatchmakingSystem.pc.in
               ${PROJECT_BINARY_DIR}/KRMatchmakingSystem.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KRMatchmakingSystem.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT KRMatchmakingSystem)

# pkg-config knows nothing of languages: the testing library's file names the
# C++ runtime that a C compiler's link leaves out (src/testing).
set(krmm_testing_libs -lKRMatchmakingSystemTesting)
if(WIN32)
  list(APPEND krmm_testing_libs -ladvapi32)
endif()
foreach(lib ${krmm_cxx_runtime})
  list(APPEND krmm_testing_libs -l${lib})
endforeach()
list(JOIN krmm_testing_libs " " krmm_testing_libs)
if(krmm_with_loopback)
  set(krmm_testing_requires "Requires: halyard")
else()
  set(krmm_testing_requires "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/KRMatchmakingSystemTesting.pc.in
               ${PROJECT_BINARY_DIR}/KRMatchmakingSystemTesting.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KRMatchmakingSystemTesting.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Testing)
