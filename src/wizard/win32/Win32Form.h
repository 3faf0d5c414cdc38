#pragma once

#include "archive/MapArchive.h"
#include "wizard/WizardDesign.h"
#include "wizard/WizardFlow.h"
#include "wizard/WizardView.h"
#include "wizard/win32/Win32Handles.h"
#include "wizard/win32/Win32Picture.h"

#include <windows.h>

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vornak::wizard::win32 {

// The installer's window in plain Win32: made from WizardDesign, driven by WizardFlow, to which
// it passes every press, key and the close box. One window procedure serves the window and its
// six pages and hands each message to a member.
class Win32Form : public WizardView {
public:
    // Creates the window, hidden, at the dpi of the screen.
    Win32Form(HINSTANCE instance, std::filesystem::path appDir, MapArchive& archive);
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // Start-up. False when the program has been ended instead: never show the window then.
    bool Load() { return flow_.Start(); }
    void Show(int how);
    // The message loop; returns only if the window has gone without ending the program.
    int Run();

    // A label: no window of its own, painted by its page.
    struct Label {
        const design::Control* design;
        std::wstring text; // as set, "&" and all
        HFONT font;
        RECT box; // on the page, scaled; an auto-sized label's fits its text
        int clipRight; // where its text is cut: the next control on its line, or the page's edge
    };

    WizardFlow& flow() { return flow_; }
    HWND window() const { return window_.get(); }
    HWND Control(std::string_view name) const;
    const Label& LabelOf(std::string_view name) const;
    // A design length in pixels on this screen.
    int Scaled(int length) const { return MulDiv(length, dpi_, 96); }

    // WizardView
    void BringToFront(int page) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    void SetText(std::string_view control, const std::string& text) override;
    std::string RootText() const override;
    void FocusRoot() override;
    bool ShowBanner(const std::filesystem::path& picture) override;
    void SetBusyPointer(bool busy) override;
    void ProcessPendingEvents() override;
    void ShowMessage(const MessageBoxRequest& box) override;
    std::optional<ChosenFile> ChooseFile(const std::string& filter, const std::string& current,
                                         const std::filesystem::path& folder) override;
    std::filesystem::path DocumentsFolder() const override;
    void EndProgram(int exitCode) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Tahoma in the window's size, bold and underlined as the style says; width 0 is the face's own.
    HFONT Font(unsigned style, int width);
    HFONT FittingFont(const design::Control& control);
    bool Fits(const design::Control& control, HFONT font) const;
    RECT Box(const design::Control& control) const;
    void Make(const design::Control& control);
    void OnCommand(HWND control, UINT code);
    void OnPaint(HWND window);
    void PaintLabel(HDC dc, const Label& label) const;
    bool OnKey(const MSG& message);
    void Dispatch(MSG& message);
    void MoveFocus(bool backwards);
    // Where the focus goes when `leaving` may not keep it: the default button, else the first
    // control in tab order on the window or the page in front.
    HWND FocusTarget(HWND leaving) const;
    bool CanFocus(HWND control) const;
    const design::Control* DesignOf(HWND control) const;

    Win32Picture::Session gdiplus_;
    HINSTANCE instance_;
    int dpi_;
    std::map<std::pair<unsigned, int>, FontHandle> fonts_; // by style and width
    IconHandle bigIcon_, smallIcon_;
    std::map<std::string, HWND, std::less<>> controls_;
    std::map<HWND, const design::Control*> designs_;
    std::array<HWND, design::kPageCount> pages_{};
    std::map<std::string_view, Label, std::less<>> labels_;
    std::map<std::string_view, Win32Picture> pictures_;
    std::optional<Win32Picture> banner_;
    HWND lastFocus_ = nullptr;
    int front_ = 0;
    bool busy_ = false;
    bool settingText_ = false;
    WizardFlow flow_;
    WindowHandle window_; // last: destroyed first, while everything its messages use is there
};

} // namespace vornak::wizard::win32
