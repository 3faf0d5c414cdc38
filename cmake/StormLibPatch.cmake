# Applies the project's changes to StormLib's source (cmake/stormlib/patches/*.patch, in order), run
# with cmake -P in the source folder after it is unpacked, and again at every configure, so that a
# source unpacked before a new patch gets it too. A patch already applied is left alone.
#
# 0001  the bundled libtommath keeps 28-bit digits on Windows, where `long` has 32 bits
# 0002  every zlib stream goes through VornakInflate (cmake/stormlib/StormLibInflate.h)
# 0003  new entries go behind a (listfile) the archive layer keeps (cmake/stormlib/StormLibListFile.cpp)
find_program(VORNAK_PATCH patch REQUIRED)
file(GLOB patches "${CMAKE_CURRENT_LIST_DIR}/stormlib/patches/*.patch")
list(SORT patches)
foreach(patch IN LISTS patches)
  execute_process(COMMAND "${VORNAK_PATCH}" -p1 -R --dry-run --force --silent -i "${patch}"
                  RESULT_VARIABLE applied OUTPUT_QUIET ERROR_QUIET)
  if(applied EQUAL 0)
    continue()
  endif()
  execute_process(COMMAND "${VORNAK_PATCH}" -p1 --forward --batch --silent -i "${patch}"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT failed EQUAL 0)
    message(FATAL_ERROR "StormLib patch ${patch} does not apply in ${CMAKE_CURRENT_SOURCE_DIR}: ${out}"
                        "Remove that folder (a source changed by hand or by an older build) and configure again.")
  endif()
endforeach()
