#pragma once

#include "TestFiles.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::test {

// Writes map archives without StormLib: an optional 512-byte "HM3W" header, then an MPQ of
// format version 1 (the version the game reads) with encrypted hash and block tables and
// the chosen entries, each stored plain or zlib-compressed per 4096-byte sector.
// It can also write broken maps for hostile-input tests; the header is not encrypted, so
// tests spoil its fields themselves (at MpqOffset() + the field's offset).
class MapBuilder {
public:
    // Ways to break the first entry's block, which is encrypted with the table.
    enum class Damage {
        None,
        EntryBeyondEnd,        // its data is said to lie past the end of the file
        EntryReachesBeyondEnd, // its stored size reaches gigabytes past the end (wrapping round in 32 bits)
    };

    MapBuilder& Hm3wHeader() { hm3w_ = true; return *this; }
    MapBuilder& Entry(std::string name, std::vector<std::uint8_t> bytes, bool compressed = false)
    {
        items_.push_back({std::move(name), std::move(bytes), compressed, {}});
        return *this;
    }
    MapBuilder& Entry(std::string name, std::string_view text) { return Entry(std::move(name), Bytes(text)); }
    MapBuilder& CompressedEntry(std::string name, std::vector<std::uint8_t> bytes)
    {
        return Entry(std::move(name), std::move(bytes), true);
    }
    MapBuilder& CompressedEntry(std::string name, std::string_view text)
    {
        return Entry(std::move(name), Bytes(text), true);
    }
    // A power of two; by default half again the entry count, at least 16.
    MapBuilder& HashTableSize(std::uint32_t size) { hashTableSize_ = size; return *this; }
    // A (listfile) naming every entry is written, stored plain, unless turned off.
    MapBuilder& ListFile(bool present) { listFile_ = present; return *this; }
    MapBuilder& CompressedListFile() { compressedList_ = true; return *this; }

    // Hostile input. Adding one name twice gives two entries of that name (no call needed).
    // The block table states `size` as the entry's unpacked size; its data stays as given.
    MapBuilder& StatedSize(std::string_view name, std::uint32_t size);
    MapBuilder& Damaged(Damage damage) { damage_ = damage; return *this; }
    // Stores the entry encrypted with its name's key; with fixKey the key also depends on its
    // place and size, as the archive library stores its own (listfile) and (attributes).
    MapBuilder& Encrypted(std::string name, bool fixKey) { encrypted_[std::move(name)] = fixKey; return *this; }
    // Damage to a compressed entry's first sector, as maps from the field carry it.
    enum class SectorDamage {
        ChecksumWrong,  // its data inflates whole; the Adler-32 check after it is wrong
        DoesNotInflate, // its first deflate block is of a type that does not exist
    };
    MapBuilder& DamagedSector(std::string name, SectorDamage damage) { sectorDamage_[std::move(name)] = damage; return *this; }
    // 512 bytes of MPQ user data (a header and zeros) before the archive, after any HM3W header.
    MapBuilder& UserData() { userData_ = true; return *this; }

    std::vector<std::uint8_t> Build() const;
    void WriteTo(const std::filesystem::path& path) const;

    // Where the MPQ starts in the built file: 512 with the HM3W header, else 0, and 512 more
    // with user data.
    std::size_t MpqOffset() const { return (hm3w_ ? 512 : 0) + (userData_ ? 512 : 0); }

private:
    struct Item {
        std::string name;
        std::vector<std::uint8_t> bytes;
        bool compressed = false;
        std::optional<std::uint32_t> statedSize;
    };

    bool hm3w_ = false;
    bool userData_ = false;
    std::map<std::string, bool> encrypted_; // name, fix key
    std::map<std::string, SectorDamage> sectorDamage_;
    std::vector<Item> items_;
    std::optional<std::uint32_t> hashTableSize_;
    bool listFile_ = true;
    bool compressedList_ = false;
    Damage damage_ = Damage::None;
};

// The camera line of the script TypicalMap stores.
inline constexpr std::string_view kTypicalCameraLine =
    "    call SetCameraBounds( -3328.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), -3584.0 + "
    "GetCameraMargin(CAMERA_MARGIN_BOTTOM), 3328.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), 3072.0 - "
    "GetCameraMargin(CAMERA_MARGIN_TOP), -3328.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), 3072.0 - "
    "GetCameraMargin(CAMERA_MARGIN_TOP), 3328.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), -3584.0 + "
    "GetCameraMargin(CAMERA_MARGIN_BOTTOM) )";

// A map as an editor leaves it, made quickly: HM3W header, war3map.j (globals, config and
// main with the camera line, CR LF line ends), war3map.w3i as given, war3map.wts,
// war3map.w3c, optionally war3map.w3u, and filler entries half compressible, half random,
// stored compressed.
struct TypicalMapOptions {
    std::vector<std::uint8_t> w3i;       // the map info entry; none when empty
    std::size_t scriptBytes = 16 * 1024; // war3map.j grows with comment lines to about this
    std::string_view cameraLine = kTypicalCameraLine; // the template's own
    std::size_t fillerBytes = 64 * 1024; // filler entries together
    std::size_t fillerEntries = 8;
    bool withW3u = true;
};
MapBuilder TypicalMap(const TypicalMapOptions& options);

// The script TypicalMap stores as war3map.j.
std::string TypicalScript(std::size_t scriptBytes, std::string_view cameraLine = kTypicalCameraLine);

// The camera line of the map MapUnlikeTheTemplates makes.
inline constexpr std::string_view kUnlikeCameraLine = "    call SetCameraBounds(-1280.0, -1536.0, 1280.0, 1024.0)";
// A typical map without war3map.w3u whose info and camera line differ from the templates', so
// that an install rewrites both; its tileset 'l' is none the game ships. With copiedWhole, an
// entry keyed by its place makes the install copy the map whole and compact the copy.
MapBuilder MapUnlikeTheTemplates(bool copiedWhole = true, std::size_t fillerBytes = 64 * 1024);

} // namespace vornak::test
