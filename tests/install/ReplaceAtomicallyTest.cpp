// A file rewritten with its own content must stay the very same file: the install adds the
// templates to the map, and the map records each file's time.

#include "base/FileOps.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vornak {
namespace {
namespace fs = std::filesystem;

TEST(ReplaceAtomicallyTest, SameContentKeepsTheFileAndItsTimeNewContentReplacesIt)
{
    test::TempDir dir;
    const auto file = dir / "war3map.j";
    const auto write = [&](const std::string& text) {
        fileops::ReplaceAtomically(file, dir / "war3map.j.new", [&](std::ofstream& out) { out << text; });
    };
    test::WriteText(file, "call SetCameraBounds(1)\r\n");
    const auto old = fs::last_write_time(file) - std::chrono::hours(1);
    fs::last_write_time(file, old);

    write("call SetCameraBounds(1)\r\n");
    EXPECT_EQ(fs::last_write_time(file), old);
    // Same length, one byte apart, and a longer text: both are new content.
    for (const std::string text : {"call SetCameraBounds(2)\r\n", "call SetCameraBounds(1)\r\n\r\n"}) {
        fs::last_write_time(file, old);
        write(text);
        EXPECT_EQ(test::ReadText(file), text);
        EXPECT_NE(fs::last_write_time(file), old);
        EXPECT_FALSE(fs::exists(dir / "war3map.j.new"));
    }
}

} // namespace
} // namespace vornak
