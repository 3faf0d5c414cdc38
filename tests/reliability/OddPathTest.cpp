// Map and program folders with names users really have, and map paths that name no
// usable map. Each must give a correct install or a clear error that changes nothing.

#include "InstallScene.h"
#include "MapBuilder.h"
#include "base/FileOps.h"
#include "install/StagedMapUpdate.h"

#include <gtest/gtest.h>

#include <functional>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;
using test::PrintTo;

struct PathCase {
    const char* label;
    SceneNames names;
    std::function<void(const InstallScene&)> spoil = {}; // makes the map unusable, or nothing
    const char* errorMentions = nullptr;                 // set when the install must fail
    // The map path as the user typed it, relative to the folder it is typed in; else absolute.
    const char* typed = nullptr;
};

void MakeReadOnly(const fs::path& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

const PathCase kCases[] = {
    {"Spaces", {"Program Files (x86)/VQ Mod", "My Maps & Co", "my map (1).w3x"}},
    {"Cyrillic", {"Программы/Установщик", "Карты", "Моя карта.w3x"}},
    {"Cjk", {"程序/安装", "地图", "战役地图.w3x"}},
    {"Accents", {"Jeux vidéo/Installé", "Cartes d'été", "Épée àçüñ.w3x"}},
    {"QuotesAndSigns", {"app", "it's \"quoted\" #1", "100% [final] {v2}; $HOME`x`.w3x"}},
    {"LongestFileName", {"app", "maps", std::string(251, 'n') + ".w3x"}}, // 255 bytes, the most a name may hold
    {"DeepFolders", {"app", [] {
         std::string folder; // 2.8 KB deep
         for (char c = 'a'; c < 'a' + 14; ++c)
             folder += std::string(200, c) + "/";
         return folder + "end";
     }()}},
    {"ReadOnlyMap", {}, [](const InstallScene& s) { MakeReadOnly(s.mapPath()); }, "read-only"},
    {"ReadOnlyMapFolder", {}, [](const InstallScene& s) { MakeReadOnly(s.mapFolder()); }, "read-only"},
    {"MapPathIsAFolder", {},
     [](const InstallScene& s) {
         fs::remove(s.mapPath());
         fs::create_directory(s.mapPath());
     },
     "folder"},
    {"MapDeletedBeforeInstall", {}, [](const InstallScene& s) { fs::remove(s.mapPath()); }, "not exist"},
    // The archive library reads some path prefixes as stream providers; such a path is still
    // just a file.
    {"Http", {"app", "http:/server", "map.w3x"}, {}, nullptr, "http://server/map.w3x"},
    {"File", {"app", "here", "file:map.w3x"}, {}, nullptr, "file:map.w3x"},
    {"Map", {"app", "here", "map:map.w3x"}, {}, nullptr, "map:map.w3x"},
    {"FlatFile", {"app", "here", "flat-file:map.w3x"}, {}, nullptr, "flat-file:map.w3x"},
    {"PartFile", {"app", "here", "part-file:map.w3x"}, {}, nullptr, "part-file:map.w3x"},
    {"Blk4Http", {"app", "here", "blk4-http:map.w3x"}, {}, nullptr, "blk4-http:map.w3x"},
};

class OddPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(OddPath, CorrectInstallOrCleanError)
{
    const auto& param = GetParam();
    InstallScene scene(MapUnlikeTheTemplates(false).Build(), param.names);
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());
    if (param.spoil)
        param.spoil(scene);
    const auto mapFolderBefore = CaptureFolder(scene.mapFolder());

    InstallOutcome outcome;
    if (param.typed) {
        auto workDir = scene.mapPath();
        for ([[maybe_unused]] const auto& part : fs::path(param.typed))
            workDir = workDir.parent_path();
        const auto previous = fs::current_path();
        fs::current_path(workDir);
        outcome = RunInstall(scene.appDir(), param.typed);
        fs::current_path(previous);
    } else {
        outcome = scene.Install();
    }
    EXPECT_FALSE(outcome.foreignException) << outcome.error;
    if (!param.errorMentions) {
        ASSERT_TRUE(outcome.installed) << outcome.error;
        EXPECT_EQ(scene.ExplainIfNotCleanlyInstalled(before), "");
        return;
    }
    ASSERT_FALSE(outcome.installed);
    EXPECT_NE(outcome.error.find(param.errorMentions), std::string::npos) << outcome.error;
    EXPECT_NE(outcome.error.find(scene.mapPath().filename().string()), std::string::npos) << outcome.error;
    EXPECT_EQ(DescribeDifference(mapFolderBefore, CaptureFolder(scene.mapFolder())), "");
    EXPECT_EQ(DescribeDifference(scene.dataAsMade(), CaptureFolder(scene.dataDir())), "");
}

INSTANTIATE_TEST_SUITE_P(Paths, OddPath, ::testing::ValuesIn(kCases), kRowLabel);

// A map named near the longest name got no staged copy, so it could not be installed into
// (fault 2). Its copy's name is cut to leave room for compaction's ".tmp", never inside a
// character.
TEST(OddPath, StagedCopyOfALongNameFitsBesideItCutBeforeACharacter)
{
    for (const std::string& name : {std::string(251, 'n') + ".w3x", std::string(240, 'k') + "\xe5\x9c\xb0.w3x",
                                   "\xd0\x9a" + std::string(249, 'k') + ".w3x"}) {
        const auto staged = fileops::Display(StagedMapUpdate::StagedPathFor("/maps" / fileops::PathFromUtf8(name)));
        const auto kept = staged.substr(6, staged.size() - 6 - 10);
        EXPECT_EQ("/maps/" + kept + ".vqinstall", staged);
        EXPECT_LE(kept.size() + 10 + 4, 255u);
        EXPECT_TRUE(name.starts_with(kept));
        EXPECT_NE(static_cast<unsigned char>(name[kept.size()]) & 0xC0, 0x80) << "cut inside a character";
    }
}

} // namespace
} // namespace vornak::test
