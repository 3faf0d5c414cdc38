#include "install/CameraLineTransfer.h"
#include "install/FileOps.h"
#include "install/InstallError.h"
#include "install/LineReader.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vornak {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::TempDir;
using test::WriteText;

// The plain algorithm: fold busco and every window of texto to upper case, compare.
bool NaiveEncuentro(const std::string& texto, const std::string& busco)
{
    const auto upper = [](std::string s) {
        for (auto& c : s)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        return s;
    };
    if (busco.size() > texto.size())
        return false;
    for (std::size_t i = 0; i + busco.size() <= texto.size(); ++i)
        if (upper(texto.substr(i, busco.size())) == upper(busco))
            return true;
    return false;
}

TEST(EncuentroTest, CaseOfLettersOnly)
{
    const std::string call(kCameraCall);
    EXPECT_TRUE(Encuentro("    call SetCameraBounds( -1.0, 2.0 )", call));
    EXPECT_TRUE(Encuentro("CALL SETCAMERABOUNDS", call));
    EXPECT_TRUE(Encuentro(call, call));
    EXPECT_TRUE(Encuentro("x = 1 // call setcamerabounds", call)); // occurrence ends texto
    EXPECT_TRUE(Encuentro("call SetCameraBoundsToRectForPlayerBJ(p, r)", call));
    EXPECT_FALSE(Encuentro("call SetCameraBound", call)); // shorter than busco
    EXPECT_FALSE(Encuentro("callSetCameraBounds(a)", call));
    EXPECT_FALSE(Encuentro("call  SetCameraBounds(a)", call));
    EXPECT_FALSE(Encuentro("call\tSetCameraBounds(a)", call));
    EXPECT_FALSE(Encuentro("", call));
    EXPECT_TRUE(Encuentro("", ""));

    // Folding only a-z: the neighbours of the letter ranges, which differ from a letter by the
    // case bit too, stay themselves.
    EXPECT_FALSE(Encuentro("@", "`"));
    EXPECT_FALSE(Encuentro("[", "{"));
    EXPECT_FALSE(Encuentro("x^y", "x~y"));
    EXPECT_FALSE(Encuentro("\xC9", "\xE9")); // Windows-1252 E acute, upper and lower
    EXPECT_TRUE(Encuentro("caf\xE9!", "CAF\xE9"));
    EXPECT_TRUE(Encuentro(std::string_view("a\0b", 3), std::string_view("A\0B", 3)));
    EXPECT_TRUE(Encuentro("cccccall", "CALL")); // a failed start must not swallow the next one
}

TEST(EncuentroTest, AgreesWithTheNaiveAlgorithmOnRandomTexts)
{
    // Few distinct bytes, so that matches and near misses are frequent.
    const std::string alphabet = std::string("aAbBcC @`[{z Z\xE1\xC1") + '\0';
    std::mt19937 rng(20240611);
    const auto random = [&](std::size_t maxLength) {
        std::string s(std::uniform_int_distribution<std::size_t>(0, maxLength)(rng), ' ');
        for (auto& c : s)
            c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
        return s;
    };
    int matches = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string texto = random(14);
        const std::string busco = random(4);
        // Plant busco with random case changes now and then.
        if (i % 3 == 0 && busco.size() <= texto.size()) {
            const auto at = std::uniform_int_distribution<std::size_t>(0, texto.size() - busco.size())(rng);
            for (std::size_t k = 0; k < busco.size(); ++k) {
                char c = busco[k];
                if (rng() % 2 && c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 32);
                texto[at + k] = c;
            }
        }
        const bool expected = NaiveEncuentro(texto, busco);
        matches += expected;
        ASSERT_EQ(Encuentro(texto, busco), expected) << "texto '" << texto << "' busco '" << busco << "'";
    }
    EXPECT_GT(matches, 50000);
    EXPECT_LT(matches, 150000);
}

std::string FindIn(std::string_view text)
{
    TempDir dir;
    WriteText(dir / "war3map.j", text);
    return FindCameraLine(dir / "war3map.j");
}

TEST(FindCameraLineTest, FirstMatchingLineWhenThereIsNoMain)
{
    EXPECT_EQ(FindIn("a\r\n  call SetCameraBounds(1)\r\nc\r\nd\r\n  call SetCameraBounds(2)\r\n"),
              "  call SetCameraBounds(1)");
    EXPECT_EQ(FindIn("// CALL SETCAMERABOUNDSTORECT\r\n  call SetCameraBounds(2)"), "// CALL SETCAMERABOUNDSTORECT");
    EXPECT_EQ(FindIn("x\r\ny"), "");
    EXPECT_EQ(FindIn(""), "");
    // LF line ends split lines too: only the call itself is carried.
    EXPECT_EQ(FindIn("globals\nendglobals\n\tcall SetCameraBounds(1, 2)\nendfunction\n"),
              "\tcall SetCameraBounds(1, 2)");
    EXPECT_EQ(FindIn("x\rcall setCameraBounds(1)"), "call setCameraBounds(1)");
}

TEST(FindCameraLineTest, PrefersTheCallInsideMain)
{
    const std::string mainBody = "function main takes nothing returns nothing\r\n"
                                 "    call SetCameraBounds(main)\r\n"
                                 "    call SetCameraBounds(second)\r\n"
                                 "endfunction\r\n";
    const std::vector<std::pair<const char*, std::string>> before = {
        {"helper with locals", "function Cam takes nothing returns nothing\r\n"
                               "    call SetCameraBounds(l, b, r, t, l, t, r, b)\r\nendfunction\r\n"},
        {"trigger action", "    call SetCameraBoundsToRectForPlayerBJ(Player(0), gg_rct_A)\r\n"},
        {"comment", "//    call SetCameraBounds(0, 0, 0, 0, 0, 0, 0, 0)\r\n"},
        {"main2 and mainMenu are not main", "function main2 takes nothing returns nothing\r\n"
                                            "    call SetCameraBounds(m2)\r\nendfunction\r\n"
                                            "function mainMenu takes nothing returns nothing\r\n"
                                            "    call SetCameraBounds(mm)\r\nendfunction\r\n"},
    };
    for (const auto& [name, text] : before)
        EXPECT_EQ(FindIn(text + mainBody), "    call SetCameraBounds(main)") << name;

    EXPECT_EQ(FindIn("\t function\t main\ncall SetCameraBounds(x)\nendfunction\ncall SetCameraBounds(y)\n"),
              "call SetCameraBounds(x)")
        << "blanks around the words, LF line ends";
    EXPECT_EQ(FindIn("call SetCameraBounds(before)\nfunction main takes nothing returns nothing\n"
                     "call SetCameraBounds(main)"),
              "call SetCameraBounds(main)")
        << "main without endfunction runs to the end";
}

TEST(FindCameraLineTest, FallsBackToTheFirstMatchAnywhereWhenMainHasNone)
{
    const std::string main = "function main takes nothing returns nothing\r\n  call Other()\r\nendfunction\r\n";
    EXPECT_EQ(FindIn("call SetCameraBounds(a)\r\n" + main + "call SetCameraBounds(b)\r\n"), "call SetCameraBounds(a)");
    EXPECT_EQ(FindIn(main + "x\r\ncall SetCameraBounds(b)\r\n"), "call SetCameraBounds(b)");
    EXPECT_EQ(FindIn(main), "");
}

class FaultHookGuard {
public:
    explicit FaultHookGuard(fileops::FaultHook hook) { fileops::SetFaultHook(std::move(hook)); }
    ~FaultHookGuard() { fileops::SetFaultHook(nullptr); }
    FaultHookGuard(const FaultHookGuard&) = delete;
    FaultHookGuard& operator=(const FaultHookGuard&) = delete;
};

TEST(FindCameraLineTest, StopsReadingOnceTheAnswerIsCertain)
{
    TempDir dir;
    std::string text = "function main takes nothing returns nothing\r\ncall SetCameraBounds(1)\r\n";
    text.append(3 * LineReader::kDefaultChunk, 'x');
    WriteText(dir / "war3map.j", text);
    int reads = 0;
    FaultHookGuard guard([&](std::string_view op, const fs::path&) { reads += op == "read"; });
    EXPECT_EQ(FindCameraLine(dir / "war3map.j"), "call SetCameraBounds(1)");
    EXPECT_EQ(reads, 1);
}

struct TemplateFiles {
    TempDir dir;
    fs::path script = dir / "war3map.j";
    fs::path copy = dir / "war3map.j2";
};

TEST(ReplaceCameraLinesTest, ReplacesEveryMatchAndEndsEveryLineWithCrLf)
{
    TemplateFiles t;
    WriteText(t.script, "function main\n  call SetCameraBounds(0)\r\nx\r  CALL SETCAMERABOUNDS(1)\r\n"
                        "y\r\n\r\ncall SetCameraBounds(2)");
    ReplaceCameraLines(t.script, t.copy, "call SetCameraBounds(new)");
    const std::string once = "function main\r\ncall SetCameraBounds(new)\r\nx\r\ncall SetCameraBounds(new)\r\n"
                             "y\r\n\r\ncall SetCameraBounds(new)\r\n";
    EXPECT_EQ(ReadText(t.script), once);
    EXPECT_FALSE(fs::exists(t.copy));

    // The line written is found again by the next install.
    ReplaceCameraLines(t.script, t.copy, "call SetCameraBounds(next)");
    std::string twice = once;
    for (auto at = twice.find("(new)"); at != std::string::npos; at = twice.find("(new)"))
        twice.replace(at, 5, "(next)");
    EXPECT_EQ(ReadText(t.script), twice);
}

TEST(ReplaceCameraLinesTest, EdgeTemplates)
{
    TemplateFiles t;
    WriteText(t.script, "");
    WriteText(t.copy, "left from a run that failed");
    ReplaceCameraLines(t.script, t.copy, "call SetCameraBounds(1)");
    EXPECT_EQ(ReadText(t.script), "");
    EXPECT_FALSE(fs::exists(t.copy));

    // No camera line in the map: matching lines become empty ones.
    WriteText(t.script, "a\r\n call SetCameraBounds(x)\r\nb");
    ReplaceCameraLines(t.script, t.copy, "");
    EXPECT_EQ(ReadText(t.script), "a\r\n\r\nb\r\n");

    const std::string longLine(700 * 1024, 'q');
    WriteText(t.script, longLine + "\ncall SetCameraBounds(x)\n" + longLine);
    ReplaceCameraLines(t.script, t.copy, "c");
    EXPECT_EQ(ReadText(t.script), longLine + "\r\nc\r\n" + longLine + "\r\n");
}

TEST(ReplaceCameraLinesTest, AnyFailureLeavesTheTemplateWholeAndNoWorkingCopy)
{
    // Large enough for several reads and several blocks written before the end.
    std::string text;
    for (int i = 0; text.size() < 3 * LineReader::kDefaultChunk; ++i)
        text += "    call SetCameraBounds(" + std::to_string(i) + ")\r\n    set x = x + 1\r\n";

    const std::vector<std::pair<std::string, int>> faults = {
        {"open-write", 1}, {"open-read", 1}, {"read", 3}, {"write", 2}, {"close", 1}, {"rename", 1}};
    for (const auto& [operation, nth] : faults) {
        TemplateFiles t;
        WriteText(t.script, text);
        int seen = 0;
        FaultHookGuard guard([&, op = operation, n = nth](std::string_view o, const fs::path&) {
            if (o == op && ++seen == n)
                throw InstallError("injected " + op);
        });
        EXPECT_THROW(ReplaceCameraLines(t.script, t.copy, "call SetCameraBounds(new)"), InstallError) << operation;
        EXPECT_EQ(seen, nth) << operation;
        EXPECT_EQ(ReadText(t.script), text) << operation;
        EXPECT_FALSE(fs::exists(t.copy)) << operation;
    }

    TemplateFiles missing;
    EXPECT_THROW(ReplaceCameraLines(missing.script, missing.copy, "c"), InstallError);
    EXPECT_FALSE(fs::exists(missing.copy));
}

// The camera lines that realmaps/README.md lists, keyed by "maps/<map>" or "j/<script>".
std::vector<std::pair<std::string, std::string>> ListedCameraLines(const fs::path& readme)
{
    std::ifstream in(readme);
    std::vector<std::pair<std::string, std::string>> listed;
    std::string line, name;
    bool inSection = false;
    while (std::getline(in, line)) {
        if (line.starts_with("First line containing `call SetCameraBounds`"))
            inSection = true;
        else if (inSection && line.starts_with("#"))
            break;
        else if (inSection && line.starts_with("- "))
            name = line.substr(2);
        else if (inSection && line == "  ```" && !name.empty()) {
            std::getline(in, line);
            listed.emplace_back(name, line.substr(2)); // list indent
            std::getline(in, line);
            name.clear();
        }
    }
    return listed;
}

TEST(CameraLineRealScriptsTest, FindsTheListedLineInEveryRealScript)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    const auto listed = ListedCameraLines(realmaps / "README.md");
    ASSERT_GE(listed.size(), 19u) << "README.md format changed?";
    const bool haveSmpq = std::system("smpq --version >/dev/null 2>&1") == 0;

    int checked = 0;
    for (const auto& [name, expected] : listed) {
        TempDir dir;
        fs::path script = realmaps / name;
        if (name.starts_with("maps/")) {
            if (!haveSmpq)
                continue;
            const std::string command = "cd '" + dir.path().string() + "' && smpq -x -q '" + script.string() +
                "' war3map.j >/dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0) << name;
            script = dir / "war3map.j";
        }
        EXPECT_EQ(FindCameraLine(script), expected) << name;
        ++checked;

        // The template round trip carries exactly this line over.
        TemplateFiles t;
        WriteText(t.script, "function main takes nothing returns nothing\r\n    call SetCameraBounds(0)\r\n"
                            "endfunction\r\n");
        ReplaceCameraLines(t.script, t.copy, FindCameraLine(script));
        EXPECT_EQ(ReadText(t.script), "function main takes nothing returns nothing\r\n" + expected +
                                          "\r\nendfunction\r\n")
            << name;
    }
    if (!haveSmpq)
        std::cout << "smpq is missing: only the loose scripts were checked\n";
    EXPECT_GE(checked, 5);
}

TEST(CameraLineRealScriptsTest, MixedLineEndScriptGivesMainsCallLine)
{
    VORNAK_REQUIRE_REALMAPS(realmaps);
    if (std::system("smpq --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "smpq is missing";
    TempDir dir;
    const std::string command = "cd '" + dir.path().string() + "' && smpq -x -q '" +
        (realmaps / "maps/war3net_JurassicParkSurvivalEE_v6.4.w3x").string() + "' war3map.j >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);

    // Mostly CR alone: split on LF only, the whole script up to line 2 would be one line.
    const std::string camera = FindCameraLine(dir / "war3map.j");
    EXPECT_TRUE(camera.starts_with("call SetCameraBounds(-7424.+GetCameraMargin(")) << camera.substr(0, 80);
    LineReader reader(dir / "war3map.j");
    std::string_view line;
    int number = 0;
    std::string function;
    while (reader.Next(line)) {
        ++number;
        if (line.starts_with("function "))
            function = std::string(line.substr(0, line.find(' ', 9)));
        if (line == camera)
            break;
    }
    EXPECT_EQ(number, 13631);
    EXPECT_EQ(function, "function main");
}

} // namespace
} // namespace vornak
