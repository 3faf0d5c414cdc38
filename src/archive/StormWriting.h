#pragma once

// Changes of a map's entries through StormLib, made safe against what hostile maps hold.
#include "archive/MapArchive.h"
#include "archive/StormFailure.h"

#include <StormLib.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vornak::storm {

// A hostile map may hold one name twice; an entry is gone only when every copy is.
void RemoveEveryCopy(HANDLE archive, const std::string& entry, const Where& where);

// Adds the entry from its file, growing a full hash table with the help of the lists of names.
void Add(HANDLE archive, const std::filesystem::path& map, const NewEntry& added, DWORD flags,
         const std::vector<std::filesystem::path>& lists, const Where& where);

} // namespace vornak::storm
