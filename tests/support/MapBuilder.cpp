#include "MapBuilder.h"

#include "W3iBuilder.h"
#include "archive/MpqCipher.h"
#include "archive/MpqFormat.h"
#include "base/LittleEndian.h"

#include <zlib.h>

#include <algorithm>
#include <random>
#include <span>
#include <stdexcept>
#include <utility>

namespace vornak::test {
namespace {
using namespace std::string_view_literals;
using mpq::HashKind;
using mpq::HashName;

constexpr std::uint16_t kSectorShift = 3; // sectors of 512 << 3 = 4096 bytes
constexpr std::size_t kSectorSize = 512u << kSectorShift;

// Consecutive 32-bit words from `at` on.
void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::initializer_list<std::size_t> words)
{
    for (const std::size_t word : words)
        le::WriteUint32(out, std::exchange(at, at + 4), static_cast<std::uint32_t>(word));
}

// The entry's data as stored: a sector offset table, then each sector zlib-compressed
// behind its one-byte method mask (2), or left raw where compressing does not pay.
std::vector<std::uint8_t> CompressSectors(const std::vector<std::uint8_t>& bytes,
                                          std::optional<MapBuilder::SectorDamage> damage)
{
    const std::size_t sectors = (bytes.size() + kSectorSize - 1) / kSectorSize;
    std::vector<std::uint8_t> out((sectors + 1) * 4);
    for (std::size_t s = 0; s < sectors; ++s) {
        le::WriteUint32(out, s * 4, static_cast<std::uint32_t>(out.size()));
        const auto* sector = bytes.data() + s * kSectorSize;
        const auto length = static_cast<uLong>(std::min(kSectorSize, bytes.size() - s * kSectorSize));
        uLongf packedSize = compressBound(length);
        std::vector<std::uint8_t> packed(packedSize + 1, 2);
        if (compress2(packed.data() + 1, &packedSize, sector, length, 6) != Z_OK)
            throw std::runtime_error("MapBuilder: zlib failed");
        if (s == 0 && damage == MapBuilder::SectorDamage::ChecksumWrong)
            packed[packedSize] ^= 1; // the last byte of the check
        if (s == 0 && damage == MapBuilder::SectorDamage::DoesNotInflate)
            packed[3] |= 6; // block type 3, after the mask and the two-byte zlib header
        if (packedSize + 1 < length || (s == 0 && damage))
            out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize + 1));
        else
            out.insert(out.end(), sector, sector + length);
    }
    le::WriteUint32(out, sectors * 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

} // namespace

MapBuilder& MapBuilder::StatedSize(std::string_view name, std::uint32_t size)
{
    for (Item& item : items_)
        if (item.name == name)
            item.statedSize = size;
    return *this;
}

std::vector<std::uint8_t> MapBuilder::Build() const
{
    std::vector<Item> items = items_;
    if (listFile_) {
        std::string names;
        for (const Item& item : items_)
            names += item.name + "\r\n";
        items.push_back({"(listfile)", Bytes(names), compressedList_, {}});
    }
    std::uint32_t hashSize = hashTableSize_.value_or(16);
    while (!hashTableSize_ && hashSize < items.size() + items.size() / 2)
        hashSize *= 2;

    std::vector<std::uint8_t> out;
    if (hm3w_) {
        const std::string_view name = "HM3W\0\0\0\0Just another Warcraft III map\0\0\0\0\0\4"sv;
        out.assign(mpq::kHeaderAlignment, 0);
        std::copy(name.begin(), name.end(), out.begin()); // after the name, map flags and 4 players
    }
    if (userData_) { // the bytes of user data, and where the archive header is
        out.resize(out.size() + mpq::kHeaderAlignment);
        Put32(out, out.size() - mpq::kHeaderAlignment, {mpq::kUserDataId, mpq::kHeaderAlignment - 16, mpq::kHeaderAlignment});
    }
    const std::size_t mpq = out.size();
    out.resize(mpq + mpq::kHeaderSize);

    // Entry data, then the block table records where each one went.
    std::vector<std::uint8_t> blocks(items.size() * mpq::kEntryBytes);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        const auto position = static_cast<std::uint32_t>(out.size() - mpq);
        const bool compressed = item.compressed && !item.bytes.empty();
        const auto damage = sectorDamage_.find(item.name);
        const auto stored = compressed ? CompressSectors(item.bytes, damage == sectorDamage_.end()
                                                                         ? std::nullopt
                                                                         : std::optional(damage->second))
                                       : item.bytes;
        out.insert(out.end(), stored.begin(), stored.end());
        const std::uint32_t size = item.statedSize.value_or(static_cast<std::uint32_t>(item.bytes.size()));
        std::uint32_t flags = mpq::kFileExists | (compressed ? mpq::kFileCompress : 0u);
        if (const auto secret = encrypted_.find(item.name); secret != encrypted_.end()) {
            // A compressed entry's sector table takes the key less one; sector s the key plus s.
            std::uint32_t key = HashName(item.name.substr(item.name.rfind('\\') + 1), HashKind::FileKey);
            key = secret->second ? (key + position) ^ size : key;
            const std::span<std::uint8_t> data(out.data() + mpq + position, stored.size());
            const std::uint32_t sectors = static_cast<std::uint32_t>((size + kSectorSize - 1) / kSectorSize);
            std::vector<std::size_t> starts; // of each sector, then the end
            for (std::uint32_t s = 0; s <= sectors; ++s)
                starts.push_back(compressed ? le::ReadUint32(data, s * 4) : std::min<std::size_t>(s * kSectorSize, size));
            if (compressed)
                mpq::EncryptTable(data.first(starts[0]), key - 1);
            for (std::uint32_t s = 0; s < sectors; ++s)
                mpq::EncryptTable(data.subspan(starts[s], starts[s + 1] - starts[s]), key + s);
            flags |= mpq::kFileEncrypted | (secret->second ? mpq::kFileFixKey : 0u);
        }
        const bool first = i == 0;
        Put32(blocks, i * mpq::kEntryBytes,
              {first && damage_ == Damage::EntryBeyondEnd ? 0x7FFF0000u : position,
               first && damage_ == Damage::EntryReachesBeyondEnd ? 0xFFFFFFF0u
                   : item.statedSize && !compressed                ? size
                                                                   : stored.size(),
               size, flags});
    }

    // Each name in the first free slot from its hash on; neutral locale, any platform.
    std::vector<std::uint8_t> hashes(hashSize * mpq::kEntryBytes, 0xFF);
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::uint32_t slot = HashName(items[i].name, HashKind::TableOffset) & (hashSize - 1);
        while (le::ReadUint32(hashes, slot * mpq::kEntryBytes + 12) != mpq::kFreeSlot)
            slot = (slot + 1) & (hashSize - 1);
        Put32(hashes, slot * mpq::kEntryBytes,
              {HashName(items[i].name, HashKind::NameA), HashName(items[i].name, HashKind::NameB), 0, i});
    }
    mpq::EncryptTable(hashes, HashName("(hash table)", HashKind::FileKey));
    mpq::EncryptTable(blocks, HashName("(block table)", HashKind::FileKey));

    // Format 1 with its sector size, then where each table is and its entries.
    const std::size_t tables = out.size() - mpq;
    Put32(out, mpq, {mpq::kMpqId, mpq::kHeaderSize, tables + hashes.size() + blocks.size(), std::size_t{kSectorShift} << 16,
                     tables, tables + hashes.size(), hashSize, items.size()});
    out.insert(out.end(), hashes.begin(), hashes.end());
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

void MapBuilder::WriteTo(const std::filesystem::path& path) const
{
    WriteBytes(path, Build());
}

std::string TypicalScript(std::size_t scriptBytes, std::string_view cameraLine)
{
    std::string script = "// Map script\r\n\r\nglobals\r\n    rect gg_rct_Start = null\r\nendglobals\r\n\r\n";
    // Comment lines stand in for a big map's triggers.
    for (std::size_t line = 0; script.size() + 512 < scriptBytes; ++line)
        script += "// trigger text " + std::to_string(line) + std::string(60, '.') + "\r\n";
    script += "function config takes nothing returns nothing\r\n    call SetPlayers( 1 )\r\nendfunction\r\n\r\n";
    return script + "function main takes nothing returns nothing\r\n" + std::string(cameraLine) +
        "\r\n    call InitGlobals(  )\r\nendfunction\r\n";
}

MapBuilder TypicalMap(const TypicalMapOptions& options)
{
    MapBuilder builder;
    builder.Hm3wHeader().CompressedEntry("war3map.j", TypicalScript(options.scriptBytes, options.cameraLine));
    if (!options.w3i.empty())
        builder.Entry("war3map.w3i", options.w3i);
    builder.CompressedEntry("war3map.wts", "STRING 1\r\n{\r\nJust another map\r\n}\r\n");
    builder.Entry("war3map.w3c", std::vector<std::uint8_t>(8, 0)); // format 0, no cameras
    if (options.withW3u)
        builder.Entry("war3map.w3u", std::vector<std::uint8_t>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});

    std::mt19937 random(1);
    const std::size_t count = std::max<std::size_t>(options.fillerEntries, 1);
    for (std::size_t i = 0; i < count; ++i) {
        std::vector<std::uint8_t> bytes(options.fillerBytes / count);
        // Terrain-like runs of few values, which compress well, or random bytes, which do not.
        for (std::size_t b = 0; b < bytes.size(); ++b)
            bytes[b] = static_cast<std::uint8_t>(i % 2 == 0 ? b / 64 + random() % 4 : random());
        builder.CompressedEntry(i == 0 ? "war3map.w3e" : "war3mapImported\\file" + std::to_string(i) + ".dat",
                                std::move(bytes));
    }
    return builder;
}

MapBuilder MapUnlikeTheTemplates(bool copiedWhole, std::size_t fillerBytes)
{
    const W3iBuilder info{.texts = {"A much longer map name than twelve bytes", "Someone", "", "1-4"},
                          .cameraBounds = {-1280.5f, -1536.0f, 1280.0f, 1024.0f, -1280.0f, 1024.0f, 1280.0f, -1536.0f},
                          .cameraComplements = {1, 2, 3, 4},
                          .playableWidth = 20,
                          .playableHeight = 18,
                          .tileset = 'l'};
    MapBuilder map = TypicalMap({.w3i = info.Build(),
                                 .cameraLine = kUnlikeCameraLine,
                                 .fillerBytes = fillerBytes,
                                 .fillerEntries = std::max<std::size_t>(8, fillerBytes / (128 * 1024)),
                                 .withW3u = false});
    if (copiedWhole)
        map.Entry("war3map.doo", std::vector<std::uint8_t>(3000, 7)).Encrypted("war3map.doo", true);
    return map;
}

} // namespace vornak::test
