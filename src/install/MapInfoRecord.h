#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace vornak {

// The leading fields of a war3map.w3i file, up to and including the tileset byte, read
// where they really stand. The four texts vary in length and formats from 27 on put a
// game version before them, so every later field moves with them; `offsets` records
// where each one was found, so that writing puts it back in the same place.
struct MapInfoRecord {
    static constexpr std::int32_t kOldestFormat = 18;
    static constexpr std::int32_t kFirstFormatWithGameVersion = 27;

    struct Offsets {
        std::size_t texts = 0;
        std::size_t cameraBounds = 0;      // eight floats
        std::size_t cameraComplements = 0; // four int32
        std::size_t playableWidth = 0;
        std::size_t playableHeight = 0;
        std::size_t flags = 0;
        std::size_t tileset = 0;
        std::size_t end = 0; // one past the tileset byte

        friend bool operator==(const Offsets&, const Offsets&) = default;
    };

    std::int32_t formatVersion = 0;
    std::int32_t saveCount = 0;
    std::int32_t editorVersion = 0;
    std::optional<std::array<std::int32_t, 4>> gameVersion; // formats 27 and later
    // Name, author, description and recommended players, bytes as stored, without the NUL.
    std::array<std::string, 4> texts;
    std::array<float, 8> cameraBounds{};
    std::array<std::int32_t, 4> cameraComplements{};
    std::int32_t playableWidth = 0;
    std::int32_t playableHeight = 0;
    std::int32_t flags = 0;
    std::uint8_t tileset = 0;
    Offsets offsets;

    // Throws InstallError naming `source` (used for the message only) when the format is
    // older than 18, a text has no terminator, or the bytes end before the tileset.
    static MapInfoRecord Parse(std::span<const std::uint8_t> bytes, const std::filesystem::path& source);

    // Writes the camera bounds, complements, playable size and tileset at `offsets` into
    // `bytes`, which must be the file this record was parsed from; no other byte changes.
    void StoreTransferredFields(std::span<std::uint8_t> bytes) const;
};

} // namespace vornak
