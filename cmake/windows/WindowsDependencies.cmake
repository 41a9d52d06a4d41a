# The image codecs of the Windows build: libjpeg-turbo, libpng and libtiff, built for Windows
# from their released sources (the tarballs scripts/setup-deps --windows fetched from
# Debian's source packages) and linked statically into the DLL. zlib is Debian's mingw
# package. Each library is built once, at configure time, into a cache shared by every
# Windows build tree of the machine; a later configure finds it there and builds nothing.
#
# KORVIX_WINDOWS_DEPS (cache variable or environment) names the cache directory; the source
# tarballs are read from its sources/ folder and must match cmake/windows/sources.sha256.

set(KORVIX_WINDOWS_DEPS "$ENV{KORVIX_WINDOWS_DEPS}" CACHE PATH "Cache of the libraries built for Windows")
if(KORVIX_WINDOWS_DEPS STREQUAL "")
  set(KORVIX_WINDOWS_DEPS "$ENV{HOME}/.cache/korvix/windows-deps" CACHE PATH "" FORCE)
endif()

set(deps_sources ${KORVIX_WINDOWS_DEPS}/sources)
set(deps_prefix ${KORVIX_WINDOWS_DEPS}/${KORVIX_MINGW_TRIPLET})
set(deps_work ${KORVIX_WINDOWS_DEPS}/work)
set(mingw_zlib /usr/${KORVIX_MINGW_TRIPLET}/lib/libz.a)
if(NOT EXISTS ${mingw_zlib})
  message(FATAL_ERROR "zlib for mingw is missing (${mingw_zlib}): run scripts/setup-deps --windows")
endif()

# Checks a tarball against the recorded checksum and unpacks it into deps_work.
function(korvix_unpack_checked tarball out_dir)
  file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/windows/sources.sha256 lines REGEX "  ${tarball}$")
  if(NOT lines)
    message(FATAL_ERROR "no checksum recorded for ${tarball}")
  endif()
  string(REGEX REPLACE " .*" "" expected "${lines}")
  set(path ${deps_sources}/${tarball})
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "${path} is missing: run scripts/setup-deps --windows")
  endif()
  file(SHA256 ${path} actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${tarball}: checksum ${actual}, expected ${expected}")
  endif()
  file(REMOVE_RECURSE ${deps_work}/unpack)
  file(ARCHIVE_EXTRACT INPUT ${path} DESTINATION ${deps_work}/unpack)
  file(GLOB top LIST_DIRECTORIES true ${deps_work}/unpack/*)
  file(REMOVE_RECURSE ${out_dir})
  file(RENAME ${top} ${out_dir})
endfunction()

# Configures, builds and installs one CMake project into deps_prefix, once.
function(korvix_build_dependency name tarball)
  set(stamp ${deps_prefix}/.built-${tarball})
  if(EXISTS ${stamp})
    return()
  endif()
  message(STATUS "Building ${name} for Windows into ${deps_prefix} (once)")
  set(source ${deps_work}/${name})
  korvix_unpack_checked(${tarball} ${source})
  set(build ${deps_work}/${name}-build)
  file(REMOVE_RECURSE ${build})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${source} -B ${build} -G Ninja
            -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
            -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_INSTALL_PREFIX=${deps_prefix}
            -DCMAKE_PREFIX_PATH=${deps_prefix}
            -DCMAKE_FIND_ROOT_PATH=${deps_prefix}
            -DCMAKE_POLICY_DEFAULT_CMP0074=NEW
            -DZLIB_LIBRARY=${mingw_zlib}
            -DZLIB_INCLUDE_DIR=/usr/${KORVIX_MINGW_TRIPLET}/include
            ${ARGN}
    RESULT_VARIABLE failed OUTPUT_FILE ${deps_work}/${name}-configure.log
    ERROR_FILE ${deps_work}/${name}-configure.log)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${build} --target install
                    RESULT_VARIABLE failed OUTPUT_FILE ${deps_work}/${name}-build.log
                    ERROR_FILE ${deps_work}/${name}-build.log)
  endif()
  if(failed)
    message(FATAL_ERROR "${name} for Windows did not build: see ${deps_work}/${name}-*.log")
  endif()
  file(REMOVE_RECURSE ${source} ${build})
  file(TOUCH ${stamp})
endfunction()

korvix_build_dependency(libjpeg-turbo libjpeg-turbo_2.1.5.orig.tar.gz
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF)
korvix_build_dependency(libpng libpng1.6_1.6.39.orig.tar.gz
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF)
korvix_build_dependency(libtiff tiff_4.5.0.orig.tar.bz2
  -DBUILD_SHARED_LIBS=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF
  -Dcxx=OFF -Djpeg=ON -Dold-jpeg=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF
  -Dlibdeflate=OFF -Dsphinx=OFF
  -DJPEG_INCLUDE_DIR=${deps_prefix}/include -DJPEG_LIBRARY=${deps_prefix}/lib/libjpeg.a)

# nlohmann-json is header-only: its headers and package files are copied from the Debian
# package into the cache, so that the cross build never adds the Linux /usr/include to a
# search path.
if(NOT EXISTS ${deps_prefix}/share/cmake/nlohmann_json)
  file(COPY /usr/include/nlohmann DESTINATION ${deps_prefix}/include)
  file(COPY /usr/share/cmake/nlohmann_json DESTINATION ${deps_prefix}/share/cmake)
endif()

list(APPEND CMAKE_FIND_ROOT_PATH ${deps_prefix})
list(APPEND CMAKE_PREFIX_PATH ${deps_prefix})
set(ZLIB_LIBRARY ${mingw_zlib} CACHE FILEPATH "" FORCE)
set(ZLIB_INCLUDE_DIR /usr/${KORVIX_MINGW_TRIPLET}/include CACHE PATH "" FORCE)

# Static libtiff needs libjpeg and zlib after it on every link line: its imported target is
# made here, once and global, with those dependencies, and every later find_package(TIFF)
# reuses it.
block(SCOPE_FOR VARIABLES)
  set(CMAKE_FIND_PACKAGE_TARGETS_GLOBAL ON)
  find_package(JPEG REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(TIFF REQUIRED)
endblock()
set_property(TARGET TIFF::TIFF APPEND PROPERTY INTERFACE_LINK_LIBRARIES JPEG::JPEG ZLIB::ZLIB)

