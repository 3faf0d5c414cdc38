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

void ReadEverything(vornak::StormMapArchive& archive, const std::filesystem::path& map)
{
    const auto listing = archive.List(map, {});
    std::size_t read = 0;
    for (const auto& name : listing.names) {
        if (++read > 16) // enough to cover every kind of entry; more only costs time
            break;
        try {
            archive.ReadEntry(map, name);
        } catch (const vornak::ArchiveError&) {
        }
    }
    for (const char* entry : {"war3map.w3i", "war3map.j"}) {
        try {
            if (archive.HasEntry(map, entry))
                archive.ExtractEntry(map, entry, vornak::fuzz::ScratchFolder() / "out", true);
        } catch (const vornak::ArchiveError&) {
        }
    }
}

void ChangeAsAnInstallDoes(vornak::StormMapArchive& archive, const std::filesystem::path& map)
{
    archive.CheckWritable(map);
    if (archive.HasEntry(map, "war3map.j"))
        archive.DeleteEntry(map, "war3map.j");
    const auto added = vornak::fuzz::WriteScratch("added.j", kAdded.data(), kAdded.size());
    archive.AddEntry(map, added, "war3map.j", vornak::kStoreCompressed);
    // The install's one-pass copy of a map without some entries, and a change of that copy.
    const auto copy = vornak::fuzz::ScratchFolder() / "copy.w3x";
    const std::array<std::string_view, 2> leftOut = {"war3map.w3i", "war3map.j"};
    if (archive.CopyWithout(map, copy, leftOut, {}))
        archive.AddEntries(copy, {{added, "war3map.w3i"}}, vornak::kStoreCompressed);
    archive.Compact(map, {});
    if (archive.ReadEntry(map, "war3map.j") != kAdded)
        vornak::fuzz::Broken("an added entry does not read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto map = vornak::fuzz::WriteScratch("map.w3x", data, size);
    vornak::StormMapArchive archive;
    try {
        ReadEverything(archive, map);
    } catch (const vornak::ArchiveError&) {
        return 0;
    }
    try {
        ChangeAsAnInstallDoes(archive, map);
    } catch (const vornak::ArchiveError&) {
    }
    return 0;
}
