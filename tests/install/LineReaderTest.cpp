#include "install/InstallError.h"
#include "install/LineReader.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornak {
namespace {

using test::TempDir;

std::vector<std::string> ReadLines(const std::filesystem::path& path, std::size_t chunk)
{
    LineReader reader(path, chunk);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line))
        lines.emplace_back(line);
    return lines;
}

struct LineCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

TEST(LineReaderTest, SplitsAtEveryLineEndWhateverTheChunkSize)
{
    using namespace std::string_literals;
    const std::vector<LineCase> cases = {
        {"empty file", "", {}},
        {"CR LF", "a\r\nbb\r\n", {"a", "bb"}},
        {"CR alone", "a\rbb\r", {"a", "bb"}},
        {"LF alone", "a\nbb\n", {"a", "bb"}},
        {"mixed", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"last line without end", "one\r\ntwo", {"one", "two"}},
        {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
        {"empty lines", "\r\n\r\n\n\r", {"", "", "", ""}},
        {"CR CR LF", "a\r\r\nb", {"a", "", "b"}},
        {"bytes kept", "  \tx\0y \xE9\xFF  \r\n"s, {"  \tx\0y \xE9\xFF  "s}},
        {"single line end", "\n", {""}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        test::WriteText(dir / "f.j", c.text);
        // Chunks of 1 to 5 bytes put every CR at a chunk boundary somewhere, its LF in the next.
        for (std::size_t chunk : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5},
                                  LineReader::kDefaultChunk})
            EXPECT_EQ(ReadLines(dir / "f.j", chunk), c.lines) << c.name << ", chunk " << chunk;
    }
}

TEST(LineReaderTest, CrAtChunkEndWithLfStartingTheNextChunk)
{
    TempDir dir;
    test::WriteText(dir / "f.j", "abc\r\ndef\r\n");
    EXPECT_EQ(ReadLines(dir / "f.j", 4), (std::vector<std::string>{"abc", "def"}));
}

TEST(LineReaderTest, KeepsALineFarLongerThanTheChunkWhole)
{
    TempDir dir;
    std::string huge(std::size_t{1} << 20, 'x');
    for (std::size_t i = 0; i < huge.size(); i += 997)
        huge[i] = static_cast<char>('a' + i % 26);
    test::WriteText(dir / "f.j", "first\r\n" + huge + "\r\nlast");
    EXPECT_EQ(ReadLines(dir / "f.j", 4096), (std::vector<std::string>{"first", huge, "last"}));
}

TEST(LineReaderTest, MissingFileIsAnInstallErrorNamingIt)
{
    TempDir dir;
    try {
        LineReader reader(dir / "absent.j");
        FAIL() << "no error";
    } catch (const InstallError& e) {
        EXPECT_NE(std::string(e.what()).find("absent.j"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace vornak
