// The sample map shipped in examples/ is made by the map builder. This test checks that
// the shipped file still holds what the builder puts in; with VORNAK_WRITE_SAMPLE=1 in the
// environment it writes the file anew first.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

class Bytes {
public:
    void U8(std::uint8_t value) { bytes_.push_back(value); }
    void U32(std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void F32(float value)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        U32(bits);
    }
    void Text(std::string_view text)
    {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

// A whole map info of format 18 for a 32 x 32 Lordaeron Summer map with two players in a
// free-for-all: the 121-byte record the installer reads, then the tables the game expects.
std::vector<std::uint8_t> SampleMapInfo()
{
    Bytes out;
    out.I32(18);   // format
    out.I32(1);    // saves
    out.I32(6052); // editor version
    for (const char* text : {"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"})
        out.Text(text);
    for (float bound : {-1280.0f, -1536.0f, 1280.0f, 1024.0f, -1280.0f, 1024.0f, 1280.0f, -1536.0f})
        out.F32(bound);
    for (std::int32_t complement : {6, 6, 4, 8})
        out.I32(complement);
    out.I32(20); // playable width
    out.I32(20); // playable height
    out.U32(0x9c10);
    out.U8('L');
    out.I32(-1); // no campaign background
    out.Text(""), out.Text(""), out.Text("");
    out.I32(-1); // no loading screen
    out.Text(""), out.Text(""), out.Text("");
    out.I32(2); // players
    for (std::int32_t player : {0, 1}) {
        out.I32(player);
        out.I32(1);      // human
        out.I32(player + 1); // human, orc
        out.I32(0);      // start position not fixed
        out.Text(player == 0 ? "TRIGSTR_005" : "TRIGSTR_006");
        out.F32(player == 0 ? -512.0f : 512.0f);
        out.F32(0.0f);
        out.U32(0), out.U32(0);
    }
    out.I32(1);      // forces
    out.U32(0);      // no allies: everyone for himself
    out.U32(0xFFFFFFFF);
    out.Text("TRIGSTR_007");
    out.I32(0), out.I32(0), out.I32(0); // upgrades, techs, random unit tables
    return out.Take();
}

TypicalMapOptions SampleOptions()
{
    TypicalMapOptions options;
    options.w3i = SampleMapInfo();
    options.cameraLine = "    call SetCameraBounds( -1280.0 + GetCameraMargin(CAMERA_MARGIN_LEFT), -1536.0 + "
                         "GetCameraMargin(CAMERA_MARGIN_BOTTOM), 1280.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), "
                         "1024.0 - GetCameraMargin(CAMERA_MARGIN_TOP), -1280.0 + "
                         "GetCameraMargin(CAMERA_MARGIN_LEFT), 1024.0 - GetCameraMargin(CAMERA_MARGIN_TOP), "
                         "1280.0 - GetCameraMargin(CAMERA_MARGIN_RIGHT), -1536.0 + "
                         "GetCameraMargin(CAMERA_MARGIN_BOTTOM) )";
    options.scriptBytes = 8 * 1024;
    options.fillerBytes = 48 * 1024;
    options.fillerEntries = 8;
    options.withW3u = false; // as in most real maps: the install adds it
    return options;
}

TEST(SampleMap, TheShippedSampleHoldsWhatTheBuilderPutsIn)
{
    const fs::path sample = SourceDir() / "examples" / "SampleMap.w3m";
    const char* write = std::getenv("VORNAK_WRITE_SAMPLE");
    if (write != nullptr && std::string(write) == "1")
        TypicalMap(SampleOptions()).Hm3wHeader("Sample Map", 2).WriteTo(sample);
    ASSERT_TRUE(fs::exists(sample)) << "run this test once with VORNAK_WRITE_SAMPLE=1";

    StormMapArchive archive;
    const auto info = archive.ReadEntry(sample, "war3map.w3i");
    EXPECT_EQ(info, SampleMapInfo());
    ASSERT_GE(info.size(), 121u);
    EXPECT_EQ(info[120], 'L');
    const auto script = archive.ReadEntry(sample, "war3map.j");
    EXPECT_EQ(std::string(script.begin(), script.end()), TypicalScript(SampleOptions()));
    EXPECT_FALSE(archive.HasEntry(sample, "war3map.w3u"));
    EXPECT_TRUE(archive.List(sample, {}).allNamesKnown);
    const auto bytes = ReadBytes(sample);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "HM3W");
    EXPECT_LT(bytes.size(), 100u * 1024u);
}

} // namespace
} // namespace vornak::test
