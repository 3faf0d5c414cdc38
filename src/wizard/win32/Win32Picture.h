#pragma once

#include <windows.h>
// GDI+ needs the Windows headers first.
#include <gdiplus.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace vornak::wizard::win32 {

// A picture decoded by GDI+ (GIF with its transparent colour, JPEG) and scaled once to the
// window's dpi, so that painting it is a plain copy.
class Win32Picture {
public:
    // GDI+ is started for as long as this lives; every picture must go before it.
    class Session {
    public:
        Session();
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

    private:
        ULONG_PTR token_ = 0;
    };

    // Nothing when the file is missing or is no picture GDI+ can read.
    static std::optional<Win32Picture> FromFile(const std::filesystem::path& file, int dpi);
    // A picture built into the program file as RCDATA under `name`.
    static std::optional<Win32Picture> FromResource(HMODULE module, const std::wstring& name, int dpi);

    // At `left, top` in its scaled size, never outside `clip`.
    void Draw(HDC dc, int left, int top, const RECT& clip) const;
    int Width() const { return static_cast<int>(bitmap_->GetWidth()); }
    int Height() const { return static_cast<int>(bitmap_->GetHeight()); }

private:
    explicit Win32Picture(std::unique_ptr<Gdiplus::Bitmap> bitmap) : bitmap_(std::move(bitmap)) {}
    static std::optional<Win32Picture> Scaled(Gdiplus::Bitmap& source, int dpi);

    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};

} // namespace vornak::wizard::win32
