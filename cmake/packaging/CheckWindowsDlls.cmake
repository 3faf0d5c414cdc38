# Run by the install as `cmake -DVORNAK_PROGRAM=... -DVORNAK_OBJDUMP=... -P CheckWindowsDlls.cmake`
# (cmake/Packaging.cmake): fails when the Windows program imports a DLL that a bare Windows does
# not have. The zip carries no DLLs, so such a program would not even start for the user.
#   VORNAK_PROGRAM  the installed vornak-installer.exe
#   VORNAK_OBJDUMP  the mingw-w64 objdump, which reads the program's import table
cmake_minimum_required(VERSION 3.21)

# Windows' own DLLs, present on every Windows the program supports.
set(windows_dlls
  kernel32 user32 gdi32 gdiplus comdlg32 comctl32 shell32 shlwapi ole32 oleaut32 advapi32 uxtheme
  windowscodecs msimg32 version imm32 winmm dwmapi shcore wininet ws2_32 bcrypt crypt32 rpcrt4
  msvcrt ucrtbase)

if(NOT VORNAK_OBJDUMP)
  message(FATAL_ERROR "package: no objdump for Windows programs (binutils-mingw-w64-x86-64); "
    "cannot check which DLLs ${VORNAK_PROGRAM} needs")
endif()
execute_process(COMMAND "${VORNAK_OBJDUMP}" -p "${VORNAK_PROGRAM}"
  OUTPUT_VARIABLE dump ERROR_VARIABLE error RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "package: ${VORNAK_OBJDUMP} -p ${VORNAK_PROGRAM} failed: ${error}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
set(foreign)
foreach(import IN LISTS imports)
  string(REGEX REPLACE "^DLL Name: " "" dll "${import}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" name)
  string(REGEX REPLACE "\\.dll$" "" name "${name}")
  # The API sets (api-ms-win-*) are Windows' own too, whatever their number.
  if(NOT name IN_LIST windows_dlls AND NOT name MATCHES "^api-ms-win-")
    list(APPEND foreign "${dll}")
  endif()
endforeach()

if(foreign)
  list(JOIN foreign " " foreign)
  message(FATAL_ERROR "package: ${VORNAK_PROGRAM} needs DLLs that Windows does not have: ${foreign}")
endif()
