#include "wizard/win32/Win32Form.h"

#include "wizard/win32/Utf16.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace vornak::wizard::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"VornakInstallerWindow";
constexpr wchar_t kPageClass[] = L"VornakInstallerPage";

std::string LastError(const std::string& what)
{
    return what + ": Windows error " + std::to_string(GetLastError()) + ".";
}

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

// The dpi the window is laid out for: its monitor's, as the manifest declares the program aware
// of each monitor's. Systems before Windows 10 1607 know one dpi, the screen's. At 96 it is the
// design, pixel for pixel.
int WindowDpi(HWND window)
{
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window))
            return static_cast<int>(dpi);
    }
    ScreenDc screen;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

// The window's outer size for a client area at a dpi, its frame at that dpi where the system
// can tell.
SIZE FrameSize(int width, int height, int dpi)
{
    using AdjustForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpiCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    RECT frame{0, 0, width, height};
    if (!adjustForDpi || !adjustForDpi(&frame, kWindowStyle, FALSE, 0, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// `extra`: DLGWINDOWEXTRA for the window, which the dialog manager serves as a dialog.
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, int extra)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.cbWndExtra = extra;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    // A second window of the same program (the tests make several) finds the class there.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error(LastError("The window class cannot be registered"));
}

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

HCURSOR Pointer(bool busy)
{
    return LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32514 /* IDC_WAIT */ : 32512 /* IDC_ARROW */));
}

// How far a label's text may reach to the right past the labels beside it: to the next other
// control on its line, or else to the edge of its page.
int RightLimit(const design::Control& label)
{
    int limit = design::kClientWidth;
    for (const design::Control& other : design::Controls()) {
        if (other.kind == design::Kind::Page)
            limit = std::min(limit, other.box.width);
    }
    for (const design::Control& other : design::Controls()) {
        if (other.kind != design::Kind::Label && other.page == label.page && other.box.top == label.box.top &&
            other.box.left > label.box.left)
            limit = std::min(limit, other.box.left);
    }
    return limit;
}

// How a label's text is set in its box: "&" marks an access key, as in every caption.
UINT TextFormat(const design::Control& label)
{
    if (label.style & design::AutoSize)
        return DT_SINGLELINE;
    return DT_WORDBREAK | (label.style & design::Centred ? DT_CENTER : DT_LEFT);
}

// "description|pattern|" as the file dialog wants it: the same pairs, each part ending in NUL,
// and one more NUL after the last.
std::wstring DialogFilter(const std::string& filter)
{
    std::wstring pairs = Utf16(filter);
    if (pairs.empty() || pairs.back() != L'|')
        pairs += L'|';
    for (wchar_t& c : pairs) {
        if (c == L'|')
            c = L'\0';
    }
    return pairs; // c_str() adds the closing NUL
}

} // namespace

Win32Form::Win32Form(HINSTANCE instance, std::filesystem::path appDir, MapArchive& archive)
    : instance_(instance)
    , dpi_(WindowDpi(nullptr))
    , flow_(*this, std::move(appDir), archive)
{
    RegisterWindowClass(instance_, kWindowClass, WindowProc, DLGWINDOWEXTRA);
    RegisterWindowClass(instance_, kPageClass, WindowProc, 0);
    // A fixed dialog frame: caption, icon and close box; no sizing, no minimise or maximise box.
    window_.reset(CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Utf16(design::kCaption).c_str(), kWindowStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance_, this));
    if (!window_)
        throw std::runtime_error(LastError("The installer's window cannot be created"));
    dpi_ = WindowDpi(window());
    const SIZE frame = FrameSize(Scaled(design::kClientWidth), Scaled(design::kClientHeight), dpi_);
    SetWindowPos(window(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - frame.cx) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - frame.cy) / 2, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);

    // The icon is the program file's own, in both sizes the system shows.
    bigIcon_.reset(static_cast<HICON>(LoadImageW(instance_, L"IDI_ICON1", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageW(instance_, L"IDI_ICON1", IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    int id = 100; // clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape
    for (const design::Control& control : design::Controls())
        Make(control, id++);
    // The dialog manager's tab order is the stacking order: the button row first, in design order.
    HWND after = HWND_TOP;
    for (std::string_view name : design::TabOrder()) {
        const auto found = designs_.find(Control(name));
        if (found->second->page >= 0)
            continue;
        SetWindowPos(found->first, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = lastRowButton_ = found->first;
    }
    Layout();
    SettleDefaultButton();
    // Access keys are underlined from the start, as designed, not only once Alt is pressed.
    SendMessageW(window(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
}

HFONT Win32Form::Font(unsigned style)
{
    const unsigned face = style & (design::Bold | design::Underline);
    FontHandle& font = fonts_[{face, dpi_}];
    if (font)
        return font.get();
    LOGFONTW want{};
    // Tahoma 8.25 pt is 11 pixels at 96 dpi. Scaled, the height is rounded down, so that the
    // text grows no more than the boxes it stands in.
    want.lfHeight = -(11 * dpi_ / 96);
    want.lfWeight = face & design::Bold ? FW_BOLD : FW_NORMAL;
    want.lfUnderline = face & design::Underline ? TRUE : FALSE;
    // Paths may name folders in any script: Windows fills in what Tahoma lacks.
    want.lfCharSet = DEFAULT_CHARSET;
    wcscpy(want.lfFaceName, L"Tahoma");
    font.reset(CreateFontIndirectW(&want));
    if (!font)
        throw std::runtime_error(LastError("The window's font Tahoma cannot be made"));
    return font.get();
}

RECT Win32Form::Box(const design::Control& control) const
{
    // Edges are scaled, not sizes: what touches in the design touches on every screen.
    return {Scaled(control.box.left), Scaled(control.box.top), Scaled(control.box.left + control.box.width),
            Scaled(control.box.top + control.box.height)};
}

void Win32Form::Make(const design::Control& control, int id)
{
    const wchar_t* windowClass = kPageClass;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (control.style & design::Disabled ? WS_DISABLED : 0);
    DWORD exStyle = 0;
    switch (control.kind) {
    case design::Kind::Page:
        // Its controls take part in the dialog manager's Tab and access keys while it is enabled,
        // that is while it is in front.
        style |= WS_CLIPCHILDREN;
        exStyle = WS_EX_CONTROLPARENT;
        break;
    case design::Kind::Button:
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | (control.name == design::kDefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case design::Kind::TextBox:
        windowClass = L"EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case design::Kind::Label:
        // Labels, pictures, lines and the rule are no windows: their container paints them, in
        // design order and under its controls, so a transparent label is simply text on the page.
        labels_.emplace(control.name, Label{&control, Utf16(control.text)});
        return;
    case design::Kind::Image:
    case design::Kind::PictureBox:
    case design::Kind::Line:
    case design::Kind::Rule:
        return;
    }
    HWND parent = control.page < 0 ? window() : pages_.at(static_cast<std::size_t>(control.page));
    HWND made = CreateWindowExW(exStyle, windowClass, Utf16(control.text).c_str(), style, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, this);
    if (!made)
        throw std::runtime_error(LastError("The control " + std::string(control.name) + " cannot be created"));
    // Stacked in the order they are made, which is the dialog manager's Tab order on a page.
    SetWindowPos(made, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (control.kind == design::Kind::Page)
        pages_.at(static_cast<std::size_t>(control.name.back() - '0')) = made;
    controls_.emplace(control.name, made);
    designs_.emplace(made, &control);
}

void Win32Form::Layout()
{
    // The fonts of the old dpi stay until no control uses them.
    const auto oldFonts = std::move(fonts_);
    fonts_.clear();
    // Labels side by side read as one line: a text wider than its designed box (Tahoma Bold sets
    // the welcome heading and the name after it so) keeps to one line and moves the auto-sized
    // labels after it to the right, a little more than a space on, instead of wrapping out of sight or
    // running under them.
    std::map<std::pair<int, int>, int> lineEnds; // by page and top: where the last text ends
    for (const design::Control& control : design::Controls()) {
        const RECT box = Box(control);
        switch (control.kind) {
        case design::Kind::Label: {
            Label& label = labels_.at(control.name);
            label.font = Font(control.style);
            label.box = box;
            ScreenDc screen;
            SelectedObject font(screen.get(), label.font);
            RECT line{};
            DrawTextW(screen.get(), label.text.c_str(), -1, &line, DT_CALCRECT | DT_SINGLELINE);
            const bool autoSize = control.style & design::AutoSize;
            label.oneLine = autoSize || (line.right > box.right - box.left && 2 * line.bottom > box.bottom - box.top);
            int& end = lineEnds[{control.page, control.box.top}];
            if (autoSize && end > 0 && end + Scaled(5) > box.left)
                OffsetRect(&label.box, end + Scaled(5) - box.left, 0);
            if (label.oneLine)
                label.box.right = label.box.left + line.right;
            if (autoSize)
                label.box.bottom = label.box.top + line.bottom;
            end = static_cast<int>(label.box.left + std::min(line.right, label.box.right - label.box.left));
            break;
        }
        case design::Kind::Image:
            if (auto picture = Win32Picture::FromResource(instance_, Utf16(control.text), dpi_))
                pictures_.insert_or_assign(control.name, std::move(*picture));
            else
                throw std::runtime_error("The picture '" + std::string(control.text) + "' is missing from the program.");
            break;
        case design::Kind::Page:
        case design::Kind::Button:
        case design::Kind::TextBox: {
            HWND made = Control(control.name);
            MoveWindow(made, box.left, box.top, box.right - box.left, box.bottom - box.top, FALSE);
            SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(Font(control.style)), FALSE);
            break;
        }
        default:
            break;
        }
    }
    for (auto& [name, label] : labels_) {
        label.clipRight = Scaled(RightLimit(*label.design));
        for (const auto& [otherName, other] : labels_) {
            if (other.design->page == label.design->page && other.design->box.top == label.design->box.top &&
                other.box.left > label.box.left)
                label.clipRight = std::min(label.clipRight, static_cast<int>(other.box.left));
        }
    }
    if (!bannerFile_.empty())
        banner_ = Win32Picture::FromFile(bannerFile_, dpi_);
    RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HWND Win32Form::Control(std::string_view name) const
{
    const auto found = controls_.find(name);
    if (found == controls_.end())
        throw std::out_of_range("The window has no control named '" + std::string(name) + "'.");
    return found->second;
}

const design::Control* Win32Form::DesignOf(HWND control) const
{
    const auto found = designs_.find(control);
    return found == designs_.end() ? nullptr : found->second;
}

void Win32Form::Show(int how)
{
    ShowWindow(window(), how);
    // The dialog manager would start on the first control in tab order, Exit.
    SendMessageW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(design::kDefaultButton)), TRUE);
    UpdateWindow(window());
}

int Win32Form::Run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        Dispatch(message);
    return static_cast<int>(message.wParam);
}

void Win32Form::Dispatch(MSG& message)
{
    if (IsDialogMessageW(window(), &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

LRESULT CALLBACK Win32Form::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return form ? form->Handle(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Form::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The window is a dialog of its own class: the dialog manager keeps its focus and default
    // button. The pages are plain windows.
    const bool dialog = !window_ || window == this->window();
    switch (message) {
    case WM_COMMAND:
        OnCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_SETCURSOR:
        // The busy pointer holds over every part of the window, the controls' own included.
        if (busy_) {
            SetCursor(Pointer(true));
            return TRUE;
        }
        break;
    case WM_SETFOCUS:
        // A parked focus stays with the dialog until the default button can take it.
        if (dialog && focusParked_)
            return 0;
        break;
    case WM_DPICHANGED:
        if (dialog) {
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        }
        break;
    case WM_CLOSE:
        // The close box, Alt+F4 and the system menu: the flow decides, and it ends the program.
        flow_.CloseBox();
        return 0;
    default:
        break;
    }
    return dialog ? DefDlgProcW(window, message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

void Win32Form::OnCommand(HWND control, UINT id, UINT code)
{
    // Escape, from the dialog manager: the cancel button while it is enabled.
    if (!control && id == IDCANCEL) {
        flow_.Escape();
        return;
    }
    const design::Control* design = DesignOf(control);
    if (!design)
        return;
    if (design->kind == design::Kind::Button && code == BN_CLICKED)
        flow_.Click(design->name);
    else if (design->kind == design::Kind::TextBox && code == EN_CHANGE && !settingText_)
        flow_.RootChanged();
}

void Win32Form::OnPaint(HWND window)
{
    PaintDc paint(window);
    int page = -1;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i] == window)
            page = static_cast<int>(i);
    }
    // In design order: the pictures of page 4 stand over the line that joins them.
    for (const design::Control& control : design::Controls()) {
        if (control.page != page)
            continue;
        RECT box = Box(control);
        switch (control.kind) {
        case design::Kind::Line: {
            const bool highlight = control.colour.kind == design::Colour::Kind::Highlight;
            FillRect(paint.get(), &box, GetSysColorBrush(highlight ? COLOR_HIGHLIGHT : COLOR_WINDOWTEXT));
            break;
        }
        case design::Kind::Rule:
            DrawEdge(paint.get(), &box, EDGE_ETCHED, BF_RECT);
            break;
        case design::Kind::Image:
            pictures_.at(control.name).Draw(paint.get(), box.left, box.top, box);
            break;
        case design::Kind::PictureBox:
            if (banner_)
                banner_->Draw(paint.get(), box.left, box.top, box);
            break;
        case design::Kind::Label:
            PaintLabel(paint.get(), labels_.at(control.name));
            break;
        default:
            break;
        }
    }
}

void Win32Form::OnDpiChanged(int dpi, const RECT& suggested)
{
    // Moved to a monitor of another scale, or its scale changed: the fonts, pictures and every
    // edge at the new dpi, in the frame the system suggests for it.
    dpi_ = dpi;
    Layout();
    SetWindowPos(window(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Form::PaintLabel(HDC dc, const Label& label) const
{
    const design::Control& control = *label.design;
    if (!(control.style & design::Transparent))
        FillRect(dc, &label.box, GetSysColorBrush(COLOR_BTNFACE));
    const int saved = SaveDC(dc);
    SelectObject(dc, label.font);
    SetBkMode(dc, TRANSPARENT);
    const design::Colour colour = control.colour;
    SetTextColor(dc, colour.kind == design::Colour::Kind::Rgb ? RGB(colour.red, colour.green, colour.blue)
                                                             : GetSysColor(COLOR_BTNTEXT));
    // Lines break at the box's width and nothing shows below the box, but a glyph that reaches
    // past its advance (a bold face's overhang) is not cut at the box's edge.
    IntersectClipRect(dc, label.box.left, label.box.top, label.clipRight, label.box.bottom);
    RECT box = label.box;
    DrawTextW(dc, label.text.c_str(), -1, &box, (label.oneLine ? DT_SINGLELINE : TextFormat(control)) | DT_NOCLIP);
    RestoreDC(dc, saved);
}

bool Win32Form::CanFocus(HWND control) const
{
    const design::Control* design = DesignOf(control);
    return design && (design->kind == design::Kind::Button || design->kind == design::Kind::TextBox) &&
           IsWindowEnabled(control) && (design->page < 0 || design->page == front_);
}

void Win32Form::ParkFocus()
{
    focusParked_ = true;
    SetFocus(window());
}

void Win32Form::SettleDefaultButton()
{
    HWND next = Control(design::kDefaultButton);
    HWND finish = Control(design::kFinishButton);
    HWND defaultButton = !IsWindowEnabled(next) && IsWindowEnabled(finish) ? finish : next;
    SendMessageW(window(), DM_SETDEFID, static_cast<WPARAM>(GetDlgCtrlID(defaultButton)), 0);
    if (focusParked_ && CanFocus(defaultButton)) {
        focusParked_ = false;
        SendMessageW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(defaultButton), TRUE);
    }
}

void Win32Form::BringToFront(int page)
{
    front_ = page;
    // The keys must not reach a control that is now covered.
    HWND focus = GetFocus();
    if (focus && IsChild(window(), focus) && !CanFocus(focus))
        ParkFocus();
    // Only the page in front is enabled, so that the dialog manager walks its controls alone.
    for (std::size_t i = 0; i < pages_.size(); ++i)
        EnableWindow(pages_[i], static_cast<int>(i) == page);
    SetWindowPos(pages_.at(static_cast<std::size_t>(page)), lastRowButton_, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SettleDefaultButton();
}

void Win32Form::SetEnabled(std::string_view name, bool enabled)
{
    HWND control = Control(name);
    // A disabled control cannot keep the focus, and Enter would then reach nothing or Exit.
    if (!enabled && GetFocus() == control)
        ParkFocus();
    EnableWindow(control, enabled);
    SettleDefaultButton();
}

void Win32Form::SetText(std::string_view name, const std::string& text)
{
    if (const auto found = labels_.find(name); found != labels_.end()) {
        Label& label = found->second;
        label.text = Utf16(text);
        RECT box = label.box;
        box.right = label.clipRight;
        InvalidateRect(pages_.at(static_cast<std::size_t>(label.design->page)), &box, TRUE);
        return;
    }
    // Root's own change notice must not reach the flow as the user's: the flow applies it.
    settingText_ = true;
    SetWindowTextW(Control(name), Utf16(text).c_str());
    settingText_ = false;
}

const Win32Form::Label& Win32Form::LabelOf(std::string_view name) const
{
    const auto found = labels_.find(name);
    if (found == labels_.end())
        throw std::out_of_range("The window has no label named '" + std::string(name) + "'.");
    return found->second;
}

std::string Win32Form::RootText() const
{
    return Utf8(WindowText(Control("Root")));
}

void Win32Form::FocusRoot()
{
    SetFocus(Control("Root"));
}

bool Win32Form::ShowBanner(const std::filesystem::path& picture)
{
    bannerFile_ = picture;
    banner_ = Win32Picture::FromFile(picture, dpi_);
    InvalidateRect(window(), nullptr, TRUE);
    return banner_.has_value();
}

void Win32Form::SetBusyPointer(bool busy)
{
    busy_ = busy;
    // Nothing is dispatched while the install runs, so the pointer is changed here and now,
    // where it stands over this window.
    POINT at;
    GetCursorPos(&at);
    HWND under = WindowFromPoint(at);
    if (under == window() || IsChild(window(), under))
        SetCursor(Pointer(busy));
}

void Win32Form::ProcessPendingEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

void Win32Form::PaintPending()
{
    // Looking at the queue is what tells Windows the window still responds; the messages sent
    // meanwhile (the pointer's WM_SETCURSOR among them) are handled by the look itself. Of the
    // queue only painting is taken: presses and keys wait for the install's end.
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageW(&message);
}

void Win32Form::ShowMessage(const MessageBoxRequest& box)
{
    // At start-up the window is not shown yet: the box then stands on its own.
    HWND owner = IsWindowVisible(window()) ? window() : nullptr;
    // A box may come up while the install shows the busy pointer: the user answers it with the
    // ordinary one, and the busy one comes back after.
    const bool busy = busy_;
    if (busy) {
        busy_ = false;
        SetCursor(Pointer(false));
    }
    MessageBoxW(owner, Utf16(box.text).c_str(), Utf16(box.title).c_str(),
                MB_OK | (box.icon == MessageIcon::Critical ? MB_ICONERROR : 0) | (owner ? 0 : MB_SETFOREGROUND));
    if (busy)
        SetBusyPointer(true);
}

std::optional<ChosenFile> Win32Form::ChooseFile(const std::string& filter, const std::string& current,
                                                const std::filesystem::path& folder)
{
    const std::wstring filters = DialogFilter(filter);
    std::wstring path(32768, L'\0'); // room for the longest path Windows has
    std::wstring title(MAX_PATH, L'\0');
    const std::wstring start = Utf16(current);
    if (start.size() < path.size())
        start.copy(path.data(), start.size());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window();
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrFileTitle = title.data();
    dialog.nMaxFileTitle = static_cast<DWORD>(title.size());
    const std::wstring startFolder = folder.wstring();
    if (start.empty() && !startFolder.empty())
        dialog.lpstrInitialDir = startFolder.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) {
        // The map chosen last may have gone since: open the dialog afresh rather than fail.
        if (CommDlgExtendedError() == FNERR_INVALIDFILENAME && !start.empty())
            return ChooseFile(filter, {}, folder);
        if (const DWORD error = CommDlgExtendedError())
            throw std::runtime_error("The file dialog cannot be shown: common dialog error " +
                                     std::to_string(error) + ".");
        return std::nullopt;
    }
    return ChosenFile{Utf8(path.c_str()), Utf8(title.c_str())};
}

std::filesystem::path Win32Form::DocumentsFolder() const
{
    // The known folder, not a path under the profile: OneDrive and the user may have moved it.
    PWSTR path = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &path);
    const std::unique_ptr<wchar_t, decltype(&CoTaskMemFree)> owned(path, &CoTaskMemFree);
    return SUCCEEDED(result) && path ? std::filesystem::path(path) : std::filesystem::path();
}

void Win32Form::EndProgram(int exitCode)
{
    std::fflush(nullptr);
    // The handler that asked for the end must not go on; nothing of the window is needed any more.
    std::exit(exitCode);
}

} // namespace vornak::wizard::win32
