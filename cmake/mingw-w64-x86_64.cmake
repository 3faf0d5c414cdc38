# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORNAK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORNAK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORNAK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VORNAK_MINGW_TRIPLE}-windres)

# Libraries and headers come from the mingw-w64 tree only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VORNAK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A program that needs no DLL beyond Windows' own: libgcc, libstdc++ and winpthread go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# ctest runs the .exe tests through wine where it is installed.
find_program(VORNAK_WINE NAMES wine wine64)
if(VORNAK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VORNAK_WINE}")
endif()
