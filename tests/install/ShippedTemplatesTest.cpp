// Checks on the modification's own map files as shipped in Data/: the installer rewrites
// parts of them by fixed offsets and by line, so their layout is part of its contract.

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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

// Little-endian fields with bounds checks; every read past the end throws.
class Cursor {
public:
    explicit Cursor(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::string Raw(std::size_t n)
    {
        if (bytes_.size() - pos_ < n)
            throw std::runtime_error("field past the end at " + std::to_string(pos_));
        std::string s(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return s;
    }
    std::int32_t Int()
    {
        const auto b = Raw(4);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<std::uint8_t>(b[static_cast<std::size_t>(i)]);
        return static_cast<std::int32_t>(v);
    }
    float Float()
    {
        const auto bits = static_cast<std::uint32_t>(Int());
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    std::string Text()
    {
        const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(pos_);
        const auto end = std::find(begin, bytes_.end(), 0);
        if (end == bytes_.end())
            throw std::runtime_error("unterminated text at " + std::to_string(pos_));
        std::string s(begin, end);
        pos_ += s.size() + 1;
        return s;
    }
    void Skip(std::size_t ints) { Raw(4 * ints); }
    std::size_t pos() const { return pos_; }
    bool AtEnd() const { return pos_ == bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

std::string ReadAll(const char* name)
{
    const auto bytes = ReadBytes(DataFile(name));
    return {bytes.begin(), bytes.end()};
}

// The script split at CR LF; a lone CR or LF would make the installer see other lines.
std::vector<std::string> CrLfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos)
            throw std::runtime_error("last line has no CR LF");
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    for (const auto& line : lines)
        if (line.find_first_of("\r\n") != std::string::npos)
            throw std::runtime_error("stray line end in: " + line);
    return lines;
}

std::string Lower(std::string s)
{
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
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
        unit.original = in.Raw(4);
        unit.custom = in.Raw(4);
        if (!custom) {
            EXPECT_EQ(unit.custom, std::string(4, '\0')) << unit.original;
        }
        const auto count = in.Int();
        for (std::int32_t i = 0; i < count; ++i) {
            const auto id = in.Raw(4);
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
    Cursor in(ReadBytes(DataFile("war3map.w3i")));
    EXPECT_EQ(in.Int(), 18);
    in.Skip(2); // save count, editor version
    for (const char* text : {"TRIGSTR_001", "TRIGSTR_002", "TRIGSTR_003", "TRIGSTR_004"})
        EXPECT_EQ(in.Text(), text);
    ASSERT_EQ(in.pos(), 60u) << "the four texts must take exactly 48 bytes";

    in.Skip(8 + 4); // camera bounds and complements
    EXPECT_GT(in.Int(), 0);
    EXPECT_GT(in.Int(), 0);
    in.Skip(1); // flags
    EXPECT_EQ(in.Raw(1), "L");
    ASSERT_EQ(in.pos(), 121u);

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
    const auto lines = CrLfLines(ReadAll("war3map.j"));
    std::vector<std::size_t> cameraLines;
    std::size_t mainStart = 0, mainEnd = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (Lower(lines[i]).find("call setcamerabounds") != std::string::npos)
            cameraLines.push_back(i);
        if (lines[i].rfind("function main takes", 0) == 0)
            mainStart = i;
        else if (mainStart != 0 && mainEnd == 0 && lines[i] == "endfunction")
            mainEnd = i;
    }
    ASSERT_EQ(cameraLines.size(), 1u);
    EXPECT_GT(cameraLines[0], mainStart);
    EXPECT_LT(cameraLines[0], mainEnd);

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
    const auto lines = CrLfLines(ReadAll("listw3m.txt"));
    const std::set<std::string> names(lines.begin(), lines.end());
    for (const char* entry : {"war3map.j", "war3map.w3u", "war3map.wts", "war3map.w3i", "war3map.w3c"})
        EXPECT_TRUE(names.count(entry)) << entry;
    EXPECT_FALSE(names.count("")) << "an empty line";
}

} // namespace
