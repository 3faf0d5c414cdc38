#pragma once

#include "archive/MapArchive.h"

#include <filesystem>
#include <memory>

namespace vornak::wizard {

// The archive the program installs with. It knows the names in the program's list file,
// so it can enlarge a map's full hash table even where the map's own list lacks names.
std::unique_ptr<MapArchive> MakeMapArchive(const std::filesystem::path& appDir);

} // namespace vornak::wizard
