#include "install/InstallError.h"
#include "install/MapInfoRecord.h"
#include "install/MapInfoTransfer.h"

#include "RecordingInstallerUi.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

// The transfer against real map info files: loose ones and those inside the real maps. The expected values are the careful readings of each
// file's real layout listed in the real maps' README.
namespace vornak {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Bounds = std::array<std::int32_t, 8>;
using Complements = std::array<std::int32_t, 4>;

struct RealInfo {
    const char* file; // under realmaps/: w3i/... is loose, maps/... holds it inside
    std::int32_t format;
    std::size_t tilesetOffset;
    std::uint32_t flags;
    char tileset; // as stored; not every letter is one the installer knows
    Bounds bounds;
    Complements complements;
    std::int32_t width, height;
};

const RealInfo kRealInfos[] = {
    {"w3i/wc3libs_Infos_war3map.w3i", 25, 120, 0x0001e478, 'V', {-768, -5376, 17152, 4864, -768, 4864, 17152, -5376}, {6, 6, 4, 8}, 148, 84},
    {"w3i/wc3libs_Infos_war3map31_HD2.w3i", 31, 136, 0x00009c14, 'L', {-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52},
    {"w3i/wc3libs_W3I_war3map.w3i", 25, 134, 0x0001fc78, 'I', {-7168, -7424, 7168, 7424, -7168, 7424, 7168, -7424}, {4, 4, 4, 4}, 120, 120},
    {"w3i/war3net_War2XHuman_Mission1.w3i", 25, 98, 0x60014c69, 'L', {-5632, -5888, 5632, 5888, -5632, 5888, 5632, -5888}, {0, 0, 0, 0}, 96, 96},
    {"w3i/war3net_HasWeatherAndFog.w3i", 28, 136, 0x0000fc72, 'L', {-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52},
    {"w3i/wc3lib_map_test_war3map.w3i", 18, 120, 0x00001feb, 'Y', {-8960, -9472, 8960, 8960, -8960, 8960, 8960, -9472}, {6, 6, 4, 8}, 148, 148},
    {"w3i/war3test_war3map.w3i", 25, 120, 0x0000dc50, 'L', {-3328, -3840, 3328, 3328, -3328, 3328, 3328, -3840}, {2, 2, 0, 4}, 60, 60},
    {"w3i/wc3maptranslator_war3map.w3i", 33, 136, 0x0079ffd2, 'L', {-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52},
    {"w3i/feiyang_war3map.w3i", 25, 129, 0x0000fc72, 'I', {-2944, -3840, 3456, 3456, -2944, 3456, 3456, -3840}, {5, 1, 0, 3}, 58, 61},
    {"w3i/touhoudef_war3map.w3i", 25, 120, 0x0000fc78, 'X', {-15872, -9856, 11008, 9088, -15872, 9088, 11008, -9856}, {0, 6, 33, 7}, 218, 152},
    {"maps/war3net_roc131_4_Deadlock.w3m", 26, 120, 0x00001c16, 'L', {-7424, -7936, 7424, 7424, -7424, 7424, 7424, -7936}, {18, 18, 16, 20}, 124, 124},
    {"maps/war3net_tft131_8_GoldRush.w3x", 27, 136, 0x0000dc14, 'L', {-10496, -11008, 10496, 10496, -10496, 10496, 10496, -11008}, {10, 10, 8, 12}, 172, 172},
    {"maps/war3net_DotF_v1.4.w3x", 31, 136, 0x0001d470, 'A', {-4864, -5376, 4864, 4864, -4864, 4864, 4864, -5376}, {6, 6, 4, 8}, 84, 84},
    {"maps/war3net_2_Ponds_v1.4.w3x", 31, 136, 0x0000dc14, 'L', {-4864, -7424, 4864, 6912, -4864, 6912, 4864, -7424}, {6, 6, 4, 8}, 84, 116},
    {"maps/war3net_JurassicParkSurvivalEE_v6.4.w3x", 25, 121, 0x0000dd78, 'Z', {-6912, -7424, 6912, 6912, -6912, 6912, 6912, -7424}, {6, 6, 4, 8}, 116, 116},
    {"maps/war3net_NewMap32x32.w3m", 28, 142, 0x00009c10, 'L', {-768, -1280, 768, 768, -768, 768, 768, -1280}, {6, 6, 4, 8}, 20, 20},
    {"maps/wc3lib_4_WarChasers.w3m", 18, 120, 0x00001feb, 'Y', {-8960, -9472, 8960, 8960, -8960, 8960, 8960, -9472}, {6, 6, 4, 8}, 148, 148},
    {"maps/gowc3_test_roc.w3m", 18, 120, 0x00009c10, 'L', {-768, -1280, 768, 768, -768, 768, 768, -1280}, {6, 6, 4, 8}, 20, 20},
    {"maps/gowc3_test_tft.w3x", 25, 120, 0x0000dc10, 'L', {-1408, -1664, 1408, 1152, -1408, 1152, 1408, -1664}, {1, 1, 1, 5}, 30, 26},
    {"maps/jmpq3_listfilelessMap.w3x", 25, 126, 0x0000dc10, 'L', {-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52},
    {"maps/jmpq3_implodedTest.w3x", 25, 111, 0x00015c78, 'C', {-7040, -7552, 7040, 7040, -7040, 7040, 7040, -7552}, {5, 5, 3, 7}, 118, 118},
    {"maps/jmpq3_ydwe.w3x", 25, 139, 0x0000dc10, 'L', {-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52},
    {"maps/wc3libs_Forest_Defense_0.18w.w3x", 25, 124, 0x0001e478, 'V', {-768, -5376, 17152, 4864, -768, 4864, 17152, -5376}, {6, 6, 4, 8}, 148, 84},
    {"maps/hivewe_AnimationTest.w3m", 18, 126, 0x00009c14, 'L', {-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52},
};

void PrintTo(const RealInfo& info, std::ostream* out)
{
    *out << info.file;
}

// The real file as a file of its own in the temp folder, never the original; a map's own
// entry is taken out as the install's extraction would.
fs::path Obtain(const fs::path& realmaps, const char* file, const fs::path& into)
{
    const fs::path source = realmaps / file;
    if (std::string_view(file).starts_with("w3i/"))
        test::WriteBytes(into / "war3map.w3i", test::ReadBytes(source));
    else if (const auto bytes = test::RealMapEntry(source, "war3map.w3i"))
        test::WriteBytes(into / "war3map.w3i", *bytes);
    else if (!test::kSmpqRuns)
        return {};
    else
        throw std::runtime_error(std::string(file) + ": its war3map.w3i cannot be read here (is smpq installed?)");
    return into / "war3map.w3i";
}

class RealMapInfo : public testing::TestWithParam<RealInfo> {};

TEST_P(RealMapInfo, IsReadWhereItsFieldsStandAndTransfers)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    const auto& info = GetParam();
    test::TempDir dir;
    const fs::path path = Obtain(realmaps, info.file, dir.path());
    if (path.empty())
        GTEST_SKIP() << info.file << " is read only by smpq, which does not run here";
    const Bytes original = test::ReadBytes(path);

    const auto record = MapInfoRecord::Parse(original, path);
    EXPECT_EQ(record.formatVersion, info.format);
    EXPECT_EQ(record.offsets.tileset, info.tilesetOffset);
    EXPECT_EQ(static_cast<std::uint32_t>(record.flags), info.flags);
    EXPECT_EQ(record.tileset, static_cast<std::uint8_t>(info.tileset));

    test::RecordingInstallerUi warner;
    const auto kept = TakeMapInfo(path, warner);
    const bool known = std::find(KnownTilesets.begin(), KnownTilesets.end(), info.tileset) != KnownTilesets.end();
    EXPECT_EQ(kept.cameraBounds, info.bounds);
    EXPECT_EQ(kept.cameraComplements, info.complements);
    EXPECT_EQ(kept.playableWidth, info.width);
    EXPECT_EQ(kept.playableHeight, info.height);
    EXPECT_EQ(kept.tileset, known ? info.tileset : 'L');
    EXPECT_EQ(warner.events.size(), known ? 0u : 1u);

    // The same file as a template: the new values land where its fields stand, nothing else moves.
    const KeptMapInfo other{{-100, -200, 300, 400, -500, 600, 700, -800}, {9, 8, 7, 6}, 33, 44, 'B'};
    WriteTemplateInfo(path, other);
    const Bytes written = test::ReadBytes(path);
    ASSERT_EQ(written.size(), original.size());
    const auto& o = record.offsets;
    for (std::size_t i = 0; i < original.size(); ++i) {
        if ((i < o.cameraBounds || i >= o.flags) && i != o.tileset) {
            ASSERT_EQ(written[i], original[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(TakeMapInfo(path, warner), other);
}

std::string NameOf(const testing::TestParamInfo<RealInfo>& param)
{
    std::string name = fs::path(param.param.file).stem().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name + (std::string_view(param.param.file).starts_with("maps/") ? "_inside" : "");
}

INSTANTIATE_TEST_SUITE_P(Files, RealMapInfo, testing::ValuesIn(kRealInfos), NameOf);

// A pre-release map (format 8) has its texts at byte 4 and no camera complements: it is refused
// with a clear message rather than read at offsets that do not hold its fields.
TEST(RealMapInfoRefused, PreReleaseFormatIsAnErrorWithoutWarning)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    test::TempDir dir;
    const auto path = Obtain(realmaps, "maps/war3net_betaroc100_4_LostTemple.w3m", dir.path());
    test::RecordingInstallerUi warner;
    try {
        TakeMapInfo(path, warner);
        ADD_FAILURE() << "format 8 was taken";
    } catch (const InstallError& e) {
        EXPECT_NE(std::string(e.what()).find("format 8 is older"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(warner.events.empty());
}

} // namespace
} // namespace vornak
