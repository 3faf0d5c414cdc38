// Installing again into a map that already holds the modification: the map must come out
// byte for byte as large as after the first install, and that without rewriting the whole
// map (compaction costs several times a copy of it).

#include "archive/StormMapArchive.h"
#include "install/InstallProcedure.h"

#include "RecordingInstallerUi.h"
#include "RecordingMapArchive.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vornak {
namespace {
namespace fs = std::filesystem;

bool Compacted(const test::RecordingMapArchive& archive)
{
    return std::any_of(archive.calls.begin(), archive.calls.end(),
                       [](const auto& call) { return call.operation == "Compact"; });
}

TEST(Reinstall, InstallingAgainKeepsTheMapExactlyAndSkipsCompaction)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    const auto shipped = test::SourceDir() / "Data";
    if (!fs::is_regular_file(shipped / "war3map.w3i"))
        GTEST_SKIP() << "the modification's Data/ templates are not in this checkout";

    // With (attributes), which records each added file's time and checksum; one lacks war3map.w3u.
    for (const char* name : {"war3net_tft131_8_GoldRush.w3x", "wc3lib_4_WarChasers.w3m"}) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const auto app = dir / "app";
        fs::create_directories(app);
        fs::copy(shipped, app / "Data", fs::copy_options::recursive);
        const auto map = dir / name;
        fs::copy_file(realmaps / "maps" / name, map);
        fs::permissions(map, fs::perms::owner_write, fs::perm_options::add);

        StormMapArchive storm({app / "Data" / "listw3m.txt"});
        test::RecordingMapArchive archive(storm);
        test::RecordingInstallerUi ui;
        InstallProcedure procedure(app, archive, ui);
        ASSERT_EQ(procedure.Run(map), InstallResult::Installed);
        EXPECT_TRUE(Compacted(archive)) << "the first install leaves the old entries' space to reclaim";
        const auto size = fs::file_size(map);
        const auto attributes = archive.ReadEntry(map, "(attributes)");
        const auto scriptTime = fs::last_write_time(app / "Data" / "war3map.j");
        const auto infoTime = fs::last_write_time(app / "Data" / "war3map.w3i");

        for (int again = 0; again < 2; ++again) {
            archive.calls.clear();
            ASSERT_EQ(procedure.Run(map), InstallResult::Installed);
            EXPECT_FALSE(Compacted(archive));
            EXPECT_EQ(fs::file_size(map), size);
            // The templates hold this map's values already: they are not written anew, so the
            // entries added from them carry the same times (where the map records them).
            EXPECT_EQ(fs::last_write_time(app / "Data" / "war3map.j"), scriptTime);
            EXPECT_EQ(fs::last_write_time(app / "Data" / "war3map.w3i"), infoTime);
            EXPECT_EQ(archive.ReadEntry(map, "(attributes)"), attributes);
        }
    }
}

} // namespace
} // namespace vornak
