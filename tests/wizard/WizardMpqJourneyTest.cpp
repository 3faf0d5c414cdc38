// The whole journey into a real MPQ map, built for the test, through the real archive layer.
// It joins the suite by itself once the archive layer and the map builder are in the tree.
#if __has_include("MapBuilder.h") && __has_include("archive/StormMapArchive.h")

#include "MapBuilder.h"
#include "W3iBuilder.h"
#include "WizardFixture.h"
#include "archive/StormMapArchive.h"

namespace vornak::wizard::test {
namespace {

TEST_F(WizardTest, InstallsIntoABuiltMpqMapThroughTheRealArchiveLayer)
{
    WriteTemplates();
    const std::filesystem::path map = appDir / "maps" / "Built.w3m";
    std::filesystem::create_directories(map.parent_path());
    vornak::test::W3iBuilder info;
    vornak::test::MapBuilder()
        .Hm3wHeader()
        .CompressedEntry("war3map.w3i", info.Build())
        .CompressedEntry("war3map.j", "function main takes nothing returns nothing\r\n"
                                      "    call SetCameraBounds(1.0, 2.0, 3.0, 4.0, 1.0, 4.0, 3.0, 2.0)\r\n"
                                      "endfunction\r\n")
        .Entry("war3map.w3e", "terrain")
        .WriteTo(map);
    StormMapArchive storm;
    ASSERT_TRUE(Start(storm));
    GoToBackupPage(map);
    ClickVisible(Button("Command2"));

    for (const auto& box : boxes.shown)
        ADD_FAILURE() << box.title.toStdString() << ": " << box.text.toStdString();
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_EQ(RowState(), "0001");
    const auto units = storm.ReadEntry(map, "war3map.w3u");
    EXPECT_EQ(std::string(units.begin(), units.end()), "template units");
    const auto terrain = storm.ReadEntry(map, "war3map.w3e");
    EXPECT_EQ(std::string(terrain.begin(), terrain.end()), "terrain");
}

} // namespace
} // namespace vornak::wizard::test

#endif
