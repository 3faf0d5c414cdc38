#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vornak {

// The backup of a map: its path without the last four characters, then "_BackUp.w3m".
// mapPath is UTF-8; characters, not bytes, are counted. Throws InstallError for a path
// of fewer than four characters.
std::string BackupPathFor(std::string_view mapPath);

// Copies the map to its backup path, replacing an older backup. Throws InstallError.
void MakeBackup(std::string_view mapPath);

} // namespace vornak
