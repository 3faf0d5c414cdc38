# Applied to StormLib's source after it is unpacked or checked out (cmake -P, in the source folder).
#
# The bundled libtommath turns on 60-bit digits for every x86_64 target, keeping them in an
# `unsigned long`; on Windows that type has 32 bits, so every big number is cut short and weak
# signatures come out as zeros. Windows builds take the default 28-bit digits instead, which fit.
# Safe to run twice: the line is changed only while it is still the original one.
set(header "${CMAKE_CURRENT_SOURCE_DIR}/src/libtommath/tommath.h")
set(original "#if defined\\(__x86_64__\\)[ \t]*(\r?\n)")
set(patched "#if defined(__x86_64__) && !defined(_WIN32)\\1")

file(READ "${header}" text)
if(NOT text MATCHES "defined\\(__x86_64__\\) && !defined\\(_WIN32\\)")
  if(NOT text MATCHES "${original}")
    message(FATAL_ERROR "StormLib patch: the 64-bit digit switch was not found in ${header}")
  endif()
  string(REGEX REPLACE "${original}" "${patched}" text "${text}")
  file(WRITE "${header}" "${text}")
endif()
