# Run by the install as `cmake -DVORNAK_PROGRAM=... -P WriteLinuxReadme.cmake` (cmake/Packaging.cmake):
# writes the Linux package's README.txt with the Debian packages the program needs at run time.
# Those are the packages holding the libraries the program names itself (apt brings what they
# need in turn), plus VORNAK_EXTRA_PACKAGES, which nothing links: Qt's plugin for X11 windows
# and Wine's fonts for the window's Tahoma.
#   VORNAK_PROGRAM         the installed vornak-installer
#   VORNAK_OBJDUMP         objdump, which reads the libraries the program names (NEEDED)
#   VORNAK_EXTRA_PACKAGES  packages to list besides
#   VORNAK_README_IN       the README's template; VORNAK_README, the README to write
#   VORNAK_PACKAGE_VERSION, VORNAK_PACKAGE_ARCH  for the template
cmake_minimum_required(VERSION 3.21)

function(run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output ERROR_VARIABLE error RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "package: ${command} failed: ${error}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# The Debian package that holds a file, as dpkg knows it ("" when none does).
function(debian_package out path)
  execute_process(COMMAND "${dpkg_program}" -S "${path}" OUTPUT_VARIABLE owners RESULT_VARIABLE result ERROR_QUIET)
  set(package "")
  if(result EQUAL 0)
    string(REPLACE "\n" ";" owners "${owners}")
    foreach(line IN LISTS owners)
      # "libqt6core6:amd64: /usr/lib/...": the first field; a diversion's lines name no holder.
      if(line MATCHES "^diversion " OR NOT line MATCHES "^([^:,]+)")
        continue()
      endif()
      set(package "${CMAKE_MATCH_1}")
      break()
    endforeach()
  endif()
  set(${out} "${package}" PARENT_SCOPE)
endfunction()

find_program(dpkg_program dpkg)
if(NOT dpkg_program)
  message(FATAL_ERROR "package: no dpkg here; the Linux package lists Debian packages and is made on Debian")
endif()

run(dump "${VORNAK_OBJDUMP}" -p "${VORNAK_PROGRAM}")
string(REGEX MATCHALL "\n[ \t]*NEEDED[ \t]+[^ \t\r\n]+" needed "${dump}")
list(TRANSFORM needed REPLACE "^\n[ \t]*NEEDED[ \t]+" "")

# Where the loader finds each library here; ldd says it as "name => path (address)".
run(resolved ldd "${VORNAK_PROGRAM}")
string(REPLACE "\n" ";" resolved "${resolved}")
set(packages ${VORNAK_EXTRA_PACKAGES})
foreach(line IN LISTS resolved)
  if(NOT line MATCHES "^[ \t]*([^ \t]+) => ([^ \t]+)")
    continue()
  endif()
  set(name "${CMAKE_MATCH_1}")
  set(path "${CMAKE_MATCH_2}")
  if(NOT name IN_LIST needed)
    continue()
  endif()
  if(path STREQUAL "not")
    message(FATAL_ERROR "package: ${VORNAK_PROGRAM} needs ${name}, which is not installed here")
  endif()
  # dpkg knows a library by the path its package installed: the real file behind the soname's
  # link, or, on a merged /usr, the link's own /lib path.
  file(REAL_PATH "${path}" real_path)
  debian_package(package "${real_path}")
  if(NOT package)
    debian_package(package "${path}")
  endif()
  if(NOT package)
    message(FATAL_ERROR "package: no Debian package holds ${path}, which ${VORNAK_PROGRAM} needs")
  endif()
  list(APPEND packages "${package}")
endforeach()
list(REMOVE_DUPLICATES packages)
list(SORT packages)
list(JOIN packages " " VORNAK_RUNTIME_PACKAGES)

configure_file("${VORNAK_README_IN}" "${VORNAK_README}" @ONLY)
message(STATUS "Installing: ${VORNAK_README} (run time: ${VORNAK_RUNTIME_PACKAGES})")
