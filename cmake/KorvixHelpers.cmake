# Helpers shared by the subsystem, test and benchmark folders.

# korvix_add_library(<name> SOURCES ... [DEPENDS ...])
# Defines the static library korvix_<name>. Every library sees include/ (the public
# header) and src/ (so internal headers are included as "imaging/FrameImage.h").
function(korvix_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(korvix_${name} STATIC ${ARG_SOURCES})
  target_include_directories(korvix_${name} PUBLIC
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(korvix_${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# korvix_add_test(<name> SOURCES ... [DEPENDS ...] [LAUNCHER <program>])
# One GoogleTest executable; on Linux its cases are registered with CTest one by one, so each
# case runs in a process of its own (own registry file, own IPC namespace, own temp dir:
# see tests/support/TestMain.cpp). A LAUNCHER program runs the executable, for the
# listing of its cases and for each case, with the executable and its arguments.
function(korvix_add_test name)
  cmake_parse_arguments(ARG "" "LAUNCHER" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE korvix_testsupport ${ARG_DEPENDS})
  if(ARG_LAUNCHER)
    # GoogleTest's discovery runs the cases through the target's emulator.
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${ARG_LAUNCHER})
  endif()
  if(WIN32)
    # Cross-built for Windows: ctest runs the whole executable once under Wine (the
    # toolchain's emulator), since every Wine start costs seconds; the test main isolates
    # each case inside the one process.
    add_test(NAME ${name} COMMAND ${name} --gtest_filter=-*Child.*)
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    # Suites named *Child hold the halves of multi-process tests that a parent test runs
    # in a child process (tests/support/ChildProcess.h); CTest does not run them alone.
    TEST_FILTER "-*Child.*"
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300)
endfunction()

# korvix_add_benchmark(<name> SOURCES ... [DEPENDS ...])
function(korvix_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark benchmark::benchmark_main ${ARG_DEPENDS})
endfunction()
