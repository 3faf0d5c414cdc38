#include "base/FileOps.h"
#include "install/InstallError.h"
#include "install/MapInfoRecord.h"
#include "install/MapInfoTransfer.h"

#include "RecordingInstallerUi.h"
#include "TestFiles.h"
#include "W3iBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace vornak::test {
namespace {

using Bounds = std::array<std::int32_t, 8>;

// The template: its own texts and values everywhere, so that a field taken from the wrong
// place or the wrong file shows.
W3iBuilder TemplateFields(std::int32_t format = 25)
{
    return {.format = format,
            .texts = {"VQ MOD", "Vornak", "TRIGSTR_014", "1-12"},
            .cameraBounds = {-1.0f, -2.0f, -3.0f, -4.0f, -5.0f, -6.0f, -7.0f, -8.0f},
            .cameraComplements = {-11, -12, -13, -14},
            .playableWidth = -15,
            .playableHeight = -16,
            .tileset = 'V'};
}

// What the template must hold after taking a map's values: only the transferred fields differ.
std::vector<std::uint8_t> Installed(W3iBuilder tmpl, const KeptMapInfo& kept)
{
    std::copy(kept.cameraBounds.begin(), kept.cameraBounds.end(), tmpl.cameraBounds.begin());
    tmpl.cameraComplements = kept.cameraComplements;
    tmpl.playableWidth = kept.playableWidth;
    tmpl.playableHeight = kept.playableHeight;
    tmpl.tileset = static_cast<std::uint8_t>(kept.tileset);
    return tmpl.Build();
}

class MapInfoTransferTest : public testing::Test {
protected:
    // Takes the map's info into the template, which must then differ in those fields only.
    KeptMapInfo Transfer(const std::vector<std::uint8_t>& map, const W3iBuilder& tmpl = TemplateFields())
    {
        WriteBytes(templateInfo, tmpl.Build());
        WriteBytes(mapInfo, map);
        const auto kept = TakeMapInfo(mapInfo, warner);
        WriteTemplateInfo(templateInfo, kept);
        EXPECT_EQ(ReadBytes(templateInfo), Installed(tmpl, kept));
        return kept;
    }

    TempDir dir;
    std::filesystem::path mapInfo = dir / "war3map_map.w3i";
    std::filesystem::path templateInfo = dir / "war3map.w3i";
    RecordingInstallerUi warner;
};

// The fields stand after four texts of any length, and after a game version block from
// format 27 on, in the map and in the template alike.
TEST_F(MapInfoTransferTest, FieldsAreFoundWhereTheyStandAndBoundsRoundHalfToEven)
{
    const std::vector<std::pair<std::array<float, 8>, Bounds>> cases = {
        {{-512.0f, 256.0f, 10.5f, 11.5f, 2.5f, -2.5f, 0.4f, -0.6f}, {-512, 256, 10, 12, 2, -2, 0, -1}},
        // -0.5 rounds to zero: the template's bytes show whether a negative zero reached it.
        {{3.5f, -3.5f, 0.5f, -0.5f, 1.5f, -1.5f, 8388607.5f, -8388605.5f}, {4, -4, 0, 0, 2, -2, 8388608, -8388606}},
        {{2.4999998f, 2.5000002f, -7.4999995f, 16777217.0f, 0.0f, -0.0f, 2147483520.0f, -2147483648.0f},
         {2, 3, -7, 16777216, 0, 0, 2147483520, std::numeric_limits<std::int32_t>::min()}},
    };
    for (const std::int32_t format : {18, 27, 33}) {
        for (const auto& [bounds, rounded] : cases) {
            SCOPED_TRACE(format);
            // With a game version block where the template has none, and the other way round.
            const W3iBuilder map{.format = format >= 27 ? 18 : 31,
                                 .texts = {"TRIGSTR_001", "A", "", "Any number of players"},
                                 .cameraBounds = bounds,
                                 .cameraComplements = {0x01020304, -1, 6, 256},
                                 .playableWidth = 0xab12};
            const auto kept = Transfer(map.Build(), TemplateFields(format));
            EXPECT_EQ(kept, (KeptMapInfo{rounded, {0x01020304, -1, 6, 256}, 0xab12, 52, 'L'}));
        }
    }
    EXPECT_TRUE(warner.events.empty());
}

TEST_F(MapInfoTransferTest, TilesetLettersOutsideTheKnownOnesWarnOnceAndBecomeL)
{
    // The fourteen the game ships, written out here so that a letter missing from the
    // installer's own list shows.
    const std::string known = "ABCDEFGLNQVWXY";
    for (const char letter : known + std::string("ly \0IZK\xff", 8)) {
        SCOPED_TRACE(static_cast<int>(letter));
        const bool isKnown = known.find(letter) != std::string::npos;
        warner.events.clear();
        EXPECT_EQ(Transfer(W3iBuilder{.tileset = static_cast<std::uint8_t>(letter)}.Build()).tileset, isKnown ? letter : 'L');
        EXPECT_EQ(warner.events.size(), isKnown ? 0u : 1u);
    }
}

TEST_F(MapInfoTransferTest, UnusableMapOrTemplateIsAClearErrorAndTheTemplateStays)
{
    struct Case {
        std::string words;
        std::vector<std::uint8_t> map, tmpl;
        bool mapAtFault = false;
    };
    const auto goodMap = W3iBuilder().Build();
    const auto goodTemplate = TemplateFields().Build();
    std::vector<Case> cases;
    const float inf = std::numeric_limits<float>::infinity();
    for (const auto& [value, words] : std::vector<std::pair<float, const char*>>{
             {std::numeric_limits<float>::quiet_NaN(), "is not a number"},
             {inf, "is plus infinity"},
             {-inf, "is minus infinity"},
             {2147483648.0f, "outside the range"},
             {-2147483904.0f, "outside the range"}}) {
        W3iBuilder map;
        map.tileset = 'z'; // the bound fails first: no warning before the error
        map.cameraBounds[5] = value;
        cases.push_back({words, map.Build(), goodTemplate, true});
    }
    cases.push_back({"format 14 is older", goodMap, TemplateFields(14).Build()});
    cases.push_back({"before its camera bounds", goodMap, {goodTemplate.begin(), goodTemplate.begin() + 100}});
    cases.push_back({"author text has no terminating zero", goodMap, {goodTemplate.begin(), goodTemplate.begin() + 22}});
    cases.push_back({"only 0 bytes", goodMap, {}});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        WriteBytes(templateInfo, c.tmpl);
        WriteBytes(mapInfo, c.map);
        try {
            WriteTemplateInfo(templateInfo, TakeMapInfo(mapInfo, warner));
            ADD_FAILURE() << "no error";
        } catch (const InstallError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(c.words), std::string::npos) << text;
            EXPECT_NE(text.find(fileops::Display(c.mapAtFault ? mapInfo : templateInfo)), std::string::npos) << text;
            EXPECT_EQ(text.find("camera bound 6") != std::string::npos, c.mapAtFault) << text;
        }
        EXPECT_EQ(ReadBytes(templateInfo), c.tmpl);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "a file left behind";
    }
    EXPECT_TRUE(warner.events.empty());

    // Cut anywhere before the tileset byte, with or without a game version block.
    for (const std::int32_t format : {18, 28}) {
        const auto builder = TemplateFields(format);
        const auto full = builder.Build();
        const std::size_t end = full.size() - builder.trailing.size();
        for (std::size_t size = 0; size < end; ++size)
            EXPECT_THROW(MapInfoRecord::Parse({full.data(), size}, "x"), InstallError) << format << ", " << size;
        EXPECT_NO_THROW(MapInfoRecord::Parse({full.data(), end}, "x"));
    }
}

} // namespace
} // namespace vornak::test
