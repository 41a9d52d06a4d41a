# What `cmake --install` puts where, and the Debian package CPack makes of it.
#
#   <libdir>/libKorvixSdk_Tesslin.so.2.16.5.21 (SONAME libKorvixSdk_Tesslin.so.2) and its
#            links, the GTK dialogs module beside it (the library loads it from there)
#   <includedir>/KorvixSdk_Tesslin.h
#   <bindir>/korvix
#   <libdir>/pkgconfig/korvix-tesslin.pc
#   <libdir>/cmake/KorvixTesslin/   find_package(KorvixTesslin) -> Korvix::Tesslin
#   lib/udev/rules.d/70-korvix-tesslin.rules
#   <docdir>/                        README, docs, examples/ (sources)
#
# Every installed file finds the others relative to itself, so the tree may be installed
# under any prefix (cmake --install <build> --prefix <dir>) and moved afterwards.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KORVIX_PACKAGE_NAME korvix-tesslin)
set(KORVIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KorvixTesslin)

set_target_properties(KorvixSdk_Tesslin PROPERTIES EXPORT_NAME Tesslin)
install(TARGETS KorvixSdk_Tesslin EXPORT KorvixTesslinTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/KorvixSdk_Tesslin.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
if(TARGET KorvixSdk_TesslinDialogs)
  install(TARGETS KorvixSdk_TesslinDialogs LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime)
endif()
if(TARGET korvix)
  # The tool finds the library in the installed tree's library folder.
  file(RELATIVE_PATH tool_to_libdir /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(korvix PROPERTIES INSTALL_RPATH "$ORIGIN/${tool_to_libdir}")
  install(TARGETS korvix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

# pkg-config: the prefix is found from the .pc file's own folder.
string(REGEX REPLACE "[^/]+" ".." pc_to_prefix "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(${PROJECT_SOURCE_DIR}/packaging/korvix-tesslin.pc.in
  ${PROJECT_BINARY_DIR}/packaging/korvix-tesslin.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/korvix-tesslin.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The CMake package.
install(EXPORT KorvixTesslinTargets NAMESPACE Korvix:: DESTINATION ${KORVIX_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/KorvixTesslinConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/KorvixTesslinConfig.cmake
  INSTALL_DESTINATION ${KORVIX_CMAKE_DIR})
# Within one minor version the exports only grow.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/KorvixTesslinConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/KorvixTesslinConfig.cmake
  ${PROJECT_BINARY_DIR}/packaging/KorvixTesslinConfigVersion.cmake
  DESTINATION ${KORVIX_CMAKE_DIR} COMPONENT development)

# Real cameras without root: the udev rule, where udev reads the rules of packages.
install(FILES ${PROJECT_SOURCE_DIR}/resources/70-korvix-tesslin.rules
  DESTINATION lib/udev/rules.d COMPONENT runtime)

set(KORVIX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${KORVIX_PACKAGE_NAME})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${KORVIX_DOC_DIR} COMPONENT development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${KORVIX_DOC_DIR}/docs
  COMPONENT development FILES_MATCHING PATTERN "*.md")
install(FILES ${PROJECT_SOURCE_DIR}/examples/snapshot_png.c
  ${PROJECT_SOURCE_DIR}/examples/callback_preview.c ${PROJECT_SOURCE_DIR}/examples/opencv_viewer.cpp
  DESTINATION ${KORVIX_DOC_DIR}/examples COMPONENT development)

# The Debian package: everything above in one package. Its dependencies are the shared
# libraries the installed files need, as dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KORVIX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvix")
set(CPACK_PACKAGE_CONTACT "Korvix Tesslin SDK maintainers <sdk@korvix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "SDK for the Korvix Tesslin short-wave-infrared USB 3.0 cameras")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The shlibs file and the ldconfig trigger of a package with a shared library.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The installed tree used from outside: pkg-config and find_package builds of the installed
# examples, run against a simulated camera.
if(KORVIX_BUILD_TESTS)
  separate_arguments(install_test_cflags UNIX_COMMAND "${CMAKE_C_FLAGS}")
  add_test(NAME PackagingInstall.OutsideProjects
    COMMAND ${PROJECT_SOURCE_DIR}/packaging/tests/install-test ${PROJECT_BINARY_DIR}
      ${CMAKE_INSTALL_LIBDIR} ${PROJECT_BINARY_DIR}/install-test ${CMAKE_C_COMPILER}
      ${install_test_cflags})
  set_tests_properties(PackagingInstall.OutsideProjects PROPERTIES TIMEOUT 300)
endif()
