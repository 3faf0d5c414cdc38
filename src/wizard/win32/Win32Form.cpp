#include "wizard/win32/Win32Form.h"

#include "wizard/win32/Utf16.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <stdexcept>

namespace vornak::wizard::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"VornakInstallerWindow";
constexpr wchar_t kPageClass[] = L"VornakInstallerPage";

std::string LastError(const std::string& what)
{
    return what + ": Windows error " + std::to_string(GetLastError()) + ".";
}

// The dpi the window is laid out for: the screen's, as the manifest declares the program aware
// of it. At 96 it is the design, pixel for pixel.
int ScreenDpi()
{
    ScreenDc screen;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
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

// How far a label's text may reach to the right: to the next control on its line (the design
// sets them side by side), or else to the edge of its page.
int RightLimit(const design::Control& label)
{
    int limit = design::kClientWidth;
    for (const design::Control& other : design::Controls()) {
        if (other.kind == design::Kind::Page)
            limit = std::min(limit, other.box.width);
    }
    for (const design::Control& other : design::Controls()) {
        if (other.page == label.page && other.box.top == label.box.top && other.box.left > label.box.left)
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

// The letter after a single "&", upper-cased; 0 when the caption has none.
wchar_t AccessKey(std::wstring_view caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&')
            continue;
        if (caption[i + 1] != L'&')
            return static_cast<wchar_t>(std::towupper(caption[i + 1]));
        ++i;
    }
    return 0;
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
    , dpi_(ScreenDpi())
    , flow_(*this, std::move(appDir), archive)
{
    RegisterWindowClass(instance_, kWindowClass, WindowProc);
    RegisterWindowClass(instance_, kPageClass, WindowProc);
    // A fixed dialog frame: caption, icon and close box; no sizing, no minimise or maximise box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, Scaled(design::kClientWidth), Scaled(design::kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    window_.reset(CreateWindowExW(0, kWindowClass, Utf16(design::kCaption).c_str(), style,
                                  (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                  (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                                  instance_, this));
    if (!window_)
        throw std::runtime_error(LastError("The installer's window cannot be created"));

    // The icon is the program file's own, in both sizes the system shows.
    bigIcon_.reset(static_cast<HICON>(LoadImageW(instance_, L"IDI_ICON1", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageW(instance_, L"IDI_ICON1", IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    for (const design::Control& control : design::Controls())
        Make(control);
    // Access keys are underlined from the start, as designed, not only once Alt is pressed.
    SendMessageW(window(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
    lastFocus_ = Control(design::kDefaultButton);
}

HFONT Win32Form::Font(unsigned style, int width)
{
    const unsigned face = style & (design::Bold | design::Underline);
    FontHandle& font = fonts_[{face, width}];
    if (font)
        return font.get();
    LOGFONTW want{};
    // Tahoma 8.25 pt is 11 pixels at 96 dpi. Scaled, the height is rounded down, so that the
    // text grows no more than the boxes it stands in.
    want.lfHeight = -(11 * dpi_ / 96);
    want.lfWidth = width; // 0: the face's own
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

HFONT Win32Form::FittingFont(const design::Control& control)
{
    // Where the system's Tahoma sets wider than the one the window was designed with (Wine's
    // own does), the label's face is narrowed a step at a time until its text fits the box. The
    // height stays, and with it every line; labels that fit keep the face as it is.
    HFONT font = Font(control.style, 0);
    if (control.kind != design::Kind::Label)
        return font;
    ScreenDc screen;
    TEXTMETRICW metrics{};
    {
        SelectedObject selected(screen.get(), font);
        GetTextMetricsW(screen.get(), &metrics);
    }
    const int natural = metrics.tmAveCharWidth;
    for (int width = natural - 1; !Fits(control, font) && width >= natural * 3 / 4; --width)
        font = Font(control.style, width);
    return font;
}

bool Win32Form::Fits(const design::Control& control, HFONT font) const
{
    ScreenDc screen;
    SelectedObject selected(screen.get(), font);
    const RECT box = Box(control);
    // A wrapping label must hold its lines; an auto-sized one must not reach what comes next.
    const bool wraps = !(control.style & design::AutoSize);
    const int room = wraps ? box.right - box.left : Scaled(RightLimit(control)) - box.left;
    RECT text{0, 0, room, 0};
    DrawTextW(screen.get(), Utf16(control.text).c_str(), -1, &text, DT_CALCRECT | TextFormat(control));
    return text.right <= room && (!wraps || text.bottom <= box.bottom - box.top);
}

RECT Win32Form::Box(const design::Control& control) const
{
    // Edges are scaled, not sizes: what touches in the design touches on every screen.
    return {Scaled(control.box.left), Scaled(control.box.top), Scaled(control.box.left + control.box.width),
            Scaled(control.box.top + control.box.height)};
}

void Win32Form::Make(const design::Control& control)
{
    const RECT box = Box(control);
    const wchar_t* windowClass = kPageClass;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (control.style & design::Disabled ? WS_DISABLED : 0);
    DWORD exStyle = 0;
    switch (control.kind) {
    case design::Kind::Page:
        style |= WS_CLIPCHILDREN;
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
    case design::Kind::Label: {
        // Labels, pictures, lines and the rule are no windows: their container paints them, in
        // design order and under its controls, so a transparent label is simply text on the page.
        Label label{&control, Utf16(control.text), FittingFont(control), box, Scaled(RightLimit(control))};
        if (control.style & design::AutoSize) {
            ScreenDc screen;
            SelectedObject font(screen.get(), label.font);
            RECT measured{};
            DrawTextW(screen.get(), label.text.c_str(), -1, &measured, DT_CALCRECT | DT_SINGLELINE);
            label.box.right = box.left + measured.right;
            label.box.bottom = box.top + measured.bottom;
        }
        labels_.emplace(control.name, std::move(label));
        return;
    }
    case design::Kind::Image:
        if (auto picture = Win32Picture::FromResource(instance_, Utf16(control.text), dpi_))
            pictures_.emplace(control.name, std::move(*picture));
        else
            throw std::runtime_error("The picture '" + std::string(control.text) + "' is missing from the program.");
        return;
    case design::Kind::PictureBox:
    case design::Kind::Line:
    case design::Kind::Rule:
        return;
    }
    HWND parent = control.page < 0 ? window() : pages_.at(static_cast<std::size_t>(control.page));
    HWND made = CreateWindowExW(exStyle, windowClass, Utf16(control.text).c_str(), style, box.left, box.top,
                                box.right - box.left, box.bottom - box.top, parent, nullptr, instance_, this);
    if (!made)
        throw std::runtime_error(LastError("The control " + std::string(control.name) + " cannot be created"));
    // Children are stacked in the order they are made: the later stands over the earlier.
    SetWindowPos(made, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(Font(control.style, 0)), FALSE);
    if (control.kind == design::Kind::Page)
        pages_.at(static_cast<std::size_t>(control.name.back() - '0')) = made;
    controls_.emplace(control.name, made);
    designs_.emplace(made, &control);
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
    if (OnKey(message))
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
    switch (message) {
    case WM_COMMAND:
        if (lParam)
            OnCommand(reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_SETCURSOR:
        // The busy pointer holds over every part of the window, the controls' own included.
        if (busy_) {
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514) /* IDC_WAIT */));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        // Windows gives the focus back to the window, not to the control that had it.
        if (window == this->window() && LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window, focus))
                lastFocus_ = focus;
        }
        break; // Windows then focuses the window, and WM_SETFOCUS passes it on
    case WM_SETFOCUS:
        if (window == this->window()) {
            const bool back = lastFocus_ && IsWindow(lastFocus_) && CanFocus(lastFocus_);
            HWND target = back ? lastFocus_ : FocusTarget(nullptr);
            if (target != window)
                SetFocus(target);
        }
        return 0;
    case WM_CLOSE:
        // The close box, Alt+F4 and the system menu: the flow decides, and it ends the program.
        flow_.CloseBox();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32Form::OnCommand(HWND control, UINT code)
{
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
    // Lines break at the box's width and nothing shows below the box, but a line that draws a
    // little wider than it measured (Wine's narrowed faces do) is not cut at the box's edge.
    IntersectClipRect(dc, label.box.left, label.box.top, label.clipRight, label.box.bottom);
    RECT box = label.box;
    DrawTextW(dc, label.text.c_str(), -1, &box, TextFormat(control) | DT_NOCLIP);
    RestoreDC(dc, saved);
}

bool Win32Form::OnKey(const MSG& message)
{
    if (message.hwnd != window() && !IsChild(window(), message.hwnd))
        return false;
    if (message.message == WM_KEYDOWN) {
        const bool chord = GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
        switch (message.wParam) {
        case VK_TAB:
            if (chord)
                return false;
            MoveFocus(GetKeyState(VK_SHIFT) < 0);
            return true;
        case VK_RETURN: {
            // Enter presses the button that has the focus, else the default button while enabled.
            HWND focus = GetFocus();
            const design::Control* focused = DesignOf(focus);
            if (focused && focused->kind == design::Kind::Button && IsWindowEnabled(focus))
                flow_.Click(focused->name);
            else if (IsWindowEnabled(Control(design::kDefaultButton)))
                flow_.Click(design::kDefaultButton);
            return true;
        }
        case VK_ESCAPE:
            flow_.Escape();
            return true;
        default:
            return false;
        }
    }
    if (message.message == WM_SYSCHAR) {
        // Alt and a letter: the enabled button of the window or of the page in front that has it.
        // "View &Credits" and "&Close" share their key, but never the front.
        const auto key = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(message.wParam)));
        for (const auto& [control, design] : designs_) {
            if (design->kind == design::Kind::Button && CanFocus(control) && AccessKey(WindowText(control)) == key) {
                SetFocus(control);
                flow_.Click(design->name);
                return true;
            }
        }
    }
    return false;
}

bool Win32Form::CanFocus(HWND control) const
{
    const design::Control* design = DesignOf(control);
    return design && (design->kind == design::Kind::Button || design->kind == design::Kind::TextBox) &&
           IsWindowEnabled(control) && (design->page < 0 || design->page == front_);
}

HWND Win32Form::FocusTarget(HWND leaving) const
{
    HWND defaultButton = Control(design::kDefaultButton);
    if (defaultButton != leaving && CanFocus(defaultButton))
        return defaultButton;
    for (std::string_view name : design::TabOrder()) {
        HWND control = Control(name);
        if (control != leaving && CanFocus(control))
            return control;
    }
    return window();
}

void Win32Form::MoveFocus(bool backwards)
{
    const auto order = design::TabOrder();
    const auto count = static_cast<int>(order.size());
    const design::Control* focused = DesignOf(GetFocus());
    int at = backwards ? 0 : -1;
    for (int i = 0; i < count; ++i) {
        if (focused && order[static_cast<std::size_t>(i)] == focused->name)
            at = i;
    }
    for (int step = 1; step <= count; ++step) {
        HWND control = Control(order[static_cast<std::size_t>((at + (backwards ? -step : step) + count) % count)]);
        if (CanFocus(control)) {
            SetFocus(control);
            if (DesignOf(control)->kind == design::Kind::TextBox)
                SendMessageW(control, EM_SETSEL, 0, -1);
            return;
        }
    }
}

void Win32Form::BringToFront(int page)
{
    front_ = page;
    SetWindowPos(pages_.at(static_cast<std::size_t>(page)), HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The keys must not reach a control that is now covered.
    HWND focus = GetFocus();
    if (focus && IsChild(window(), focus) && !CanFocus(focus))
        SetFocus(FocusTarget(nullptr));
}

void Win32Form::SetEnabled(std::string_view name, bool enabled)
{
    HWND control = Control(name);
    // Windows drops the focus of a control it disables, and Enter would then reach nothing: the
    // focus moves on first, to the default button where it can.
    if (!enabled && GetFocus() == control)
        SetFocus(FocusTarget(control));
    EnableWindow(control, enabled);
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
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32514 /* IDC_WAIT */ : 32512 /* IDC_ARROW */)));
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

void Win32Form::ShowMessage(const MessageBoxRequest& box)
{
    // At start-up the window is not shown yet: the box then stands on its own.
    HWND owner = IsWindowVisible(window()) ? window() : nullptr;
    MessageBoxW(owner, Utf16(box.text).c_str(), Utf16(box.title).c_str(),
                MB_OK | (box.icon == MessageIcon::Critical ? MB_ICONERROR : 0) | (owner ? 0 : MB_SETFOREGROUND));
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
