#include "WizardScene.h"
#include "wizard/win32/Utf16.h"
#include "wizard/win32/Win32Form.h"

#include <cwctype>
#include <utility>

namespace vornak::wizard::test {
namespace {

using win32::Win32Form;

class Win32FormTest : public WindowTest<Win32Form> {
protected:
    void SetUp() override
    {
        // Under wine without an X display no window can be made at all.
        if (HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr))
            DestroyWindow(probe);
        else
            GTEST_SKIP() << "no display to make windows on: scripts/windows-journeys.sh runs this test under Xvfb";
        WindowTest::SetUp();
    }
    void Start() override
    {
        form = std::make_unique<Answered>(GetModuleHandleW(nullptr), appDir.path(), archive);
        EXPECT_TRUE(form->Load());
        form->Show(SW_SHOW);
        SetForegroundWindow(form->window());
        form->ProcessPendingEvents();
    }
    // The top child at a corner of the page area no control covers.
    int PageInFront() const override
    {
        HWND top = ChildWindowFromPointEx(form->window(), {form->Scaled(455), form->Scaled(235)}, CWP_SKIPINVISIBLE);
        int page = 0;
        while (page < design::kPageCount && top != form->Control("FrameStep_" + std::to_string(page)))
            ++page;
        return page;
    }
    bool IsEnabled(const char* control) const override { return IsWindowEnabled(form->Control(control)); }
    std::string Focused() const override
    {
        for (std::string_view name : design::TabOrder()) {
            if (GetFocus() == form->Control(name))
                return std::string(name);
        }
        return "none";
    }
    // As the message loop gets it from the keyboard and the mouse: Alt+key as WM_SYSCHAR.
    void Do(const std::string& action) override
    {
        HWND focus = GetFocus() ? GetFocus() : form->window();
        if (action.starts_with("type ")) {
            for (const wchar_t c : win32::Utf16(action.substr(5)))
                PostMessageW(focus, WM_CHAR, c, 1);
        } else if (action.starts_with("click ")) {
            PostMessageW(form->Control(action.substr(6)), BM_CLICK, 0, 0);
        } else if (action == "close") {
            PostMessageW(form->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        } else if (action.starts_with("Alt+")) {
            PostMessageW(focus, WM_SYSCHAR, std::towlower(action.back()), LPARAM{1} << 29);
        } else {
            PostMessageW(focus, WM_KEYDOWN, action == "Enter" ? VK_RETURN : action == "Escape" ? VK_ESCAPE : VK_TAB, 0);
        }
        form->ProcessPendingEvents();
    }
};

TEST_F(Win32FormTest, WholeJourneyInstallsIntoABuiltMapAndEveryWayOutEndsTheProgram)
{
    Journey();
}

// What the flow asks of the view shows in the widgets: texts in any script, the busy pointer
// over the controls; every label's text inside its box. A new dpi lays the window out again.
TEST_F(Win32FormTest, TheWidgetsFollowTheViewAndTheDpi)
{
    Start();
    form->SetText("Label11", "on Карта 地図 é.w3m map.");
    EXPECT_EQ(form->LabelOf("Label11").text, L"on Карта 地図 é.w3m map.");
    form->SetText("Root", "C:\\Mapas\\Ñandú 地図.w3m");
    EXPECT_EQ(form->RootText(), "C:\\Mapas\\Ñandú 地図.w3m");

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
        const design::Box box = wraps ? control.box : design::Box{0, 0, 441, 155};
        RECT inside, room{0, 0, form->Scaled(box.width), form->Scaled(box.height)};
        OffsetRect(&room, form->Scaled(box.left), form->Scaled(box.top));
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

    // A new dpi lays the window out again in the frame the system suggests.
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
