#include "archive/StormMapArchive.h"
#include "install/CameraLineTransfer.h"
#include "install/InstallProcedure.h"
#include "install/MapInfoRecord.h"
#include "install/MapInfoTransfer.h"
#include "install/StagedMapUpdate.h"

#include "RecordingInstallerUi.h"
#include "RecordingMapArchive.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

namespace vornak {
namespace {
namespace fs = std::filesystem;

bool IsModEntry(const std::string& name)
{
    const auto upper = [](char c) { return std::toupper(static_cast<unsigned char>(c)); };
    return std::any_of(kModEntries.begin(), kModEntries.end(),
                       [&](std::string_view mod) { return std::ranges::equal(mod, name, {}, upper, upper); });
}

// The shipped templates in an app folder, and a writable copy of a real map beside it.
fs::path PrepareInstall(const fs::path& realMap, const test::TempDir& dir)
{
    fs::create_directories(dir / "app");
    fs::copy(test::SourceDir() / "Data", dir / "app" / "Data", fs::copy_options::recursive);
    const auto map = dir / realMap.filename().string();
    fs::copy_file(realMap, map);
    fs::permissions(map, fs::perms::owner_write, fs::perm_options::add);
    return map;
}

// Every real map gets the shipped modification, or is refused with its bytes untouched.
TEST(RealMapInstall, EveryRealMapInstallsOrIsRefusedUnchanged)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    std::size_t installed = 0;
    std::set<std::string> refused;
    for (const auto& original : fs::directory_iterator(realmaps / "maps")) {
        const auto mapName = original.path().filename().string();
        SCOPED_TRACE(mapName);
        test::TempDir dir;
        const auto app = dir / "app";
        const auto map = PrepareInstall(original.path(), dir);
        const auto before = test::ReadBytes(map);
        const std::vector<fs::path> lists = {app / "Data" / "listw3m.txt"};

        StormMapArchive archive(lists);
        test::RecordingInstallerUi ui;
        InstallProcedure procedure(app, archive, ui);
        ArchiveListing listing;
        try {
            // A map whose structure is refused cannot even be listed.
            listing = archive.List(map, lists);
            ASSERT_EQ(procedure.Run(map), InstallResult::Installed);
        } catch (const std::exception& e) {
            refused.insert(mapName + ": " + e.what());
            EXPECT_EQ(test::ReadBytes(map), before);
            EXPECT_FALSE(fs::exists(StagedMapUpdate::StagedPathFor(map)));
            continue;
        }
        ++installed;

        // What the templates must now carry, read from the untouched original.
        const auto originals = dir / "original";
        archive.ExtractEntry(original.path(), "war3map.w3i", originals, true);
        archive.ExtractEntry(original.path(), "war3map.j", originals, true);
        test::RecordingInstallerUi quiet;
        EXPECT_EQ(TakeMapInfo(app / "Data" / "war3map.w3i", quiet), TakeMapInfo(originals / "war3map.w3i", quiet));
        const auto cameraLine = FindCameraLine(originals / "war3map.j");
        EXPECT_FALSE(cameraLine.empty());
        EXPECT_EQ(FindCameraLine(app / "Data" / "war3map.j"), cameraLine);

        for (const auto entry : kModEntries)
            EXPECT_EQ(archive.ReadEntry(map, std::string(entry)), test::ReadBytes(app / "Data" / entry)) << entry;
        for (const auto& name : listing.names) {
            if (IsModEntry(name) || name == "(listfile)" || name == "(attributes)" || name == "(signature)")
                continue;
            EXPECT_EQ(archive.ReadEntry(map, name), archive.ReadEntry(original.path(), name)) << name;
        }
        EXPECT_GE(archive.List(map, lists).entryCount, listing.entryCount);
        EXPECT_FALSE(fs::exists(StagedMapUpdate::StagedPathFor(map)));
    }

    std::cout << "installed " << installed << " real maps, refused " << refused.size() << ":\n";
    for (const auto& line : refused)
        std::cout << "  " << line << "\n";
    EXPECT_GE(installed, 10u);
}

// Installing again into a map that already holds the modification: the map must come out
// byte for byte as large as after the first install. No install of these maps needs the
// library's compaction (several times the cost of a copy): the staged map is written without
// the old entries in one pass.
TEST(RealMapInstall, InstallingAgainKeepsTheMapExactlyAndSkipsCompaction)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    const auto compacted = [](const test::RecordingMapArchive& archive) {
        return std::any_of(archive.calls.begin(), archive.calls.end(),
                           [](const auto& call) { return call.operation == "Compact"; });
    };
    // With (attributes), which records each added file's time and checksum; one lacks war3map.w3u.
    for (const char* name : {"war3net_tft131_8_GoldRush.w3x", "wc3lib_4_WarChasers.w3m"}) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const auto map = PrepareInstall(realmaps / "maps" / name, dir);
        const auto data = dir / "app" / "Data";
        StormMapArchive storm({data / "listw3m.txt"});
        test::RecordingMapArchive archive(storm);
        test::RecordingInstallerUi ui;
        InstallProcedure procedure(dir / "app", archive, ui);
        ASSERT_EQ(procedure.Run(map), InstallResult::Installed);
        EXPECT_FALSE(compacted(archive));
        const auto size = fs::file_size(map);
        const auto attributes = archive.ReadEntry(map, "(attributes)");
        const auto scriptTime = fs::last_write_time(data / "war3map.j");
        const auto infoTime = fs::last_write_time(data / "war3map.w3i");

        for (int again = 0; again < 2; ++again) {
            archive.calls.clear();
            ASSERT_EQ(procedure.Run(map), InstallResult::Installed);
            EXPECT_FALSE(compacted(archive));
            EXPECT_EQ(fs::file_size(map), size);
            // The templates hold this map's values already: they are not written anew, so the
            // entries added from them carry the same times (where the map records them).
            EXPECT_EQ(fs::last_write_time(data / "war3map.j"), scriptTime);
            EXPECT_EQ(fs::last_write_time(data / "war3map.w3i"), infoTime);
            EXPECT_EQ(archive.ReadEntry(map, "(attributes)"), attributes);
        }
    }
}

} // namespace
} // namespace vornak
