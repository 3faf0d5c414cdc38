#include "WizardFixture.h"

#include <QApplication>
#include <QTest>

namespace vornak::wizard::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using vornak::test::FakeMapArchive;
using vornak::test::ReadBytes;

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

TEST_F(WizardTest, BrowsingPutsTheMapIntoRootAndNamesItOnTheLaterPages)
{
    ASSERT_TRUE(Start());
    ClickVisible(Button("Command2"));
    const fs::path map = WriteMap("Arena.w3m");
    dialog.answers.push_back(PathText(map));
    ClickVisible(Button("Command5"));

    EXPECT_THAT(dialog.filters, ElementsAre("Warcraft III maps (*.w3m)|*.w3m|"));
    EXPECT_EQ(Root()->text(), PathText(map));
    EXPECT_EQ(RowState(), "1110");
    EXPECT_EQ(Button("Command6")->text(), "Backup of Arena.w3m");
    EXPECT_TRUE(Button("Command6")->isEnabled());
    EXPECT_EQ(Label("installon")->text(), "Press Next to Install the VQ MOD on Arena.w3m map.");
    EXPECT_EQ(Label("Label11")->text(), "You have installed succesfuly the VQ MOD on Arena.w3m map.");
    EXPECT_EQ(PageInFront(), 1);
}

TEST_F(WizardTest, ACancelledBrowseStillRunsEveryStepWithWhatTheDialogReports)
{
    ASSERT_TRUE(Start());
    ClickVisible(Button("Command2"));
    dialog.answers.push_back(std::nullopt);
    ClickVisible(Button("Command5"));
    EXPECT_EQ(Root()->text(), "");
    EXPECT_EQ(RowState(), "1100");
    EXPECT_EQ(Button("Command6")->text(), "Backup of ");
    EXPECT_EQ(Label("installon")->text(), "Press Next to Install the VQ MOD on  map.");

    // After a choice, a cancel reports the file chosen last.
    dialog.answers.push_back(PathText(WriteMap("Arena.w3m")));
    dialog.answers.push_back(std::nullopt);
    ClickVisible(Button("Command5"));
    ClickVisible(Button("Command5"));
    EXPECT_TRUE(Root()->text().endsWith("Arena.w3m"));
    EXPECT_EQ(Button("Command6")->text(), "Backup of Arena.w3m");
}

TEST_F(WizardTest, BackupCopiesTheMapOncePerBrowseAndReplacesAnOlderCopy)
{
    ASSERT_TRUE(Start());
    const fs::path map = WriteMap("Arena.w3m");
    GoToBackupPage(map);
    ClickVisible(Button("Command6"));

    const fs::path backup = appDir / "maps" / "Arena_BackUp.w3m";
    EXPECT_EQ(ReadBytes(backup), ReadBytes(map));
    EXPECT_FALSE(Button("Command6")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), Button("Command2")) << "Enter would press a covered button";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "BackUp");
    EXPECT_EQ(boxes.shown[0].text, "BackUp Succesfully Done!");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // Back to the map page, the same map again: a new backup replaces the old one.
    vornak::test::WriteText(map, "changed map");
    ClickVisible(Button("Command3"));
    dialog.answers.push_back(PathText(map));
    ClickVisible(Button("Command5"));
    EXPECT_EQ(PageInFront(), 1);
    ClickVisible(Button("Command2"));
    EXPECT_TRUE(Button("Command6")->isEnabled());
    ClickVisible(Button("Command6"));
    EXPECT_EQ(vornak::test::ReadText(backup), "changed map");
    EXPECT_FALSE(programEnd.Ended());
}

TEST_F(WizardTest, AFailedBackupIsReportedAndEndsTheProgramBeforeBackupIsDisabled)
{
    ASSERT_TRUE(Start());
    GoToBackupPage(appDir / "maps" / "Missing.w3m"); // chosen, then gone
    ClickVisible(Button("Command6"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes.shown[0].text.contains("Missing.w3m"));
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(1));
    EXPECT_TRUE(Button("Command6")->isEnabled());
    EXPECT_FALSE(fs::exists(appDir / "maps" / "Missing_BackUp.w3m"));
}

TEST_F(WizardTest, WholeJourneyInstallsTheModIntoTheMapAndEndsOnFinish)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    const fs::path map = WriteMap("Arena.w3m");
    GoToBackupPage(map);
    ClickVisible(Button("Command6"));
    ClickVisible(Button("Command2"));

    EXPECT_EQ(PageInFront(), 4);
    EXPECT_EQ(RowState(), "0001");
    EXPECT_EQ(Label("Label11")->text(), "You have installed succesfuly the VQ MOD on Arena.w3m map.");
    const FakeMapArchive::Entries entries = FakeMapArchive::Read(map);
    EXPECT_EQ(entries.at("war3map.w3u"), Bytes("template units"));
    EXPECT_EQ(entries.at("war3map.wts"), Bytes("template strings"));
    EXPECT_EQ(entries.at("war3map.w3c"), Bytes("template cameras"));
    EXPECT_EQ(entries.at("war3map.w3e"), Bytes("terrain"));
    EXPECT_NE(ReadBytes(appDir / "maps" / "Arena_BackUp.w3m"), ReadBytes(map));
    EXPECT_FALSE(fs::exists(appDir / "Data" / "temp"));

    for (int round = 0; round < 3; ++round) {
        ClickVisible(Button("Command7"));
        EXPECT_EQ(PageInFront(), 5);
        ClickVisible(Button("Command8"));
        EXPECT_EQ(PageInFront(), 4);
    }
    EXPECT_EQ(RowState(), "0001");
    EXPECT_FALSE(programEnd.Ended());
    ClickVisible(Button("Command4"));
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
}

TEST_F(WizardTest, AnUnknownTilesetIsWarnedAboutAndTheInstallGoesOn)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    GoToBackupPage(WriteMap("Odd.w3m", 'z'));
    ClickVisible(Button("Command2"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Tileset Problem");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_TRUE(boxes.shown[0].text.startsWith("The installer has found some problems with the Tileset"));
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_FALSE(programEnd.Ended());
}

TEST_F(WizardTest, AMissingTemplateEndsTheProgramInsideTheInstall)
{
    WriteTemplates();
    fs::remove(appDir / "Data" / "war3map.wts");
    ASSERT_TRUE(Start());
    const fs::path map = WriteMap("Arena.w3m");
    const auto before = ReadBytes(map);
    GoToBackupPage(map);
    ClickVisible(Button("Command2"));

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Required File");
    EXPECT_EQ(boxes.shown[0].text, "Can't find the required file 'war3map.wts'!");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
    // The pass stopped where the program ended: still the installing page.
    EXPECT_EQ(PageInFront(), 3);
    EXPECT_EQ(ReadBytes(map), before);
}

TEST_F(WizardTest, AnArchiveFailureIsReportedWithItsDescriptionAndEndsTheProgram)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    const fs::path notAMap = appDir / "maps" / "Broken.w3m";
    fs::create_directories(notAMap.parent_path());
    vornak::test::WriteText(notAMap, "no archive at all");
    GoToBackupPage(notAMap);
    ClickVisible(Button("Command2"));

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Vornak MOD Installer");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes.shown[0].text.contains("Broken.w3m")) << boxes.shown[0].text.toStdString();
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(1));
    EXPECT_EQ(vornak::test::ReadText(notAMap), "no archive at all");
}

TEST_F(WizardTest, ASecondNextPressQueuedOnTheBackupPageSkipsTheInstall)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    const fs::path map = WriteMap("Arena.w3m");
    const auto before = ReadBytes(map);
    GoToBackupPage(map);
    QPushButton* next = Button("Command2");
    const QPointF centre = next->rect().center();
    QCoreApplication::postEvent(next, new QMouseEvent(QEvent::MouseButtonPress, centre, next->mapToGlobal(centre),
                                                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(next, new QMouseEvent(QEvent::MouseButtonRelease, centre, next->mapToGlobal(centre),
                                                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    ClickVisible(next);
    // The queued pass moved on to 4 during the first pass's yield; the first then read 4
    // and never ran the install.
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_EQ(RowState(), "0001");
    EXPECT_EQ(ReadBytes(map), before);
}

} // namespace
} // namespace vornak::wizard::test
