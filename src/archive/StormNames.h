#pragma once

// What the archive layer knows of a map's entries by name: the names it teaches StormLib, the
// entries as StormLib lists them, and the map's own (listfile).
#include "archive/MapArchive.h"
#include "archive/StormFailure.h"

#include <StormLib.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vornak::storm {

// The (listfile)'s text, or nothing where the archive holds none or it does not read.
std::optional<std::vector<std::uint8_t>> ReadListFile(HANDLE archive, const Where& where);

// The archive's lists of names: its (listfile), the given lists and the names probed. Returns
// the (listfile)'s text as ReadListFile does.
std::optional<std::vector<std::uint8_t>> LearnNames(HANDLE archive, const std::vector<std::filesystem::path>& lists,
                                                    const Where& where);

// One entry as the archive's tables describe it.
struct Found {
    std::string name;
    bool known = false; // false: StormLib gave it a stand-in name
    DWORD size = 0;
    DWORD storedSize = 0;
    DWORD block = 0; // its place in the block table
    DWORD flags = 0;
};

std::vector<Found> Scan(HANDLE archive, const Where& where);
ArchiveListing Enumerate(const std::vector<Found>& entries);
// The (listfile) among the entries, with its text as LearnNames read it.
ListFileState DescribeListFile(const std::vector<Found>& entries, const std::optional<std::vector<std::uint8_t>>& text);
// The map's own list names what was added: the names it lacks are added to its text.
void NameInListFile(HANDLE archive, const std::vector<NewEntry>& added, const Where& where);
// Why the map has no entry of that name, in words for the user.
std::string MissingEntryReason(HANDLE archive, const std::string& entry);

} // namespace vornak::storm
