// Every real map and loose map file beside the project (../shared/realmaps), each with what
// the folder's README lists for it: the values of its map info, its script's camera line,
// and whether the install takes the map (twice) or refuses it, and why.
#include "InstallScene.h"
#include "RecordingInstallerUi.h"
#include "archive/ArchiveError.h"
#include "archive/StormMapArchive.h"
#include "base/FileOps.h"
#include "install/CameraLineTransfer.h"
#include "install/MapInfoTransfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

struct RealFile {
    const char* file;                  // under realmaps/: maps/, w3i/ or j/
    std::optional<KeptMapInfo> info;   // its war3map.w3i's values, the tileset letter as stored
    std::error_condition refusedAs{};  // a map the archive layer refuses, and why
    const char* refusalSays = "";      // a map the installer refuses, in the words users read
};

const RealFile kRealFiles[] = {
    {"maps/war3net_betaroc100_4_LostTemple.w3m", {}, {}, "was saved by a map editor too old for the VQ MOD"},
    {"maps/war3net_roc131_4_Deadlock.w3m", KeptMapInfo{{-7424, -7936, 7424, 7424, -7424, 7424, 7424, -7936}, {18, 18, 16, 20}, 124, 124, 'L'}},
    {"maps/war3net_tft131_8_GoldRush.w3x", KeptMapInfo{{-10496, -11008, 10496, 10496, -10496, 10496, 10496, -11008}, {10, 10, 8, 12}, 172, 172, 'L'}},
    {"maps/war3net_DotF_v1.4.w3x", KeptMapInfo{{-4864, -5376, 4864, 4864, -4864, 4864, 4864, -5376}, {6, 6, 4, 8}, 84, 84, 'A'}, {},
     "has no war3map.j script (a map scripted in Lua cannot take the VQ MOD)"},
    {"maps/war3net_2_Ponds_v1.4.w3x", KeptMapInfo{{-4864, -7424, 4864, 6912, -4864, 6912, 4864, -7424}, {6, 6, 4, 8}, 84, 116, 'L'}},
    // Protected: its block table states 92 673 entries, of which the file holds 150.
    {"maps/war3net_JurassicParkSurvivalEE_v6.4.w3x", KeptMapInfo{{-6912, -7424, 6912, 6912, -6912, 6912, 6912, -7424}, {6, 6, 4, 8}, 116, 116, 'Z'},
     ArchiveFailure::Protected},
    {"maps/war3net_NewMap32x32.w3m", KeptMapInfo{{-768, -1280, 768, 768, -768, 768, 768, -1280}, {6, 6, 4, 8}, 20, 20, 'L'}},
    {"maps/wc3lib_4_WarChasers.w3m", KeptMapInfo{{-8960, -9472, 8960, 8960, -8960, 8960, 8960, -9472}, {6, 6, 4, 8}, 148, 148, 'Y'}},
    {"maps/gowc3_test_roc.w3m", KeptMapInfo{{-768, -1280, 768, 768, -768, 768, 768, -1280}, {6, 6, 4, 8}, 20, 20, 'L'}},
    {"maps/gowc3_test_tft.w3x", KeptMapInfo{{-1408, -1664, 1408, 1152, -1408, 1152, 1408, -1664}, {1, 1, 1, 5}, 30, 26, 'L'}},
    {"maps/jmpq3_listfilelessMap.w3x", KeptMapInfo{{-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52, 'L'}},
    {"maps/jmpq3_implodedTest.w3x", KeptMapInfo{{-7040, -7552, 7040, 7040, -7040, 7040, 7040, -7552}, {5, 5, 3, 7}, 118, 118, 'C'}},
    {"maps/jmpq3_ydwe.w3x", KeptMapInfo{{-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52, 'L'}},
    {"maps/wc3libs_Forest_Defense_0.18w.w3x", KeptMapInfo{{-768, -5376, 17152, 4864, -768, 4864, 17152, -5376}, {6, 6, 4, 8}, 148, 84, 'V'}},
    {"maps/hivewe_AnimationTest.w3m", KeptMapInfo{{-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52, 'L'}},
    {"w3i/wc3libs_Infos_war3map.w3i", KeptMapInfo{{-768, -5376, 17152, 4864, -768, 4864, 17152, -5376}, {6, 6, 4, 8}, 148, 84, 'V'}},
    {"w3i/wc3libs_Infos_war3map31_HD2.w3i", KeptMapInfo{{-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52, 'L'}},
    {"w3i/wc3libs_W3I_war3map.w3i", KeptMapInfo{{-7168, -7424, 7168, 7424, -7168, 7424, 7168, -7424}, {4, 4, 4, 4}, 120, 120, 'I'}},
    {"w3i/war3net_War2XHuman_Mission1.w3i", KeptMapInfo{{-5632, -5888, 5632, 5888, -5632, 5888, 5632, -5888}, {0, 0, 0, 0}, 96, 96, 'L'}},
    {"w3i/war3net_HasWeatherAndFog.w3i", KeptMapInfo{{-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52, 'L'}},
    {"w3i/wc3lib_map_test_war3map.w3i", KeptMapInfo{{-8960, -9472, 8960, 8960, -8960, 8960, 8960, -9472}, {6, 6, 4, 8}, 148, 148, 'Y'}},
    {"w3i/war3test_war3map.w3i", KeptMapInfo{{-3328, -3840, 3328, 3328, -3328, 3328, 3328, -3840}, {2, 2, 0, 4}, 60, 60, 'L'}},
    {"w3i/wc3maptranslator_war3map.w3i", KeptMapInfo{{-2816, -3328, 2816, 2816, -2816, 2816, 2816, -3328}, {6, 6, 4, 8}, 52, 52, 'L'}},
    {"w3i/feiyang_war3map.w3i", KeptMapInfo{{-2944, -3840, 3456, 3456, -2944, 3456, 3456, -3840}, {5, 1, 0, 3}, 58, 61, 'I'}},
    {"w3i/touhoudef_war3map.w3i", KeptMapInfo{{-15872, -9856, 11008, 9088, -15872, 9088, 11008, -9856}, {0, 6, 33, 7}, 218, 152, 'X'}},
    {"j/jmpq3_war3map.j", {}},
    {"j/war3test_war3map.j", {}},
    {"j/wc3maptranslator_war3map.j", {}},
    {"j/feiyang_war3map.j", {}},
    {"j/war3net_TestGenerateUnitData_war3map.j", {}},
};

void PrintTo(const RealFile& file, std::ostream* out)
{
    *out << file.file;
}

// The README lists each script's camera line as "- maps/<map>" or "- j/<script>", then the
// line alone in an indented fenced block.
std::map<std::string, std::string> ListedCameraLines(const fs::path& realmaps)
{
    std::ifstream readme(realmaps / "README.md");
    std::map<std::string, std::string> lines;
    std::string line, name;
    while (std::getline(readme, line)) {
        if (line.starts_with("- maps/") || line.starts_with("- j/"))
            name = line.substr(2);
        else if (line == "  ```" && !name.empty() && std::getline(readme, line))
            lines[std::exchange(name, "")] = line.substr(2);
    }
    return lines;
}

// What the installer keeps of the info: a tileset letter the game does not ship becomes L.
KeptMapInfo Kept(KeptMapInfo info)
{
    if (std::string_view("ABCDEFGLNQVWXY").find(info.tileset) == std::string_view::npos)
        info.tileset = 'L';
    return info;
}

class RealMap : public ::testing::TestWithParam<RealFile> {};

TEST_P(RealMap, ReadsAsListedAndInstallsTwiceOrIsRefusedUnchanged)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    const RealFile& row = GetParam();
    const fs::path source = realmaps / row.file;
    const bool isMap = std::string_view(row.file).starts_with("maps/");
    const auto cameraLines = ListedCameraLines(realmaps);
    ASSERT_GE(cameraLines.size(), 19u) << "the README no longer lists the camera lines as expected";
    TempDir dir;
    const auto take = [&](const char* entry) {
        const auto bytes = isMap ? RealMapEntry(source, entry) : ReadBytes(source);
        if (!bytes)
            throw std::runtime_error(std::string(entry) + " cannot be read here (is smpq installed?)");
        WriteBytes(dir / entry, *bytes);
        return dir / entry;
    };

    // Maps StormLib does not read were read by smpq, which does not run on Windows.
    const bool readable = !isMap || kSmpqRuns || RealMapEntry(source, "war3map.w3i");
    if (!readable)
        std::cout << row.file << ": read only by smpq, which does not run here; its entries are not compared\n";
    RecordingInstallerUi warner;
    if (row.info && readable) {
        const auto info = take("war3map.w3i");
        EXPECT_EQ(TakeMapInfo(info, warner), Kept(*row.info));
        EXPECT_EQ(warner.events.size(), Kept(*row.info).tileset == row.info->tileset ? 0u : 1u);
    }
    const auto cameraLine = cameraLines.find(row.file);
    if (cameraLine != cameraLines.end() && readable) {
        EXPECT_EQ(FindCameraLine(take("war3map.j")), cameraLine->second);
    }
    if (!isMap)
        return;

    InstallScene scene(ReadBytes(source), {.mapFile = source.filename().string()});
    if (row.refusedAs || *row.refusalSays) {
        const auto outcome = scene.Install();
        ASSERT_FALSE(outcome.installed);
        EXPECT_EQ(outcome.code, row.refusedAs) << outcome.error;
        EXPECT_NE(outcome.error.find(row.refusalSays), std::string::npos) << outcome.error;
        EXPECT_EQ(scene.ExplainIfNotUntouched(), "");
        return;
    }
    const auto before = ReadAllEntries(scene.mapPath(), scene.listFile());
    ASSERT_TRUE(scene.Install().installed);
    EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
    // Its (attributes), where it has one, records every entry as it now is.
    EXPECT_EQ(StormMapArchive({scene.listFile()}).EntriesDisagreeingWithAttributes(scene.mapPath()),
              std::vector<std::string>{});
    if (scene.mapBytes()[0] == 'H') {
        const auto after = ReadBytes(scene.mapPath());
        EXPECT_TRUE(std::equal(after.begin(), after.begin() + 512, scene.mapBytes().begin())) << "HM3W header changed";
    }
    EXPECT_EQ(TakeMapInfo(scene.dataDir() / "war3map.w3i", warner), Kept(*row.info));
    EXPECT_EQ(FindCameraLine(scene.dataDir() / "war3map.j"), cameraLine->second);

    // Installing again changes neither the size of the map nor the templates, and rewrites
    // the map no more than its changed entries (no compaction).
    bool compacted = false;
    fileops::SetFaultHook([&](std::string_view point, const fs::path&) { compacted |= point == "archive-compact"; });
    const auto size = fs::file_size(scene.mapPath());
    const auto templates = CaptureFolder(scene.dataDir());
    const auto again = scene.Install();
    fileops::SetFaultHook(nullptr);
    EXPECT_TRUE(again.installed) << again.error;
    EXPECT_FALSE(compacted);
    EXPECT_EQ(fs::file_size(scene.mapPath()), size);
    EXPECT_EQ(DescribeDifference(templates, CaptureFolder(scene.dataDir())), "");
}

INSTANTIATE_TEST_SUITE_P(Files, RealMap, ::testing::ValuesIn(kRealFiles), [](const auto& info) {
    std::string name = info.param.file;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

} // namespace
} // namespace vornak::test
