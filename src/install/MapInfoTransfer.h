#pragma once

#include "install/InstallerUi.h"

#include <array>
#include <cstdint>
#include <filesystem>

namespace vornak {

// The fourteen tileset letters the game ships, in the order they are tested.
inline constexpr std::array<char, 14> KnownTilesets = {'A', 'B', 'C', 'D', 'E', 'F', 'G',
                                                       'L', 'N', 'Q', 'V', 'W', 'X', 'Y'};
// What an unknown tileset letter becomes.
inline constexpr char kFallbackTileset = 'L';

// What passes from the map's info to the template's.
struct KeptMapInfo {
    std::array<std::int32_t, 8> cameraBounds{}; // rounded half to even
    std::array<std::int32_t, 4> cameraComplements{};
    std::int32_t playableWidth = 0;
    std::int32_t playableHeight = 0;
    char tileset = kFallbackTileset;

    friend bool operator==(const KeptMapInfo&, const KeptMapInfo&) = default;
};

// Reads the map's own war3map.w3i. Warns through `warner` about a tileset letter outside
// KnownTilesets and keeps "L" for it. Throws InstallError for a file whose fields are not
// there and for a camera bound with no 32-bit integer value, naming the map `ofMap` where
// given (the file is then a scratch copy that means nothing to the user), FileError for a
// file it cannot read.
KeptMapInfo TakeMapInfo(const std::filesystem::path& mapInfo, TilesetWarner& warner, const std::string& ofMap = {});

// Writes the kept values into the template war3map.w3i; every other byte stays. The file
// holds either its old or its complete new content, whatever happens.
void WriteTemplateInfo(const std::filesystem::path& templateInfo, const KeptMapInfo& kept);

} // namespace vornak
