# Applied to StormLib's source after it is unpacked or checked out (cmake -P, in the source folder),
# and again at every configure, so that a source unpacked before a change here gets it too.
# Each change is made once: a file that already shows `done` is left alone.
function(patch_once file done original replacement what)
  set(path "${CMAKE_CURRENT_SOURCE_DIR}/${file}")
  file(READ "${path}" text)
  if(text MATCHES "${done}")
    return()
  endif()
  if(NOT text MATCHES "${original}")
    message(FATAL_ERROR "StormLib patch: ${what} was not found in ${path}")
  endif()
  string(REGEX REPLACE "${original}" "${replacement}" text "${text}")
  file(WRITE "${path}" "${text}")
endfunction()

# The bundled libtommath turns on 60-bit digits for every x86_64 target, keeping them in an
# `unsigned long`; on Windows that type has 32 bits, so every big number is cut short and weak
# signatures come out as zeros. Windows builds take the default 28-bit digits instead, which fit.
patch_once(src/libtommath/tommath.h
  "defined\\(__x86_64__\\) && !defined\\(_WIN32\\)"
  "#if defined\\(__x86_64__\\)[ \t]*(\r?\n)"
  "#if defined(__x86_64__) && !defined(_WIN32)\\1"
  "the 64-bit digit switch")

# Where StormLib is compiled with VORNAK_FAST_INFLATE, its zlib decompressor first offers each
# stream to libdeflate (cmake/stormlib/StormLibFastInflate.h). Without the definition the source
# is StormLib's own.
patch_once(src/SCompression.cpp
  "VORNAK_FAST_INFLATE"
  "(int Decompress_ZLIB\\(void \\* pvOutBuffer, int \\* pcbOutBuffer, void \\* pvInBuffer, int cbInBuffer\\)\r?\n\\{\r?\n)"
  "#ifdef VORNAK_FAST_INFLATE\n#include \"StormLibFastInflate.h\"\n#endif\n\\1#ifdef VORNAK_FAST_INFLATE\n    if(VornakInflateWhole(pvOutBuffer, pcbOutBuffer, pvInBuffer, cbInBuffer))\n        return 1;\n#endif\n"
  "Decompress_ZLIB")
