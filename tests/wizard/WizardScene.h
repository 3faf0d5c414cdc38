#pragma once

#include "MapBuilder.h"
#include "TestFiles.h"
#include "W3iBuilder.h"
#include "archive/StormMapArchive.h"
#include "base/FileOps.h"
#include "wizard/flow/WizardView.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <memory>

namespace vornak::wizard::test {
namespace fs = std::filesystem;

// The program's folder as shipped: the list file start-up requires and the five templates.
inline void WriteAppFolder(const fs::path& appDir)
{
    fs::copy(vornak::test::SourceDir() / "Data", appDir / "Data",
             fs::copy_options::overwrite_existing | fs::copy_options::recursive);
}

// A small map, built as an MPQ archive, of the given tileset.
inline fs::path BuildMap(const fs::path& map, char tileset = 'A')
{
    fs::create_directories(map.parent_path());
    vornak::test::MapBuilder()
        .Hm3wHeader()
        .CompressedEntry("war3map.w3i", vornak::test::W3iBuilder{.tileset = static_cast<std::uint8_t>(tileset)}.Build())
        .CompressedEntry("war3map.j", vornak::test::ReadText(vornak::test::SourceDir() / "Data" / "war3map.j"))
        .WriteTo(map);
    return map;
}

// Both front-ends' windows meet the same user: each fixture says how its window takes an action
// (a key: "Enter", "Escape", "Tab", "Alt+P"; "type Text"; "click Name"; "close", the close box)
// and what it shows.
template <class Window>
class WindowTest : public ::testing::Test {
protected:
    // The window with its boxes recorded and its end recorded instead of ending the process.
    struct Answered : Window {
        using Window::Window;
        std::vector<MessageBoxRequest> boxes;
        std::vector<int> exitCodes;
        void ShowMessage(const MessageBoxRequest& box) override { boxes.push_back(box); }
        void EndProgram(int exitCode) override { exitCodes.push_back(exitCode); }
    };

    void SetUp() override { WriteAppFolder(appDir.path()); }
    virtual void Start() = 0; // a new window, shown and active
    virtual void Do(const std::string& action) = 0;
    virtual int PageInFront() const = 0;
    virtual bool IsEnabled(const char* control) const = 0;
    virtual std::string Focused() const = 0;

    // The page in front, the button row "Exit Previous Next Finish" (1 = enabled) and the focus.
    std::string Shown() const
    {
        std::string shown = "page " + std::to_string(PageInFront()) + " ";
        for (const char* name : {"Command1", "Command3", "Command2", "Command4"})
            shown += IsEnabled(name) ? '1' : '0';
        return shown + " " + Focused();
    }

    // The whole journey into a built map in a folder named in Cyrillic and accents, its path typed in
    // quotes as Explorer copies it. Where a button disables itself or its page is covered, the
    // focus goes where Enter goes on, never to Exit or a covered button. Then Escape, while Exit
    // is enabled, and the close box end the program.
    void Journey()
    {
        const fs::path map = BuildMap(appDir.path() / u8"Карты Ñandú" / "Arena.w3m");
        const auto original = vornak::test::ReadBytes(map);
        Start();
        for (const auto& [action, shown] : std::initializer_list<std::pair<std::string, const char*>>{
                 {"", "page 0 1010 Command2"},
                 {"Enter", "page 1 1100 Root"},
                 {"Alt+P", "page 0 1010 Command2"}, // Previous disables itself here
                 {"Enter", "page 1 1100 Root"},
                 // Tab walks the window and the page in front only.
                 {"Tab", "page 1 1100 Command5"},
                 {"Tab", "page 1 1100 Command1"},
                 {"Tab", "page 1 1100 Command3"},
                 {"Tab", "page 1 1100 Root"},
                 {"type \"" + fileops::Display(map) + "\"", "page 1 1110 Root"},
                 {"Alt+N", "page 2 1110 Command2"},
                 {"click Command6", "page 2 1110 Command2"}, // the backup disables itself
                 {"Enter", "page 4 0001 Command4"},         // the install
                 {"Alt+C", "page 5 0001 Command4"},         // the credits buttons share the key
                 {"Alt+C", "page 4 0001 Command4"},
                 {"Escape", "page 4 0001 Command4"}}) {    // Exit is disabled
            if (!action.empty())
                Do(action);
            EXPECT_EQ(Shown(), shown) << action;
        }
        EXPECT_EQ(vornak::test::ReadBytes(map.parent_path() / "Arena_BackUp.w3m"), original);
        EXPECT_EQ(archive.Open(map)->ReadEntry("war3map.w3u"), vornak::test::ReadBytes(appDir / "Data" / "war3map.w3u"));
        EXPECT_TRUE(form->exitCodes.empty());
        Do("Enter");
        EXPECT_THAT(form->exitCodes, ::testing::ElementsAre(0)) << "Enter presses Finish!";
        EXPECT_EQ(form->boxes.size(), 1u) << "the backup's box only";
        for (const char* end : {"Escape", "close"}) {
            Start();
            Do(end);
            EXPECT_THAT(form->exitCodes, ::testing::ElementsAre(0)) << end;
        }
    }

    vornak::test::TempDir appDir;
    StormMapArchive archive;
    std::unique_ptr<Answered> form;
};

} // namespace vornak::wizard::test
