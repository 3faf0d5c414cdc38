// Compiled into StormLib's SCompression.cpp (see StormLibPatch.cmake) where the build has
// libdeflate. A map's sectors are small zlib streams, and libdeflate inflates them about twice
// as fast as zlib; unpacking the map script is the largest part of an install's time. Only a
// stream that libdeflate finishes, with its checksum, is taken from it: any other goes on to
// zlib exactly as before, so what StormLib refuses and what it reports stay as they were.
#pragma once

#include <libdeflate.h>

#include <cstddef>

static bool VornakInflateWhole(void* out, int* outBytes, const void* in, int inBytes)
{
    if (inBytes < 0 || *outBytes < 0)
        return false;
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    if (decompressor == nullptr)
        return false;
    std::size_t used = 0;
    std::size_t made = 0;
    const libdeflate_result result = libdeflate_zlib_decompress_ex(
        decompressor, in, static_cast<std::size_t>(inBytes), out, static_cast<std::size_t>(*outBytes), &used, &made);
    libdeflate_free_decompressor(decompressor);
    if (result != LIBDEFLATE_SUCCESS)
        return false;
    *outBytes = static_cast<int>(made);
    return true;
}
