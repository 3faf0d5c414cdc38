#pragma once

#include <cstdint>

// The MPQ format as Warcraft III maps use it (the first format), for the code that reads or
// writes an archive's header and tables without the archive library: the structure check, the
// one-pass rebuild, and the tests' map builder.
namespace vornak::mpq {

inline constexpr std::uint32_t kMpqId = 0x1A51504D;         // "MPQ\x1A", the archive header
inline constexpr std::uint32_t kUserDataId = 0x1B51504D;    // "MPQ\x1B", user data before it
inline constexpr std::uint32_t kWarcraftMapId = 0x57334D48; // "HM3W", a map's own header
inline constexpr std::uint64_t kHeaderAlignment = 512;      // where an archive header may start
inline constexpr std::uint32_t kHeaderSize = 32;            // the first format's; later ones add to it
inline constexpr std::uint32_t kEntryWords = 4;             // a hash or block entry: four 32-bit words
inline constexpr std::uint32_t kEntryBytes = kEntryWords * 4;

// A block entry's flags.
inline constexpr std::uint32_t kFileImplode = 0x00000100;
inline constexpr std::uint32_t kFileCompress = 0x00000200;
inline constexpr std::uint32_t kFileEncrypted = 0x00010000;
inline constexpr std::uint32_t kFileFixKey = 0x00020000; // the key also depends on its place and size
inline constexpr std::uint32_t kFileSingleUnit = 0x01000000;
inline constexpr std::uint32_t kFileDeleteMarker = 0x02000000;
inline constexpr std::uint32_t kFileSectorCrc = 0x04000000;
inline constexpr std::uint32_t kFileSignature = 0x10000000;
inline constexpr std::uint32_t kFileExists = 0x80000000;

// A hash entry's block index where it names no entry.
inline constexpr std::uint32_t kFreeSlot = 0xFFFFFFFF;
inline constexpr std::uint32_t kDeletedSlot = 0xFFFFFFFE;

} // namespace vornak::mpq
