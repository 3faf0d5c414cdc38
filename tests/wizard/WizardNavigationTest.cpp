#include "WizardFixture.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTest>

namespace vornak::wizard::test {
namespace {

using ::testing::ElementsAre;

TEST_F(WizardTest, WithoutTheListFileOnlyTheRequiredFileMessageAppearsAndTheProgramEnds)
{
    std::filesystem::remove(appDir / "Data" / "listw3m.txt");
    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, "Required File");
    EXPECT_EQ(boxes.shown[0].text, "Can't find the required file '\\Data\\listw3m.txt'!");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes.shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(WizardTest, StartsOnTheWelcomePageWithTheBannerWhenItIsThere)
{
    std::filesystem::copy_file(vornak::test::SourceDir() / "src/wizard/art/banner.gif", appDir / "banner.gif");
    ASSERT_TRUE(Start());
    EXPECT_EQ(PageInFront(), 0);
    EXPECT_EQ(RowState(), "1010");
    EXPECT_TRUE(boxes.shown.empty());
    const QPixmap banner = Label("Picture1")->pixmap();
    EXPECT_EQ(banner.size(), QSize(481, 75));
}

TEST_F(WizardTest, WithoutTheBannerTheBandStaysEmptyAndNothingIsSaid)
{
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Label("Picture1")->pixmap().isNull());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(PageInFront(), 0);
}

TEST_F(WizardTest, ABannerThatIsNoPictureIsReportedAndEndsTheProgram)
{
    vornak::test::WriteText(appDir / "banner.gif", "not a picture");
    EXPECT_FALSE(Start());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes.shown[0].text.contains("banner.gif"));
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(1));
}

TEST_F(WizardTest, NextOnTheMapPageFollowsRootWhateverChangesIt)
{
    ASSERT_TRUE(Start());
    ClickVisible(Button("Command2"));
    EXPECT_EQ(PageInFront(), 1);
    EXPECT_EQ(QApplication::focusWidget(), Root());
    EXPECT_EQ(RowState(), "1100");

    QTest::keyClicks(Root(), "C:/Maps/Arena.w3m");
    EXPECT_EQ(RowState(), "1110");
    Root()->selectAll();
    PressKey(Qt::Key_Backspace);
    EXPECT_EQ(RowState(), "1100");

    QGuiApplication::clipboard()->setText(QStringLiteral("D:/pasted.w3m"));
    PressKey(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Root()->text(), "D:/pasted.w3m");
    EXPECT_EQ(RowState(), "1110");
}

TEST_F(WizardTest, PreviousGoesBackAndAlwaysEnablesNext)
{
    ASSERT_TRUE(Start());
    ClickVisible(Button("Command2"));
    ClickVisible(Button("Command3")); // Root is empty, yet Next is enabled on the welcome page
    EXPECT_EQ(PageInFront(), 0);
    EXPECT_EQ(RowState(), "1010");

    ClickVisible(Button("Command2"));
    QTest::keyClicks(Root(), "x.w3m");
    ClickVisible(Button("Command2"));
    EXPECT_EQ(PageInFront(), 2);
    EXPECT_EQ(RowState(), "1110");
    Root()->clear(); // the text may change on any page; Next follows it there too
    EXPECT_EQ(RowState(), "1100");
    ClickVisible(Button("Command3"));
    EXPECT_EQ(PageInFront(), 1);
    EXPECT_EQ(RowState(), "1110");
}

TEST_F(WizardTest, PreviousOnTheWelcomePageLeavesMinusOneAndTheNextPressReturnsToIt)
{
    ASSERT_TRUE(Start());
    form->Command3_Click(); // the designed states never enable it here
    EXPECT_EQ(PageInFront(), 0);
    EXPECT_EQ(RowState(), "1010");

    ClickVisible(Button("Command2")); // -1 -> 0
    EXPECT_EQ(PageInFront(), 0);
    EXPECT_EQ(RowState(), "1010");
    ClickVisible(Button("Command2"));
    EXPECT_EQ(PageInFront(), 1);
}

TEST_F(WizardTest, ASecondNextPressWaitingInTheQueueRunsDuringTheYield)
{
    ASSERT_TRUE(Start());
    QPushButton* next = Button("Command2");
    const QPointF centre = next->rect().center();
    // The user double-clicks faster than the first pass runs: the second press is queued.
    QCoreApplication::postEvent(next, new QMouseEvent(QEvent::MouseButtonPress, centre, next->mapToGlobal(centre),
                                                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(next, new QMouseEvent(QEvent::MouseButtonRelease, centre, next->mapToGlobal(centre),
                                                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    ClickVisible(next);
    // Both passes ran: the map page was passed over without a map being chosen.
    EXPECT_EQ(PageInFront(), 2);
    EXPECT_EQ(RowState(), "1110");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WizardTest, TheBusyPointerShowsWhileTheInstallRunsAndIsGoneAfterwards)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    std::vector<int> pointerDuringInstall;
    archive.onExtract = [&] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        pointerDuringInstall.push_back(cursor ? cursor->shape() : -1);
    };
    GoToBackupPage(WriteMap("Arena.w3m"));
    ClickVisible(Button("Command2"));
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_THAT(pointerDuringInstall, ElementsAre(Qt::WaitCursor, Qt::WaitCursor));
    // One override, set and cleared: a stacked one would still be there.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(WizardTest, EnterPressesNextAndEscapePressesExitOnlyWhileEnabled)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    PressKey(Qt::Key_Return);
    EXPECT_EQ(PageInFront(), 1);
    PressKey(Qt::Key_Return); // Next is disabled while Root is empty
    EXPECT_EQ(PageInFront(), 1);
    dialog.answers.push_back(PathText(WriteMap("Arena.w3m")));
    ClickVisible(Button("Command5"));
    Root()->setFocus();
    PressKey(Qt::Key_Enter);
    EXPECT_EQ(PageInFront(), 2);
    PressKey(Qt::Key_Return); // installs
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_EQ(RowState(), "0001");

    PressKey(Qt::Key_Escape);
    PressKey(Qt::Key_Return);
    EXPECT_FALSE(programEnd.Ended());
    EXPECT_EQ(PageInFront(), 4);
}

TEST_F(WizardTest, EscapeOnTheWelcomePageEndsTheProgram)
{
    ASSERT_TRUE(Start());
    PressKey(Qt::Key_Escape);
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
}

TEST_F(WizardTest, AccessKeysPressTheButtonsOfTheRowAndOfThePageInFront)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    PressKey(Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 1);
    PressKey(Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 0);

    GoToBackupPage(WriteMap("Arena.w3m"));
    PressKey(Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 4);
    // "View &Credits" and "&Close" share their letter; the page in front decides.
    PressKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 5);
    PressKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 4);
    PressKey(Qt::Key_X, Qt::AltModifier); // Exit is disabled now
    EXPECT_FALSE(programEnd.Ended());
    PressKey(Qt::Key_F, Qt::AltModifier);
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
}

TEST_F(WizardTest, ClosingTheWindowEndsTheProgramInEveryState)
{
    ASSERT_TRUE(Start());
    form->close();
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
    // After the end nothing of the program runs any more.
    Button("Command2")->click();
    EXPECT_EQ(PageInFront(), 0);
}

TEST_F(WizardTest, ClosingTheWindowOnTheCreditsPageEndsTheProgramThoughExitIsDisabled)
{
    WriteTemplates();
    ASSERT_TRUE(Start());
    GoToBackupPage(WriteMap("Arena.w3m"));
    ClickVisible(Button("Command2"));
    ClickVisible(Button("Command7"));
    ASSERT_EQ(PageInFront(), 5);
    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    EXPECT_THAT(programEnd.exitCodes, ElementsAre(0));
}

} // namespace
} // namespace vornak::wizard::test
