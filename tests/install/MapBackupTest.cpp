#include "install/InstallError.h"
#include "install/FileOps.h"
#include "install/MapBackup.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace vornak {
namespace {

TEST(MapBackup, DropsExactlyTheLastFourCharacters)
{
    EXPECT_EQ(BackupPathFor("C:\\Maps\\Arena.w3m"), "C:\\Maps\\Arena_BackUp.w3m");
    EXPECT_EQ(BackupPathFor("C:\\Maps\\Arena.w3x"), "C:\\Maps\\Arena_BackUp.w3m");
    EXPECT_EQ(BackupPathFor("C:\\Maps\\Arena.mp"), "C:\\Maps\\Aren_BackUp.w3m");
    EXPECT_EQ(BackupPathFor(".w3m"), "_BackUp.w3m");
    // Characters, not bytes: a cut inside a Cyrillic letter would make an unusable name.
    EXPECT_EQ(BackupPathFor("/maps/Арена.мп"), "/maps/Арен_BackUp.w3m");
    EXPECT_EQ(BackupPathFor("/maps/地图.w3m"), "/maps/地图_BackUp.w3m");
}

TEST(MapBackup, PathTooShortIsAClearError)
{
    try {
        BackupPathFor("abc");
        FAIL() << "no error";
    } catch (const InstallError& e) {
        EXPECT_NE(std::string(e.what()).find("too short"), std::string::npos) << e.what();
    }
}

TEST(MapBackup, CopiesTheMapAndReplacesAnOlderBackup)
{
    test::TempDir dir;
    const auto map = dir / "My Arena.w3m";
    test::WriteText(map, "map bytes \x01\x02");
    test::WriteText(dir / "My Arena_BackUp.w3m", "an older backup that is longer");

    MakeBackup(fileops::Display(map));

    EXPECT_EQ(test::ReadText(dir / "My Arena_BackUp.w3m"), "map bytes \x01\x02");
    EXPECT_EQ(test::ReadText(map), "map bytes \x01\x02");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(MapBackup, FailedCopyLeavesNoBackupBehind)
{
    test::TempDir dir;
    EXPECT_THROW(MakeBackup(fileops::Display(dir / "missing.w3m")), InstallError);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
} // namespace vornak
