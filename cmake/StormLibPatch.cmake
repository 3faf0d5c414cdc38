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

# StormLib's zlib decompressor hands every stream to VornakInflate (cmake/stormlib/StormLibInflate.h),
# which takes data whose check alone is wrong and, where the build has libdeflate, inflates faster.
# A source patched by an older configure (libdeflate alone) has that call replaced.
patch_once(src/SCompression.cpp
  "VornakInflate\\(pvOutBuffer"
  "(#ifdef VORNAK_FAST_INFLATE\r?\n#include \"StormLibFastInflate.h\"\r?\n#endif\r?\n)?(int Decompress_ZLIB\\(void \\* pvOutBuffer, int \\* pcbOutBuffer, void \\* pvInBuffer, int cbInBuffer\\)\r?\n\\{\r?\n)(#ifdef VORNAK_FAST_INFLATE\r?\n    if\\(VornakInflateWhole\\(pvOutBuffer, pcbOutBuffer, pvInBuffer, cbInBuffer\\)\\)\r?\n        return 1;\r?\n#endif\r?\n)?"
  "#include \"StormLibInflate.h\"\n\\2    return VornakInflate(pvOutBuffer, pcbOutBuffer, pvInBuffer, cbInBuffer);\n"
  "Decompress_ZLIB")

# New entries go behind the last entry's data, where StormLib leaves out its internal files,
# whose new versions it writes after them. A (listfile) kept as it is (VornakKeepListFile marks it
# as no list to write) stays where it is, and new entries must go behind it too.
patch_once(src/SBaseCommon.cpp
  "VornakKeptListFile"
  "(if\\(\\(ha->dwFlags & MPQ_FLAG_SAVING_TABLES\\) == 0 && IsInternalMpqFileName\\(pFileEntry->szFileName\\))\\)"
  "\\1 /* VornakKeptListFile */ && !((ha->dwFlags & MPQ_FLAG_LISTFILE_NONE) && !_stricmp(pFileEntry->szFileName, LISTFILE_NAME)))"
  "FindFreeMpqSpace")
