#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vornak {

// Reads a map's MPQ structure with our own bounds-checked code before the archive library
// is let near it. The library trusts the header and tables it finds: a hash table stated
// as gigabytes is allocated as such, a sector table longer than its entry is read past its
// buffer, an LZMA sector in an archive of the first format trips an assertion. Maps showing
// any of these are refused here.
//
// The header is found the way the library finds it: the first "MPQ\x1A" with a header size
// of at least 32 bytes at a multiple of 512 bytes from the start. A file that begins with a
// "HM3W" header is a Warcraft III map, whose archive is read as format 1 whatever its header
// says; other files must state format 1 themselves.
//
// Only what no map an editor saves can show is refused: every check names a structure that
// lies outside the file, contradicts itself, or uses something Warcraft III does not read.
// Entries stored encrypted are checked only as far as their block entry: their sector data
// needs a key that comes from a name the map may not hold.
class MpqStructureCheck {
public:
    // Whoever rewrites the archive asks for its tables as read here, decrypted.
    enum class Keep { Nothing, Tables };
    // The sectors inside entries are the costly part: every compressed entry's stored bytes are
    // read. A caller that knows them sound already, or never has them unpacked, skips them.
    enum class Sectors { Check, Skip };

    explicit MpqStructureCheck(const std::filesystem::path& map, Keep keep = Keep::Nothing,
                               Sectors sectors = Sectors::Check);

    // The archive header as found; valid when headerFound().
    struct Header {
        std::uint64_t offset = 0; // from the start of the file
        std::uint32_t size = 0;
        std::uint16_t formatVersion = 0; // 0 is the first format
        std::uint16_t sectorShift = 0;
        std::uint32_t hashTablePos = 0; // positions count from the header
        std::uint32_t blockTablePos = 0;
        std::uint32_t hashTableCount = 0;
        std::uint32_t blockTableCount = 0;
    };
    const Header& header() const { return header_; }
    // Four words an entry, as the format lays them out; filled with Keep::Tables when sound().
    const std::vector<std::uint32_t>& hashTable() const { return hashTable_; }
    const std::vector<std::uint32_t>& blockTable() const { return blockTable_; }

    // False: no MPQ header at all (not a map, or one cut before its header).
    bool headerFound() const { return headerFound_; }
    // Where the MPQ header starts in the file; valid when headerFound().
    std::uint64_t headerOffset() const { return header_.offset; }
    // Empty when the structure is sound; else what is wrong, in words for the user.
    const std::string& problem() const { return problem_; }
    bool sound() const { return headerFound_ && problem_.empty(); }
    // The problem lies in the header or tables, as map protectors leave them, not in an entry.
    bool tablesMalformed() const { return tablesMalformed_; }

    // Limits no map reaches: the library's own maximum hash table size, which also bounds
    // the block table, and sectors of 32 MiB (editors write 4 KiB, some tools 16 MiB).
    static constexpr std::uint32_t kMostTableEntries = 0x80000;
    static constexpr std::uint16_t kLargestSectorShift = 16;

private:
    void Examine(const std::filesystem::path& map, Keep keep, Sectors sectors);

    bool headerFound_ = false;
    Header header_;
    std::vector<std::uint32_t> hashTable_;
    std::vector<std::uint32_t> blockTable_;
    std::string problem_;
    bool tablesMalformed_ = false;
};

} // namespace vornak
