// The structure check that runs before StormLib sees a map: sound maps pass untouched, each
// kind of damage is named. The structures StormLib crashed on are in
// tests/reliability/FindingsTest.cpp, through the archive layer.
#include "MapBuilder.h"
#include "TestFiles.h"
#include "archive/MpqStructureCheck.h"
#include "archive/StormMapArchive.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

std::vector<std::uint8_t> Compressible(std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i / 64 % 7);
    return bytes;
}

MapBuilder SmallMap(bool hm3w = true)
{
    MapBuilder builder;
    if (hm3w)
        builder.Hm3wHeader();
    // The first entry's data starts right behind the MPQ header: 3 sectors of 4 KiB.
    builder.CompressedEntry("war3map.j", Compressible(10000))
        .Entry("war3map.w3i", std::vector<std::uint8_t>(200, 1))
        .CompressedEntry("war3map.w3e", Compressible(5000));
    return builder;
}

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

constexpr std::size_t kFirstEntry = 32;                // behind the MPQ header
constexpr std::size_t kFirstSectorTable = 4 * (3 + 1); // three sectors and the end

struct Case {
    const char* label;
    std::function<void(std::vector<std::uint8_t>& map, std::size_t mpq)> spoil;
    const char* problemMentions; // empty: the map must pass
    bool hm3w = true;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.label;
}

const Case kCases[] = {
    {"Sound", [](auto&, auto) {}, ""},
    {"SoundWithoutHm3w", [](auto&, auto) {}, "", false},
    {"HashTableNotAPowerOfTwo", [](auto& m, auto mpq) { Put32(m, mpq + 24, 24); }, "instead of a power of two"},
    {"BlockTableLongerThanTheFile", [](auto& m, auto mpq) { Put32(m, mpq + 28, 0x1000); }, "block table ("},
    {"SectorsOfGigabytes", [](auto& m, auto mpq) { m[mpq + 14] = 23; }, "sectors of 512 << 23"},
    {"FormatFourWithoutHm3w", [](auto& m, auto mpq) { m[mpq + 12] = 3; }, "format 4", false},
    // Warcraft III reads a map's archive as the first format whatever its header says.
    {"FormatFourInAWarcraftMap", [](auto& m, auto mpq) { m[mpq + 12] = 3; }, ""},
    {"UserDataWithoutHm3w",
     [](auto& m, auto) {
         std::vector<std::uint8_t> front(512, 0);
         front[0] = 'M', front[1] = 'P', front[2] = 'Q', front[3] = 0x1B;
         m.insert(m.begin(), front.begin(), front.end());
     },
     "user data", false},
    {"SectorTableClaimsMoreRoom", [](auto& m, auto mpq) { Put32(m, mpq + kFirstEntry, kFirstSectorTable + 4); },
     "states its own length"},
    {"SectorPastTheEntry", [](auto& m, auto mpq) { Put32(m, mpq + kFirstEntry + 12, 0x7FFFFFF0); },
     "sector 2 lies outside"},
    {"SectorsOutOfOrder", [](auto& m, auto mpq) { Put32(m, mpq + kFirstEntry + 4, 0xFFFF); }, "sector 0 lies outside"},
    {"LzmaSector", [](auto& m, auto mpq) { m[mpq + kFirstEntry + kFirstSectorTable] = 0x12; },
     "sector 0 is compressed with LZMA"},
};

class MpqStructure : public ::testing::TestWithParam<Case> {};

TEST_P(MpqStructure, FindsWhatIsWrong)
{
    MapBuilder builder = SmallMap(GetParam().hm3w);
    auto bytes = builder.Build();
    GetParam().spoil(bytes, builder.MpqOffset());
    TempDir dir;
    WriteBytes(dir / "map.w3x", bytes);
    const MpqStructureCheck check(dir / "map.w3x");
    EXPECT_TRUE(check.headerFound() || !check.problem().empty());
    const std::string expected = GetParam().problemMentions;
    if (expected.empty()) {
        EXPECT_TRUE(check.sound()) << check.problem();
        EXPECT_EQ(check.headerOffset(), builder.MpqOffset());
    } else {
        EXPECT_NE(check.problem().find(expected), std::string::npos) << check.problem();
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, MpqStructure, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(MpqStructure, NoHeaderIsNotDamage)
{
    TempDir dir;
    for (const std::size_t size : {std::size_t{0}, std::size_t{7}, std::size_t{5000}}) {
        std::vector<std::uint8_t> bytes(size);
        std::mt19937 random(static_cast<unsigned>(size));
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random() % 0x4D); // never the 'M' of a header
        WriteBytes(dir / "map.w3x", bytes);
        const MpqStructureCheck check(dir / "map.w3x");
        EXPECT_FALSE(check.headerFound());
        EXPECT_EQ(check.problem(), "");
    }
    // A header cut off by the end of the file is damage, not absence.
    auto bytes = SmallMap().Build();
    bytes.resize(512 + 20);
    WriteBytes(dir / "map.w3x", bytes);
    EXPECT_NE(MpqStructureCheck(dir / "map.w3x").problem().find("cut short"), std::string::npos);
}

// Every real map passes, at the header offset StormLib itself uses (the archive layer compares
// them), but the protected one: its block table states 92673 entries, 150 of which the file holds.
TEST(MpqStructure, RealMaps)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    for (const auto& entry : fs::directory_iterator(realmaps / "maps")) {
        const auto name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const MpqStructureCheck check(entry.path());
        if (name == "war3net_JurassicParkSurvivalEE_v6.4.w3x") {
            EXPECT_NE(check.problem().find("block table (1482768 bytes"), std::string::npos) << check.problem();
            continue;
        }
        EXPECT_TRUE(check.sound()) << check.problem();
        StormMapArchive archive;
        EXPECT_NO_THROW(archive.List(entry.path(), {}));
    }
}

} // namespace
} // namespace vornak::test
