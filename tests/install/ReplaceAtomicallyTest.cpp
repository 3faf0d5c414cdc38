// A file rewritten with its own content must stay the very same file: the install adds the
// templates to the map, and the map records each file's time.

#include "install/FileOps.h"
#include "install/InstallError.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vornak {
namespace {
namespace fs = std::filesystem;
using test::ReadText;
using test::TempDir;
using test::WriteText;

void Write(const fs::path& target, const std::string& text)
{
    fileops::ReplaceAtomically(target, fs::path(target) += ".new", [&](std::ofstream& out) { out << text; });
}

TEST(ReplaceAtomicallyTest, SameContentKeepsTheFileAndItsTimeNewContentReplacesIt)
{
    TempDir dir;
    const auto file = dir / "war3map.j";
    WriteText(file, "call SetCameraBounds(1)\r\n");
    const auto old = fs::last_write_time(file) - std::chrono::hours(1);
    fs::last_write_time(file, old);

    Write(file, "call SetCameraBounds(1)\r\n");
    EXPECT_EQ(fs::last_write_time(file), old);
    EXPECT_FALSE(fs::exists(dir / "war3map.j.new"));

    // Same length, one byte apart, and a longer text: both are new content.
    for (const std::string text : {"call SetCameraBounds(2)\r\n", "call SetCameraBounds(1)\r\n\r\n"}) {
        Write(file, text);
        EXPECT_EQ(ReadText(file), text);
        EXPECT_NE(fs::last_write_time(file), old);
        EXPECT_FALSE(fs::exists(dir / "war3map.j.new"));
        fs::last_write_time(file, old);
    }
}

TEST(ReplaceAtomicallyTest, AFailedRemovalOfTheUnneededCopyIsReported)
{
    TempDir dir;
    const auto file = dir / "war3map.w3i";
    WriteText(file, "same");
    fileops::SetFaultHook([](std::string_view operation, const fs::path&) {
        if (operation == "remove")
            throw InstallError("injected");
    });
    EXPECT_THROW(Write(file, "same"), InstallError);
    fileops::SetFaultHook(nullptr);
    EXPECT_EQ(ReadText(file), "same");
    EXPECT_FALSE(fs::exists(dir / "war3map.w3i.new"));
}

} // namespace
} // namespace vornak
