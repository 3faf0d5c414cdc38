# StormLib::StormLib, the MPQ library under the archive layer (src/archive/StormMapArchive.cpp).
#
# By default StormLib release 9.40 is built here from its pinned source: static, position
# independent, with its bundled zlib, bzip2, libtomcrypt and libtommath, and UNICODE on Windows.
# The source is the tarball in VORNAK_THIRD_PARTY_DIR when it is there (checked against its
# SHA-256), otherwise the pinned commit from StormLib's public repository. It is unpacked and
# compiled once per build folder.
#
# VORNAK_SYSTEM_STORMLIB=ON takes the system's StormLib instead (Debian: libstorm-dev 9.22),
# together with the system libtomcrypt and libtommath it signs maps through.

option(VORNAK_SYSTEM_STORMLIB "Use the system's StormLib instead of building the pinned release" OFF)
set(VORNAK_THIRD_PARTY_DIR "${PROJECT_SOURCE_DIR}/../shared/third_party" CACHE PATH
    "Folder with third-party source archives (StormLib-9.40.tar.gz); without it StormLib is fetched")

if(POLICY CMP0135)
  cmake_policy(SET CMP0135 NEW) # unpacked files get the time of unpacking
endif()

set(VORNAK_STORMLIB_VERSION 9.40)
set(VORNAK_STORMLIB_COMMIT 6bb1882bd00ddbc3729cac5dac0fda81a61e5514)
set(VORNAK_STORMLIB_SHA256 fd76dd53c0a58837bd7d7671d4d480787f7032d6f9f3bb5092ec8db9d85fdd28)
set(VORNAK_STORMLIB_REPOSITORY https://github.com/ladislav-zezula/StormLib.git)

function(vornak_system_stormlib)
  find_path(STORMLIB_INCLUDE_DIR StormLib.h REQUIRED)
  find_library(STORMLIB_LIBRARY storm REQUIRED)
  add_library(StormLib::StormLib UNKNOWN IMPORTED GLOBAL)
  set_target_properties(StormLib::StormLib PROPERTIES
    IMPORTED_LOCATION "${STORMLIB_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${STORMLIB_INCLUDE_DIR}")

  # Debian's StormLib signs maps through the system libtomcrypt, whose big-number provider the
  # program itself must set (see VORNAK_STORMLIB_SYSTEM_TOMCRYPT in the archive layer).
  find_path(TOMCRYPT_INCLUDE_DIR tomcrypt.h)
  find_library(TOMCRYPT_LIBRARY tomcrypt)
  find_library(TOMMATH_LIBRARY tommath)
  if(TOMCRYPT_INCLUDE_DIR AND TOMCRYPT_LIBRARY AND TOMMATH_LIBRARY)
    set_property(TARGET StormLib::StormLib APPEND PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${TOMCRYPT_INCLUDE_DIR}")
    set_property(TARGET StormLib::StormLib APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS VORNAK_STORMLIB_SYSTEM_TOMCRYPT)
    set_property(TARGET StormLib::StormLib APPEND PROPERTY INTERFACE_LINK_LIBRARIES
                 "${TOMCRYPT_LIBRARY}" "${TOMMATH_LIBRARY}")
  else()
    message(WARNING "libtomcrypt/libtommath not found: maps with a weak signature may crash StormLib on save")
  endif()
  message(STATUS "StormLib: the system's, ${STORMLIB_LIBRARY}")
endfunction()

# libdeflate under StormLib's zlib streams (cmake/stormlib/StormLibInflate.h): about twice
# as fast on a map's sectors. Its static library is taken, so the program needs nothing more at
# run time; without it, or with VORNAK_FAST_INFLATE=OFF, StormLib inflates with zlib alone.
option(VORNAK_FAST_INFLATE "Inflate StormLib's zlib streams with libdeflate where it is found" ON)
function(vornak_fast_inflate)
  if(NOT VORNAK_FAST_INFLATE)
    message(STATUS "StormLib: zlib inflates (VORNAK_FAST_INFLATE=OFF)")
    return()
  endif()
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
  find_library(LIBDEFLATE_LIBRARY NAMES libdeflate.a deflate)
  if(NOT LIBDEFLATE_INCLUDE_DIR OR NOT LIBDEFLATE_LIBRARY)
    message(STATUS "StormLib: zlib inflates (no libdeflate here)")
    return()
  endif()
  target_compile_definitions(storm PRIVATE VORNAK_FAST_INFLATE)
  target_include_directories(storm PRIVATE "${LIBDEFLATE_INCLUDE_DIR}")
  target_link_libraries(storm PRIVATE "${LIBDEFLATE_LIBRARY}")
  message(STATUS "StormLib: libdeflate inflates, ${LIBDEFLATE_LIBRARY}")
endfunction()

function(vornak_pinned_stormlib)
  include(FetchContent)
  set(tarball "${VORNAK_THIRD_PARTY_DIR}/StormLib-${VORNAK_STORMLIB_VERSION}.tar.gz")
  set(patch "${CMAKE_COMMAND}" -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/StormLibPatch.cmake")
  if(EXISTS "${tarball}")
    set(origin "${tarball}")
    FetchContent_Declare(stormlib
      URL "${tarball}"
      URL_HASH SHA256=${VORNAK_STORMLIB_SHA256}
      PATCH_COMMAND ${patch})
  else()
    set(origin "${VORNAK_STORMLIB_REPOSITORY} at ${VORNAK_STORMLIB_COMMIT}")
    FetchContent_Declare(stormlib
      GIT_REPOSITORY "${VORNAK_STORMLIB_REPOSITORY}"
      GIT_TAG ${VORNAK_STORMLIB_COMMIT}
      PATCH_COMMAND ${patch})
  endif()
  message(STATUS "StormLib: ${VORNAK_STORMLIB_VERSION} built from ${origin}")

  # StormLib's own switches, as variables of this function's scope only (its CMakeLists
  # predates options that honour variables, hence the policy default).
  set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
  set(BUILD_SHARED_LIBS OFF)
  set(STORM_SKIP_INSTALL ON)
  set(STORM_BUILD_TESTS OFF)
  set(STORM_USE_BUNDLED_LIBRARIES ON) # its zlib and bzip2
  set(WITH_LIBTOMCRYPT OFF)           # its libtomcrypt and libtommath
  set(STORM_UNICODE ON)               # Windows only: file names as UTF-16
  FetchContent_MakeAvailable(stormlib)

  # A source unpacked by an older configure gets the patches of this one (they apply once).
  execute_process(COMMAND ${patch} WORKING_DIRECTORY "${stormlib_SOURCE_DIR}" RESULT_VARIABLE patched)
  if(NOT patched EQUAL 0)
    message(FATAL_ERROR "StormLib patch failed in ${stormlib_SOURCE_DIR}")
  endif()
  # The inflate the patch calls, and the two list calls the archive layer uses (VORNAK_OWN_LIST_FILE).
  target_include_directories(storm PRIVATE "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/stormlib" "${stormlib_SOURCE_DIR}/src")
  target_sources(storm PRIVATE "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/stormlib/StormLibListFile.cpp")
  target_include_directories(storm INTERFACE "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/stormlib")
  target_compile_definitions(storm INTERFACE VORNAK_OWN_LIST_FILE)
  vornak_fast_inflate()

  set_target_properties(storm PROPERTIES POSITION_INDEPENDENT_CODE ON)
  # Its code is not ours to warn about; its header comes in as a system header.
  if(MSVC)
    target_compile_options(storm PRIVATE /w)
  else()
    target_compile_options(storm PRIVATE -w)
  endif()
  if(VORNAK_SANITIZE OR VORNAK_BUILD_FUZZERS)
    # AddressSanitizer stays on for it, and faults, aborts and divisions by zero still end a
    # run; its undefined-behaviour reports would not (misaligned reads of a real map's tables
    # on every open), and they are not what ends a program on x86.
    target_compile_options(storm PRIVATE -fno-sanitize=undefined)
  endif()
  set_property(TARGET storm APPEND PROPERTY INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${stormlib_SOURCE_DIR}/src")
  if(WIN32)
    # TCHAR in StormLib.h must mean for the caller what it meant when StormLib was built.
    target_compile_definitions(storm INTERFACE UNICODE _UNICODE)
  endif()
  add_library(StormLib::StormLib ALIAS storm)
  if(WIN32)
    # The zlib compiled into it, for the test maps' own compression: no second zlib for mingw-w64.
    add_library(vornak_stormlib_zlib INTERFACE)
    target_include_directories(vornak_stormlib_zlib SYSTEM INTERFACE "${stormlib_SOURCE_DIR}/src/zlib")
    target_link_libraries(vornak_stormlib_zlib INTERFACE storm)
    add_library(StormLib::zlib ALIAS vornak_stormlib_zlib)
  endif()
endfunction()

# Without the shared copy and without a way to the repository (a closed network) the pinned
# release cannot be had: say so and stop, rather than build quietly with an older StormLib.
if(NOT VORNAK_SYSTEM_STORMLIB AND NOT EXISTS "${VORNAK_THIRD_PARTY_DIR}/StormLib-${VORNAK_STORMLIB_VERSION}.tar.gz"
   AND NOT CMAKE_CROSSCOMPILING)
  execute_process(COMMAND git ls-remote "${VORNAK_STORMLIB_REPOSITORY}" HEAD
                  RESULT_VARIABLE unreachable OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
  if(NOT unreachable EQUAL 0)
    message(FATAL_ERROR
      "StormLib ${VORNAK_STORMLIB_VERSION} cannot be had: ${VORNAK_THIRD_PARTY_DIR}/StormLib-${VORNAK_STORMLIB_VERSION}.tar.gz "
      "is not there and ${VORNAK_STORMLIB_REPOSITORY} cannot be reached. Put the release's tarball there (or name its "
      "folder with -DVORNAK_THIRD_PARTY_DIR=...), or configure again where the repository can be reached. "
      "-DVORNAK_SYSTEM_STORMLIB=ON builds with the system's older StormLib instead: with it the installer refuses "
      "maps whose list of file names StormLib would shorten, cannot read data whose check alone is wrong, and "
      "hangs on some hostile maps.")
  endif()
endif()

if(VORNAK_SYSTEM_STORMLIB)
  vornak_system_stormlib()
else()
  vornak_pinned_stormlib()
endif()
