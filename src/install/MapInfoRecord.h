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
// where they really stand. The four texts vary in length; formats from 18 on put the save
// count and editor version before them, and from 27 on a game version too, so every later
// field moves with them. `offsets` records where each one was found, so that writing puts
// it back in the same place.
struct MapInfoRecord {
    // The early editors' formats 15 to 17 hold the same fields without the two versions;
    // older ones have no camera complements at all.
    static constexpr std::int32_t kOldestFormat = 15;
    static constexpr std::int32_t kFirstFormatWithEditorVersion = 18;
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
    std::int32_t saveCount = 0;     // formats 18 and later
    std::int32_t editorVersion = 0; // formats 18 and later
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

    // Throws InstallError when the format is older than kOldestFormat, a text has no
    // terminator, or the bytes end before the tileset. The message names the map `ofMap`
    // where the file is a map's, else the file `source` itself.
    static MapInfoRecord Parse(std::span<const std::uint8_t> bytes, const std::filesystem::path& source,
                               const std::string& ofMap = {});

    // Writes the camera bounds, complements, playable size and tileset at `offsets` into
    // `bytes`, which must be the file this record was parsed from; no other byte changes.
    void StoreTransferredFields(std::span<std::uint8_t> bytes) const;
};

} // namespace vornak
