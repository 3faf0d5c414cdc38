// Map and program folders with names users really have, and map paths that name no
// usable map. Each must give a correct install or a clear error that changes nothing.

#include "InstallScene.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <functional>


namespace vornak::test {
namespace {
namespace fs = std::filesystem;

struct PathCase {
    const char* label;
    InstallScene::Names names;
    std::function<void(const InstallScene&)> spoil; // makes the map unusable, or nothing
    const char* errorMentions = nullptr;            // set when the install must fail
};

void PrintTo(const PathCase& c, std::ostream* out)
{
    *out << c.label;
}

void MakeReadOnly(const fs::path& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

const std::string kLongName = std::string(251, 'n') + ".w3x"; // 255 bytes, the most a name may hold

std::string DeepFolder()
{
    std::string folder;
    for (int i = 0; i < 14; ++i)
        folder += std::string(200, static_cast<char>('a' + i)) + "/";
    return folder + "end";
}

const PathCase kCases[] = {
    {"Spaces", {"Program Files (x86)/VQ Mod", "My Maps & Co", "my map (1).w3x"}, {}, nullptr},
    {"Cyrillic", {"Программы/Установщик", "Карты", "Моя карта.w3x"}, {}, nullptr},
    {"Cjk", {"程序/安装", "地图", "战役地图.w3x"}, {}, nullptr},
    {"Accents", {"Jeux vidéo/Installé", "Cartes d'été", "Épée àçüñ.w3x"}, {}, nullptr},
    {"QuotesAndSigns", {"app", "it's \"quoted\" #1", "100% [final] {v2}; $HOME`x`.w3x"}, {}, nullptr},
    {"LongestFileName", {"app", "maps", kLongName}, {}, nullptr},
    {"DeepFolders", {"app", DeepFolder(), "map.w3x"}, {}, nullptr},
    {"ReadOnlyMap", {}, [](const InstallScene& s) { MakeReadOnly(s.mapPath()); }, "read-only"},
    {"ReadOnlyMapFolder", {}, [](const InstallScene& s) { MakeReadOnly(s.mapPath().parent_path()); },
     "read-only"},
    {"MapPathIsAFolder", {},
     [](const InstallScene& s) {
         fs::remove(s.mapPath());
         fs::create_directory(s.mapPath());
     },
     "folder"},
    {"MapDeletedBeforeInstall", {}, [](const InstallScene& s) { fs::remove(s.mapPath()); }, "not exist"},
};

class OddPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(OddPath, CorrectInstallOrCleanError)
{
    const auto& param = GetParam();
    InstallScene scene(TypicalMapBytes(64 * 1024), param.names);
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());
    if (param.spoil)
        param.spoil(scene);
    const auto mapFolderBefore = CaptureFolder(scene.mapPath().parent_path());

    const auto outcome = scene.Install();
    EXPECT_FALSE(outcome.foreignException) << outcome.error;
    if (!param.errorMentions) {
        ASSERT_TRUE(outcome.installed) << outcome.error;
        EXPECT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "");
        EXPECT_EQ(CaptureFolder(scene.mapPath().parent_path()).size(), 1u) << "something was left beside the map";
        return;
    }
    ASSERT_FALSE(outcome.installed);
    EXPECT_NE(outcome.error.find(param.errorMentions), std::string::npos) << outcome.error;
    EXPECT_NE(outcome.error.find(scene.mapPath().filename().string()), std::string::npos) << outcome.error;
    EXPECT_EQ(DescribeDifference(mapFolderBefore, CaptureFolder(scene.mapPath().parent_path())), "");
    EXPECT_EQ(DescribeDifference(scene.dataAsMade(), CaptureFolder(scene.dataDir())), "");
}

INSTANTIATE_TEST_SUITE_P(Paths, OddPath, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

// The archive library reads some path prefixes as stream providers ("http:", "file:",
// "map:" ...). A map whose path begins so is still just a file.
struct PrefixCase {
    const char* label;
    const char* mapFolder; // below the scene's root, where the install runs
    const char* mapFile;
    const char* given;     // the map path as the user gave it, relative to the map folder's parent
};

void PrintTo(const PrefixCase& c, std::ostream* out)
{
    *out << c.label;
}

const PrefixCase kPrefixes[] = {
    {"Http", "http:/server", "map.w3x", "http://server/map.w3x"},
    {"File", "here", "file:map.w3x", "file:map.w3x"},
    {"Map", "here", "map:map.w3x", "map:map.w3x"},
    {"FlatFile", "here", "flat-file:map.w3x", "flat-file:map.w3x"},
    {"PartFile", "here", "part-file:map.w3x", "part-file:map.w3x"},
    {"Blk4Http", "here", "blk4-http:map.w3x", "blk4-http:map.w3x"},
};

class PrefixedPath : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(PrefixedPath, IsAPlainFileName)
{
    const auto& param = GetParam();
    InstallScene scene(TypicalMapBytes(64 * 1024), {"app", param.mapFolder, param.mapFile});
    const MapEntries before = ReadAllEntries(scene.mapPath(), scene.listFile());

    // The given path is relative, as a user may type it.
    const auto previous = fs::current_path();
    const auto workDir = std::string(param.mapFolder).starts_with("http:") ? scene.root() : scene.mapPath().parent_path();
    fs::current_path(workDir);
    const auto outcome = RunInstall(scene.appDir(), param.given);
    fs::current_path(previous);

    ASSERT_TRUE(outcome.installed) << outcome.error;
    EXPECT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "");
}

INSTANTIATE_TEST_SUITE_P(Prefixes, PrefixedPath, ::testing::ValuesIn(kPrefixes),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace vornak::test
