#include "WizardScene.h"
#include "base/FileError.h"
#include "wizard/flow/WizardDesign.h"
#include "wizard/flow/WizardFlow.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

namespace vornak::wizard::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using vornak::test::ReadBytes;
using vornak::test::WriteText;
using namespace std::string_literals;

// A front-end without a toolkit: it keeps what the flow shows and logs the calls whose order
// matters (pages, painting). The file dialog answers from a script (nothing: a cancel); presses
// in `waiting` run at the next yield, as a click already in the window's queue would.
struct RecordingView : WizardView {
    int front = -1;
    std::map<std::string, bool> enabled;
    std::map<std::string, std::string> text;
    bool busy = false;
    std::vector<std::string> log, boxes;
    std::deque<std::optional<std::string>> answers;
    std::string filter;
    fs::path documents, dialogFolder;
    std::vector<std::function<void()>> waiting;
    std::vector<int> exitCodes;

    RecordingView()
    {
        for (const design::Control& control : design::Controls()) {
            enabled[std::string(control.name)] = !(control.style & design::Disabled);
            text[std::string(control.name)] = control.text;
        }
    }
    void BringToFront(int page) override { log.push_back("front " + std::to_string(front = page)); }
    void SetEnabled(std::string_view control, bool on) override { enabled.at(std::string(control)) = on; }
    void SetText(std::string_view control, const std::string& to) override { text.at(std::string(control)) = to; }
    std::string RootText() const override { return text.at("Root"); }
    void FocusRoot() override {}
    bool ShowBanner(const fs::path& picture) override { return vornak::test::ReadText(picture).starts_with("GIF8"); }
    void SetBusyPointer(bool on) override
    {
        EXPECT_NE(busy, on) << "the busy pointer was stacked";
        busy = on;
    }
    void PaintPending() override { log.push_back("paint"); }
    void ProcessPendingEvents() override
    {
        for (const auto& press : std::exchange(waiting, {}))
            press();
    }
    // "Title (icon, pointer): text"
    void ShowMessage(const MessageBoxRequest& box) override
    {
        boxes.push_back(box.title + (box.icon == MessageIcon::Critical ? " (stop" : " (none") +
                        (busy ? ", busy): " : "): ") + box.text);
    }
    std::optional<ChosenFile> ChooseFile(const std::string& pipeFilter, const std::string&,
                                         const fs::path& folder) override
    {
        filter = pipeFilter;
        dialogFolder = folder;
        const std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer ? std::optional(ChosenFile{*answer, fs::path(*answer).filename().string()}) : std::nullopt;
    }
    fs::path DocumentsFolder() const override { return documents; }
    void EndProgram(int exitCode) override { exitCodes.push_back(exitCode); }
};

class WizardFlowTest : public ::testing::Test {
protected:
    void SetUp() override { WriteAppFolder(appDir.path()); }
    void TearDown() override { EXPECT_FALSE(view.busy) << "the busy pointer was left on"; }

    // A fresh window on the application folder as it is now.
    bool Start()
    {
        EXPECT_FALSE(view.busy);
        view = RecordingView();
        flow.emplace(view, appDir.path(), archive);
        return flow->Start();
    }
    // A user's press: only of an enabled button.
    void Press(const std::string& button)
    {
        ASSERT_TRUE(view.enabled.at(button)) << button << " is disabled";
        flow->Click(button);
    }
    // "press Name" (an enabled button) or "type Text" (into Root); returns what the window shows then.
    std::string Do(const std::string& action)
    {
        const auto [verb, what] = std::pair(action.substr(0, action.find(' ')), action.substr(action.find(' ') + 1));
        if (verb == "press")
            Press(what);
        if (verb == "type") {
            view.text["Root"] = what;
            flow->RootChanged();
        }
        return Shown();
    }
    // The page in front and the button row "Exit Previous Next Finish", 1 = enabled.
    std::string Shown()
    {
        std::string shown = "page " + std::to_string(view.front) + " ";
        for (const char* name : {"Command1", "Command3", "Command2", "Command4"})
            shown += view.enabled.at(name) ? '1' : '0';
        return shown;
    }
    // On to the map page, browse (the map, or a cancel), on to the backup page.
    void GoToBackupPage(std::optional<std::string> answer)
    {
        view.answers.push_back(std::move(answer));
        if (flow->CurrentStep() != 1)
            Press(flow->CurrentStep() == 0 ? "Command2" : "Command3");
        Press("Command5");
        Press("Command2");
        ASSERT_EQ(view.front, 2);
    }

    vornak::test::TempDir appDir;
    StormMapArchive archive;
    RecordingView view;
    std::optional<WizardFlow> flow;
    const fs::path map = appDir / "maps" / "Arena.w3m";
};

// A banner that is no picture ends the program; without the list file no page is ever shown.
TEST_F(WizardFlowTest, StartUpNeedsTheListFileAndABannerThatIsAPicture)
{
    WriteText(appDir / "banner.gif", "not a picture");
    EXPECT_FALSE(Start());
    EXPECT_THAT(view.boxes, ElementsAre(HasSubstr("Vornak MOD Installer (stop): The picture '")));
    EXPECT_THAT(view.exitCodes, ElementsAre(1));

    fs::remove(appDir / "Data" / "listw3m.txt");
    EXPECT_FALSE(Start());
    EXPECT_THAT(view.boxes, ElementsAre("Required File (stop): Can't find the required file '\\Data\\listw3m.txt'!"));
    EXPECT_THAT(view.exitCodes, ElementsAre(0));
    EXPECT_EQ(view.front, -1) << "no page is ever shown";
}

// Next follows Root on any page; Previous enables Next whatever Root holds; Previous at the
// welcome page leaves -1 without a page change, and Next comes back to 0.
TEST_F(WizardFlowTest, NextFollowsRootAndPreviousWalksBackToMinusOne)
{
    ASSERT_TRUE(Start());
    flow->Click("Command3"); // to -1; the designed states never enable Previous here
    EXPECT_EQ(Shown(), "page 0 1010");
    EXPECT_EQ(Do("press Command2"), "page 0 1010");
    GoToBackupPage(map.string());
    EXPECT_EQ(Do("type "), "page 2 1100");
    EXPECT_EQ(Do("press Command3"), "page 1 1110");
    flow->Escape();
    flow->Click("Command2"); // nothing runs after the end
    EXPECT_THAT(view.exitCodes, ElementsAre(0));
    EXPECT_EQ(view.front, 1);
}

// The dialog's filter; a cancel with nothing chosen yet gives an empty path and name, a cancel
// after a choice keeps it; each browse sets Root and the captions on the page it is on,
// and offers one backup, which replaces an older one.
TEST_F(WizardFlowTest, EachBrowseSetsRootAndCaptionsAndOffersOneBackup)
{
    const fs::path backup = BuildMap(map).parent_path() / "Arena_BackUp.w3m";
    WriteText(backup, "older backup");
    ASSERT_TRUE(Start());
    Press("Command2");
    view.answers = {std::nullopt};
    Press("Command5");
    EXPECT_EQ(view.filter, "Warcraft III maps (*.w3m)|*.w3m|");
    EXPECT_EQ(Shown(), "page 1 1100");
    EXPECT_EQ(view.text["installon"], "Press Next to Install the VQ MOD on  map.");
    for (const std::optional<std::string>& answer : {std::optional(map.string()), std::optional<std::string>()}) {
        WriteText(map, answer ? "the map" : "the map, changed");
        GoToBackupPage(answer);
        EXPECT_EQ(view.text["Root"], map.string());
        EXPECT_EQ(view.text["Command6"], "Backup of Arena.w3m");
        EXPECT_EQ(view.text["installon"], "Press Next to Install the VQ MOD on Arena.w3m map.");
        EXPECT_EQ(view.text["Label11"], "You have installed succesfuly the VQ MOD on Arena.w3m map.");
        Press("Command6");
        EXPECT_EQ(vornak::test::ReadText(backup), vornak::test::ReadText(map));
        EXPECT_FALSE(view.enabled["Command6"]);
    }
    EXPECT_THAT(view.boxes, ElementsAre("BackUp (none): BackUp Succesfully Done!",
                                        "BackUp (none): BackUp Succesfully Done!"));
}

// One press of Next on the backup page installs with page 3 in front under the busy pointer and
// lands on page 4. Another program holding the map a while (a virus scanner) makes the install
// wait; meanwhile the window keeps painting, as a window that does not is called not responding.
// The close box ends the program where Exit cannot.
TEST_F(WizardFlowTest, NextOnTheBackupPageInstallsWithItsPageInFrontAndPainted)
{
    BuildMap(map);
    ASSERT_TRUE(Start());
    GoToBackupPage(map.string());
    std::set<std::string> whileInstalling; // what the user sees at each file operation
    int refusals = 3;
    fileops::SetSleep([](std::chrono::milliseconds) {});
    fileops::SetFaultHook([&](std::string_view op, const fs::path& path) {
        whileInstalling.insert(Shown() + (view.busy ? " busy" : ""));
        if (op == "rename" && path.filename() == map.filename() && refusals-- > 0)
            throw FileError(std::make_error_code(std::errc::device_or_resource_busy), "busy");
    });
    Press("Command2");
    fileops::SetFaultHook(nullptr);
    fileops::SetSleep(nullptr);
    EXPECT_THAT(whileInstalling, ElementsAre("page 3 1110 busy"));
    EXPECT_EQ(Shown(), "page 4 0001");
    const auto painted = std::find(view.log.begin(), view.log.end(), "paint");
    EXPECT_LT(std::find(view.log.begin(), view.log.end(), "front 3"), painted);
    EXPECT_LT(painted, std::find(view.log.begin(), view.log.end(), "front 4"));
    flow->CloseBox();
    EXPECT_THAT(view.exitCodes, ElementsAre(0));
}

// What a press on the backup page meets: problems show their box; a press already waiting in
// the queue runs during the pass's one yield, where a second Next moves on to 4 so that the
// first pass, reading 4 afresh, never installs, and an Exit stops the pass right there. A path
// pasted with Explorer's "Copy as path" loses one pair of quotes and the blanks around it.
TEST_F(WizardFlowTest, WhatAPressOnTheBackupPageMeets)
{
    const std::string path = map.string(), done = "BackUp (none): BackUp Succesfully Done!";
    const struct {
        std::function<void()> spoil;
        const char* press;
        std::string box;
        std::vector<int> exitCodes;
        std::string shown;
    } cases[] = {
        {[&] { BuildMap(map, 'z'); }, "Command2", "Tileset Problem (stop, busy): The installer has found some",
         {}, "page 4 0001"},
        {[&] { fs::remove(appDir / "Data" / "war3map.wts"); }, "Command2",
         "Required File (stop, busy): Can't find the required file 'war3map.wts'!", {0}, "page 3 1110"},
        {[&] { WriteText(map, "no archive"); }, "Command2", "Vornak MOD Installer (stop): ", {1}, "page 3 1110"},
        {[&] { Do("type  \t\"" + path + "\"  "); }, "Command6", done, {}, "page 2 1110"},
        {[&] { Do("type   " + path + " "); }, "Command6", done, {}, "page 2 1110"},
        {[&] { Do("type \"\"" + path + "\"\""); }, "Command6", "Vornak MOD Installer (stop): ", {1}, "page 2 1110"},
        {[&] { view.waiting.push_back([this] { flow->Click("Command2"); }); }, "Command2", "", {}, "page 4 0001"},
        {[&] { view.waiting.push_back([this] { flow->Click("Command1"); }); }, "Command2", "", {0}, "page 3 1110"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        WriteAppFolder(appDir.path());
        ASSERT_TRUE(Start());
        GoToBackupPage(BuildMap(map).string());
        c.spoil();
        const auto before = ReadBytes(map);
        Press(c.press);
        EXPECT_EQ(view.boxes.size(), c.box.empty() ? 0u : 1u);
        EXPECT_THAT(view.boxes, ::testing::Each(HasSubstr(c.box)));
        EXPECT_EQ(view.exitCodes, c.exitCodes);
        EXPECT_EQ(Shown(), c.shown);
        if (c.box.find("Tileset") == std::string::npos) { // the warning alone lets the install go on
            EXPECT_EQ(ReadBytes(map), before);
        }
    }
}

// The file dialog opens in Documents\Warcraft III\Maps while nothing is chosen or typed and the
// user has that folder; otherwise where the platform or the last choice puts it.
TEST_F(WizardFlowTest, TheFileDialogStartsInTheGamesMapsFolder)
{
    const fs::path maps = appDir / "Documents" / "Warcraft III" / "Maps";
    using Case = std::tuple<bool, const char*, bool, fs::path>; // maps folder, typed, chosen before
    for (const auto& [hasMaps, typed, chosen, folder] : std::initializer_list<Case>{
             {true, "", false, maps}, {false, "", false, {}}, {true, "C:/Arena.w3m", false, {}}, {true, "", true, {}}}) {
        ASSERT_TRUE(Start());
        view.documents = appDir / "Documents";
        hasMaps ? fs::create_directories(maps) : fs::remove_all(view.documents);
        view.answers = {chosen ? std::optional(map.string()) : std::nullopt, std::nullopt};
        Do("press Command2");
        Do("type "s + typed);
        if (chosen)
            Do("press Command5"), Do("type ");
        Do("press Command5");
        EXPECT_EQ(view.dialogFolder, folder) << typed << chosen;
    }
}

} // namespace
} // namespace vornak::wizard::test
