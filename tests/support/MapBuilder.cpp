#include "MapBuilder.h"

#include "archive/MpqCipher.h"
#include "base/LittleEndian.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <span>
#include <stdexcept>

namespace vornak::test {
namespace {

constexpr std::size_t kHm3wSize = 512;
constexpr std::uint32_t kMpqHeaderSize = 32;
constexpr std::uint16_t kSectorShift = 3; // sectors of 512 << 3 = 4096 bytes
constexpr std::size_t kSectorSize = 512u << kSectorShift;

constexpr std::uint32_t kFileExists = 0x80000000u;
constexpr std::uint32_t kFileCompress = 0x00000200u;
constexpr std::uint32_t kFileEncrypted = 0x00010000u;
constexpr std::uint32_t kFileFixKey = 0x00020000u;
constexpr std::uint8_t kZlibMask = 0x02;

// Little-endian writes into a byte buffer; the buffer must already be large enough.
void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value)
{
    if (at + 2 > out.size())
        throw std::out_of_range("MapBuilder: 16-bit field beyond the buffer");
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value)
{
    if (at + 4 > out.size())
        throw std::out_of_range("MapBuilder: 32-bit field beyond the buffer");
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.resize(out.size() + 4);
    PutU32(out, out.size() - 4, value);
}

using mpq::EncryptTable;
using mpq::HashKind;
using mpq::HashName;

// The entry's data as stored: a sector offset table, then each sector zlib-compressed
// behind its one-byte method mask, or left raw where compressing does not pay.
std::vector<std::uint8_t> CompressSectors(const std::vector<std::uint8_t>& bytes)
{
    const std::size_t sectors = (bytes.size() + kSectorSize - 1) / kSectorSize;
    std::vector<std::uint8_t> out((sectors + 1) * 4);
    for (std::size_t s = 0; s < sectors; ++s) {
        PutU32(out, s * 4, static_cast<std::uint32_t>(out.size()));
        const std::size_t begin = s * kSectorSize;
        const std::size_t length = std::min(kSectorSize, bytes.size() - begin);
        uLongf packedSize = compressBound(static_cast<uLong>(length));
        std::vector<std::uint8_t> packed(packedSize);
        if (compress2(packed.data(), &packedSize, bytes.data() + begin, static_cast<uLong>(length), 6) != Z_OK)
            throw std::runtime_error("MapBuilder: zlib failed");
        if (packedSize + 1 < length) {
            out.push_back(kZlibMask);
            out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
        } else {
            out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                       bytes.begin() + static_cast<std::ptrdiff_t>(begin + length));
        }
    }
    PutU32(out, sectors * 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

} // namespace

MapBuilder& MapBuilder::Hm3wHeader(std::string mapName, std::uint32_t maxPlayers)
{
    hm3w_ = true;
    hm3wName_ = std::move(mapName);
    hm3wPlayers_ = maxPlayers;
    return *this;
}

MapBuilder& MapBuilder::Entry(std::string name, std::vector<std::uint8_t> bytes)
{
    items_.push_back({std::move(name), std::move(bytes), false, std::nullopt});
    return *this;
}

MapBuilder& MapBuilder::Entry(std::string name, std::string_view text)
{
    return Entry(std::move(name), Bytes(text));
}

MapBuilder& MapBuilder::CompressedEntry(std::string name, std::vector<std::uint8_t> bytes)
{
    items_.push_back({std::move(name), std::move(bytes), true, std::nullopt});
    return *this;
}

MapBuilder& MapBuilder::CompressedEntry(std::string name, std::string_view text)
{
    return CompressedEntry(std::move(name), Bytes(text));
}

MapBuilder& MapBuilder::HashTableSize(std::uint32_t size)
{
    if (size == 0 || (size & (size - 1)) != 0)
        throw std::invalid_argument("MapBuilder: the hash table size must be a power of two");
    hashTableSize_ = size;
    return *this;
}

MapBuilder& MapBuilder::ListFile(bool present)
{
    listFile_ = present;
    return *this;
}

MapBuilder& MapBuilder::StatedSize(std::string_view name, std::uint32_t size)
{
    for (Item& item : items_)
        if (item.name == name)
            item.statedSize = size;
    return *this;
}

MapBuilder& MapBuilder::Encrypted(std::string name, bool fixKey)
{
    encrypted_[std::move(name)] = fixKey;
    return *this;
}

MapBuilder& MapBuilder::UserData()
{
    userData_ = true;
    return *this;
}

MapBuilder& MapBuilder::Damaged(Damage damage)
{
    damage_ = damage;
    return *this;
}

std::vector<std::uint8_t> MapBuilder::Build() const
{
    std::vector<Item> items = items_;
    if (listFile_) {
        std::string names;
        for (const Item& item : items_)
            names += item.name + "\r\n";
        items.push_back({"(listfile)", Bytes(names), false, std::nullopt});
    }

    std::uint32_t hashSize = 16;
    if (hashTableSize_)
        hashSize = *hashTableSize_;
    else
        while (hashSize < items.size() + items.size() / 2)
            hashSize *= 2;
    if (items.size() > hashSize)
        throw std::invalid_argument("MapBuilder: more entries than hash table slots");

    std::vector<std::uint8_t> out;
    if (hm3w_) {
        out.assign(kHm3wSize, 0);
        out[0] = 'H', out[1] = 'M', out[2] = '3', out[3] = 'W';
        const std::size_t nameLength = std::min<std::size_t>(hm3wName_.size(), kHm3wSize - 32);
        std::copy_n(hm3wName_.begin(), nameLength, out.begin() + 8);
        PutU32(out, 8 + nameLength + 1, 0); // map flags
        PutU32(out, 8 + nameLength + 5, hm3wPlayers_);
    }
    if (userData_) {
        const std::size_t at = out.size();
        out.resize(at + 512);
        out[at] = 'M', out[at + 1] = 'P', out[at + 2] = 'Q', out[at + 3] = 0x1B;
        PutU32(out, at + 4, 512 - 16); // bytes of user data
        PutU32(out, at + 8, 512);      // where the archive header is
    }
    const std::size_t mpq = out.size();
    out.resize(mpq + kMpqHeaderSize);

    // Entry data, then the block table records where each one went.
    std::vector<std::uint8_t> blocks;
    for (const Item& item : items) {
        const auto position = static_cast<std::uint32_t>(out.size() - mpq);
        std::uint32_t flags = kFileExists;
        if (item.compressed && !item.bytes.empty()) {
            const auto stored = CompressSectors(item.bytes);
            out.insert(out.end(), stored.begin(), stored.end());
            flags |= kFileCompress;
        } else {
            out.insert(out.end(), item.bytes.begin(), item.bytes.end());
        }
        const auto storedSize = static_cast<std::uint32_t>(out.size() - mpq - position);
        const std::uint32_t size = item.statedSize.value_or(static_cast<std::uint32_t>(item.bytes.size()));
        if (const auto secret = encrypted_.find(item.name); secret != encrypted_.end()) {
            // A compressed entry's sector table takes the key less one; sector s the key plus s.
            std::uint32_t key = HashName(item.name.substr(item.name.rfind('\\') + 1), HashKind::FileKey);
            key = secret->second ? (key + position) ^ size : key;
            const std::span<std::uint8_t> stored(out.data() + mpq + position, storedSize);
            const bool table = (flags & kFileCompress) != 0;
            const std::uint32_t sectors = (size + kSectorSize - 1) / kSectorSize;
            std::vector<std::size_t> starts; // of each sector, then the end
            for (std::uint32_t s = 0; s <= sectors; ++s)
                starts.push_back(table ? le::ReadUint32(stored, s * 4) : std::min<std::size_t>(s * kSectorSize, size));
            if (table)
                EncryptTable(stored.first(starts[0]), key - 1);
            for (std::uint32_t s = 0; s < sectors; ++s)
                EncryptTable(stored.subspan(starts[s], starts[s + 1] - starts[s]), key + s);
            flags |= kFileEncrypted | (secret->second ? kFileFixKey : 0);
        }
        const bool misplaced = damage_ == Damage::EntryBeyondEnd && blocks.empty();
        const bool overlong = damage_ == Damage::EntryReachesBeyondEnd && blocks.empty();
        AppendU32(blocks, misplaced ? 0x7FFF0000u : position);
        AppendU32(blocks, overlong ? 0xFFFFFFF0u : item.statedSize && !item.compressed ? size : storedSize);
        AppendU32(blocks, size);
        AppendU32(blocks, flags);
    }

    std::vector<std::uint8_t> hashes(hashSize * 16, 0xFF);
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::uint32_t slot = HashName(items[i].name, HashKind::TableOffset) & (hashSize - 1);
        while (hashes[slot * 16 + 12] != 0xFF || hashes[slot * 16 + 13] != 0xFF || hashes[slot * 16 + 14] != 0xFF ||
               hashes[slot * 16 + 15] != 0xFF)
            slot = (slot + 1) & (hashSize - 1);
        PutU32(hashes, slot * 16, HashName(items[i].name, HashKind::NameA));
        PutU32(hashes, slot * 16 + 4, HashName(items[i].name, HashKind::NameB));
        PutU16(hashes, slot * 16 + 8, 0); // neutral locale
        PutU16(hashes, slot * 16 + 10, 0);
        PutU32(hashes, slot * 16 + 12, static_cast<std::uint32_t>(i));
    }
    EncryptTable(hashes, HashName("(hash table)", HashKind::FileKey));
    EncryptTable(blocks, HashName("(block table)", HashKind::FileKey));

    auto hashOffset = static_cast<std::uint32_t>(out.size() - mpq);
    out.insert(out.end(), hashes.begin(), hashes.end());
    auto blockOffset = static_cast<std::uint32_t>(out.size() - mpq);
    out.insert(out.end(), blocks.begin(), blocks.end());
    const auto archiveSize = static_cast<std::uint32_t>(out.size() - mpq);

    std::uint32_t headerSize = kMpqHeaderSize;
    switch (damage_) {
    case Damage::None: break;
    case Damage::HashTableBeyondEnd: hashOffset = archiveSize + 0x10000; break;
    case Damage::BlockTableBeyondEnd: blockOffset = archiveSize + 0x10000; break;
    case Damage::BogusHeaderSize: headerSize = 0x5A41C953; break;
    case Damage::EntryBeyondEnd: break; // placed in the block table above
    case Damage::EntryReachesBeyondEnd: break;
    }

    out[mpq] = 'M', out[mpq + 1] = 'P', out[mpq + 2] = 'Q', out[mpq + 3] = 0x1A;
    PutU32(out, mpq + 4, headerSize);
    PutU32(out, mpq + 8, archiveSize);
    PutU16(out, mpq + 12, 0); // format version 1
    PutU16(out, mpq + 14, kSectorShift);
    PutU32(out, mpq + 16, hashOffset);
    PutU32(out, mpq + 20, blockOffset);
    PutU32(out, mpq + 24, hashSize);
    PutU32(out, mpq + 28, static_cast<std::uint32_t>(items.size()));
    return out;
}

void MapBuilder::WriteTo(const std::filesystem::path& path) const
{
    const auto bytes = Build();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("MapBuilder: cannot write " + path.string());
}

std::string TypicalScript(const TypicalMapOptions& options)
{
    const std::string& eol = options.lineEnd;
    std::string script;
    script += "//===========================================================================" + eol;
    script += "// Map script" + eol;
    script += "//===========================================================================" + eol + eol;
    script += "globals" + eol + "    // Generated" + eol + "    rect gg_rct_Start = null" + eol + "endglobals" + eol + eol;
    script += "function InitGlobals takes nothing returns nothing" + eol + "endfunction" + eol + eol;
    // Comment lines stand in for a big map's triggers.
    std::size_t line = 0;
    while (script.size() + 1024 < options.scriptBytes)
        script += "// trigger text " + std::to_string(line++) + std::string(60, '.') + eol;
    script += "function config takes nothing returns nothing" + eol;
    script += "    call SetMapName( \"TRIGSTR_001\" )" + eol;
    script += "    call SetMapDescription( \"TRIGSTR_003\" )" + eol;
    script += "    call SetPlayers( 1 )" + eol + "    call SetTeams( 1 )" + eol;
    script += "    call DefineStartLocation( 0, 0.0, 0.0 )" + eol + "endfunction" + eol + eol;
    script += "function main takes nothing returns nothing" + eol;
    script += options.cameraLine + eol;
    script += "    call SetDayNightModels( \"Environment\\\\DNC\\\\DNCLordaeron\\\\DNCLordaeronTerrain\\\\"
              "DNCLordaeronTerrain.mdl\", \"Environment\\\\DNC\\\\DNCLordaeron\\\\DNCLordaeronUnit\\\\"
              "DNCLordaeronUnit.mdl\" )" + eol;
    script += "    call InitGlobals(  )" + eol + "endfunction" + eol;
    return script;
}

MapBuilder TypicalMap(const TypicalMapOptions& options)
{
    MapBuilder builder;
    builder.Hm3wHeader();
    std::mt19937 random(options.seed);

    builder.CompressedEntry("war3map.j", TypicalScript(options));
    if (!options.w3i.empty())
        builder.Entry("war3map.w3i", options.w3i);
    builder.CompressedEntry("war3map.wts", "STRING 1\r\n{\r\nJust another map\r\n}\r\n\r\nSTRING 3\r\n{\r\n"
                                           "Nondescript\r\n}\r\n");
    std::vector<std::uint8_t> cameras(8, 0); // format 0, no cameras
    builder.Entry("war3map.w3c", cameras);
    if (options.withW3u) {
        std::vector<std::uint8_t> units(12, 0);
        units[0] = 2; // format 2, no original and no custom units
        builder.Entry("war3map.w3u", units);
    }

    static const char* const kTerrainNames[] = {"war3map.w3e", "war3map.shd", "war3map.wpm", "war3map.doo",
                                                 "war3mapUnits.doo", "war3map.mmp", "war3mapMap.blp",
                                                 "war3map.w3r"};
    const std::size_t count = std::max<std::size_t>(options.fillerEntries, 1);
    const std::size_t each = options.fillerBytes / count;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = i < std::size(kTerrainNames)
                                     ? kTerrainNames[i]
                                     : "war3mapImported\\file" + std::to_string(i) + ".dat";
        std::vector<std::uint8_t> bytes(each);
        if (i % 2 == 0) {
            // Terrain-like: long runs of few values, which compress well.
            for (std::size_t b = 0; b < each; ++b)
                bytes[b] = static_cast<std::uint8_t>((b / 64 + random() % 4) & 0xFF);
        } else {
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
        }
        builder.CompressedEntry(name, std::move(bytes));
    }
    return builder;
}

} // namespace vornak::test
