#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

// Small holders for the system handles the Win32 window makes: each one is released once, by
// its holder, whichever way the scope is left.
namespace vornak::wizard::win32 {

struct ReleaseGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct ReleaseWindow {
    void operator()(HWND window) const { DestroyWindow(window); }
};
struct ReleaseIcon {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct ReleaseComObject {
    void operator()(IUnknown* object) const { object->Release(); }
};

template <class Handle, class Release>
using Owned = std::unique_ptr<std::remove_pointer_t<Handle>, Release>;

using FontHandle = Owned<HFONT, ReleaseGdiObject>;
using WindowHandle = Owned<HWND, ReleaseWindow>;
using IconHandle = Owned<HICON, ReleaseIcon>;
template <class Interface>
using ComHandle = std::unique_ptr<Interface, ReleaseComObject>;

// A device context of the screen, for measuring text before any window is painted.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// BeginPaint .. EndPaint around one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window) { BeginPaint(window_, &paint_); }
    ~PaintDc() { EndPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const { return paint_.hdc; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

// An object selected into a device context for one scope, and the old one put back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace vornak::wizard::win32
