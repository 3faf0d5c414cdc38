# What a user unpacks: one folder holding the program, banner.gif, Data/ and README.txt, as a
# zip for the Windows build and a tar.gz for the Linux build. `cpack --preset default` and
# `cpack --preset windows` make them in dist/ (scripts/package.sh makes both).
if(NOT TARGET vornak-installer)
  return()
endif()

set(VORNAK_PACKAGE_VERSION ${PROJECT_VERSION})
if(WIN32)
  set(package_folder VornakModInstaller)
  set(CPACK_PACKAGE_FILE_NAME VornakModInstaller-${PROJECT_VERSION}-win64)
  set(CPACK_GENERATOR ZIP)
else()
  set(VORNAK_PACKAGE_ARCH ${CMAKE_SYSTEM_PROCESSOR})
  set(package_folder vornak-installer-${PROJECT_VERSION})
  set(CPACK_PACKAGE_FILE_NAME vornak-installer-${PROJECT_VERSION}-linux-${VORNAK_PACKAGE_ARCH})
  set(CPACK_GENERATOR TGZ)
endif()

# The folder is installed as any other, rather than made CPack's top-level directory: that one is
# always named as the package file, and the folder's name differs from the file's.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Qt's project setup gives the installed program a run path to libraries beside it; the package
# brings none (the Linux program takes Debian's Qt), so it goes without one.
set_target_properties(vornak-installer PROPERTIES INSTALL_RPATH "")
install(TARGETS vornak-installer RUNTIME DESTINATION ${package_folder})
install(FILES src/wizard/art/banner.gif DESTINATION ${package_folder})
# Data from the project, not from a build's app folder, whose templates a trial install may have
# rewritten; without the install's scratch files, as the build copies it.
install(DIRECTORY Data/ DESTINATION ${package_folder}/Data
  REGEX "/Data/temp$" EXCLUDE
  PATTERN war3map.j2 EXCLUDE)

set(installed_program "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${package_folder}/$<TARGET_FILE_NAME:vornak-installer>")
if(WIN32)
  configure_file(cmake/packaging/README-windows.txt.in packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt DESTINATION ${package_folder})
  install(CODE "
    execute_process(COMMAND \"${CMAKE_COMMAND}\"
      \"-DVORNAK_PROGRAM=${installed_program}\" \"-DVORNAK_OBJDUMP=${CMAKE_OBJDUMP}\"
      -P \"${PROJECT_SOURCE_DIR}/cmake/packaging/CheckWindowsDlls.cmake\"
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR \"The Windows program needs a DLL beyond Windows' own: not packaged\")
    endif()")
else()
  # The README lists the run-time packages of the program as installed, so it is written then.
  set(readme "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${package_folder}/README.txt")
  install(CODE "
    execute_process(COMMAND \"${CMAKE_COMMAND}\"
      \"-DVORNAK_PROGRAM=${installed_program}\" \"-DVORNAK_OBJDUMP=${CMAKE_OBJDUMP}\"
      \"-DVORNAK_EXTRA_PACKAGES=qt6-qpa-plugins;fonts-wine\"
      \"-DVORNAK_README_IN=${PROJECT_SOURCE_DIR}/cmake/packaging/README-linux.txt.in\"
      \"-DVORNAK_README=${readme}\"
      -DVORNAK_PACKAGE_VERSION=${VORNAK_PACKAGE_VERSION} -DVORNAK_PACKAGE_ARCH=${VORNAK_PACKAGE_ARCH}
      -P \"${PROJECT_SOURCE_DIR}/cmake/packaging/WriteLinuxReadme.cmake\"
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR \"The Linux package's README.txt could not be written: not packaged\")
    endif()
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"${readme}\")")
endif()

# The packaged program goes without symbols; the build's own copy keeps them for debugging.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
