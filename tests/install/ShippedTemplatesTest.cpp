// The modification's own map files as shipped in Data/: the installer rewrites parts of them
// where their fields stand and by line, so their layout is part of its contract.

#include "install/CameraLineTransfer.h"
#include "install/LineReader.h"
#include "base/LittleEndian.h"
#include "install/MapInfoRecord.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <stdexcept>

namespace vornak {
namespace {

std::filesystem::path DataFile(const char* name)
{
    return test::SourceDir() / "Data" / name;
}

// Field by field through a binary file; the little-endian helpers check the bounds.
struct Cursor {
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;

    std::int32_t Int() { return le::ReadInt32(bytes, (at += 4) - 4); }
    float Float() { return le::ReadFloat32(bytes, (at += 4) - 4); }
    std::string Text()
    {
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        const auto end = std::find(from, bytes.end(), 0);
        if (end == bytes.end())
            throw std::runtime_error("unterminated text at " + std::to_string(at));
        at += static_cast<std::size_t>(end - from) + 1;
        return {from, end};
    }
};

TEST(ShippedTemplates, MapInfoIsFormat18WithFortyEightBytesOfTexts)
{
    const auto record = MapInfoRecord::Parse(test::ReadBytes(DataFile("war3map.w3i")), DataFile("war3map.w3i"));
    EXPECT_EQ(record.formatVersion, 18);
    EXPECT_EQ(record.texts, (std::array<std::string, 4>{"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"}));
    EXPECT_EQ(record.offsets.tileset, 120u);
    EXPECT_EQ(record.tileset, 'L');
}

TEST(ShippedTemplates, ScriptHasOneCameraLineInMainAndCrLfLineEnds)
{
    const std::string script = test::ReadText(DataFile("war3map.j"));
    std::string_view rest = script; // every CR and every LF belongs to a CR LF pair
    for (std::size_t at; (at = rest.find_first_of("\r\n")) != rest.npos; rest.remove_prefix(at + 2))
        ASSERT_EQ(rest.substr(at, 2), "\r\n") << "at " << script.size() - rest.size() + at;

    std::vector<std::string> lines;
    LineReader reader(DataFile("war3map.j"));
    for (std::string_view line; reader.Next(line);)
        lines.emplace_back(line);
    const auto main = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return l.starts_with("function main takes"); });
    const auto mainEnd = std::find(main, lines.end(), "endfunction");
    const auto isCamera = [](const std::string& line) { return Encuentro(line, kCameraCall); };
    ASSERT_EQ(std::count_if(lines.begin(), lines.end(), isCamera), 1);
    EXPECT_EQ(std::count_if(main, mainEnd, isCamera), 1);
}

TEST(ShippedTemplates, TriggerStringsDefineEveryReference)
{
    // Whatever the map info and the script name must be there, or the game shows raw keys.
    const auto wts = test::ReadText(DataFile("war3map.wts"));
    const auto refs = test::ReadText(DataFile("war3map.w3i")) + test::ReadText(DataFile("war3map.j"));
    const std::regex ref("TRIGSTR_0*(\\d+)");
    int seen = 0;
    for (std::sregex_iterator it(refs.begin(), refs.end(), ref), end; it != end; ++it, ++seen)
        EXPECT_NE(wts.find("STRING " + (*it)[1].str() + "\r\n{\r\n"), std::string::npos) << (*it)[0];
    EXPECT_GE(seen, 4);
}

TEST(ShippedTemplates, UnitsAndCamerasParseToTheLastByte)
{
    Cursor units{test::ReadBytes(DataFile("war3map.w3u"))};
    EXPECT_EQ(units.Int(), 1);
    for (int table = 0; table < 2; ++table) { // original units changed, then custom units
        for (auto count = units.Int(); count > 0; --count) {
            units.at += 8; // original and custom id
            for (auto fields = units.Int(); fields > 0; --fields) {
                units.Int(); // field id
                const auto type = units.Int();
                ASSERT_TRUE(type >= 0 && type <= 3) << "field type " << type;
                type == 3 ? (void)units.Text() : (void)units.Int();
                EXPECT_EQ(units.Int(), 0) << "end marker";
            }
        }
    }
    EXPECT_EQ(units.at, units.bytes.size());

    Cursor cameras{test::ReadBytes(DataFile("war3map.w3c"))};
    EXPECT_EQ(cameras.Int(), 0);
    for (auto count = cameras.Int(); count > 0; --count) {
        for (int i = 0; i < 10; ++i)
            cameras.Float();
        EXPECT_FALSE(cameras.Text().empty());
    }
    EXPECT_EQ(cameras.at, cameras.bytes.size());
}

TEST(ShippedTemplates, ListFileNamesTheFiveEntries)
{
    const auto list = "\r\n" + test::ReadText(DataFile("listw3m.txt"));
    for (const char* entry : {"war3map.j", "war3map.w3u", "war3map.wts", "war3map.w3i", "war3map.w3c"})
        EXPECT_NE(list.find("\r\n" + std::string(entry) + "\r\n"), std::string::npos) << entry;
    EXPECT_EQ(list.find("\r\n\r\n"), std::string::npos) << "an empty line";
}

} // namespace
} // namespace vornak
