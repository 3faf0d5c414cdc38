#include "archive/MpqStructureCheck.h"

#include "archive/MpqCipher.h"
#include "archive/MpqFormat.h"
#include "base/LittleEndian.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

namespace vornak {
namespace fs = std::filesystem;

namespace {

using namespace mpq;
constexpr std::size_t kTableEntrySize = kEntryBytes;

// Every flag a map's entry may carry. Patch entries (raw data behind a patch header) belong
// to game patch archives only.
constexpr std::uint32_t kKnownFlags = kFileImplode | kFileCompress | kFileEncrypted | kFileFixKey | kFileSingleUnit |
                                      kFileDeleteMarker | kFileSectorCrc | kFileSignature | kFileExists;
constexpr std::uint32_t kAnyCompression = 0x0000FF00;
// The one compression mask the first format's decompressor cannot take: it stops the
// library with a failed assertion.
constexpr std::uint8_t kLzmaMask = 0x12;

// The reason a map is refused; caught in Examine.
struct Damaged {
    std::string reason;
    bool inTables = false;
};

[[noreturn]] void Refuse(std::string reason)
{
    throw Damaged{std::move(reason)};
}

// Map protectors garble the header and tables on purpose (the game reads past what they
// break); an entry's own data is never garbled that way, so only these count as protection.
[[noreturn]] void RefuseTables(std::string reason)
{
    throw Damaged{std::move(reason), true};
}

std::string Hex(std::uint64_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return "0x" + text;
}

// The map file, read at given offsets; nothing is read past its end.
class MapFile {
public:
    explicit MapFile(const fs::path& path)
        : in_(path, std::ios::binary)
    {
        std::error_code ec;
        size_ = fs::file_size(path, ec);
        if (ec || !in_)
            Refuse("the map file cannot be read");
    }

    std::uint64_t size() const { return size_; }

    // Up to `count` bytes from `offset`, fewer where the file ends first.
    std::vector<std::uint8_t> ReadSome(std::uint64_t offset, std::size_t count)
    {
        if (offset >= size_)
            return {};
        const auto available = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - offset));
        std::vector<std::uint8_t> bytes(available);
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(available));
        if (!in_)
            Refuse("the map file cannot be read");
        return bytes;
    }

    // Exactly `count` bytes that the caller has checked lie inside the file.
    std::vector<std::uint8_t> Read(std::uint64_t offset, std::size_t count)
    {
        auto bytes = ReadSome(offset, count);
        if (bytes.size() != count)
            Refuse("the map file ends before " + Hex(offset + count));
        return bytes;
    }

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

std::vector<std::uint32_t> Decrypt(std::vector<std::uint8_t> bytes, std::uint32_t key)
{
    mpq::DecryptTable(bytes, key);
    std::vector<std::uint32_t> words(bytes.size() / 4);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = le::ReadUint32(bytes, i * 4);
    return words;
}

using Header = MpqStructureCheck::Header;

// A table must lie wholly inside the file. The library reads a table that runs past the end
// as if zeros followed, and decrypts those zeros into entries of random places and flags; a
// table stated larger than any file is allocated at its stated size before anything else.
void RequireTableInside(const MapFile& file, const Header& header, std::uint32_t position, std::uint32_t entries,
                        const char* what)
{
    const std::uint64_t begin = header.offset + position;
    const std::uint64_t length = std::uint64_t{entries} * kTableEntrySize;
    if (begin + length > file.size())
        RefuseTables(std::string(what) + " (" + std::to_string(length) + " bytes at " + Hex(begin) +
               ") reaches past the end of the file (" + std::to_string(file.size()) + " bytes)");
}

struct Block {
    std::uint32_t index = 0;
    std::uint32_t position = 0;
    std::uint32_t storedSize = 0;
    std::uint32_t size = 0;
    std::uint32_t flags = 0;
};

std::string Describe(const Block& block)
{
    return "entry " + std::to_string(block.index);
}

// A compressed entry stored in sectors begins with a table of where each sector starts; the
// library reads that table, and every sector it points to, without checking them against
// the entry. An unencrypted table can be checked here, and the compression of each sector.
void CheckSectors(MapFile& file, const Header& header, const Block& block)
{
    const std::uint64_t sectorSize = std::uint64_t{512} << header.sectorShift;
    const std::uint64_t sectors = (block.size - std::uint64_t{1}) / sectorSize + 1;
    const std::uint64_t tableLength = (sectors + 1 + ((block.flags & kFileSectorCrc) != 0 ? 1 : 0)) * 4;
    if (tableLength > block.storedSize)
        Refuse(Describe(block) + " states " + std::to_string(block.size) + " bytes, whose table of sectors alone (" +
               std::to_string(tableLength) + " bytes) is larger than the " + std::to_string(block.storedSize) +
               " bytes it occupies");
    if ((block.flags & kFileEncrypted) != 0)
        return; // its key comes from its name

    const std::uint64_t data = header.offset + block.position;
    const auto table = file.Read(data, static_cast<std::size_t>((sectors + 1) * 4));
    if (le::ReadUint32(table, 0) != tableLength)
        Refuse(Describe(block) + "'s table of sectors states its own length as " + std::to_string(le::ReadUint32(table, 0)) +
               " bytes instead of " + std::to_string(tableLength));
    // The sectors' first bytes are read through a window that moves on through the entry,
    // so a large entry costs one pass over its stored bytes, not a read per sector.
    constexpr std::size_t kWindow = 1 << 20;
    std::vector<std::uint8_t> window;
    std::uint64_t windowBegin = 0;
    for (std::uint64_t s = 0; s < sectors; ++s) {
        const std::uint32_t begin = le::ReadUint32(table, static_cast<std::size_t>(s * 4));
        const std::uint32_t end = le::ReadUint32(table, static_cast<std::size_t>(s * 4 + 4));
        if (end <= begin || end > block.storedSize)
            Refuse(Describe(block) + "'s sector " + std::to_string(s) + " lies outside the entry (" + Hex(begin) +
                   " to " + Hex(end) + " of " + Hex(block.storedSize) + ")");
        const std::uint64_t content = std::min<std::uint64_t>(sectorSize, block.size - s * sectorSize);
        // A sector stored as long as its content is stored raw; a shorter one begins with
        // the mask of the methods it was compressed with (imploded entries have no mask).
        if ((block.flags & kFileCompress) != 0 && end - begin < content) {
            if (begin < windowBegin || begin >= windowBegin + window.size()) {
                windowBegin = begin;
                window = file.Read(data + begin, std::min<std::size_t>(kWindow, block.storedSize - begin));
            }
            if (window[begin - windowBegin] == kLzmaMask)
                Refuse(Describe(block) + "'s sector " + std::to_string(s) +
                       " is compressed with LZMA, which maps of this archive format cannot hold");
        }
    }
}

void CheckBlock(MapFile& file, const Header& header, const Block& block, MpqStructureCheck::Sectors sectors)
{
    if ((block.flags & kFileExists) == 0)
        return; // a free slot: the library never reads what it says
    if ((block.flags & ~kKnownFlags) != 0)
        Refuse(Describe(block) + " carries unknown flags (" + Hex(block.flags) + ")");
    if (header.offset + block.position + block.storedSize > file.size())
        Refuse(Describe(block) + " (" + std::to_string(block.storedSize) + " bytes at " +
               Hex(header.offset + block.position) + ") reaches past the end of the file (" +
               std::to_string(file.size()) + " bytes)");
    if ((block.flags & kAnyCompression) != 0 && (block.flags & kFileSingleUnit) == 0 && block.size != 0 &&
        sectors == MpqStructureCheck::Sectors::Check)
        CheckSectors(file, header, block);
}

// The first header candidate, searched as the library searches; nothing when there is none.
std::optional<Header> FindHeader(MapFile& file)
{
    const auto start = file.ReadSome(0, 8);
    const bool warcraftMap = start.size() == 8 && le::ReadUint32(start, 0) == kWarcraftMapId && le::ReadUint32(start, 4) == 0;
    for (std::uint64_t offset = 0; offset < file.size(); offset += kHeaderAlignment) {
        const auto bytes = file.ReadSome(offset, kHeaderSize);
        if (bytes.size() < 8)
            break;
        const std::uint32_t id = le::ReadUint32(bytes, 0);
        // Warcraft III ignores user data in front of a map's archive; the library follows it
        // to an archive of its choosing, which would not be the one the game plays.
        if (id == kUserDataId && !warcraftMap)
            RefuseTables("its archive is preceded by MPQ user data, which no Warcraft III map carries");
        if (id != kMpqId || le::ReadUint32(bytes, 4) < kHeaderSize)
            continue;
        if (bytes.size() < kHeaderSize)
            RefuseTables("its archive header is cut short by the end of the file");
        // Later formats (64-bit positions, extended tables) are other games' archives; in a
        // Warcraft III map the library reads the header as the first format whatever it says.
        if (!warcraftMap && le::ReadUint16(bytes, 12) != 0)
            RefuseTables("its archive states format " + std::to_string(le::ReadUint16(bytes, 12) + 1) +
                   ", which Warcraft III maps do not use");
        Header header;
        header.offset = offset;
        header.size = le::ReadUint32(bytes, 4);
        header.formatVersion = le::ReadUint16(bytes, 12);
        header.sectorShift = le::ReadUint16(bytes, 14);
        header.hashTablePos = le::ReadUint32(bytes, 16);
        header.blockTablePos = le::ReadUint32(bytes, 20);
        header.hashTableCount = le::ReadUint32(bytes, 24);
        header.blockTableCount = le::ReadUint32(bytes, 28);
        return header;
    }
    return std::nullopt;
}

} // namespace

MpqStructureCheck::MpqStructureCheck(const fs::path& map, Keep keep, Sectors sectors)
{
    try {
        Examine(map, keep, sectors);
    } catch (const Damaged& damaged) {
        problem_ = damaged.reason;
        tablesMalformed_ = damaged.inTables;
        hashTable_.clear();
        blockTable_.clear();
    }
}

void MpqStructureCheck::Examine(const fs::path& map, Keep keep, Sectors sectors)
{
    MapFile file(map);
    const std::optional<Header> found = FindHeader(file);
    if (!found)
        return;
    headerFound_ = true;
    header_ = *found;
    const Header& header = header_;

    // Sector sizes are 512 bytes shifted left; the library allocates one sector per read.
    if (header.sectorShift > kLargestSectorShift)
        RefuseTables("its archive states sectors of 512 << " + std::to_string(header.sectorShift) + " bytes");
    const std::uint32_t hashes = header.hashTableCount;
    if (hashes == 0 || (hashes & (hashes - 1)) != 0 || hashes > kMostTableEntries)
        RefuseTables("its hash table states " + std::to_string(hashes) + " entries instead of a power of two up to " +
               std::to_string(kMostTableEntries));
    if (header.blockTableCount > kMostTableEntries)
        RefuseTables("its block table states " + std::to_string(header.blockTableCount) + " entries, more than " +
               std::to_string(kMostTableEntries));
    RequireTableInside(file, header, header.hashTablePos, hashes, "its hash table");
    RequireTableInside(file, header, header.blockTablePos, header.blockTableCount, "its block table");
    const auto blockBytes = file.Read(header.offset + header.blockTablePos,
                                      std::size_t{header.blockTableCount} * kTableEntrySize);
    auto words = Decrypt(blockBytes, mpq::HashName("(block table)", mpq::HashKind::FileKey));
    for (std::uint32_t i = 0; i < header.blockTableCount; ++i) {
        const Block block{i, words[i * 4], words[i * 4 + 1], words[i * 4 + 2], words[i * 4 + 3]};
        CheckBlock(file, header, block, sectors);
    }
    if (keep == Keep::Tables) {
        blockTable_ = std::move(words);
        hashTable_ = Decrypt(file.Read(header.offset + header.hashTablePos, std::size_t{hashes} * kTableEntrySize),
                             mpq::HashName("(hash table)", mpq::HashKind::FileKey));
    }
}

} // namespace vornak
