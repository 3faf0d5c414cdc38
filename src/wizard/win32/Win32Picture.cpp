#include "wizard/win32/Win32Picture.h"

#include "wizard/win32/Win32Handles.h"

#include <shlwapi.h>

#include <stdexcept>

namespace vornak::wizard::win32 {

Win32Picture::Session::Session()
{
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok)
        throw std::runtime_error("GDI+ cannot be started: the window's pictures cannot be shown.");
}

Win32Picture::Session::~Session()
{
    Gdiplus::GdiplusShutdown(token_);
}

std::optional<Win32Picture> Win32Picture::FromFile(const std::filesystem::path& file, int dpi)
{
    // GDI+ holds the file open while the decoded picture lives; the scaled copy lets it go.
    Gdiplus::Bitmap source(file.c_str());
    return Scaled(source, dpi);
}

std::optional<Win32Picture> Win32Picture::FromResource(HMODULE module, const std::wstring& name, int dpi)
{
    HRSRC found = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return std::nullopt;
    // The stream keeps its own copy of the bytes; resources need no release.
    ComHandle<IStream> stream(
        SHCreateMemStream(static_cast<const BYTE*>(bytes), static_cast<UINT>(SizeofResource(module, found))));
    if (!stream)
        return std::nullopt;
    Gdiplus::Bitmap source(stream.get());
    return Scaled(source, dpi);
}

std::optional<Win32Picture> Win32Picture::Scaled(Gdiplus::Bitmap& source, int dpi)
{
    if (source.GetLastStatus() != Gdiplus::Ok || source.GetWidth() == 0 || source.GetHeight() == 0)
        return std::nullopt;
    const int width = MulDiv(static_cast<int>(source.GetWidth()), dpi, 96);
    const int height = MulDiv(static_cast<int>(source.GetHeight()), dpi, 96);
    auto scaled = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
    Gdiplus::Graphics graphics(scaled.get());
    // At 96 dpi the pixels are copied as they are; larger, they are smoothed rather than blocky.
    graphics.SetInterpolationMode(dpi == 96 ? Gdiplus::InterpolationModeNearestNeighbor
                                            : Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    if (graphics.DrawImage(&source, 0, 0, width, height) != Gdiplus::Ok)
        return std::nullopt;
    return Win32Picture(std::move(scaled));
}

void Win32Picture::Draw(HDC dc, int left, int top, const RECT& clip) const
{
    Gdiplus::Graphics graphics(dc);
    graphics.SetClip(Gdiplus::Rect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top));
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    // The size is given: GDI+ would otherwise scale by the resolution stored in the bitmap.
    graphics.DrawImage(bitmap_.get(), left, top, Width(), Height());
}

} // namespace vornak::wizard::win32
