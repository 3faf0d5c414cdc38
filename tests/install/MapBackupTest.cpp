#include "base/FileError.h"
#include "install/InstallError.h"
#include "base/FileOps.h"
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
    EXPECT_THROW(BackupPathFor("abc"), InstallError);
}

TEST(MapBackup, CopiesTheMapOverAnOlderBackupAndLeavesNoneWhenTheCopyFails)
{
    test::TempDir dir;
    const auto map = dir / "My Arena.w3m";
    test::WriteText(map, "map bytes \x01\x02");
    test::WriteText(dir / "My Arena_BackUp.w3m", "an older backup that is longer");
    MakeBackup(fileops::Display(map));
    EXPECT_EQ(test::ReadText(dir / "My Arena_BackUp.w3m"), "map bytes \x01\x02");
    EXPECT_EQ(test::ReadText(map), "map bytes \x01\x02");

    EXPECT_THROW(MakeBackup(fileops::Display(dir / "missing.w3m")), FileError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

} // namespace
} // namespace vornak
