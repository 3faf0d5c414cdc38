#include "WizardScene.h"
#include "archive/StormMapArchive.h"
#include "wizard/qt/CaptionText.h"
#include "wizard/qt/FileDialogFilter.h"
#include "wizard/qt/Form1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

namespace vornak::wizard::test {
namespace {

using ::testing::ElementsAre;
using vornak::test::ReadBytes;

// The Qt window with its modal parts answered by the test: boxes are recorded, the file
// dialog chooses from a script, and the end is recorded instead of ending the process.
struct TestForm1 : Form1 {
    using Form1::Form1;
    std::vector<MessageBoxRequest> boxes;
    fs::path answer;
    std::vector<int> exitCodes;

    void ShowMessage(const MessageBoxRequest& box) override { boxes.push_back(box); }
    std::optional<ChosenFile> ChooseFile(const std::string&, const std::string&, const fs::path&) override
    {
        return ChosenFile{answer.string(), answer.filename().string()};
    }
    void EndProgram(int exitCode) override { exitCodes.push_back(exitCode); }
};

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override { WriteAppFolder(appDir.path()); }
    void TearDown() override
    {
        form.reset();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy pointer was left on";
    }

    void Start()
    {
        form = std::make_unique<TestForm1>(appDir.path(), archive);
        ASSERT_TRUE(form->Load());
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    template <class T = QWidget>
    T* Find(const char* name) const
    {
        return form->findChild<T*>(QString::fromLatin1(name));
    }
    // The page the user sees: the frame ("FrameStep_N") at a point of the page area that no
    // control covers.
    int PageInFront() const { return form->childAt(455, 235)->objectName().back().digitValue(); }
    // Clicks a control where the user would, after checking that nothing covers it there.
    void ClickVisible(const char* name)
    {
        QWidget* control = Find(name);
        ASSERT_EQ(form->childAt(control->mapTo(form.get(), control->rect().center())), control) << name;
        QTest::mouseClick(control, Qt::LeftButton);
    }
    void PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), key, modifiers);
        // An access key presses its button the way a click looks: after a short animation.
        if (modifiers & Qt::AltModifier)
            QTest::qWait(150);
    }
    // The page in front and the button row "Exit Previous Next Finish", 1 = enabled.
    std::string Shown() const
    {
        std::string shown = "page " + std::to_string(PageInFront()) + " ";
        for (const char* name : {"Command1", "Command3", "Command2", "Command4"})
            shown += Find(name)->isEnabled() ? '1' : '0';
        return shown;
    }

    vornak::test::TempDir appDir;
    StormMapArchive archive;
    std::unique_ptr<TestForm1> form;
};

// The whole journey as a user makes it, with keys and clicks: start with the banner, browse,
// back up, install into a built map through the real archive layer,
// credits back and forth by their shared access key, Finish.
TEST_F(Form1Test, WholeJourneyInstallsIntoABuiltMapAndEndsOnFinish)
{
    fs::copy_file(vornak::test::SourceDir() / "src/wizard/art/banner.gif", appDir / "banner.gif");
    const fs::path map = BuildMap(appDir / "maps" / "Arena.w3m");
    const auto original = ReadBytes(map);
    Start();
    EXPECT_EQ(Find<QLabel>("Picture1")->pixmap().size(), QSize(481, 75));

    // Previous from the map page with the box empty, then Enter: on again, not Exit.
    for (const auto& [key, shown, focus] : {std::tuple(Qt::Key_Return, "page 1 1100", "Root"),
                                             std::tuple(Qt::Key_P, "page 0 1010", "Command2"),
                                             std::tuple(Qt::Key_Return, "page 1 1100", "Root")}) {
        PressKey(key, key == Qt::Key_P ? Qt::AltModifier : Qt::NoModifier);
        EXPECT_EQ(Shown(), shown);
        EXPECT_EQ(QApplication::focusWidget(), Find(focus));
    }
    form->answer = map;
    ClickVisible("Command5");
    PressKey(Qt::Key_N, Qt::AltModifier);
    EXPECT_EQ(Shown(), "page 2 1110");
    ClickVisible("Command6");
    EXPECT_EQ(ReadBytes(appDir / "maps" / "Arena_BackUp.w3m"), original);
    EXPECT_EQ(QApplication::focusWidget(), Find("Command2")) << "Enter would press a covered button";

    PressKey(Qt::Key_Return);
    EXPECT_EQ(Shown(), "page 4 0001");
    EXPECT_EQ(QApplication::focusWidget(), Find("Command4")) << "Finish! takes the focus Next had";
    EXPECT_EQ(Find<QLabel>("Label11")->text(), "You have installed succesfuly the VQ MOD on Arena.w3m map.");
    const auto units = archive.Open(map)->ReadEntry("war3map.w3u");
    EXPECT_EQ(std::string(units.begin(), units.end()), "template units");
    PressKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 5);
    PressKey(Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(PageInFront(), 4);
    PressKey(Qt::Key_Escape); // Exit is disabled now
    EXPECT_TRUE(form->exitCodes.empty());
    PressKey(Qt::Key_Return);
    EXPECT_THAT(form->exitCodes, ElementsAre(0)) << "Enter presses Finish!, the default button now";
    EXPECT_EQ(form->boxes.size(), 1u) << "the backup's box only";
}

// The widgets do what the flow asks of the view, the real message box included; Root's edits,
// Escape and the close box reach the flow; every wrapping label holds its text inside its box.
TEST_F(Form1Test, TheWidgetsFollowTheViewAndPassTheUserOnToTheFlow)
{
    Start();
    // A fixed dialog frame: the close box alone.
    EXPECT_EQ(form->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
              Qt::WindowCloseButtonHint);
    form->SetText("installon", "on R&&D map.");
    EXPECT_EQ(Find<QLabel>("installon")->text(), "on R&D map.");
    PressKey(Qt::Key_Return);
    QTest::keyClicks(Find("Root"), "C:/Maps/Arena.w3m");
    EXPECT_EQ(Shown(), "page 1 1110");
    PressKey(Qt::Key_A, Qt::ControlModifier);
    PressKey(Qt::Key_Backspace);
    EXPECT_EQ(Shown(), "page 1 1100");
    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    EXPECT_THAT(form->exitCodes, ElementsAre(0));
    Start();
    PressKey(Qt::Key_Escape);
    EXPECT_THAT(form->exitCodes, ElementsAre(0));

    for (const design::Control& control : design::Controls()) {
        if (control.kind == design::Kind::Label && !(control.style & design::AutoSize)) {
            auto* label = Find<QLabel>(control.name.data());
            EXPECT_TRUE(label->wordWrap()) << control.name;
            EXPECT_LE(label->heightForWidth(label->width()), label->height() + 1) << control.name << " overflows";
        }
    }
    // The heading, the name and the full stop read as one line; "&&" shows one ampersand.
    EXPECT_LE(Find("Label8")->geometry().right(), Find("Label14")->x());
    EXPECT_EQ(Find<QLabel>("Label17_9")->text(), "Manuals & Guides");
    EXPECT_EQ(QtFileFilter("Warcraft III maps (*.w3m)|*.w3m|"), "Warcraft III maps (*.w3m)");
    EXPECT_EQ(ShownCaption("a &&& b&"), "a & b");
    // The real box under the busy pointer: an ordinary one while it is up, none stacked.
    form->SetBusyPointer(true);
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = true;
        EXPECT_EQ(box->windowTitle() + " | " + box->text(), "Required File | Can't find the required file 'war3map.wts'!");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        box->button(QMessageBox::Ok)->click();
    });
    form->Form1::ShowMessage({"Required File", "Can't find the required file 'war3map.wts'!", MessageIcon::Critical});
    EXPECT_TRUE(shown);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form->SetBusyPointer(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace vornak::wizard::test
