#include "archive/StormMapArchive.h"
#include "install/CameraLineTransfer.h"
#include "install/InstallProcedure.h"
#include "install/MapInfoRecord.h"
#include "install/MapInfoTransfer.h"
#include "install/StagedMapUpdate.h"

#include "RecordingInstallerUi.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <iostream>
#include <set>

namespace vornak {
namespace {
namespace fs = std::filesystem;

bool IsModEntry(const std::string& name)
{
    std::string upper = name;
    for (auto& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto entry : kModEntries) {
        std::string mod(entry);
        for (auto& c : mod)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (mod == upper)
            return true;
    }
    return false;
}

// Every real map gets the shipped modification, or is refused with its bytes untouched.
TEST(RealMapInstall, EveryRealMapInstallsOrIsRefusedUnchanged)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    const auto shipped = test::SourceDir() / "Data";
    if (!fs::is_regular_file(shipped / "war3map.w3i"))
        GTEST_SKIP() << "the modification's Data/ templates are not in this checkout";

    std::set<std::string> installed;
    std::set<std::string> refused;
    for (const auto& original : fs::directory_iterator(realmaps / "maps")) {
        const auto mapName = original.path().filename().string();
        SCOPED_TRACE(mapName);
        test::TempDir dir;
        const auto app = dir / "app";
        fs::create_directories(app);
        fs::copy(shipped, app / "Data", fs::copy_options::recursive);
        const auto map = dir / mapName;
        fs::copy_file(original.path(), map);
        fs::permissions(map, fs::perms::owner_write, fs::perm_options::add);
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
        installed.insert(mapName);

        // What the templates must now carry, read from the untouched original.
        const auto originals = dir / "original";
        archive.ExtractEntry(original.path(), "war3map.w3i", originals, true);
        archive.ExtractEntry(original.path(), "war3map.j", originals, true);
        test::RecordingInstallerUi quiet;
        const auto expectedInfo = TakeMapInfo(originals / "war3map.w3i", quiet);
        test::RecordingInstallerUi again;
        EXPECT_EQ(TakeMapInfo(app / "Data" / "war3map.w3i", again), expectedInfo);
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

    std::cout << "installed " << installed.size() << " real maps:\n";
    for (const auto& name : installed)
        std::cout << "  " << name << "\n";
    std::cout << "refused " << refused.size() << ":\n";
    for (const auto& line : refused)
        std::cout << "  " << line << "\n";
    EXPECT_GE(installed.size(), 10u);
}

} // namespace
} // namespace vornak

namespace vornak {
namespace {

// Removed entries leave holes that the archive does not reuse; compaction must keep a map
// from growing with every install.
TEST(RealMapInstall, TenInstallsLeaveTheMapNoLargerThanTheFirst)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    const auto shipped = test::SourceDir() / "Data";
    test::TempDir dir;
    const auto app = dir / "app";
    fs::create_directories(app);
    fs::copy(shipped, app / "Data", fs::copy_options::recursive);
    const auto map = dir / "Ponds.w3x";
    fs::copy_file(realmaps / "maps" / "war3net_2_Ponds_v1.4.w3x", map);
    fs::permissions(map, fs::perms::owner_write, fs::perm_options::add);

    StormMapArchive archive({app / "Data" / "listw3m.txt"});
    test::RecordingInstallerUi ui;
    InstallProcedure procedure(app, archive, ui);
    ASSERT_EQ(procedure.Run(map), InstallResult::Installed);
    const auto afterFirst = fs::file_size(map);
    for (int i = 2; i <= 10; ++i)
        ASSERT_EQ(procedure.Run(map), InstallResult::Installed) << "install " << i;
    EXPECT_EQ(fs::file_size(map), afterFirst);
}

} // namespace
} // namespace vornak
