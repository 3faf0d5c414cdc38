#include "install/CameraLineTransfer.h"
#include "install/LineReader.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

namespace vornak::test {
namespace {
namespace fs = std::filesystem;

// Any bytes against a plain case-folding search: fuzz/CameraLineFuzzer.cpp.
TEST(EncuentroTest, FoldsTheLettersAToZOnly)
{
    const std::string call(kCameraCall);
    EXPECT_TRUE(Encuentro("    call SetCameraBounds( -1.0, 2.0 )", call));
    EXPECT_TRUE(Encuentro("x // CALL SETCAMERABOUNDS", call)); // at the very end
    EXPECT_TRUE(Encuentro("cccccall", "CALL"));                 // a failed start must not hide the next
    EXPECT_FALSE(Encuentro("callSetCameraBounds()", call));
    // Neighbours of the letter ranges differ from a letter by the case bit too, yet stay themselves.
    EXPECT_FALSE(Encuentro("[^", "{~"));
    EXPECT_FALSE(Encuentro("\xC9", "\xE9")); // Windows-1252 E acute in both cases
    EXPECT_TRUE(Encuentro(std::string_view("caf\xE9\0!", 6), std::string_view("CAF\xE9\0", 5)));
}

std::string FindIn(const std::string& text)
{
    TempDir dir;
    WriteText(dir / "war3map.j", text);
    return FindCameraLine(dir / "war3map.j");
}

TEST(FindCameraLineTest, MainsCallOrElseTheFirstMatchingLine)
{
    EXPECT_EQ(FindIn("a\r\n call SetCameraBounds(1)\r\nc\r\nd\r\n call SetCameraBounds(2)"), " call SetCameraBounds(1)");
    EXPECT_EQ(FindIn("x\n// CALL SETCAMERABOUNDSTORECT\ny"), "// CALL SETCAMERABOUNDSTORECT"); // LF ends lines
    EXPECT_EQ(FindIn("call SetCameraBounds(a)\rfunction main\rendfunction\rcall SetCameraBounds(b)"),
              "call SetCameraBounds(a)");
    EXPECT_EQ(FindIn("function main\rendfunction\rcall SetCameraBounds(b)"), "call SetCameraBounds(b)");
    EXPECT_EQ(FindIn("x\r\ny"), "");
    EXPECT_EQ(FindIn(""), "");
    // Main's own call is preferred to any matching line before it.
    for (const std::string before : {
             "function Cam takes nothing returns nothing\r\n call SetCameraBounds(l, b, r, t)\r\nendfunction\r\n",
             " call SetCameraBoundsToRectForPlayerBJ(Player(0), gg_rct_A)\r\n",
             "// call SetCameraBounds(0, 0, 0, 0, 0, 0, 0, 0)\r\n",
             "function main2 takes nothing\r\ncall SetCameraBounds(2)\r\nendfunction\r\n"
             "function mainMenu takes nothing\r\ncall SetCameraBounds(3)\r\nendfunction\r\n"})
        EXPECT_EQ(FindIn(before + "function main takes nothing returns nothing\r\n call SetCameraBounds(main)\r\n"
                                  " call SetCameraBounds(x)\r\nendfunction\r\n"),
                  " call SetCameraBounds(main)")
            << before;
    EXPECT_EQ(FindIn("call SetCameraBounds(a)\n\t function\t main\ncall SetCameraBounds(main)"),
              "call SetCameraBounds(main)");
    // Found by fuzzing: a call on the line that opens or closes main (behind a comment) was skipped.
    EXPECT_EQ(FindIn("function main takes nothing returns nothing // CALL SETCAMERABOUNDS(1)\r\n call Foo()\r\n"
                     "endfunction\r\n"),
              "function main takes nothing returns nothing // CALL SETCAMERABOUNDS(1)");
    EXPECT_EQ(FindIn("function main takes nothing returns nothing\r\n call Foo()\r\nendfunction // call "
                     "SetCameraBounds(3)\r\n"),
              "endfunction // call SetCameraBounds(3)");
    EXPECT_EQ(FindIn("function main takes nothing returns nothing // call SetCameraBounds(1)\r\n"
                     " call SetCameraBounds(2)\r\nendfunction\r\n"),
              " call SetCameraBounds(2)");
}

TEST(ReplaceCameraLinesTest, ReplacesEveryMatchAndEndsEveryLineWithCrLf)
{
    TempDir dir;
    WriteText(dir / "war3map.j", "main\n call SetCameraBounds(0)\r\nx\r CALL SETCAMERABOUNDS(1)\r\n\r\n call setcamerabounds(2)");
    ReplaceCameraLines(dir / "war3map.j", dir / "war3map.j2", "call SetCameraBounds(new)");
    EXPECT_EQ(ReadText(dir / "war3map.j"), "main\r\ncall SetCameraBounds(new)\r\nx\r\ncall SetCameraBounds(new)\r\n\r\n"
                                           "call SetCameraBounds(new)\r\n");
    EXPECT_FALSE(fs::exists(dir / "war3map.j2"));
}

std::vector<std::string> ReadLines(std::string_view text, std::size_t chunk)
{
    TempDir dir;
    WriteText(dir / "f.j", text);
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
} // namespace vornak::test
