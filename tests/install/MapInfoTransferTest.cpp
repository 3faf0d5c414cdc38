#include "install/FileOps.h"
#include "install/InstallError.h"
#include "install/MapInfoTransfer.h"

#include "TestFiles.h"
#include "W3iBuilder.h"

#include <gtest/gtest.h>

#include <bit>
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

std::uint32_t U32At(const Bytes& b, std::size_t at)
{
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}
float FloatAt(const Bytes& b, std::size_t at) { return std::bit_cast<float>(U32At(b, at)); }
std::int32_t IntAt(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(U32At(b, at)); }

// The template: another format, other text lengths and its own values everywhere, so that
// a field taken from the wrong place or from the wrong file shows.
W3iBuilder TemplateFields()
{
    W3iBuilder w;
    w.format = 25;
    w.saveCount = 2759;
    w.editorVersion = 6052;
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
W3iBuilder Installed(W3iBuilder tmpl, const KeptMapInfo& kept)
{
    for (std::size_t i = 0; i < 8; ++i)
        tmpl.cameraBounds[i] = static_cast<float>(kept.cameraBounds[i]);
    tmpl.cameraComplements = kept.cameraComplements;
    tmpl.playableWidth = kept.playableWidth;
    tmpl.playableHeight = kept.playableHeight;
    tmpl.tileset = static_cast<std::uint8_t>(kept.tileset);
    return tmpl;
}

class MapInfoTransferTest : public testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path mapInfo = dir / "war3map_map.w3i";
    std::filesystem::path templateInfo = dir / "war3map.w3i";
    RecordingWarner warner;

    void TearDown() override { fileops::SetFaultHook(nullptr); }

    KeptMapInfo Transfer(const W3iBuilder& map)
    {
        test::WriteBytes(mapInfo, map.Build());
        const auto kept = TakeMapInfo(mapInfo, warner);
        WriteTemplateInfo(templateInfo, kept);
        return kept;
    }

    std::array<float, 8> TemplateBounds(const W3iBuilder& tmpl)
    {
        const auto bytes = test::ReadBytes(templateInfo);
        std::array<float, 8> bounds{};
        for (std::size_t i = 0; i < 8; ++i)
            bounds[i] = FloatAt(bytes, tmpl.CameraBoundsOffset() + 4 * i);
        return bounds;
    }

    void ExpectOnlyTemplateLeft(const Bytes& expected)
    {
        EXPECT_EQ(test::ReadBytes(templateInfo), expected);
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_TRUE(entry.path() == templateInfo || entry.path() == mapInfo)
                << "left behind: " << entry.path();
    }
};

TEST_F(MapInfoTransferTest, BoundsAreRoundedHalfToEvenAndWrittenAsFloats)
{
    const auto tmpl = TemplateFields();
    test::WriteBytes(templateInfo, tmpl.Build());
    W3iBuilder map;
    map.cameraBounds = {-512.0f, 256.0f, 10.5f, 11.5f, 2.5f, -2.5f, 0.4f, -0.6f};
    const auto kept = Transfer(map);
    EXPECT_EQ(kept.cameraBounds, (std::array<std::int32_t, 8>{-512, 256, 10, 12, 2, -2, 0, -1}));
    EXPECT_EQ(TemplateBounds(tmpl), (std::array<float, 8>{-512.0f, 256.0f, 10.0f, 12.0f, 2.0f, -2.0f, 0.0f, -1.0f}));

    map.cameraBounds = {3.5f, -3.5f, 0.5f, -0.5f, 1.5f, -1.5f, 8388607.5f, -8388605.5f};
    EXPECT_EQ(Transfer(map).cameraBounds, (std::array<std::int32_t, 8>{4, -4, 0, 0, 2, -2, 8388608, -8388606}));
    // -0.5 rounds to zero; a negative zero must not reach the template.
    EXPECT_EQ(U32At(test::ReadBytes(templateInfo), tmpl.CameraBoundsOffset() + 12), 0u);

    map.cameraBounds = {2.4999998f, 2.5000002f, -7.4999995f, 16777217.0f, 0.0f, -0.0f,
                        2147483520.0f, -2147483648.0f};
    EXPECT_EQ(Transfer(map).cameraBounds,
              (std::array<std::int32_t, 8>{2, 3, -7, 16777216, 0, 0, 2147483520, std::numeric_limits<std::int32_t>::min()}));
    EXPECT_EQ(TemplateBounds(tmpl)[7], -2147483648.0f);
    EXPECT_EQ(warner.warnings, 0);
}

TEST_F(MapInfoTransferTest, BoundWithoutWholeNumberIsAnErrorAndTheTemplateStays)
{
    const auto tmplBytes = TemplateFields().Build();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        const char* words;
    } cases[] = {{nan, "is not a number"},
                 {inf, "is plus infinity"},
                 {-inf, "is minus infinity"},
                 {2147483648.0f, "outside the range"},
                 {-2147483904.0f, "outside the range"},
                 {3.0e38f, "outside the range"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        test::WriteBytes(templateInfo, tmplBytes);
        W3iBuilder map;
        map.tileset = 'z'; // the bound fails first: no warning before the error
        map.cameraBounds[5] = c.value;
        try {
            Transfer(map);
            ADD_FAILURE() << "no error";
        } catch (const InstallError& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("camera bound 6"), std::string::npos) << text;
            EXPECT_NE(text.find(c.words), std::string::npos) << text;
            EXPECT_NE(text.find(fileops::Display(mapInfo)), std::string::npos) << text;
        }
        ExpectOnlyTemplateLeft(tmplBytes);
        EXPECT_EQ(test::ReadBytes(mapInfo), map.Build());
        EXPECT_EQ(warner.warnings, 0);
    }
}

TEST_F(MapInfoTransferTest, FieldsAreLittleEndianWhateverTheHost)
{
    // A format-18 map written byte by byte, with no help from the builder.
    Bytes map = {18, 0, 0, 0, 2, 0, 0, 0, 0xab, 0x17, 0, 0};
    for (int text = 0; text < 4; ++text) {
        const std::string s = "TRIGSTR_00" + std::to_string(text);
        map.insert(map.end(), s.begin(), s.end());
        map.push_back(0);
    }
    const Bytes fields = {
        0x00, 0x00, 0x40, 0xc4, 0x00, 0x00, 0x80, 0x44, 0x00, 0x00, 0x20, 0x40, 0x00, 0x00, 0x60, 0x40, // -768 1024 2.5 3.5
        0x00, 0x00, 0x20, 0xc0, 0x00, 0x00, 0xc0, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x60, 0x6d, 0x46, // -2.5 1.5 0 15192
        0x04, 0x03, 0x02, 0x01, 0xff, 0xff, 0xff, 0xff, 0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, // complements
        0x12, 0xab, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x10, 0x9c, 0x00, 0x00, 'Y', 0xee, 0xee};       // w h flags tileset
    map.insert(map.end(), fields.begin(), fields.end());
    ASSERT_EQ(map.size(), 123u);
    test::WriteBytes(mapInfo, map);

    const auto kept = TakeMapInfo(mapInfo, warner);
    EXPECT_EQ(kept.cameraBounds, (std::array<std::int32_t, 8>{-768, 1024, 2, 4, -2, 2, 0, 15192}));
    EXPECT_EQ(kept.cameraComplements, (std::array<std::int32_t, 4>{0x01020304, -1, 6, 256}));
    EXPECT_EQ(kept.playableWidth, 0xab12);
    EXPECT_EQ(kept.playableHeight, 52);
    EXPECT_EQ(kept.tileset, 'Y');

    // Written into a fixed-layout template, the fields land at the fixed offsets byte for byte.
    W3iBuilder tmpl = TemplateFields();
    tmpl.texts = {"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"};
    test::WriteBytes(templateInfo, tmpl.Build());
    WriteTemplateInfo(templateInfo, kept);
    const auto written = test::ReadBytes(templateInfo);
    const Bytes expected = {
        0x00, 0x00, 0x40, 0xc4, 0x00, 0x00, 0x80, 0x44, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0x40, // -768 1024 2 4
        0x00, 0x00, 0x00, 0xc0, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x60, 0x6d, 0x46, // -2 2 0 15192
        0x04, 0x03, 0x02, 0x01, 0xff, 0xff, 0xff, 0xff, 0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x12, 0xab, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00};
    EXPECT_EQ(Bytes(written.begin() + 60, written.begin() + 116), expected);
    EXPECT_EQ(IntAt(written, 116), 0x0001e478); // the template's own flags
    EXPECT_EQ(written[120], 'Y');
}

TEST_F(MapInfoTransferTest, TilesetLettersOutsideTheKnownOnesWarnOnceAndBecomeL)
{
    const auto tmpl = TemplateFields();
    for (const char letter : KnownTilesets) {
        test::WriteBytes(templateInfo, tmpl.Build());
        W3iBuilder map;
        map.tileset = static_cast<std::uint8_t>(letter);
        EXPECT_EQ(Transfer(map).tileset, letter);
        EXPECT_EQ(test::ReadBytes(templateInfo)[tmpl.TilesetOffset()], letter);
    }
    EXPECT_EQ(warner.warnings, 0);

    const std::uint8_t unknown[] = {'l', 'y', ' ', '\0', 'I', 'Z', 'K', 0xff};
    for (const std::uint8_t letter : unknown) {
        SCOPED_TRACE(static_cast<int>(letter));
        test::WriteBytes(templateInfo, tmpl.Build());
        W3iBuilder map;
        map.tileset = letter;
        map.playableWidth = 77; // the rest is taken all the same
        warner.warnings = 0;
        const auto kept = Transfer(map);
        EXPECT_EQ(warner.warnings, 1);
        EXPECT_EQ(kept.tileset, 'L');
        EXPECT_EQ(kept.playableWidth, 77);
        EXPECT_EQ(test::ReadBytes(templateInfo)[tmpl.TilesetOffset()], 'L');
    }
}

TEST_F(MapInfoTransferTest, EveryOtherTemplateByteStaysWhateverTheFormats)
{
    for (const std::int32_t mapFormat : {18, 25, 28, 31}) {
        for (const std::int32_t templateFormat : {18, 26, 27, 33}) {
            SCOPED_TRACE(testing::Message() << "map " << mapFormat << ", template " << templateFormat);
            auto tmpl = TemplateFields();
            tmpl.format = templateFormat;
            test::WriteBytes(templateInfo, tmpl.Build());

            W3iBuilder map;
            map.format = mapFormat;
            map.texts = {"Just another Warcraft III map", "Unknown", "Nondescript", "Any"};
            map.cameraBounds = {-3328.0f, -3840.0f, 3328.0f, 3328.0f, -3328.0f, 3328.0f, 3328.0f, -3840.0f};
            map.cameraComplements = {2, 2, 0, 4};
            map.playableWidth = 60;
            map.playableHeight = 61;
            map.flags = 0x7fffffff; // must never reach the template
            map.tileset = 'X';
            map.trailing.assign(40, 0x5a);
            const auto kept = Transfer(map);

            // Byte for byte: the template's own format, texts, flags and trailing bytes stay.
            EXPECT_EQ(test::ReadBytes(templateInfo), Installed(tmpl, kept).Build());
            EXPECT_EQ(kept.cameraComplements, map.cameraComplements);
            EXPECT_EQ(kept.playableHeight, 61);
            EXPECT_EQ(kept.tileset, 'X');
        }
    }
}

TEST_F(MapInfoTransferTest, SecondInstallLeavesOnlyTheSecondMapsValues)
{
    const auto tmpl = TemplateFields();
    test::WriteBytes(templateInfo, tmpl.Build());

    W3iBuilder first;
    first.cameraBounds.fill(-9472.0f);
    first.cameraComplements = {5, 5, 3, 7};
    first.playableWidth = 148;
    first.playableHeight = 148;
    first.tileset = 'Y';
    Transfer(first);

    W3iBuilder second;
    second.format = 31;
    second.texts = {"a", "", "b", ""};
    second.tileset = 'q'; // unknown: the first map's 'Y' must not survive either
    const auto kept = Transfer(second);
    EXPECT_EQ(kept.tileset, 'L');
    EXPECT_EQ(test::ReadBytes(templateInfo), Installed(tmpl, kept).Build());
    EXPECT_EQ(warner.warnings, 1);
}

TEST_F(MapInfoTransferTest, UnusableTemplateIsAnErrorAndStaysAsItWas)
{
    KeptMapInfo kept;
    kept.cameraBounds.fill(100);
    auto tmpl = TemplateFields();
    const auto full = tmpl.Build();

    std::vector<std::pair<Bytes, std::string>> cases;
    cases.emplace_back(Bytes(full.begin(), full.begin() + 100), "before its camera bounds");
    cases.emplace_back(Bytes(full.begin(), full.begin() + 22), "author text has no terminating zero byte");
    tmpl.format = 17;
    cases.emplace_back(tmpl.Build(), "format 17 is older");
    cases.emplace_back(Bytes{}, "only 0 bytes");
    for (const auto& [bytes, words] : cases) {
        SCOPED_TRACE(words);
        test::WriteBytes(templateInfo, bytes);
        try {
            WriteTemplateInfo(templateInfo, kept);
            ADD_FAILURE() << "no error";
        } catch (const InstallError& e) {
            EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(fileops::Display(templateInfo)), std::string::npos) << e.what();
        }
        ExpectOnlyTemplateLeft(bytes);
    }
    EXPECT_THROW(TakeMapInfo(dir / "missing.w3i", warner), InstallError);
}

TEST_F(MapInfoTransferTest, FailedWriteLeavesTheOldTemplateAndNoTemporaryFile)
{
    const auto before = TemplateFields().Build();
    for (const char* failing : {"open-write", "write", "close", "rename"}) {
        SCOPED_TRACE(failing);
        test::WriteBytes(templateInfo, before);
        fileops::SetFaultHook([&](std::string_view operation, const std::filesystem::path&) {
            if (operation == failing)
                throw InstallError(std::string("injected ") + failing);
        });
        W3iBuilder map;
        map.playableWidth = 999;
        test::WriteBytes(mapInfo, map.Build());
        const auto kept = TakeMapInfo(mapInfo, warner);
        EXPECT_THROW(WriteTemplateInfo(templateInfo, kept), InstallError);
        fileops::SetFaultHook(nullptr);
        ExpectOnlyTemplateLeft(before);
    }
}

} // namespace
} // namespace vornak
