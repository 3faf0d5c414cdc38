#pragma once

#include <filesystem>
#include <string_view>

namespace vornak {

// Removes what an interrupted install or backup (a power cut, a killed program) left beside the
// map under the program's own names for it: `wanted` ("<map>.vqinstall", "<backup>.part") and
// its numbered forms ("<map>.2.vqinstall"), each with `companionSuffix` too (the compaction's
// ".tmp"). Only files that hold a map, or nothing, as ours always do; a file of that name with
// anything else in it is the user's and stays, as does one another program holds. Never throws.
void RemoveLeftovers(const std::filesystem::path& wanted, std::string_view companionSuffix = {}) noexcept;

} // namespace vornak
