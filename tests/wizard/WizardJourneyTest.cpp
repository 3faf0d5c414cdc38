#include "MapBuilder.h"
#include "WizardFixture.h"
#include "archive/StormMapArchive.h"

#include <QClipboard>
#include <QCloseEvent>

namespace vornak::wizard::test {
namespace {

using ::testing::ElementsAre;
using vornak::test::ReadBytes;

// Start with the banner, browse, back up over an older copy, install into a built MPQ map
// through the real archive layer, credits back and forth, Finish.
TEST_F(WizardTest, WholeJourneyInstallsIntoABuiltMapAndEndsOnFinish)
{
    WriteTemplates();
    fs::copy_file(vornak::test::SourceDir() / "src/wizard/art/banner.gif", appDir / "banner.gif");
    const fs::path map = appDir / "maps" / "Arena.w3m";
    fs::create_directories(map.parent_path());
    vornak::test::MapBuilder()
        .Hm3wHeader()
        .CompressedEntry("war3map.w3i", InfoRecord('A'))
        .CompressedEntry("war3map.j", CameraScript("1.0, 2.0, 3.0, 4.0, 1.0, 4.0, 3.0, 2.0"))
        .WriteTo(map);
    const auto original = ReadBytes(map);
    const fs::path backup = appDir / "maps" / "Arena_BackUp.w3m";
    vornak::test::WriteText(backup, "older backup");
    StormMapArchive storm;
    ASSERT_TRUE(Start(&storm));
    EXPECT_EQ(Label("Picture1")->pixmap().size(), QSize(481, 75));

    ClickVisible(Button("Command2"));
    EXPECT_EQ(PageInFront(), 1);
    EXPECT_EQ(QApplication::focusWidget(), Root());
    EXPECT_EQ(RowState(), "1100");
    dialog.answers.push_back(PathText(map));
    ClickVisible(Button("Command5"));
    EXPECT_EQ(dialog.filter, "Warcraft III maps (*.w3m)|*.w3m|");
    EXPECT_EQ(Root()->text(), PathText(map));
    EXPECT_EQ(RowState(), "1110");

    ClickVisible(Button("Command2"));
    EXPECT_EQ(Button("Command6")->text(), "Backup of Arena.w3m");
    EXPECT_EQ(Label("installon")->text(), "Press Next to Install the VQ MOD on Arena.w3m map.");
    ClickVisible(Button("Command6"));
    ExpectOneBox("BackUp", QMessageBox::NoIcon, "BackUp Succesfully Done!");
    EXPECT_EQ(ReadBytes(backup), original);
    EXPECT_FALSE(Button("Command6")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), Button("Command2")) << "Enter would press a covered button";

    ClickVisible(Button("Command2"));
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_EQ(RowState(), "0001");
    EXPECT_EQ(Label("Label11")->text(), "You have installed succesfuly the VQ MOD on Arena.w3m map.");
    const auto units = storm.ReadEntry(map, "war3map.w3u");
    EXPECT_EQ(std::string(units.begin(), units.end()), "template units");

    ClickVisible(Button("Command7"));
    EXPECT_EQ(PageInFront(), 5);
    ClickVisible(Button("Command8"));
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_TRUE(programEnd.exitCodes.empty());
    ClickVisible(Button("Command4"));
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
}

// Without a banner the band stays empty; a broken one ends the program with its description;
// without the list file only the "Required File" message appears, and the window never does.
TEST_F(WizardTest, StartUpGoesOnWithoutTheBannerButNotWithoutTheListFile)
{
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Label("Picture1")->pixmap().isNull());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(PageInFront(), 0);
    EXPECT_EQ(RowState(), "1010");

    vornak::test::WriteText(appDir / "banner.gif", "not a picture");
    EXPECT_FALSE(Start());
    ExpectOneBox("Vornak MOD Installer", QMessageBox::Critical, "banner.gif");
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(1));

    boxes.shown.clear();
    programEnd.exitCodes.clear();
    fs::remove(appDir / "Data" / "listw3m.txt");
    EXPECT_FALSE(Start());
    ExpectOneBox("Required File", QMessageBox::Critical, "Can't find the required file '\\Data\\listw3m.txt'!");
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
    EXPECT_FALSE(form->isVisible());
}

// The map page and every edge of Previous: what a cancelled browse reports, typing and pasting
// into Root, Next following Root on any page, Previous at the welcome page leaving -1.
TEST_F(WizardTest, TheMapPageAndPreviousFollowRootAndTheDialog)
{
    ASSERT_TRUE(Start());
    ClickVisible(Button("Command2"));
    QTest::keyClicks(Root(), "C:/Maps/Arena.w3m");
    EXPECT_EQ(RowState(), "1110");
    Root()->selectAll();
    PressKey(Qt::Key_Backspace);
    EXPECT_EQ(RowState(), "1100");
    QGuiApplication::clipboard()->setText(QStringLiteral("D:/pasted.w3m"));
    PressKey(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Root()->text(), "D:/pasted.w3m");
    EXPECT_EQ(RowState(), "1110");
    // A cancel with nothing chosen yet reports an empty name, over what was typed.
    dialog.answers = {std::nullopt};
    ClickVisible(Button("Command5"));
    EXPECT_EQ(RowState(), "1100");
    EXPECT_EQ(Button("Command6")->text(), "Backup of ");
    EXPECT_EQ(Label("installon")->text(), "Press Next to Install the VQ MOD on  map.");

    // After a choice, a cancel reports the file chosen last.
    dialog.answers = {PathText(WriteMap("Arena.w3m")), std::nullopt};
    ClickVisible(Button("Command5"));
    ClickVisible(Button("Command5"));
    EXPECT_TRUE(Root()->text().endsWith("maps/Arena.w3m"));
    EXPECT_EQ(Button("Command6")->text(), "Backup of Arena.w3m");

    ClickVisible(Button("Command2"));
    Root()->clear(); // the text may change on any page; Next follows it there too
    EXPECT_EQ(RowState(), "1100");
    ClickVisible(Button("Command3")); // Previous enables Next though Root is empty
    EXPECT_EQ(PageInFront(), 1);
    EXPECT_EQ(RowState(), "1110");
    ClickVisible(Button("Command3"));
    EXPECT_EQ(PageInFront(), 0);
    EXPECT_EQ(RowState(), "1010");
    form->Command3_Click(); // to -1; the designed states never enable Previous here
    EXPECT_EQ(PageInFront(), 0);
    EXPECT_EQ(RowState(), "1010");
    ClickVisible(Button("Command2")); // -1 -> 0
    EXPECT_EQ(PageInFront(), 0);
    ClickVisible(Button("Command2"));
    EXPECT_EQ(PageInFront(), 1);
    PressKey(Qt::Key_Escape);
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
}

TEST_F(WizardTest, ASecondNextPressWaitingInTheQueueRunsDuringTheYield)
{
    WriteTemplates();
    const fs::path map = WriteMap("Arena.w3m");
    const auto before = ReadBytes(map);
    ASSERT_TRUE(Start());
    GoToBackupPage(map);
    QueueClick(Button("Command2"));
    ClickVisible(Button("Command2"));
    // The queued pass moved on to 4 during the first pass's yield; the first then read 4
    // and never ran the install.
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_EQ(RowState(), "0001");
    EXPECT_EQ(ReadBytes(map), before);
    EXPECT_TRUE(boxes.shown.empty());
}

// Enter is Next and Escape is Exit, each only while enabled; Alt+letter presses the row's
// buttons and the page's; the busy pointer shows during the install only; the close box ends
// the program even where Exit is disabled, and nothing runs after the end.
TEST_F(WizardTest, TheKeyboardAndTheCloseBoxDriveTheWizard)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    PressKey(Qt::Key_Return);
    EXPECT_EQ(PageInFront(), 1);
    dialog.answers.push_back(PathText(WriteMap("Arena.w3m")));
    ClickVisible(Button("Command5"));
    Root()->setFocus();
    PressKey(Qt::Key_Enter);
    EXPECT_EQ(PageInFront(), 2);

    // Set and cleared once: a stacked override would outlive the pass (TearDown looks).
    int pointerDuringInstall = -1;
    archive.onExtract = [&] {
        if (const QCursor* pointer = QGuiApplication::overrideCursor())
            pointerDuringInstall = pointer->shape();
    };
    PressKey(Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_EQ(pointerDuringInstall, Qt::WaitCursor);

    // "View &Credits" and "&Close" share their letter; the page in front decides.
    PressKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 5);
    PressKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 4);
    PressKey(Qt::Key_Escape); // Exit and Next are disabled now
    PressKey(Qt::Key_Return);
    EXPECT_TRUE(programEnd.exitCodes.empty());
    PressKey(Qt::Key_C, Qt::AltModifier);
    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
    Button("Command8")->click();
    EXPECT_EQ(PageInFront(), 5);
}

// What each problem met on the backup page shows, and where it leaves the program and the map.
TEST_F(WizardTest, ProblemsOnTheBackupPageShowTheirBoxAndLeaveTheMapAsItWas)
{
    const fs::path map = appDir / "maps" / "Arena.w3m";
    const struct {
        const char* name;
        std::function<void()> spoil;
        const char* press;
        QString title;
        QString text;
        std::vector<int> exitCodes;
        int page;
    } cases[] = {
        {"the map is gone before its backup", [&] { fs::remove(map); }, "Command6", "Vornak MOD Installer",
         "Arena.w3m", {1}, 2},
        {"unknown tileset: warned, the install goes on", [&] { WriteMap("Arena.w3m", 'z'); }, "Command2",
         "Tileset Problem", "The installer has found some problems with the Tileset", {}, 4},
        {"missing template: the program ends at once", [&] { fs::remove(appDir / "Data" / "war3map.wts"); },
         "Command2", "Required File", "Can't find the required file 'war3map.wts'!", {0}, 3},
        {"not an archive: its description, then the end", [&] { vornak::test::WriteText(map, "no archive"); },
         "Command2", "Vornak MOD Installer", "Arena.w3m", {1}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.shown.clear();
        programEnd.exitCodes.clear();
        WriteTemplates();
        WriteMap("Arena.w3m");
        c.spoil();
        const auto before = fs::exists(map) ? ReadBytes(map) : std::vector<std::uint8_t>();
        ASSERT_TRUE(Start());
        GoToBackupPage(map);
        ClickVisible(Button(c.press));
        ExpectOneBox(c.title, QMessageBox::Critical, c.text);
        EXPECT_EQ(programEnd.exitCodes, c.exitCodes);
        EXPECT_EQ(PageInFront(), c.page);
        EXPECT_TRUE(Button("Command6")->isEnabled());
        EXPECT_FALSE(fs::exists(appDir / "maps" / "Arena_BackUp.w3m"));
        if (!c.exitCodes.empty() && fs::exists(map)) {
            EXPECT_EQ(ReadBytes(map), before);
        }
    }
}

} // namespace
} // namespace vornak::wizard::test
