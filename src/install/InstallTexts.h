#pragma once

#include <string_view>

// The installer's own words, kept exactly as users have always seen them.
namespace vornak::texts {

inline constexpr std::string_view kRequiredFileTitle = "Required File";
inline constexpr std::string_view kMissingListFile = "Can't find the required file '\\Data\\listw3m.txt'!";
inline constexpr std::string_view kMissingScript = "Can't find the required file '\\Data\\war3map.j'!";
inline constexpr std::string_view kMissingUnits = "Can't find the required file '\\Data\\war3map.w3u'!";
inline constexpr std::string_view kMissingStrings = "Can't find the required file 'war3map.wts'!";
inline constexpr std::string_view kMissingInfo = "Can't find the required file '\\Data\\war3map.w3i'!";
inline constexpr std::string_view kMissingCameras = "Can't find the required file '\\Data\\war3map.w3c'!";

inline constexpr std::string_view kTilesetProblemTitle = "Tileset Problem";
inline constexpr std::string_view kTilesetProblemText =
    "The installer has found some problems with the Tileset of the selected map. To try to fix this "
    "problem, fill the Map Description, Map Players Recommended, Map Author and Map Name fields. If the "
    "problem persists, contact us. Anyway, the MOD will be installed, so check it first.";

inline constexpr std::string_view kBackupTitle = "BackUp";
inline constexpr std::string_view kBackupDone = "BackUp Succesfully Done!";

} // namespace vornak::texts
