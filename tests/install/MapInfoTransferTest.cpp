#include "base/FileOps.h"
#include "base/FileError.h"
#include "install/InstallError.h"
#include "install/MapInfoRecord.h"
#include "install/MapInfoTransfer.h"

#include "TestFiles.h"
#include "W3iBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace vornak {
namespace {

using test::W3iBuilder;
using Bytes = std::vector<std::uint8_t>;

class RecordingWarner : public TilesetWarner {
public:
    int warnings = 0;
    void WarnTilesetProblem() override { ++warnings; }
};

// The template: its own format, text lengths and values everywhere, so that a field taken
// from the wrong place or from the wrong file shows.
W3iBuilder TemplateFields()
{
    W3iBuilder w;
    w.saveCount = 2759;
    w.texts = {"VQ MOD", "Vornak", "TRIGSTR_014", "1-12"};
    w.cameraBounds = {-1.0f, -2.0f, -3.0f, -4.0f, -5.0f, -6.0f, -7.0f, -8.0f};
    w.cameraComplements = {-11, -12, -13, -14};
    w.playableWidth = -15;
    w.playableHeight = -16;
    w.flags = 0x0001e478;
    w.tileset = 'V';
    w.trailing = {0x01, 0x00, 0x00, 0x00, 'X', 0x00, 0xff, 0x10, 0x20, 0x30};
    return w;
}

// What the template must hold after taking a map's values: only the transferred fields differ.
Bytes Installed(W3iBuilder tmpl, const KeptMapInfo& kept)
{
    for (std::size_t i = 0; i < 8; ++i)
        tmpl.cameraBounds[i] = static_cast<float>(kept.cameraBounds[i]);
    tmpl.cameraComplements = kept.cameraComplements;
    tmpl.playableWidth = kept.playableWidth;
    tmpl.playableHeight = kept.playableHeight;
    tmpl.tileset = static_cast<std::uint8_t>(kept.tileset);
    return tmpl.Build();
}

class MapInfoTransferTest : public testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path mapInfo = dir / "war3map_map.w3i";
    std::filesystem::path templateInfo = dir / "war3map.w3i";
    RecordingWarner warner;

    KeptMapInfo Transfer(const Bytes& map, const W3iBuilder& tmpl = TemplateFields())
    {
        test::WriteBytes(templateInfo, tmpl.Build());
        test::WriteBytes(mapInfo, map);
        const auto kept = TakeMapInfo(mapInfo, warner);
        WriteTemplateInfo(templateInfo, kept);
        return kept;
    }
};

TEST_F(MapInfoTransferTest, BoundsAreRoundedHalfToEvenAndWrittenAsFloats)
{
    using Bounds = std::array<std::int32_t, 8>;
    const std::vector<std::pair<std::array<float, 8>, Bounds>> cases = {
        {{-512.0f, 256.0f, 10.5f, 11.5f, 2.5f, -2.5f, 0.4f, -0.6f}, {-512, 256, 10, 12, 2, -2, 0, -1}},
        // -0.5 rounds to zero: the byte comparison below shows a negative zero reaching the template.
        {{3.5f, -3.5f, 0.5f, -0.5f, 1.5f, -1.5f, 8388607.5f, -8388605.5f}, {4, -4, 0, 0, 2, -2, 8388608, -8388606}},
        {{2.4999998f, 2.5000002f, -7.4999995f, 16777217.0f, 0.0f, -0.0f, 2147483520.0f, -2147483648.0f},
         {2, 3, -7, 16777216, 0, 0, 2147483520, std::numeric_limits<std::int32_t>::min()}},
    };
    for (const auto& [bounds, rounded] : cases) {
        W3iBuilder map;
        map.cameraBounds = bounds;
        const auto kept = Transfer(map.Build());
        EXPECT_EQ(kept.cameraBounds, rounded);
        EXPECT_EQ(test::ReadBytes(templateInfo), Installed(TemplateFields(), kept));
    }
    EXPECT_EQ(warner.warnings, 0);
}

// The fields stand after four texts of any length, and after a game version block from
// format 27 on, in the map and in the template alike. The map is written byte by byte here,
// with no help from the builder; every template byte but the transferred fields stays.
TEST_F(MapInfoTransferTest, FieldsAreReadAndWrittenWhereTheyStandAsLittleEndian)
{
    Bytes map = {18, 0, 0, 0, 2, 0, 0, 0, 0xab, 0x17, 0, 0};
    for (const char* text : {"TRIGSTR_001", "A", "", "Any number of players"})
        map.insert(map.end(), text, text + std::char_traits<char>::length(text) + 1);
    const Bytes fields = {
        0x00, 0x00, 0x40, 0xc4, 0x00, 0x00, 0x80, 0x44, 0x00, 0x00, 0x20, 0x40, 0x00, 0x00, 0x60, 0x40, // -768 1024 2.5 3.5
        0x00, 0x00, 0x20, 0xc0, 0x00, 0x00, 0xc0, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x60, 0x6d, 0x46, // -2.5 1.5 0 15192
        0x04, 0x03, 0x02, 0x01, 0xff, 0xff, 0xff, 0xff, 0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, // complements
        0x12, 0xab, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x10, 0x9c, 0x00, 0x00, 'Y', 0xee, 0xee};       // w h flags tileset
    map.insert(map.end(), fields.begin(), fields.end());

    for (const std::int32_t templateFormat : {18, 26, 27, 33}) {
        SCOPED_TRACE(templateFormat);
        auto tmpl = TemplateFields();
        tmpl.format = templateFormat;
        const auto kept = Transfer(map, tmpl);
        EXPECT_EQ(kept.cameraBounds, (std::array<std::int32_t, 8>{-768, 1024, 2, 4, -2, 2, 0, 15192}));
        EXPECT_EQ(kept.cameraComplements, (std::array<std::int32_t, 4>{0x01020304, -1, 6, 256}));
        EXPECT_EQ(kept.playableWidth, 0xab12);
        EXPECT_EQ(kept.playableHeight, 52);
        EXPECT_EQ(kept.tileset, 'Y');
        EXPECT_EQ(test::ReadBytes(templateInfo), Installed(tmpl, kept));
    }
}

TEST_F(MapInfoTransferTest, TilesetLettersOutsideTheKnownOnesWarnOnceAndBecomeL)
{
    Bytes letters(KnownTilesets.begin(), KnownTilesets.end());
    letters.insert(letters.end(), {'l', 'y', ' ', '\0', 'I', 'Z', 'K', 0xff});
    for (const std::uint8_t letter : letters) {
        SCOPED_TRACE(static_cast<int>(letter));
        const bool known = std::find(KnownTilesets.begin(), KnownTilesets.end(), letter) != KnownTilesets.end();
        W3iBuilder map;
        map.tileset = letter;
        map.playableWidth = 77; // the rest is taken all the same
        warner.warnings = 0;
        const auto kept = Transfer(map.Build());
        EXPECT_EQ(warner.warnings, known ? 0 : 1);
        EXPECT_EQ(kept.tileset, known ? static_cast<char>(letter) : 'L');
        EXPECT_EQ(kept.playableWidth, 77);
        EXPECT_EQ(test::ReadBytes(templateInfo), Installed(TemplateFields(), kept));
    }
}

TEST_F(MapInfoTransferTest, UnusableMapOrTemplateIsAClearErrorAndTheTemplateStays)
{
    struct Case {
        std::string words;
        Bytes map, tmpl;
        bool mapAtFault;
    };
    const Bytes goodMap = W3iBuilder().Build();
    const Bytes goodTemplate = TemplateFields().Build();
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
    auto old = TemplateFields();
    old.format = 14;
    cases.push_back({"format 14 is older", goodMap, old.Build(), false});
    cases.push_back({"before its camera bounds", goodMap, Bytes(goodTemplate.begin(), goodTemplate.begin() + 100), false});
    cases.push_back({"author text has no terminating zero byte", goodMap,
                     Bytes(goodTemplate.begin(), goodTemplate.begin() + 22), false});
    cases.push_back({"only 0 bytes", goodMap, {}, false});

    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        test::WriteBytes(templateInfo, c.tmpl);
        test::WriteBytes(mapInfo, c.map);
        try {
            WriteTemplateInfo(templateInfo, TakeMapInfo(mapInfo, warner));
            ADD_FAILURE() << "no error";
        } catch (const InstallError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(c.words), std::string::npos) << text;
            EXPECT_NE(text.find(fileops::Display(c.mapAtFault ? mapInfo : templateInfo)), std::string::npos) << text;
            EXPECT_EQ(text.find("camera bound 6") != std::string::npos, c.mapAtFault) << text;
        }
        EXPECT_EQ(test::ReadBytes(templateInfo), c.tmpl);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "a file left behind";
    }
    EXPECT_EQ(warner.warnings, 0);
    EXPECT_THROW(TakeMapInfo(dir / "missing.w3i", warner), FileError);

    // Cut anywhere before the tileset byte, with or without a game version block.
    for (const std::int32_t format : {18, 28}) {
        W3iBuilder w;
        w.format = format;
        const auto full = w.Build();
        const std::size_t end = format >= 27 ? 137 : 121;
        for (std::size_t size = 0; size < end; ++size)
            EXPECT_THROW(MapInfoRecord::Parse(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size)), "x"),
                         InstallError)
                << "format " << format << ", " << size << " bytes";
    }
}

} // namespace
} // namespace vornak
