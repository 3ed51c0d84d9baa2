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

# The testing library, when it is built, goes into the same package as an
# optional part of its own. It can be exported only if it carries its objects
# itself: the in-tree object and static libraries are not installed.
set(krmm_testing_exportable OFF)
if(TARGET KRMatchmakingSystemTesting)
  get_target_property(krmm_testing_links KRMatchmakingSystemTesting LINK_LIBRARIES)
  if(NOT "krmm_objects" IN_LIST krmm_testing_links AND NOT "krmm_static" IN_LIST krmm_testing_links)
    set(krmm_testing_exportable ON)
  else()
    message(STATUS "KRMatchmakingSystemTesting links in-tree libraries directly: not installed "
                   "(link them as $<BUILD_INTERFACE:...> to install it)")
  endif()
endif()
if(krmm_testing_exportable)
  install(TARGETS KRMatchmakingSystemTesting EXPORT KRMatchmakingSystemTestingTargets
          COMPONENT Testing ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT KRMatchmakingSystemTestingTargets NAMESPACE KRMM::
          DESTINATION ${krmm_cmake_dir} COMPONENT Testing)
endif()

file(RELATIVE_PATH krmm_pc_prefix_from_pcdir /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" krmm_pc_prefix_from_pcdir "${krmm_pc_prefix_from_pcdir}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/KRMatchmakingSystem.pc.in
               ${PROJECT_BINARY_DIR}/KRMatchmakingSystem.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/KRMatchmakingSystem.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT KRMatchmakingSystem)
