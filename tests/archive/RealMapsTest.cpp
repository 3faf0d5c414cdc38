// Each archive operation on copies of real maps. The whole install into every real map is
// tested in tests/install; here: what single operations do that it does not look at.
#include "TestFiles.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

TEST(RealMaps, EachOperationKeepsTheHeaderOrTheProtectedMapIsRefusedUntouched)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    TempDir dir;
    WriteText(dir / "info", "template info\r\n");
    std::set<std::string> refused;
    bool signedMapChanged = false;
    StormMapArchive archive;
    for (const auto& item : fs::directory_iterator(realmaps / "maps")) {
        const std::string name = item.path().filename().string();
        SCOPED_TRACE(name);
        const fs::path map = dir / name;
        fs::copy_file(item.path(), map, fs::copy_options::overwrite_existing);
        fs::permissions(map, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
        const auto before = ReadBytes(map);

        try {
            archive.CheckWritable(map);
        } catch (const ArchiveError& error) {
            refused.insert(name);
            std::cout << "[ refused  ] " << name << ": " << error.reason() << "\n";
            EXPECT_THROW(archive.DeleteEntry(map, "war3map.w3i"), ArchiveError);
            EXPECT_THROW(archive.AddEntry(map, dir / "info", "war3map.w3u", kStoreCompressed), ArchiveError);
            EXPECT_THROW(archive.Compact(map, {}), ArchiveError);
            EXPECT_EQ(ReadBytes(map), before);
            // Its tables reach past its end, so reading it is refused too.
            EXPECT_THROW(archive.ReadEntry(map, "war3map.w3i"), ArchiveError);
            continue;
        }
        EXPECT_EQ(ReadBytes(map), before) << "opening for changes alone altered the map";

        // The map's own spelling is lower case; other spellings name the same entry.
        const auto listing = archive.List(map, {});
        archive.ExtractEntry(map, "WAR3MAP.W3I", dir / "temp", kCreateFolder);
        EXPECT_EQ(ReadBytes(dir / "temp" / "WAR3MAP.W3I"), archive.ReadEntry(map, "war3map.w3i"));
        fs::remove_all(dir / "temp");
        archive.DeleteEntry(map, "War3Map.W3I");
        EXPECT_FALSE(archive.HasEntry(map, "war3map.w3i"));
        archive.AddEntry(map, dir / "info", "war3map.W3i", kStoreCompressed);
        archive.AddEntry(map, dir / "info", "WAR3MAP.W3I", kStoreCompressed);
        EXPECT_EQ(archive.ReadEntry(map, "war3map.w3i"), ReadBytes(dir / "info"));
        EXPECT_EQ(archive.List(map, {}).entryCount, listing.entryCount);
        signedMapChanged |= archive.HasEntry(map, "(signature)");

        const auto sizeBefore = fs::file_size(map);
        EXPECT_EQ(archive.Compact(map, {}), listing.allNamesKnown);
        EXPECT_LE(fs::file_size(map), sizeBefore);
        EXPECT_EQ(archive.ReadEntry(map, "war3map.w3i"), ReadBytes(dir / "info"));
        if (std::string(before.begin(), before.begin() + 4) == "HM3W") {
            const auto after = ReadBytes(map);
            EXPECT_TRUE(std::equal(before.begin(), before.begin() + 512, after.begin())) << "HM3W header changed";
        }
    }
    // Only the map whose tables StormLib flags as malformed is protected.
    EXPECT_EQ(refused, (std::set<std::string>{"war3net_JurassicParkSurvivalEE_v6.4.w3x"}));
    // Closing a changed map with a weak (signature) re-signs it, which crashed before the
    // big-number provider was set.
    EXPECT_TRUE(signedMapChanged);
}

} // namespace
} // namespace vornak::test
