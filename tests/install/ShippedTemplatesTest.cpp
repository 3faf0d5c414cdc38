// Checks on the modification's own map files as shipped in Data/: the installer rewrites
// parts of them by fixed offsets and by line, so their layout is part of its contract.

#include "TestFiles.h"

#include "install/CameraLineTransfer.h"
#include "install/LineReader.h"
#include "install/LittleEndian.h"
#include "install/MapInfoRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vornak::test::ReadBytes;
using vornak::test::SourceDir;

std::filesystem::path DataFile(const char* name)
{
    return SourceDir() / "Data" / name;
}

// Walks a binary file field by field; the project's little-endian helpers check bounds.
class Cursor {
public:
    explicit Cursor(std::vector<std::uint8_t> bytes, std::size_t at = 0) : bytes_(std::move(bytes)), pos_(at) {}

    std::int32_t Int() { return Take(vornak::le::ReadInt32(bytes_, pos_), 4); }
    float Float() { return Take(vornak::le::ReadFloat32(bytes_, pos_), 4); }
    std::string Code()
    {
        vornak::le::ReadInt32(bytes_, pos_); // bounds
        return Take(std::string(bytes_.begin() + Pos(), bytes_.begin() + Pos() + 4), 4);
    }
    std::string Text()
    {
        const auto end = std::find(bytes_.begin() + Pos(), bytes_.end(), 0);
        if (end == bytes_.end())
            throw std::runtime_error("unterminated text at " + std::to_string(pos_));
        std::string s(bytes_.begin() + Pos(), end);
        return Take(s, s.size() + 1);
    }
    void Skip(std::size_t ints)
    {
        for (std::size_t i = 0; i < ints; ++i)
            Int();
    }
    bool AtEnd() const { return pos_ == bytes_.size(); }

private:
    std::ptrdiff_t Pos() const { return static_cast<std::ptrdiff_t>(pos_); }
    template <typename T>
    T Take(T value, std::size_t size)
    {
        pos_ += size;
        return value;
    }
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

std::string ReadAll(const char* name)
{
    const auto bytes = ReadBytes(DataFile(name));
    return {bytes.begin(), bytes.end()};
}

// The installer reads lines ending at CR or CR LF; a lone LF would merge two lines.
bool OnlyCrLfLineEnds(const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    }
    return text.ends_with("\r\n");
}

std::vector<std::string> Lines(const std::filesystem::path& path)
{
    vornak::LineReader reader(path);
    std::vector<std::string> lines;
    for (std::string_view line; reader.Next(line);)
        lines.emplace_back(line);
    return lines;
}

struct UnitObject {
    std::string original;
    std::string custom;
    std::map<std::string, std::string> fields; // id -> value as text
};

std::vector<UnitObject> ReadUnitTable(Cursor& in, bool custom)
{
    std::vector<UnitObject> table(static_cast<std::size_t>(in.Int()));
    for (auto& unit : table) {
        unit.original = in.Code();
        unit.custom = in.Code();
        if (!custom) {
            EXPECT_EQ(unit.custom, std::string(4, '\0')) << unit.original;
        }
        const auto count = in.Int();
        for (std::int32_t i = 0; i < count; ++i) {
            const auto id = in.Code();
            const auto type = in.Int();
            std::string value;
            switch (type) {
            case 0: value = std::to_string(in.Int()); break;
            case 1:
            case 2: value = std::to_string(in.Float()); break;
            case 3: value = in.Text(); break;
            default: throw std::runtime_error("unknown field type " + std::to_string(type));
            }
            EXPECT_EQ(in.Int(), 0) << "end marker of " << id;
            EXPECT_TRUE(unit.fields.emplace(id, value).second) << "twice: " << id;
        }
    }
    return table;
}

TEST(ShippedTemplates, MapInfoIsFormat18WithTheFixedRecordInPlace)
{
    const auto bytes = ReadBytes(DataFile("war3map.w3i"));
    const auto record = vornak::MapInfoRecord::Parse(bytes, DataFile("war3map.w3i"));
    EXPECT_EQ(record.formatVersion, 18);
    EXPECT_EQ(record.texts, (std::array<std::string, 4>{"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"}));
    // Only four texts of 48 bytes together put the tileset where the fixed record has it.
    EXPECT_EQ(record.offsets.tileset, 120u);
    EXPECT_EQ(record.tileset, 'L');
    EXPECT_GT(record.playableWidth, 0);
    EXPECT_GT(record.playableHeight, 0);

    Cursor in(bytes, record.offsets.end);
    // The rest of format 18 must read to the very last byte.
    for (int screen = 0; screen < 2; ++screen) { // loading screen, then prologue
        in.Skip(1);
        for (int i = 0; i < 3; ++i)
            in.Text();
    }

    const auto players = in.Int();
    EXPECT_GE(players, 4);
    std::int32_t slots = 0;
    for (std::int32_t i = 0; i < players; ++i) {
        const auto slot = in.Int();
        slots |= 1 << slot;
        in.Skip(3); // controller, race, fixed start
        in.Text();
        // The one point every map has: a start anywhere else may lie off the chosen map.
        EXPECT_EQ(in.Float(), 0.0f) << "player " << slot;
        EXPECT_EQ(in.Float(), 0.0f) << "player " << slot;
        in.Skip(2); // ally priorities
    }

    const auto forces = in.Int();
    std::int32_t covered = 0;
    for (std::int32_t i = 0; i < forces; ++i) {
        const auto flags = in.Int();
        const auto members = in.Int();
        in.Text();
        EXPECT_EQ(flags & 0x1, 0) << "an allied force is no free-for-all";
        EXPECT_EQ(covered & members & slots, 0) << "a player in two forces";
        covered |= members;
    }
    EXPECT_EQ(covered & slots, slots) << "a player in no force";

    EXPECT_EQ(in.Int(), 0); // upgrade changes
    EXPECT_EQ(in.Int(), 0); // tech changes
    EXPECT_EQ(in.Int(), 0); // random unit tables
    EXPECT_TRUE(in.AtEnd());
}

TEST(ShippedTemplates, ScriptHasOneCameraLineInMainAndCrLfLineEnds)
{
    EXPECT_TRUE(OnlyCrLfLineEnds(ReadAll("war3map.j")));
    const auto lines = Lines(DataFile("war3map.j"));
    std::vector<std::size_t> cameraLines;
    std::size_t mainStart = 0, mainEnd = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (vornak::Encuentro(lines[i], vornak::kCameraCall))
            cameraLines.push_back(i);
        if (lines[i].starts_with("function main takes"))
            mainStart = i;
        else if (mainStart != 0 && mainEnd == 0 && lines[i] == "endfunction")
            mainEnd = i;
    }
    ASSERT_EQ(cameraLines.size(), 1u);
    EXPECT_GT(cameraLines[0], mainStart);
    EXPECT_LT(cameraLines[0], mainEnd);
    EXPECT_EQ(vornak::FindCameraLine(DataFile("war3map.j")), lines[cameraLines[0]]);

    const std::regex start(R"(call DefineStartLocation\( \d+, ([-0-9.]+), ([-0-9.]+) \))");
    int starts = 0;
    for (const auto& line : lines) {
        std::smatch m;
        if (std::regex_search(line, m, start)) {
            ++starts;
            EXPECT_EQ(std::stod(m[1]), 0.0) << line;
            EXPECT_EQ(std::stod(m[2]), 0.0) << line;
        }
    }
    EXPECT_EQ(starts, 4);
}

TEST(ShippedTemplates, TriggerStringsDefineEveryReference)
{
    const auto wts = ReadAll("war3map.wts");
    const std::regex entry("STRING (\\d+)\r\n\\{\r\n([^\r\n]*)\r\n\\}\r\n");
    std::map<int, std::string> strings;
    for (std::sregex_iterator it(wts.begin(), wts.end(), entry), end; it != end; ++it)
        EXPECT_TRUE(strings.emplace(std::stoi((*it)[1]), (*it)[2]).second) << "twice: " << (*it)[1];
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE(strings[n].empty()) << "STRING " << n;

    // Whatever the map info and the script name must be there, or the game shows raw keys.
    const auto info = ReadBytes(DataFile("war3map.w3i"));
    const auto refs = std::string(info.begin(), info.end()) + ReadAll("war3map.j");
    const std::regex ref("TRIGSTR_(\\d+)");
    int seen = 0;
    for (std::sregex_iterator it(refs.begin(), refs.end(), ref), end; it != end; ++it, ++seen)
        EXPECT_TRUE(strings.count(std::stoi((*it)[1]))) << (*it)[0];
    EXPECT_GE(seen, 4);
}

TEST(ShippedTemplates, CustomUnitsParseAndCoverTheScriptsRawIds)
{
    Cursor in(ReadBytes(DataFile("war3map.w3u")));
    EXPECT_EQ(in.Int(), 1);
    const auto original = ReadUnitTable(in, false);
    const auto custom = ReadUnitTable(in, true);
    EXPECT_TRUE(in.AtEnd());

    std::set<std::string> ids;
    for (const auto& unit : custom) {
        EXPECT_TRUE(ids.insert(unit.custom).second) << "twice: " << unit.custom;
        EXPECT_FALSE(unit.fields.at("unam").empty()) << unit.custom;
    }
    EXPECT_FALSE(original.empty());

    // The script makes exactly the custom units the data defines: an id it names
    // without data would create nothing in the game.
    const auto script = ReadAll("war3map.j");
    const std::regex rawId("'([a-zA-Z][0-9]{3})'");
    std::set<std::string> used;
    for (std::sregex_iterator it(script.begin(), script.end(), rawId), end; it != end; ++it)
        used.insert((*it)[1]);
    EXPECT_EQ(used, ids);
}

TEST(ShippedTemplates, CamerasParse)
{
    Cursor in(ReadBytes(DataFile("war3map.w3c")));
    EXPECT_EQ(in.Int(), 0);
    const auto count = in.Int();
    EXPECT_GE(count, 1);
    EXPECT_LE(count, 2);
    for (std::int32_t i = 0; i < count; ++i) {
        float f[10];
        for (auto& v : f)
            v = in.Float();
        EXPECT_GT(f[5], 0.0f) << "distance";
        EXPECT_GT(f[7], 0.0f) << "field of view";
        EXPECT_GT(f[8], f[9]) << "far clipping beyond near";
        EXPECT_FALSE(in.Text().empty());
    }
    EXPECT_TRUE(in.AtEnd());
}

TEST(ShippedTemplates, ListFileNamesTheFiveEntries)
{
    EXPECT_TRUE(OnlyCrLfLineEnds(ReadAll("listw3m.txt")));
    const auto lines = Lines(DataFile("listw3m.txt"));
    const std::set<std::string> names(lines.begin(), lines.end());
    for (const char* entry : {"war3map.j", "war3map.w3u", "war3map.wts", "war3map.w3i", "war3map.w3c"})
        EXPECT_TRUE(names.count(entry)) << entry;
    EXPECT_FALSE(names.count("")) << "an empty line";
}

} // namespace
