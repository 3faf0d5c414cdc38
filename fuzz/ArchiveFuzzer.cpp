// Opening and reading any bytes as a map through the archive layer, and changing it as an
// install changes the staged copy. Properties: no crash; every failure is an ArchiveError;
// an entry that was added reads back as it was given.

#include "FuzzFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <array>
#include <string>
#include <vector>

namespace {

const std::vector<std::uint8_t> kAdded = [] {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 3000; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i * 7 % 251));
    return bytes;
}();

void ReadEverything(vornak::MapReader& map)
{
    const auto listing = map.List();
    std::size_t read = 0;
    for (const auto& name : listing.names) {
        if (++read > 16) // enough to cover every kind of entry; more only costs time
            break;
        try {
            map.ReadEntry(name);
        } catch (const vornak::ArchiveError&) {
        }
    }
    for (const char* entry : {"war3map.w3i", "war3map.j"}) {
        try {
            if (map.HasEntry(entry))
                map.ExtractEntry(entry, vornak::fuzz::ScratchFolder() / "out", true);
        } catch (const vornak::ArchiveError&) {
        }
    }
}

// The install's staged copy: the map without two entries, which come back anew.
void ChangeAsAnInstallDoes(vornak::MapSession& map)
{
    const auto added = vornak::fuzz::WriteScratch("added.j", kAdded.data(), kAdded.size());
    const std::array<std::string_view, 2> replaced = {"war3map.w3i", "war3map.j"};
    const auto staged = map.Stage(vornak::fuzz::ScratchFolder() / "copy.w3x", replaced);
    staged->Replace({{added, "war3map.w3i"}, {added, "war3map.j"}}, vornak::kStoreCompressed);
    const auto copy = staged->Save();
    if (copy->ReadEntry("war3map.j") != kAdded)
        vornak::fuzz::Broken("an added entry does not read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto map = vornak::fuzz::WriteScratch("map.w3x", data, size);
    try {
        const auto session = vornak::StormMapArchive().Open(map);
        ReadEverything(*session);
        ChangeAsAnInstallDoes(*session);
    } catch (const vornak::ArchiveError&) {
    }
    return 0;
}
