#include "install/CameraLineTransfer.h"
#include "base/FileOps.h"
#include "install/InstallError.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <random>

namespace vornak {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::TempDir;
using test::WriteText;

// The plain algorithm: upper-case busco and each window of texto (a-z only), compare.
bool NaiveEncuentro(std::string texto, std::string busco)
{
    for (auto* s : {&texto, &busco})
        for (auto& c : *s)
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    for (std::size_t i = 0; i + busco.size() <= texto.size(); ++i)
        if (texto.compare(i, busco.size(), busco) == 0)
            return true;
    return false;
}

TEST(EncuentroTest, FoldsTheLettersAToZOnlyAndAgreesWithTheNaiveAlgorithm)
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

    const std::string alphabet("aAbBcC @`[{\xE1\xC1\0", 14); // few bytes: frequent matches and near misses
    std::mt19937 rng(20240611);
    const auto random = [&](std::size_t max) {
        std::string s(rng() % (max + 1), ' ');
        for (auto& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    for (int i = 0; i < 50000; ++i) {
        const std::string texto = random(12), busco = random(3);
        ASSERT_EQ(Encuentro(texto, busco), NaiveEncuentro(texto, busco)) << "'" << texto << "' '" << busco << "'";
    }
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
}

TEST(ReplaceCameraLinesTest, ReplacesEveryMatchAndEndsEveryLineWithCrLf)
{
    TempDir dir;
    WriteText(dir / "war3map.j", "main\n call SetCameraBounds(0)\r\nx\r CALL SETCAMERABOUNDS(1)\r\n\r\n call setcamerabounds(2)");
    ReplaceCameraLines(dir / "war3map.j", dir / "war3map.j2", "call SetCameraBounds(new)");
    EXPECT_EQ(ReadText(dir / "war3map.j"), "main\r\ncall SetCameraBounds(new)\r\nx\r\ncall SetCameraBounds(new)\r\n\r\n"
                                           "call SetCameraBounds(new)\r\n");
    EXPECT_FALSE(fs::exists(dir / "war3map.j2"));

    WriteText(dir / "war3map.j", "");
    WriteText(dir / "war3map.j2", "left from a failed run");
    ReplaceCameraLines(dir / "war3map.j", dir / "war3map.j2", "call SetCameraBounds(new)");
    EXPECT_EQ(ReadText(dir / "war3map.j"), "");
    EXPECT_FALSE(fs::exists(dir / "war3map.j2"));
}

TEST(ReplaceCameraLinesTest, AnyFailureLeavesTheTemplateWholeAndNoWorkingCopy)
{
    std::string text;
    while (text.size() < (1 << 20)) // several reads and blocks written before the end
        text += " call SetCameraBounds(" + std::to_string(text.size()) + ")\r\n set x = 1\n";
    // Part-way through the new text, and at the very last step.
    for (const auto& [operation, nth] : std::vector<std::pair<std::string, int>>{{"write", 2}, {"rename", 1}}) {
        TempDir dir;
        WriteText(dir / "war3map.j", text);
        int seen = 0;
        fileops::SetFaultHook([&, op = operation, n = nth](std::string_view o, const fs::path&) {
            if (o == op && ++seen == n)
                throw InstallError("injected");
        });
        EXPECT_THROW(ReplaceCameraLines(dir / "war3map.j", dir / "war3map.j2", "call SetCameraBounds(new)"),
                     InstallError);
        fileops::SetFaultHook(nullptr);
        EXPECT_EQ(seen, nth) << operation;
        EXPECT_TRUE(ReadText(dir / "war3map.j") == text) << operation;
        EXPECT_FALSE(fs::exists(dir / "war3map.j2")) << operation;
    }
}

TEST(CameraLineRealScriptsTest, FindsTheLineTheReadmeListsForEveryRealScript)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    // README lists them as "- maps/<map>" or "- j/<script>", then the line in a fenced block.
    std::ifstream readme(realmaps / "README.md");
    std::string line, name;
    int checked = 0, unread = 0;
    while (std::getline(readme, line)) {
        if (line.starts_with("- maps/") || line.starts_with("- j/")) {
            name = line.substr(2);
        } else if (line == "  ```" && !name.empty()) {
            std::getline(readme, line);
            const std::string expected = line.substr(2); // the list's indent
            TempDir dir;
            fs::path script = realmaps / name;
            if (name.starts_with("maps/")) {
                const auto bytes = test::RealMapEntry(script, "war3map.j");
                if (!bytes && !test::kSmpqRuns) {
                    std::cout << name << " is read only by smpq, which does not run here: skipped\n";
                    ++unread, name.clear();
                    continue;
                }
                ASSERT_TRUE(bytes) << name << ": its script cannot be read here (is smpq installed?)";
                test::WriteBytes(dir / "war3map.j", *bytes);
                script = dir / "war3map.j";
            }
            EXPECT_EQ(FindCameraLine(script), expected) << name;
            ++checked;
            std::getline(readme, line);
            name.clear();
        }
    }
    EXPECT_GE(checked + unread, 19) << "README.md no longer lists the camera lines as expected";
}

} // namespace
} // namespace vornak
