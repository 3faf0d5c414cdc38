# Applied to StormLib's source after it is unpacked or checked out (cmake -P, in the source folder),
# and again at every configure, so that a source unpacked before a change here gets it too.
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

# Where StormLib is compiled with VORNAK_FAST_INFLATE, its zlib decompressor first offers each
# stream to libdeflate (cmake/stormlib/StormLibFastInflate.h). Without the definition the source
# is StormLib's own.
set(compression "${CMAKE_CURRENT_SOURCE_DIR}/src/SCompression.cpp")
set(zlib_head "(int Decompress_ZLIB\\(void \\* pvOutBuffer, int \\* pcbOutBuffer, void \\* pvInBuffer, int cbInBuffer\\)\r?\n\\{\r?\n)")
file(READ "${compression}" text)
if(NOT text MATCHES "VORNAK_FAST_INFLATE")
  if(NOT text MATCHES "${zlib_head}")
    message(FATAL_ERROR "StormLib patch: Decompress_ZLIB was not found in ${compression}")
  endif()
  string(REGEX REPLACE "${zlib_head}"
         "#ifdef VORNAK_FAST_INFLATE\n#include \"StormLibFastInflate.h\"\n#endif\n\\1#ifdef VORNAK_FAST_INFLATE\n    if(VornakInflateWhole(pvOutBuffer, pcbOutBuffer, pvInBuffer, cbInBuffer))\n        return 1;\n#endif\n"
         text "${text}")
  file(WRITE "${compression}" "${text}")
endif()
