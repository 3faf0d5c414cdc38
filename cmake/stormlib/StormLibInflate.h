// Compiled into StormLib's SCompression.cpp (see StormLibPatch.cmake): every zlib stream of a
// map's sectors is inflated here instead of by StormLib's own code.
//
// Maps from the field carry zlib streams whose data is whole but whose Adler-32 check at the end
// is wrong; the game reads them, and so did StormLib before 9.31. Such a stream is taken, so the
// install reads the map's names, info and script as the game does. A stream whose data does not
// inflate is still refused.
//
// Where the build has libdeflate (VORNAK_FAST_INFLATE), it takes each stream first: it is about
// twice as fast on a map's small sectors, and it finishes only streams whose check holds.
#pragma once

#ifdef VORNAK_FAST_INFLATE
#include <libdeflate.h>
#endif

#include <cstddef>

#ifdef VORNAK_FAST_INFLATE
static bool VornakInflateFast(void* out, int* outBytes, const void* in, int inBytes)
{
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
#endif

// Returns 1 with *outBytes set to the bytes made, or 0: StormLib's own verdict for zlib streams,
// except that the check after the data is not required to hold.
static int VornakInflate(void* out, int* outBytes, void* in, int inBytes)
{
    if (inBytes < 2 || *outBytes < 0)
        return 0;
#ifdef VORNAK_FAST_INFLATE
    if (VornakInflateFast(out, outBytes, in, inBytes))
        return 1;
#endif
    // The two-byte zlib header is checked as zlib checks it: deflate, a window it can hold, a
    // header checksum that holds, and no preset dictionary (which no map sector has).
    const unsigned char* bytes = static_cast<const unsigned char*>(in);
    const unsigned method = bytes[0] & 0x0F, window = bytes[0] >> 4;
    if (method != Z_DEFLATED || window > 7 || (bytes[0] * 256u + bytes[1]) % 31 != 0 || (bytes[1] & 0x20) != 0)
        return 0;

    z_stream z{};
    z.next_in = static_cast<Bytef*>(in) + 2;
    z.avail_in = static_cast<uInt>(inBytes - 2);
    z.next_out = static_cast<Bytef*>(out);
    z.avail_out = static_cast<uInt>(*outBytes);
    // Raw deflate: the same data, without the check that follows it.
    if (inflateInit2(&z, -15) != Z_OK)
        return 0;
    const int result = inflate(&z, Z_FINISH);
    *outBytes = static_cast<int>(z.total_out);
    inflateEnd(&z);
    // As StormLib: a stream that fills the sector before its end is taken as far as the sector goes.
    return result == Z_STREAM_END || result == Z_OK;
}
