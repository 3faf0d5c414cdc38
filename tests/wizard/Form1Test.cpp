#include "WizardScene.h"
#include "wizard/qt/CaptionText.h"
#include "wizard/qt/FileDialogFilter.h"
#include "wizard/qt/Form1.h"
#include "wizard/qt/TahomaFont.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace vornak::wizard::test {
namespace {

class Form1Test : public WindowTest<Form1> {
protected:
    void TearDown() override
    {
        form.reset();
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the busy pointer was left on";
    }
    void Start() override
    {
        form = std::make_unique<Answered>(appDir.path(), archive);
        ASSERT_TRUE(form->Load());
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    template <class T = QWidget>
    T* Find(const std::string& name) const { return form->findChild<T*>(QString::fromStdString(name)); }
    void Do(const std::string& action) override
    {
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : form.get();
        const bool alt = action.starts_with("Alt+");
        if (action.starts_with("type ")) {
            for (const QChar c : QString::fromStdString(action.substr(5)))
                QTest::sendKeyEvent(QTest::Click, focus, Qt::Key_unknown, c, Qt::NoModifier);
        } else if (action.starts_with("click "))
            QTest::mouseClick(Find(action.substr(6)), Qt::LeftButton);
        else if (action == "close")
            form->close();
        else
            QTest::keyClick(focus, action == "Enter" ? Qt::Key_Return : action == "Escape" ? Qt::Key_Escape
                                   : action == "Tab" ? Qt::Key_Tab : Qt::Key(action.back()),
                            alt ? Qt::AltModifier : Qt::NoModifier);
        // An access key presses its button the way a click looks: after a short animation.
        if (alt)
            QTest::qWait(150);
    }
    // The frame ("FrameStep_N") at a point of the page area that no control covers.
    int PageInFront() const override { return form->childAt(455, 235)->objectName().back().digitValue(); }
    bool IsEnabled(const char* control) const override { return Find(control)->isEnabled(); }
    std::string Focused() const override { return QApplication::focusWidget()->objectName().toStdString(); }
};

// Keys, typing and clicks through the whole journey; the banner shows at start-up.
TEST_F(Form1Test, WholeJourneyInstallsIntoABuiltMapAndEveryWayOutEndsTheProgram)
{
    fs::copy_file(vornak::test::SourceDir() / "src/wizard/art/banner.gif", appDir / "banner.gif");
    Journey();
    EXPECT_EQ(Find<QLabel>("Picture1")->pixmap().size(), QSize(481, 75));
}

// The widgets do what the flow asks of the view, the real message box included; every
// wrapping label holds its text inside its box.
TEST_F(Form1Test, TheWidgetsFollowTheView)
{
    Start();
    // A fixed dialog frame: the close box alone.
    EXPECT_EQ(form->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
              Qt::WindowCloseButtonHint);
    form->SetText("installon", "on R&&D map.");
    EXPECT_EQ(Find<QLabel>("installon")->text(), "on R&D map.");
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
        EXPECT_EQ(std::tuple(box->icon(), box->standardButtons(), QGuiApplication::overrideCursor()->shape()),
                  std::tuple(QMessageBox::Critical, QMessageBox::StandardButtons(QMessageBox::Ok), Qt::ArrowCursor));
        box->accept();
    });
    form->Form1::ShowMessage({"Required File", "Can't find the required file 'war3map.wts'!", MessageIcon::Critical});
    EXPECT_TRUE(shown);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form->SetBusyPointer(false);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace vornak::wizard::test

// No display in CI: the window is driven offscreen unless a platform is chosen.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vornak::wizard::TahomaFont::Ensure();
    QApplication::setFont(vornak::wizard::TahomaFont::Regular());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
