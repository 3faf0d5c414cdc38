// Maps that are broken, hostile or just odd. Each must give a clear error or a correct
// install, never a crash, and an error must leave everything as it was.

#include "InstallScene.h"
#include "MapBuilder.h"
#include "TestFiles.h"
#include "install/StagedMapUpdate.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <random>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

enum class Expect { Error, Install, Either };

std::vector<std::uint8_t> RandomBytes(std::size_t size, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

std::vector<std::uint8_t> TemplateInfo()
{
    return ReadBytes(SourceDir() / "Data" / "war3map.w3i");
}

// A small map as an editor leaves it, with the given script; `extra` may add or spoil entries.
MapBuilder BaseMap(std::string_view script, const std::function<void(MapBuilder&)>& extra = {})
{
    MapBuilder builder;
    builder.Hm3wHeader();
    if (!script.empty())
        builder.CompressedEntry("war3map.j", script);
    builder.Entry("war3map.w3i", TemplateInfo())
        .CompressedEntry("war3map.wts", "STRING 1\r\n{\r\nA map\r\n}\r\n")
        .CompressedEntry("war3map.w3e", RandomBytes(20000, 3));
    if (extra)
        extra(builder);
    return builder;
}

std::string Script(std::size_t bytes = 16 * 1024)
{
    TypicalMapOptions options;
    options.scriptBytes = bytes;
    return TypicalScript(options);
}

struct HostileOutcome {
    std::string error;
    std::string templateScript; // after the install
};

// Installs into the map and judges the outcome.
HostileOutcome InstallHostile(const std::vector<std::uint8_t>& mapBytes, Expect expect)
{
    InstallScene scene(mapBytes);
    MapEntries before;
    try {
        before = ReadAllEntries(scene.mapPath(), scene.listFile());
    } catch (const std::exception&) {
        // Unreadable maps have nothing to keep.
    }
    const auto outcome = scene.Install();
    EXPECT_FALSE(outcome.foreignException) << outcome.error;
    EXPECT_FALSE(outcome.programEnded);
    if (outcome.installed) {
        EXPECT_NE(expect, Expect::Error) << "installed into a map that should be refused";
        EXPECT_EQ(ExplainIfNotInstalled(scene.mapPath(), before, scene.dataDir()), "");
        EXPECT_FALSE(fs::exists(scene.stagedPath()));
        return {"", ReadText(scene.dataDir() / "war3map.j")};
    }
    EXPECT_NE(expect, Expect::Install) << outcome.error;
    EXPECT_FALSE(outcome.error.empty());
    // The user must learn which map, or which of its entries, is at fault.
    const auto mapName = scene.mapPath().filename().string();
    bool named = outcome.error.find(mapName) != std::string::npos;
    for (const auto entry : kModEntries)
        named = named || outcome.error.find(entry) != std::string::npos;
    EXPECT_TRUE(named) << outcome.error;
    EXPECT_EQ(scene.ExplainIfNotUntouched({}), "") << "after: " << outcome.error;
    return {outcome.error, ""};
}

struct HostileCase {
    const char* label;
    std::function<std::vector<std::uint8_t>()> make;
    Expect expect;
    const char* errorMentions = "";       // a word the error must hold
    bool carriesTypicalCameraLine = false; // the map's camera line must reach the template
};

void PrintTo(const HostileCase& c, std::ostream* out)
{
    *out << c.label;
}

std::vector<std::uint8_t> Damaged(MapBuilder::Damage damage)
{
    return BaseMap(Script(), [&](MapBuilder& b) { b.Damaged(damage); }).Build();
}

std::vector<std::uint8_t> StatedSize(const char* entry, std::uint32_t size)
{
    return BaseMap(Script(), [&](MapBuilder& b) { b.StatedSize(entry, size); }).Build();
}

std::vector<std::uint8_t> WithInfo(std::vector<std::uint8_t> info)
{
    MapBuilder builder;
    builder.Hm3wHeader().CompressedEntry("war3map.j", Script()).Entry("war3map.w3i", std::move(info));
    return builder.Build();
}

std::vector<std::uint8_t> FirstBytes(std::vector<std::uint8_t> bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

std::string OneLongLine(std::size_t bytes)
{
    std::string line(bytes, 'x');
    for (std::size_t i = 0; i < bytes; i += 97)
        line[i] = ' ';
    return line;
}

const std::uint32_t kGigabytes = 0xF0000000u;

const HostileCase kCases[] = {
    {"EmptyFile", [] { return std::vector<std::uint8_t>{}; }, Expect::Error},
    {"TextFile", [] { return std::vector<std::uint8_t>{'n', 'o', ' ', 'm', 'a', 'p', '\r', '\n'}; }, Expect::Error},
    {"RandomBytes", [] { return RandomBytes(64 * 1024, 1); }, Expect::Error},
    {"Hm3wHeaderOnly", [] { return FirstBytes(BaseMap(Script()).Build(), 512); }, Expect::Error},
    {"MpqHeaderOnly", [] { return FirstBytes(BaseMap(Script()).Build(), 512 + 32); }, Expect::Error},
    {"HashTableBeyondEnd", [] { return Damaged(MapBuilder::Damage::HashTableBeyondEnd); }, Expect::Either},
    {"BlockTableBeyondEnd", [] { return Damaged(MapBuilder::Damage::BlockTableBeyondEnd); }, Expect::Either},
    {"BogusHeaderSize", [] { return Damaged(MapBuilder::Damage::BogusHeaderSize); }, Expect::Either},
    // The script is there but cannot be read: saying "Lua" would mislead.
    {"EntryBeyondEnd", [] { return Damaged(MapBuilder::Damage::EntryBeyondEnd); }, Expect::Error, "damaged"},
    // The install adds the cameras without deleting a copy it cannot see: the archive library
    // must not meet the damaged one unawares.
    {"DamagedCamerasEntry",
     [] {
         MapBuilder builder;
         builder.Hm3wHeader()
             .Entry("war3map.w3c", std::vector<std::uint8_t>(300, 7))
             .CompressedEntry("war3map.j", Script())
             .Entry("war3map.w3i", TemplateInfo())
             .Damaged(MapBuilder::Damage::EntryBeyondEnd);
         return builder.Build();
     },
     Expect::Either},
    {"ScriptSaysGigabytes", [] { return StatedSize("war3map.j", kGigabytes); }, Expect::Error, "damaged"},
    {"InfoSaysGigabytes", [] { return StatedSize("war3map.w3i", kGigabytes); }, Expect::Error},
    {"OtherEntrySaysGigabytes", [] { return StatedSize("war3map.w3e", kGigabytes); }, Expect::Either},
    {"TwoScripts",
     [] { return BaseMap(Script(), [](MapBuilder& b) { b.CompressedEntry("war3map.j", Script(4000)); }).Build(); },
     Expect::Either},
    {"TwoScriptsWithoutListfile",
     [] {
         return BaseMap(Script(), [](MapBuilder& b) { b.CompressedEntry("war3map.j", Script(4000)).ListFile(false); })
             .Build();
     },
     Expect::Either},
    {"TwoInfos",
     [] { return BaseMap(Script(), [](MapBuilder& b) { b.Entry("war3map.w3i", TemplateInfo()); }).Build(); },
     Expect::Either},
    {"EmptyInfo", [] { return WithInfo({}); }, Expect::Error, "map info"},
    {"InfoShorterThanItsFields", [] { return WithInfo(FirstBytes(TemplateInfo(), 40)); }, Expect::Error,
     "map info"},
    {"InfoEndsBeforeTileset", [] { return WithInfo(FirstBytes(TemplateInfo(), 120)); }, Expect::Error,
     "map info"},
    {"NoInfo",
     [] { return MapBuilder().Hm3wHeader().CompressedEntry("war3map.j", Script()).Build(); }, Expect::Error,
     "war3map.w3i"},
    {"LuaMapWithoutScript",
     [] {
         return BaseMap("", [](MapBuilder& b) { b.CompressedEntry("war3map.lua", "function main()\nend\n"); })
             .Build();
     },
     Expect::Error, "Lua"},
    {"BinaryGarbageScript",
     [] {
         const auto garbage = RandomBytes(1024 * 1024, 9);
         return BaseMap(std::string(garbage.begin(), garbage.end())).Build();
     },
     Expect::Install},
    {"Script100MB", [] { return BaseMap(Script(100u * 1024 * 1024)).Build(); }, Expect::Install, "", true},
    {"ScriptOne100MBLine", [] { return BaseMap(OneLongLine(100u * 1024 * 1024)).Build(); }, Expect::Install},
};

class HostileMap : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileMap, ClearErrorOrCorrectInstall)
{
    const auto outcome = InstallHostile(GetParam().make(), GetParam().expect);
    std::cout << "[ outcome  ] " << GetParam().label << ": "
              << (outcome.error.empty() ? "installed" : "refused: " + outcome.error) << "\n";
    EXPECT_NE(outcome.error.find(GetParam().errorMentions), std::string::npos) << outcome.error;
    if (GetParam().carriesTypicalCameraLine) {
        EXPECT_NE(outcome.templateScript.find(TypicalMapOptions{}.cameraLine + "\r\n"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, HostileMap, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(HostileMap, TruncatedAnywhere)
{
    const auto whole = BaseMap(Script()).Build();
    std::vector<std::size_t> cuts = {1, 4, 511, 512, 513, 512 + 31, 512 + 32, 512 + 33};
    for (std::size_t k = 1; k < 48; ++k)
        cuts.push_back(whole.size() * k / 48);
    cuts.push_back(whole.size() - 1);
    for (const auto cut : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(whole.size()));
        InstallHostile(FirstBytes(whole, cut), Expect::Either);
        if (HasFailure())
            break;
    }
}

TEST(HostileMap, SpoiledTableBytes)
{
    // The tables stand at the end of a built map; spoil bytes there, a few at a time.
    const auto whole = BaseMap(Script()).Build();
    for (std::uint32_t seed = 1; seed <= 24; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        auto spoiled = whole;
        std::mt19937 random(seed);
        const std::size_t tail = 512;
        for (int i = 0; i < 8; ++i)
            spoiled[spoiled.size() - 1 - random() % tail] = static_cast<std::uint8_t>(random());
        InstallHostile(spoiled, Expect::Either);
        if (HasFailure())
            break;
    }
}

TEST(HostileMap, RealProtectedAndLuaMapsAreRefused)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    for (const char* name : {"war3net_JurassicParkSurvivalEE_v6.4.w3x", "war3net_DotF_v1.4.w3x"}) {
        SCOPED_TRACE(name);
        InstallHostile(ReadBytes(realmaps / "maps" / name), Expect::Error);
    }
}

} // namespace
} // namespace vornak::test
