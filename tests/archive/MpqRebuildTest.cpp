// The one-pass copy of a map without some entries, on maps built for each case: a copy it
// makes must open in the archive library with every other entry as it was, the archive's own
// lists among them; a map it does not take is left for a whole copy.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

constexpr std::array<std::string_view, 2> kLeftOut = {"war3map.j", "war3map.w3i"};

MapBuilder Typical()
{
    return TypicalMap({.w3i = std::vector<std::uint8_t>(64, 7), .fillerBytes = 48 * 1024, .fillerEntries = 6});
}

struct RebuildCase {
    const char* label;
    std::function<MapBuilder()> make;
    bool rebuilt;
    // Applied to the built map through the library, which leaves its own marks.
    std::function<void(MapArchive&, const fs::path&)> change = nullptr;
};

const RebuildCase kCases[] = {
    // Every entry moves; the archive's own lists, stored plain and compressed, have keys of
    // their place and are re-encrypted.
    {"EncryptedEntries",
     [] {
         return Typical().CompressedEntry("(attributes)", std::vector<std::uint8_t>{100, 0, 0, 0, 0, 0, 0, 0})
             .Encrypted("(attributes)", true).Encrypted("(listfile)", true).Encrypted("war3mapImported\\file1.dat", false);
     },
     true},
    {"UserDataBeforeTheArchive", [] { return Typical().UserData(); }, true},
    {"NamesUnknown", [] { return Typical().ListFile(false); }, true},
    // The library leaves a deleted entry's hash slot deleted, its block free and its space unused.
    {"EntriesDeletedAndAddedByTheLibrary", Typical, true,
     [](MapArchive& archive, const fs::path& map) {
         archive.DeleteEntry(map, "war3mapImported\\file3.dat");
         archive.AddEntry(map, SourceDir() / "Data" / "war3map.w3u", "war3map.w3u", kStoreCompressed);
     }},
    // The key of its place needs its name, which only the archive's own lists have here.
    {"KeyOfItsPlaceAndANameNotKnown", [] { return Typical().Encrypted("war3mapImported\\file1.dat", true); }, false},
};

class MpqRebuild : public ::testing::TestWithParam<RebuildCase> {};

TEST_P(MpqRebuild, CopyOpensWithEveryOtherEntryAsItWas)
{
    TempDir dir;
    const auto map = dir / "map.w3x";
    const auto copy = dir / "copy.w3x";
    const MapBuilder builder = GetParam().make();
    builder.WriteTo(map);
    StormMapArchive archive;
    if (GetParam().change)
        GetParam().change(archive, map);
    const ArchiveListing before = archive.List(map, {});

    ASSERT_EQ(archive.CopyWithout(map, copy, kLeftOut, {}), GetParam().rebuilt);
    ASSERT_EQ(fs::exists(copy), GetParam().rebuilt);
    if (!GetParam().rebuilt)
        return;
    // What precedes the archive (the HM3W header, user data) is kept as it was.
    const auto original = ReadBytes(map), copied = ReadBytes(copy);
    const auto mpq = static_cast<std::ptrdiff_t>(builder.MpqOffset());
    EXPECT_TRUE(std::equal(original.begin(), original.begin() + mpq, copied.begin(), copied.begin() + mpq));
    EXPECT_EQ(archive.List(copy, {}).entryCount, before.entryCount - kLeftOut.size());
    for (const auto& name : before.names) {
        if (name == "war3map.j" || name == "war3map.w3i")
            EXPECT_FALSE(archive.HasEntry(copy, name));
        else
            EXPECT_EQ(archive.ReadEntry(copy, name), archive.ReadEntry(map, name)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Maps, MpqRebuild, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace vornak::test
