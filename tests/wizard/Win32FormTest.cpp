#include "WizardScene.h"
#include "archive/StormMapArchive.h"
#include "wizard/win32/Win32Form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace vornak::wizard::test {
namespace {

using ::testing::ElementsAre;
using win32::Win32Form;

// The Win32 window with its modal parts answered by the test, and the end recorded instead of
// ending the process.
struct TestWin32Form : Win32Form {
    using Win32Form::Win32Form;
    std::vector<MessageBoxRequest> boxes;
    std::vector<int> exitCodes;

    void ShowMessage(const MessageBoxRequest& box) override { boxes.push_back(box); }
    std::optional<ChosenFile> ChooseFile(const std::string&, const std::string&, const fs::path&) override
    {
        return {};
    }
    void EndProgram(int exitCode) override { exitCodes.push_back(exitCode); }
};

class Win32FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Under wine without an X display no window can be made at all.
        if (HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr))
            DestroyWindow(probe);
        else
            GTEST_SKIP() << "no display to make windows on: scripts/windows-journeys.sh runs this test under Xvfb";
        WriteAppFolder(appDir.path());
    }

    TestWin32Form& Start()
    {
        form = std::make_unique<TestWin32Form>(GetModuleHandleW(nullptr), appDir.path(), archive);
        EXPECT_TRUE(form->Load());
        form->Show(SW_SHOW);
        SetForegroundWindow(form->window());
        form->ProcessPendingEvents();
        return *form;
    }
    // The page the user sees: the top child at a corner of the page area no control covers.
    int PageInFront() const
    {
        HWND top = ChildWindowFromPointEx(form->window(), {form->Scaled(455), form->Scaled(235)}, CWP_SKIPINVISIBLE);
        for (int page = 0; page < design::kPageCount; ++page) {
            if (top == form->Control("FrameStep_" + std::to_string(page)))
                return page;
        }
        return -1;
    }
    RECT Box(const design::Box& box) const
    {
        return {form->Scaled(box.left), form->Scaled(box.top), form->Scaled(box.left + box.width),
                form->Scaled(box.top + box.height)};
    }
    std::string Focused() const
    {
        for (const design::Control& control : design::Controls()) {
            if (control.kind == design::Kind::Button || control.kind == design::Kind::TextBox) {
                if (GetFocus() == form->Control(control.name))
                    return std::string(control.name);
            }
        }
        return "none";
    }
    // A key as the message loop gets it from the keyboard, Alt+key as WM_SYSCHAR.
    void Key(WPARAM key, bool alt = false)
    {
        HWND target = GetFocus() ? GetFocus() : form->window();
        PostMessageW(target, alt ? WM_SYSCHAR : WM_KEYDOWN, key, alt ? LPARAM{1} << 29 : 0);
        form->ProcessPendingEvents();
    }
    // The page in front and the button row "Exit Previous Next Finish", 1 = enabled.
    std::string Shown() const
    {
        std::string shown = "page " + std::to_string(PageInFront()) + " ";
        for (const char* name : {"Command1", "Command3", "Command2", "Command4"})
            shown += IsWindowEnabled(form->Control(name)) ? '1' : '0';
        return shown;
    }

    vornak::test::TempDir appDir;
    StormMapArchive archive;
    std::unique_ptr<TestWin32Form> form;
};

// What the flow asks of the view shows in the widgets: texts in any script, the busy pointer
// over the controls; every label's text inside its box. Pages and buttons: the keyboard tests.
TEST_F(Win32FormTest, TheWidgetsFollowTheView)
{
    Start();
    EXPECT_EQ(Shown(), "page 0 1010");
    form->SetText("Label11", "on Карта 地図 é.w3m map.");
    EXPECT_EQ(form->LabelOf("Label11").text, L"on Карта 地図 é.w3m map.");
    form->SetText("Root", "C:\\Mapas\\Ñandú 地図.w3m");
    EXPECT_EQ(form->RootText(), "C:\\Mapas\\Ñandú 地図.w3m");
    EXPECT_EQ(Shown(), "page 0 1010") << "setting Root is not the user's change";

    for (const bool busy : {true, false}) {
        form->SetBusyPointer(busy);
        HWND button = form->Control("Command2");
        SendMessageW(button, WM_SETCURSOR, reinterpret_cast<WPARAM>(button), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
    }

    // Measured afresh with each label's font: a wrapping text stands inside its designed box; an
    // auto-sized one inside its page, clear of the labels beside it. Not the bold ones: Tahoma Bold
    // sets the welcome heading and the name after it wider than their designed boxes.
    HDC screen = GetDC(nullptr);
    for (const design::Control& control : design::Controls()) {
        if (control.kind != design::Kind::Label || (control.style & design::Bold))
            continue;
        const Win32Form::Label& label = form->LabelOf(control.name);
        const bool wraps = !(control.style & design::AutoSize);
        RECT needed{0, 0, wraps ? label.box.right - label.box.left : 0, 0};
        HGDIOBJ old = SelectObject(screen, label.font);
        DrawTextW(screen, label.text.c_str(), -1, &needed, DT_CALCRECT | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(screen, old);
        OffsetRect(&needed, form->Scaled(control.box.left), form->Scaled(control.box.top));
        RECT inside;
        const RECT room = wraps ? Box(control.box) : Box({0, 0, 441, 155});
        EXPECT_TRUE(IntersectRect(&inside, &needed, &room) && EqualRect(&inside, &needed))
            << control.name << " runs over";
        for (const design::Control& other : design::Controls()) {
            const bool sideBySide = other.kind == design::Kind::Label && other.page == control.page &&
                                    other.box.top == control.box.top && &other != &control;
            EXPECT_FALSE(sideBySide && IntersectRect(&inside, &needed, &form->LabelOf(other.name).box))
                << control.name << " runs into " << other.name;
        }
    }
    ReleaseDC(nullptr, screen);
}

// Keys, typing and the close box reach the flow as a user gives them: Enter presses Next, Tab
// walks the window and the page in front only, Alt+C presses the credits button of the page in
// front, typing in Root enables Next, Escape and the close box end the program.
TEST_F(Win32FormTest, KeysTypingAndTheCloseBoxReachTheFlow)
{
    Start();
    EXPECT_EQ(Focused(), "Command2");
    Key(VK_RETURN);
    EXPECT_EQ(Shown(), "page 1 1100");
    EXPECT_EQ(Focused(), "Root");
    std::string walk;
    for (int i = 0; i < 4; ++i) {
        Key(VK_TAB);
        walk += Focused() + " ";
    }
    EXPECT_EQ(walk, "Command5 Command1 Command3 Root ");
    PostMessageW(form->Control("Root"), WM_CHAR, L'Ж', 1);
    form->ProcessPendingEvents();
    EXPECT_EQ(Shown(), "page 1 1110");
    EXPECT_EQ(form->RootText(), "Ж");

    form->BringToFront(4);
    Key(L'c', true);
    EXPECT_EQ(PageInFront(), 5);
    Key(L'c', true);
    EXPECT_EQ(PageInFront(), 4);
    EXPECT_TRUE(form->exitCodes.empty());
    Key(VK_ESCAPE);
    EXPECT_THAT(form->exitCodes, ElementsAre(0));

    Start();
    PostMessageW(form->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    form->ProcessPendingEvents();
    EXPECT_THAT(form->exitCodes, ElementsAre(0));
    EXPECT_TRUE(form->boxes.empty());
}

// The dialog manager's focus: Enter goes on after Previous disabled itself on the welcome page
// with the box empty, and after the install (of a path pasted with its quotes) Finish! has it.
// A new dpi lays the window out again in the frame the system suggests.
TEST_F(Win32FormTest, EnterGoesOnAndTheLayoutFollowsTheDpi)
{
    const fs::path map = BuildMap(appDir.path() / "maps" / "Arena.w3m");
    Start();
    for (const auto& [key, alt, shown, focus] : {std::tuple(WPARAM{VK_RETURN}, false, "page 1 1100", "Root"),
                                                  std::tuple(WPARAM{L'p'}, true, "page 0 1010", "Command2"),
                                                  std::tuple(WPARAM{VK_RETURN}, false, "page 1 1100", "Root")}) {
        Key(key, alt);
        EXPECT_EQ(Shown(), shown);
        EXPECT_EQ(Focused(), focus);
    }
    SetWindowTextW(form->Control("Root"), (L"\"" + map.wstring() + L"\"").c_str());
    Key(VK_RETURN);
    Key(VK_RETURN);
    EXPECT_EQ(Shown(), "page 4 0001");
    EXPECT_EQ(Focused(), "Command4");
    const auto units = archive.Open(map)->ReadEntry("war3map.w3u");
    EXPECT_EQ(std::string(units.begin(), units.end()), "template units");

    const RECT suggested{40, 30, 790, 510};
    SendMessageW(form->window(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    RECT frame, next;
    GetWindowRect(form->window(), &frame);
    EXPECT_EQ(std::pair(frame.right - frame.left, frame.bottom - frame.top), std::pair(750L, 480L));
    GetWindowRect(form->Control("Command2"), &next);
    MapWindowPoints(nullptr, form->window(), reinterpret_cast<POINT*>(&next), 2);
    EXPECT_EQ(std::tuple(next.left, next.top, next.right, next.bottom), std::tuple(432L, 390L, 551L, 425L));
    LOGFONTW font{};
    GetObjectW(form->LabelOf("Label12").font, sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -16);
}

} // namespace
} // namespace vornak::wizard::test
