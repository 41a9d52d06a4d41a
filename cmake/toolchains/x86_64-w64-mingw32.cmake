# Cross-building the Windows DLL on Linux with mingw-w64 (64-bit). The POSIX-thread variant
# of the compilers is used: the library's std::thread, std::mutex and condition variables
# need it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVIX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVIX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVIX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVIX_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${KORVIX_MINGW_TRIPLET}-objdump)

# Libraries and headers come from the mingw sysroot and from the cache of libraries built
# for Windows (cmake/WindowsDependencies.cmake), never from the Linux system.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KORVIX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the mingw sysroot only, never with the Linux system's packages.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${KORVIX_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Test executables and tools run under Wine when ctest or the build runs them.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
