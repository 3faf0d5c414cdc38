#include "install/InstallError.h"
#include "install/MapBackup.h"

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

} // namespace
} // namespace vornak
