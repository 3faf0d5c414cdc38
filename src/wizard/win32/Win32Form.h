#pragma once

#include "archive/MapArchive.h"
#include "wizard/flow/WizardDesign.h"
#include "wizard/flow/WizardFlow.h"
#include "wizard/flow/WizardView.h"
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
    // Creates the window, hidden, at the dpi of the monitor it is on.
    Win32Form(HINSTANCE instance, std::filesystem::path appDir, MapArchive& archive);
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // Start-up. False when the program has been ended instead: never show the window then.
    bool Load() { return flow_.Start(); }
    void Show(int how);
    // The message loop; returns only if the window has gone without ending the program. The
    // system's dialog manager takes Tab, Enter, Escape and the access keys.
    int Run();

    // A label: no window of its own, painted by its page.
    struct Label {
        const design::Control* design;
        std::wstring text; // as set, "&" and all
        HFONT font = nullptr;
        RECT box{}; // on the page, scaled; an auto-sized label's fits its text
        int clipRight = 0; // where its text is cut: the next control on its line, or the page's edge
        bool oneLine = false; // auto-sized, or too wide for its box: set on one line
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
    void PaintPending() override;
    void ShowMessage(const MessageBoxRequest& box) override;
    std::optional<ChosenFile> ChooseFile(const std::string& filter, const std::string& current,
                                         const std::filesystem::path& folder) override;
    std::filesystem::path DocumentsFolder() const override;
    void EndProgram(int exitCode) override;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Tahoma in the window's size, bold and underlined as the style says.
    HFONT Font(unsigned style);
    RECT Box(const design::Control& control) const;
    void Make(const design::Control& control, int id);
    // Every edge, font and picture at the current dpi.
    void Layout();
    void OnCommand(HWND control, UINT id, UINT code);
    void OnPaint(HWND window);
    void OnDpiChanged(int dpi, const RECT& suggested);
    void PaintLabel(HDC dc, const Label& label) const;
    void Dispatch(MSG& message);
    bool CanFocus(HWND control) const;
    // The focus leaves a control that is being disabled or covered; the dialog holds it until
    // the default button can take it.
    void ParkFocus();
    // Next is the default button while it is enabled, else Finish; a parked focus goes to it.
    void SettleDefaultButton();
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
    std::filesystem::path bannerFile_;
    HWND lastRowButton_ = nullptr; // the button row's last in tab order: the page in front follows it
    bool focusParked_ = false;
    int front_ = 0;
    bool busy_ = false;
    bool settingText_ = false;
    WizardFlow flow_;
    WindowHandle window_; // last: destroyed first, while everything its messages use is there
};

} // namespace vornak::wizard::win32
