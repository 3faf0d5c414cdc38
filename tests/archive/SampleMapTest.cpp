// The sample map shipped in examples/ is made by the map builder. This test checks that
// the shipped file still holds what the builder puts in; with VORNAK_WRITE_SAMPLE=1 in the
// environment it writes the file anew first.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "W3iBuilder.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

// A whole map info of format 18 for a 32 x 32 Lordaeron Summer map with two players in a
// free-for-all: the record the installer reads, then the tables the game expects.
std::vector<std::uint8_t> SampleMapInfo()
{
    std::vector<std::uint8_t> tail;
    const auto i32 = [&](std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            tail.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    const auto text = [&](std::string_view value) {
        tail.insert(tail.end(), value.begin(), value.end());
        tail.push_back(0);
    };
    for (int screen = 0; screen < 2; ++screen) { // no campaign background, no loading screen
        i32(0xFFFFFFFF);
        text(""), text(""), text("");
    }
    i32(2); // players: human and orc, start positions not fixed
    for (std::uint32_t player : {0u, 1u}) {
        i32(player), i32(1), i32(player + 1), i32(0);
        text(player == 0 ? "TRIGSTR_005" : "TRIGSTR_006");
        i32(std::bit_cast<std::uint32_t>(player == 0 ? -512.0f : 512.0f)), i32(0), i32(0), i32(0);
    }
    i32(1), i32(0), i32(0xFFFFFFFF); // one force, no allies: everyone for himself
    text("TRIGSTR_007");
    i32(0), i32(0), i32(0); // upgrades, techs, random unit tables

    W3iBuilder info;
    info.format = 18;
    info.saveCount = 1;
    info.texts = {"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"};
    info.cameraBounds = {-1280.0f, -1536.0f, 1280.0f, 1024.0f, -1280.0f, 1024.0f, 1280.0f, -1536.0f};
    info.playableWidth = info.playableHeight = 20;
    info.flags = 0x9c10;
    info.trailing = tail;
    return info.Build();
}

TypicalMapOptions SampleOptions()
{
    TypicalMapOptions options;
    options.w3i = SampleMapInfo();
    const auto margin = [](const char* side) { return std::string("GetCameraMargin(CAMERA_MARGIN_") + side + ")"; };
    options.cameraLine = "    call SetCameraBounds( -1280.0 + " + margin("LEFT") + ", -1536.0 + " + margin("BOTTOM") +
                         ", 1280.0 - " + margin("RIGHT") + ", 1024.0 - " + margin("TOP") + ", -1280.0 + " +
                         margin("LEFT") + ", 1024.0 - " + margin("TOP") + ", 1280.0 - " + margin("RIGHT") +
                         ", -1536.0 + " + margin("BOTTOM") + " )";
    options.scriptBytes = 8 * 1024;
    options.fillerBytes = 48 * 1024;
    options.withW3u = false; // as in most real maps: the install adds it
    return options;
}

TEST(SampleMap, TheShippedSampleHoldsWhatTheBuilderPutsIn)
{
    const fs::path sample = SourceDir() / "examples" / "SampleMap.w3m";
    if (const char* write = std::getenv("VORNAK_WRITE_SAMPLE"); write != nullptr && std::string(write) == "1")
        TypicalMap(SampleOptions()).Hm3wHeader("Sample Map", 2).WriteTo(sample);
    ASSERT_TRUE(fs::exists(sample)) << "run this test once with VORNAK_WRITE_SAMPLE=1";

    StormMapArchive archive;
    EXPECT_EQ(archive.ReadEntry(sample, "war3map.w3i"), SampleMapInfo());
    const auto script = archive.ReadEntry(sample, "war3map.j");
    EXPECT_EQ(std::string(script.begin(), script.end()), TypicalScript(SampleOptions()));
    EXPECT_FALSE(archive.HasEntry(sample, "war3map.w3u"));
    EXPECT_TRUE(archive.List(sample, {}).allNamesKnown);
    EXPECT_EQ(ReadText(sample).substr(0, 4), "HM3W");
}

} // namespace
} // namespace vornak::test
