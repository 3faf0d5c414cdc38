#include "install/LineReader.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace vornak {
namespace {

std::vector<std::string> ReadLines(std::string_view text, std::size_t chunk)
{
    test::TempDir dir;
    test::WriteText(dir / "f.j", text);
    LineReader reader(dir / "f.j", chunk);
    std::vector<std::string> lines;
    for (std::string_view line; reader.Next(line);)
        lines.emplace_back(line);
    return lines;
}

TEST(LineReaderTest, SplitsAtCrLfCrAndLfWhateverTheChunkSize)
{
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {}},
        {"a\r\nbb\r\n", {"a", "bb"}},
        {"a\rbb\r", {"a", "bb"}},
        {"a\nbb\n", {"a", "bb"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}}, // the last line needs no end
        {"a\n\rb\r\r\nc", {"a", "", "b", "", "c"}},
        {"\r\n\n\r", {"", "", ""}},
        {" \tx\0y \xE9\xFF \r\n"s, {" \tx\0y \xE9\xFF "s}}, // bytes kept, nothing trimmed
    };
    // Chunks of 1 to 5 bytes put each CR at the end of a chunk somewhere, its LF in the next.
    for (const auto& [text, lines] : cases)
        for (std::size_t chunk : {1, 2, 3, 5, 1 << 18})
            EXPECT_EQ(ReadLines(text, chunk), lines) << "chunk " << chunk << ": " << text;
}

TEST(LineReaderTest, KeepsALineFarLongerThanTheChunkWhole)
{
    std::string huge(std::size_t{1} << 20, 'x');
    for (std::size_t i = 0; i < huge.size(); i += 997)
        huge[i] = static_cast<char>('a' + i % 26);
    EXPECT_EQ(ReadLines("first\r\n" + huge + "\r\nlast", 4096), (std::vector<std::string>{"first", huge, "last"}));
}

} // namespace
} // namespace vornak
